package Quorvane.homals.source;

import Quorvane.homals.CategoryTables;
import java.io.IOException;
import java.net.ConnectException;
import java.net.URI;
import java.net.http.HttpClient;
import java.net.http.HttpConnectTimeoutException;
import java.net.http.HttpRequest;
import java.net.http.HttpResponse;
import java.net.http.HttpTimeoutException;
import java.nio.charset.StandardCharsets;
import java.time.Duration;
import java.util.ArrayList;
import java.util.Base64;
import java.util.List;
import java.util.Locale;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * A ClickHouse table, asked over ClickHouse's HTTP interface with Java's own HTTP client: SQL
 * in, TabSeparated text out. A Distributed table runs every aggregating query on each of its
 * shards and merges their partial sums, which are whole numbers and so the same in any order; only
 * the sums, the size of the categories, come back.
 *
 * <p>Names go into the SQL only as quoted identifiers, and values only as string literals with
 * every quote, backslash and control character escaped, so that no name or label can end a
 * literal or a statement.
 */
public final class ClickHouseSource implements DataSource {
  /**
   * The codes of a block of variables combine into at most this many keys ({@link PairGroups}):
   * two variables of six categories, or a single one of more than seven. Measured on 10^7 rows
   * of 20 such variables over two shards, keys of blocks of two took half the processor time of
   * one key per pair (54 s against 113 s), blocks of three no less (57 s), and a query per pair
   * 5.5 s each, 210 times (bench/DatabaseBench.java).
   */
  public static final long BLOCK_BOUND = 64;
  /** Queries longer than this are split: the server parses at most 256 KiB of a query. */
  private static final int QUERY_LIMIT = 200_000;
  private static final Pattern SERVER_MESSAGE =
      Pattern.compile("DB::Exception: (.*?)(?:, e\\.what\\(\\) = .*)?$", Pattern.DOTALL);

  private final SourceAddress address;
  private final long blockBound;
  private final String authorization;
  private final HttpClient client;
  private final URI endpoint;
  private long bytesReceived;
  private List<SourceColumn> columns;
  private java.util.function.Consumer<String> queryLog;

  /**
   * @param password the user's password, or null for none
   */
  public ClickHouseSource(SourceAddress address, String password) {
    this(address, password, BLOCK_BOUND);
  }

  /**
   * A source whose tables are summed by blocks of another size, for measurements.
   *
   * @param blockBound the most keys the codes of a block combine into; 1 for a key per pair
   */
  public ClickHouseSource(SourceAddress address, String password, long blockBound) {
    this.address = address;
    this.blockBound = blockBound;
    String credentials = address.user() + ":" + (password == null ? "" : password);
    this.authorization =
        "Basic " + Base64.getEncoder().encodeToString(credentials.getBytes(StandardCharsets.UTF_8));
    this.client = HttpClient.newBuilder().connectTimeout(Duration.ofSeconds(10)).build();
    String host = address.host().contains(":") && !address.host().startsWith("[")
        ? "[" + address.host() + "]"
        : address.host();
    // The whole answer is made before it is sent, so that a failure comes as an error status and
    // not after a part of the rows.
    this.endpoint = URI.create("http://" + host + ":" + address.port() + "/?wait_end_of_query=1");
  }

  @Override
  public String description() {
    return "ClickHouse table " + address.tableName() + " at " + address.server();
  }

  @Override
  public long bytesReceived() {
    return bytesReceived;
  }

  /** Hands every statement to {@code log} before it is sent (null: none), for diagnosis. */
  public void logQueries(java.util.function.Consumer<String> log) { this.queryLog = log; }

  /** Runs one statement and returns its answer as text. */
  String execute(String sql) {
    if (queryLog != null) {
      queryLog.accept(sql);
    }
    HttpRequest request = HttpRequest.newBuilder(endpoint)
                              .header("Authorization", authorization)
                              .POST(HttpRequest.BodyPublishers.ofString(sql))
                              .build();
    HttpResponse<byte[]> response;
    try {
      response = client.send(request, HttpResponse.BodyHandlers.ofByteArray());
    } catch (HttpConnectTimeoutException e) {
      throw new SourceException(
          "ClickHouse at " + address.server() + " does not answer: no connection within 10 s");
    } catch (ConnectException e) {
      throw new SourceException("ClickHouse at " + address.server() + " does not answer: "
          + (e.getMessage() == null ? "connection refused"
                                    : "connection "
                      + "refused"));
    } catch (HttpTimeoutException e) {
      throw new SourceException("ClickHouse at " + address.server() + " does not answer in time");
    } catch (IOException e) {
      throw new SourceException("ClickHouse at " + address.server() + " does not answer: "
          + (e.getMessage() == null ? e.getClass().getSimpleName() : e.getMessage()));
    } catch (InterruptedException e) {
      Thread.currentThread().interrupt();
      throw new SourceException("interrupted while ClickHouse at " + address.server() + " ran a "
          + "query");
    }
    byte[] body = response.body();
    bytesReceived += body.length;
    String text = new String(body, StandardCharsets.UTF_8);
    if (response.statusCode() != 200) {
      throw refused(response.statusCode(), text);
    }
    return text;
  }

  /** The server's refusal in its own words, on one line. */
  private SourceException refused(int status, String text) {
    Matcher matcher = SERVER_MESSAGE.matcher(text.strip());
    String message = matcher.find() ? matcher.group(1) : text.strip();
    message = message.replaceAll("\\s+", " ").strip();
    if (message.length() > 400) {
      message = message.substring(0, 400) + " ...";
    }
    int code = -1;
    Matcher codeMatcher = Pattern.compile("^Code: (\\d+)").matcher(text.strip());
    if (codeMatcher.find()) {
      code = Integer.parseInt(codeMatcher.group(1));
    }
    String server = "ClickHouse at " + address.server();
    if (code == 192 || code == 193 || code == 194 || code == 516) {
      return new SourceException(server + " refused user '" + address.user() + "': " + message);
    }
    if (code == 60) {
      return new SourceException(server + " has no table " + address.tableName() + ": " + message);
    }
    if (code == 81) {
      return new SourceException(
          server + " has no database '" + address.database() + "': " + message);
    }
    return new SourceException(server + " refused a query ("
        + (code < 0 ? "HTTP " + status : "code " + code) + "): " + message);
  }

  List<String[]> rows(String sql) { return Tsv.rows(execute(sql)); }

  /** A name as a quoted identifier. */
  static String identifier(String name) {
    StringBuilder text = new StringBuilder("`");
    appendEscaped(text, name, '`');
    return text.append('`').toString();
  }

  /** A value as a string literal. */
  static String literal(String value) {
    StringBuilder text = new StringBuilder("'");
    appendEscaped(text, value, '\'');
    return text.append('\'').toString();
  }

  private static void appendEscaped(StringBuilder text, String value, char quote) {
    for (int i = 0; i < value.length(); i++) {
      char ch = value.charAt(i);
      if (ch == '\\' || ch == quote) {
        text.append('\\').append(ch);
      } else if (ch < 0x20 || ch == 0x7F) {
        text.append(String.format(Locale.ROOT, "\\x%02X", (int) ch));
      } else {
        text.append(ch);
      }
    }
  }

  private String table() {
    return identifier(address.database()) + "." + identifier(address.table());
  }

  @Override
  public List<SourceColumn> columns() {
    if (columns == null) {
      List<SourceColumn> found = new ArrayList<>();
      for (String[] row : rows("DESCRIBE TABLE " + table())) {
        found.add(new SourceColumn(row[0], row[1], kind(row[1])));
      }
      columns = List.copyOf(found);
    }
    return columns;
  }

  /** What a ClickHouse type holds, looking through Nullable. */
  static SourceColumn.Kind kind(String type) {
    String plain = type;
    if (plain.startsWith("Nullable(") && plain.endsWith(")")) {
      plain = plain.substring("Nullable(".length(), plain.length() - 1);
    }
    if (plain.matches("U?Int(8|16|32|64)")) {
      return SourceColumn.Kind.INTEGER;
    }
    if (plain.matches("Float(32|64)")) {
      return SourceColumn.Kind.FLOAT;
    }
    if (plain.equals("String")) {
      return SourceColumn.Kind.TEXT;
    }
    if (plain.matches("(Array|Tuple|Nested|Map|AggregateFunction|SimpleAggregateFunction)\\(.*")
        || plain.equals("Nothing")) {
      return SourceColumn.Kind.UNUSABLE;
    }
    return SourceColumn.Kind.OTHER;
  }

  /** The expression whose text is a value's label: the column, or its text form. */
  private String key(String column) {
    SourceColumn.Kind kind = column(column).kind();
    String name = identifier(column);
    return kind == SourceColumn.Kind.TEXT || kind == SourceColumn.Kind.INTEGER
        ? name
        : "toString(" + name + ")";
  }

  /** A label as a literal of the column's key. */
  private String labelLiteral(String column, String label) {
    if (column(column).kind() == SourceColumn.Kind.INTEGER) {
      if (!label.matches("-?[0-9]+")) {
        throw new IllegalArgumentException(
            "'" + label + "' is not a label of integer column '" + column + "'");
      }
      return label;
    }
    return literal(label);
  }

  @Override
  public long rows() {
    return Long.parseLong(execute("SELECT count() FROM " + table()).strip());
  }

  @Override
  public List<LabelCount> labels(String column, String weightColumn) {
    String key = key(column);
    String weighted =
        weightColumn == null ? "count()" : "countIf(" + identifier(weightColumn) + " > 0)";
    List<LabelCount> labels = new ArrayList<>();
    for (String[] row : rows("SELECT " + key + ", count(), " + weighted + " FROM " + table()
             + " GROUP BY " + key)) {
      labels.add(new LabelCount(
          row[0], Long.parseLong(row[1]), row[2] == null ? 0 : Long.parseLong(row[2])));
    }
    return labels;
  }

  @Override
  public WeightFacts weightFacts(String weightColumn) {
    SourceColumn column = column(weightColumn);
    String w = identifier(weightColumn);
    String sql;
    if (column.kind() == SourceColumn.Kind.INTEGER) {
      // Whole numbers sum exactly, as the text of the total.
      sql = "SELECT count(), toString(sum(" + w + ")), toString(max(" + w + ")), max(" + w
          + ") < 9007199254740992, countIf(isNull(" + w + ")), countIf(" + w + " < 0), 0 FROM "
          + table();
    } else if (column.kind() == SourceColumn.Kind.FLOAT || isDecimal(column.type())) {
      // A decimal becomes the double nearest to it: its digits as an integer, divided once.
      String x = "toFloat64(" + w + ")";
      sql = "SELECT count(), " + bits("sum(" + x + ")") + ", " + bits("max(" + x + ")") + ", min("
          + x + " = floor(" + x + ") AND " + x + " < 9007199254740992), countIf(isNull(" + w
          + ")), countIf(" + x + " < 0), countIf(NOT isFinite(" + x + ")) FROM " + table();
    } else {
      throw new SourceException("weight column '" + weightColumn + "' is of type " + column.type()
          + "; weights are numbers");
    }
    String[] row = rows(sql).get(0);
    long rows = Long.parseLong(row[0]);
    boolean integer = column.kind() == SourceColumn.Kind.INTEGER;
    double total = number(row[1], integer);
    double largest = number(row[2], integer);
    boolean whole = row[3] == null || row[3].equals("1");
    return new WeightFacts(rows, total, largest, whole, Long.parseLong(row[4]),
        row[5] == null ? 0 : Long.parseLong(row[5]), row[6] == null ? 0 : Long.parseLong(row[6]));
  }

  private static boolean isDecimal(String type) {
    return type.matches("(Nullable\\()?Decimal(32|64|128)?\\(.*");
  }

  /** A Float64 as the integer of its bits, which its decimal text might not give back. */
  private static String bits(String value) {
    return "reinterpretAsUInt64(reinterpretAsString(toFloat64(" + value + ")))";
  }

  private static double number(String text, boolean integer) {
    if (text == null) {
      return 0;
    }
    return integer ? new java.math.BigDecimal(text).doubleValue()
                   : Double.longBitsToDouble(Long.parseUnsignedLong(text));
  }

  // The names of the values a query computes; a column of the source may not share them.
  private static final String ALIAS = "_tallowmere_";

  /** The code of variable v of the layout, 0 for a cell the fit does not see. */
  private String code(TableLayout layout, int v) {
    Coding coding = layout.variables().get(v);
    List<String> codes = new ArrayList<>();
    for (int code : coding.codes().values()) {
      codes.add(Integer.toString(code));
    }
    return "toUInt32(" + lookUp(coding, codes, "0", Integer.toString(coding.nullCode())) + ")";
  }

  /**
   * The value that {@code values} give each label of a coding (in the order of its labels), the
   * given one for NULL, and {@code otherwise} for every other value.
   */
  private String lookUp(Coding coding, List<String> values, String otherwise, String ofNull) {
    String column = identifier(coding.column());
    if (coding.codes().isEmpty()) {
      return "if(isNull(" + column + "), " + ofNull + ", " + otherwise + ")";
    }
    StringBuilder labels = new StringBuilder();
    for (String label : coding.codes().keySet()) {
      labels.append(labels.length() == 0 ? "" : ", ").append(labelLiteral(coding.column(), label));
    }
    return "ifNull(transform(" + key(coding.column()) + ", [" + labels + "], ["
        + String.join(", ", values) + "], " + otherwise + "), " + ofNull + ")";
  }

  /** The weight of a row in whole units of the layout's scale, rounded half to even. */
  private String units(TableLayout layout) {
    if (layout.weightColumn() == null) {
      return "toInt64(1)";
    }
    String w = "toFloat64(" + identifier(layout.weightColumn()) + ")";
    int scale = layout.weightScale();
    if (scale == 0) {
      return "toInt64(" + w + ")";
    }
    if (Math.abs(scale) > 62) {
      throw new SourceException("the weights of column '" + layout.weightColumn() + "' are too "
          + (scale > 0 ? "small" : "large") + " to be summed exactly in ClickHouse");
    }
    // A product with a power of two is exact, and ClickHouse's round() rounds halves away from
    // zero: the half-even rounding of the other sources is spelled out.
    String power = "toFloat64(bitShiftLeft(toUInt64(1), " + Math.abs(scale) + "))";
    String x = ALIAS + "x";
    String f = ALIAS + "f";
    return "toInt64((floor((" + w + (scale > 0 ? " * " : " / ") + power + ") AS " + x + ") AS " + f
        + ") + ((" + x + " - " + f + ") > 0.5 OR ((" + x + " - " + f + ") = 0.5 AND toInt64(" + f
        + ") % 2 = 1)))";
  }

  /**
   * The conditions that define every code, c and the weight units, and keep the rows that take
   * part: ClickHouse names a value once and uses it wherever the query names it.
   */
  private String participating(TableLayout layout) {
    for (String column : layout.columns()) {
      if (column.startsWith(ALIAS)) {
        throw new SourceException("column '" + column + "' has a name that the queries of "
            + "tallowmere use for their own values");
      }
    }
    StringBuilder where = new StringBuilder();
    StringBuilder observed = new StringBuilder();
    for (int v = 0; v < layout.variables().size(); v++) {
      where.append("(" + code(layout, v) + " AS " + ALIAS + "k" + v + ") >= 0 AND ");
      if (layout.variables().get(v).active()) {
        observed.append(observed.length() == 0 ? "" : " + ")
            .append("(" + ALIAS + "k" + v + " > 0)");
      }
    }
    return where + "(toUInt64(" + observed + ") AS " + ALIAS + "c) > 0 AND (" + units(layout)
        + " AS " + ALIAS + "u) > 0";
  }

  @Override
  public CategoryTables tables(TableLayout layout) {
    List<PairGroups.Group> groups = PairGroups.of(layout, blockBound);
    CategoryTables tables = layout.emptyTables();
    List<int[]> pairs = new ArrayList<>();
    long km = maxCategories(layout) + 1L;
    for (String sql : tableQueries(layout, groups, pairs)) {
      for (String[] row : rows(sql)) {
        int observed = Integer.parseInt(row[0]);
        long out = Long.parseUnsignedLong(row[1]);
        if (out == OBJECTS) {
          tables.addObjects(Long.parseLong(row[3]));
          continue;
        }
        long units = Long.parseLong(row[2]);
        int[] pair = pairs.get((int) (out / (km * km)) - 1);
        int codeA = (int) (out / km % km);
        int codeB = (int) (out % km);
        tables.add(observed, pair[0], codeA, pair[1], codeB, units);
      }
    }
    return tables;
  }

  private static int maxCategories(TableLayout layout) {
    return layout.variables().stream().mapToInt(Coding::categoryCount).max().orElse(1);
  }

  /**
   * The queries of the tables, as few as the length of a query allows. Each sums the rows that
   * take part by one key per group and row (the group, c, and the group's codes as the digits of
   * a number), on every shard; the server that was asked merges the shards' sums and reads each
   * group's sums for the group's pairs, so that what comes back is one sum per c, pair and two
   * categories: the tables themselves.
   *
   * @param pairs receives the variables of every pair the answers number from 1
   */
  List<String> tableQueries(TableLayout layout, List<PairGroups.Group> groups, List<int[]> pairs) {
    String where = participating(layout);
    long km = maxCategories(layout) + 1L;
    int m = layout.activeCount();
    List<String> queries = new ArrayList<>();
    int from = 0;
    while (from < groups.size()) {
      int to = groups.size();
      String sql;
      while (true) {
        int pairsBefore = pairs.size();
        sql = tableQuery(layout, groups.subList(from, to), where, km, m, pairs);
        if (sql.length() <= QUERY_LIMIT || to - from == 1) {
          break;
        }
        pairs.subList(pairsBefore, pairs.size()).clear();
        to = from + (to - from) / 2;
      }
      queries.add(sql);
      from = to;
    }
    if ((double) pairs.size() * km * km >= 0x1p62) {
      throw new SourceException("too many categories for the keys of one query");
    }
    return queries;
  }

  private static final long GROUP_PLACE = 1L << 44;
  /**
   * The key under which the answer counts the rows that take part: each is counted once in the
   * keys of every group, so the first group's counts add up to them. No pair has this key, since
   * pairs are numbered from 1.
   */
  private static final long OBJECTS = 1;

  private String tableQuery(TableLayout layout, List<PairGroups.Group> groups, String where,
      long km, int m, List<int[]> pairs) {
    StringBuilder keys = new StringBuilder();
    int q = 0;
    long[] radix = new long[groups.size()];
    for (int g = 0; g < groups.size(); g++) {
      int[] variables = groups.get(g).variables();
      StringBuilder key = new StringBuilder("toUInt64(" + g + ") * " + GROUP_PLACE);
      long place = 1;
      StringBuilder digits = new StringBuilder();
      for (int i = variables.length - 1; i >= 0; i--) {
        digits.append(" + toUInt64(" + ALIAS + "k" + variables[i] + ") * " + place);
        place =
            Math.multiplyExact(place, layout.variables().get(variables[i]).categoryCount() + 1L);
      }
      radix[g] = place;
      if ((double) place * (m + 1) >= GROUP_PLACE) {
        throw new SourceException("too many categories for the keys of one query");
      }
      key.append(" + " + ALIAS + "c * " + place).append(digits);
      keys.append(g == 0 ? "" : ", ").append(key);
      q = Math.max(q, groups.get(g).pairs().size());
    }
    // Per group: the place and the base of each pair's two digits, and the pair's number.
    long[][] placeA = new long[q][groups.size()];
    long[][] baseA = new long[q][groups.size()];
    long[][] placeB = new long[q][groups.size()];
    long[][] baseB = new long[q][groups.size()];
    long[][] number = new long[q][groups.size()];
    for (int g = 0; g < groups.size(); g++) {
      PairGroups.Group group = groups.get(g);
      long[] places = new long[group.variables().length];
      long place = 1;
      for (int i = places.length - 1; i >= 0; i--) {
        places[i] = place;
        place *= layout.variables().get(group.variables()[i]).categoryCount() + 1L;
      }
      for (int p = 0; p < q; p++) {
        placeA[p][g] = 1;
        baseA[p][g] = 1;
        placeB[p][g] = 1;
        baseB[p][g] = 1;
        if (p < group.pairs().size()) {
          int[] pair = group.pairs().get(p);
          int a = group.variables()[pair[0]];
          int b = group.variables()[pair[1]];
          placeA[p][g] = places[pair[0]];
          baseA[p][g] = layout.variables().get(a).categoryCount() + 1L;
          placeB[p][g] = places[pair[1]];
          baseB[p][g] = layout.variables().get(b).categoryCount() + 1L;
          pairs.add(new int[] {a, b});
          number[p][g] = pairs.size();
        }
      }
    }
    String g = ALIAS + "g";
    String r = ALIAS + "r";
    String at = "[" + g + " + 1]";
    StringBuilder outs = new StringBuilder();
    for (int p = 0; p < q; p++) {
      String digitA = "intDiv(" + r + ", " + array(placeA[p]) + at + ") % " + array(baseA[p]) + at;
      String digitB = "intDiv(" + r + ", " + array(placeB[p]) + at + ") % " + array(baseB[p]) + at;
      String id = array(number[p]) + at;
      outs.append(p == 0 ? "" : ", ")
          .append("if(" + id + " = 0 OR " + digitA + " = 0 OR " + digitB + " = 0, toUInt64(0), "
              + "(toUInt64(" + id + ") * " + km + " + " + digitA + ") * " + km + " + " + digitB
              + ")");
    }
    outs.append(", if(" + g + " = 0, toUInt64(" + OBJECTS + "), toUInt64(0))");
    String inner = "SELECT arrayJoin([" + keys + "]) AS " + ALIAS + "key, sum(" + ALIAS + "u) AS "
        + ALIAS + "s, count() AS " + ALIAS + "n FROM " + table() + " WHERE " + where + " GROUP BY "
        + ALIAS + "key";
    String split = "SELECT intDiv(" + ALIAS + "key, " + GROUP_PLACE + ") AS " + g + ", " + ALIAS
        + "key % " + GROUP_PLACE + " AS " + r + ", intDiv(" + r + ", " + array(radix) + at + ") AS "
        + ALIAS + "cc, " + ALIAS + "s, " + ALIAS + "n FROM (" + inner + ")";
    return "SELECT " + ALIAS + "cc, arrayJoin([" + outs + "]) AS " + ALIAS + "out, sum(" + ALIAS
        + "s), sum(" + ALIAS + "n) FROM (" + split + ") GROUP BY " + ALIAS + "cc, " + ALIAS
        + "out HAVING " + ALIAS + "out > 0";
  }

  private static String array(long[] values) {
    StringBuilder text = new StringBuilder("[");
    for (int i = 0; i < values.length; i++) {
      text.append(i == 0 ? "" : ", ").append(values[i]);
    }
    return text.append(']').toString();
  }

  @Override
  public List<String[]> sample(TableLayout layout, List<String> columns, int limit) {
    StringBuilder select = new StringBuilder();
    for (String column : columns) {
      select.append(select.length() == 0 ? "" : ", ").append(identifier(column));
    }
    // Rows are ordered by a hash of their values, then by the values, so that equal hashes keep
    // an order too; rows alike in every value are interchangeable. NULL hashes as the type's
    // default, and the values themselves then tell it apart.
    StringBuilder hashed = new StringBuilder();
    StringBuilder order = new StringBuilder();
    for (String column : sampleKey(layout, columns)) {
      SourceColumn.Kind kind = column(column).kind();
      String value = kind == SourceColumn.Kind.TEXT || kind == SourceColumn.Kind.INTEGER
          ? identifier(column)
          : "toString(" + identifier(column) + ")";
      hashed.append(hashed.length() == 0 ? "" : ", ").append("assumeNotNull(" + value + ")");
      order.append(", ").append(identifier(column));
    }
    return rows("SELECT " + select + " FROM " + table() + " WHERE " + participating(layout)
        + " ORDER BY cityHash64(" + hashed + ")" + order + " LIMIT " + limit);
  }

  /** The columns whose values draw the sample: those read, and those of the layout. */
  static List<String> sampleKey(TableLayout layout, List<String> columns) {
    List<String> key = new ArrayList<>(columns);
    for (String column : layout.columns()) {
      if (!key.contains(column)) {
        key.add(column);
      }
    }
    return key;
  }

  @Override
  public boolean tableExists(String table) {
    return execute("EXISTS TABLE " + identifier(address.database()) + "." + identifier(table))
        .strip()
        .equals("1");
  }

  @Override
  public void checkScoresTable(String table) {
    if (tableExists(table)) {
      throw new SourceException("table " + address.database() + "." + table + " exists already "
          + "at " + address.server() + "; the scores are written into a new table only");
    }
    String readonly = execute("SELECT value FROM system.settings WHERE name = 'readonly'").strip();
    if (!readonly.equals("0")) {
      throw new SourceException("ClickHouse at " + address.server() + " lets user '"
          + address.user() + "' only read (readonly = " + readonly + "), so it cannot create "
          + "the scores table");
    }
  }

  @Override
  public void writeScores(
      String table, String idColumn, TableLayout layout, double[][][] coefficients) {
    String target = identifier(address.database()) + "." + identifier(table);
    if (tableExists(table)) {
      throw new SourceException("table " + address.database() + "." + table + " exists already "
          + "at " + address.server() + "; the scores are written into a new table only");
    }
    SourceColumn id = column(idColumn);
    String part = ALIAS + "part";
    StringBuilder definition = new StringBuilder(identifier(idColumn) + " " + id.type());
    StringBuilder scores = new StringBuilder();
    StringBuilder kept = new StringBuilder(identifier(idColumn));
    int dimensions = dimensions(coefficients);
    for (int d = 0; d < dimensions; d++) {
      String name = "dim" + (d + 1);
      if (name.equals(idColumn)) {
        throw new SourceException("the id column '" + idColumn + "' has the name of a score");
      }
      definition.append(", " + identifier(name) + " Nullable(Float64)");
      scores.append(", " + score(layout, coefficients, d) + " AS " + ALIAS + "x" + d);
      kept.append(", if(" + part + ", " + ALIAS + "x" + d + ", NULL)");
    }
    // The scores are computed where the rows are (on every shard of a Distributed table); the
    // server asked writes them.
    String computed = "SELECT " + identifier(idColumn) + ", (" + participating(layout) + ") AS "
        + part + scores + " FROM " + table();
    execute("CREATE TABLE " + target + " (" + definition + ") ENGINE = MergeTree ORDER BY tuple()");
    execute("INSERT INTO " + target + " SELECT " + kept + " FROM (" + computed + ")");
  }

  /** The dimensions of the coefficients of a layout's variables. */
  static int dimensions(double[][][] coefficients) {
    for (double[][] byCode : coefficients) {
      if (byCode != null && byCode.length > 0) {
        return byCode[0].length;
      }
    }
    throw new IllegalArgumentException("no coefficients of an active variable");
  }

  /**
   * A row's score on one dimension: its cells' coefficients summed in the order of the
   * variables, over the number of its cells (c, named by {@link #participating}).
   */
  private String score(TableLayout layout, double[][][] coefficients, int d) {
    StringBuilder sum = new StringBuilder();
    for (int v = 0; v < layout.variables().size(); v++) {
      Coding coding = layout.variables().get(v);
      if (!coding.active()) {
        continue;
      }
      List<String> values = new ArrayList<>();
      for (int code : coding.codes().values()) {
        values.add(exact(coefficients[v][code - 1][d]));
      }
      String ofNull = coding.nullCode() == 0 ? "toFloat64(0)"
                                             : exact(coefficients[v][coding.nullCode() - 1][d]);
      sum.append(sum.length() == 0 ? "" : " + ")
          .append(lookUp(coding, values, "toFloat64(0)", ofNull));
    }
    return "(" + sum + ") / toFloat64(" + ALIAS + "c)";
  }

  /**
   * A double exactly: ClickHouse's own reading of decimal text may miss the last bit, so the
   * bits are given and reinterpreted.
   */
  private static String exact(double value) {
    return "reinterpretAsFloat64(reinterpretAsString(toUInt64("
        + Long.toUnsignedString(Double.doubleToRawLongBits(value)) + ")))";
  }

  @Override
  public void close() {}
}
