package Quorvane.homals.source;

import Quorvane.homals.CategoryTables;
import java.sql.Array;
import java.sql.Connection;
import java.sql.DriverManager;
import java.sql.PreparedStatement;
import java.sql.ResultSet;
import java.sql.SQLException;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Properties;

/**
 * A PostgreSQL table, asked through JDBC (Debian's PostgreSQL driver). Names go into the SQL as
 * quoted identifiers, and every label, code, coefficient and power of two as a bound parameter.
 * The counts of all pairs come from one pass over the table, as the grouping sets of one GROUP
 * BY.
 */
public final class PostgreSqlSource implements DataSource {
  private final SourceAddress address;
  private final Connection connection;
  private List<SourceColumn> columns;
  private java.util.function.Consumer<String> queryLog;

  /**
   * Connects to the server.
   *
   * @param password the user's password, or null for none
   */
  public PostgreSqlSource(SourceAddress address, String password) {
    this.address = address;
    Properties properties = new Properties();
    properties.setProperty("user", address.user());
    if (password != null) {
      properties.setProperty("password", password);
    }
    properties.setProperty("connectTimeout", "10");
    properties.setProperty("ApplicationName", "tallowmere");
    String host = address.host().contains(":") && !address.host().startsWith("[")
        ? "[" + address.host() + "]"
        : address.host();
    String url = "jdbc:postgresql://" + host + ":" + address.port() + "/"
        + java.net.URLEncoder.encode(address.database(), java.nio.charset.StandardCharsets.UTF_8)
              .replace("+", "%20");
    try {
      connection = DriverManager.getConnection(url, properties);
    } catch (SQLException e) {
      throw failure(e, "cannot connect");
    }
  }

  @Override
  public String description() {
    return "PostgreSQL table " + address.tableName() + " at " + address.server();
  }

  /** The server's words, on one line, and what was being done. */
  private SourceException failure(SQLException e, String doing) {
    String message = e.getMessage() == null ? e.getClass().getSimpleName() : e.getMessage();
    // The driver adds where in the statement the server stopped, which says nothing to a user.
    message = message.replaceAll("\\s+", " ").replaceAll(" Position: \\d+$", "").strip();
    String state = e.getSQLState() == null ? "" : e.getSQLState();
    String server = "PostgreSQL at " + address.server();
    if (state.startsWith("08")) {
      return new SourceException(server + " does not answer: " + message, e);
    }
    if (state.equals("28P01") || state.equals("28000")) {
      return new SourceException(server + " refused user '" + address.user() + "': " + message, e);
    }
    if (state.equals("3D000")) {
      return new SourceException(
          server + " has no database '" + address.database() + "': " + message, e);
    }
    return new SourceException(server + " refused " + doing + ": " + message, e);
  }

  /** A name as a quoted identifier. */
  static String identifier(String name) { return "\"" + name.replace("\"", "\"\"") + "\""; }

  private String table() {
    return (address.schema() == null ? "" : identifier(address.schema()) + ".")
        + identifier(address.table());
  }

  /** The parameters of one statement, in order. */
  private final class Statement {
    private final StringBuilder sql = new StringBuilder();
    private final List<Object> parameters = new ArrayList<>();

    Statement append(String text) {
      sql.append(text);
      return this;
    }

    /** A bound parameter, with a cast to the type named. */
    Statement bind(Object value, String type) {
      sql.append("?::").append(type);
      parameters.add(value);
      return this;
    }

    PreparedStatement prepare() throws SQLException {
      PreparedStatement statement = connection.prepareStatement(sql.toString());
      for (int i = 0; i < parameters.size(); i++) {
        Object value = parameters.get(i);
        if (value instanceof String[] texts) {
          statement.setArray(i + 1, connection.createArrayOf("text", texts));
        } else if (value instanceof Integer[] numbers) {
          statement.setArray(i + 1, connection.createArrayOf("integer", numbers));
        } else if (value instanceof Double[] numbers) {
          statement.setArray(i + 1, connection.createArrayOf("float8", numbers));
        } else {
          statement.setObject(i + 1, value);
        }
      }
      return statement;
    }
  }

  private interface RowReader {
    void read(ResultSet row) throws SQLException;
  }

  /**
   * Hands every query to {@code log} before it runs (null: none), for diagnosis: its text, its
   * bound values, and the server's plan of it (EXPLAIN) line by line.
   */
  public void logQueries(java.util.function.Consumer<String> log) { this.queryLog = log; }

  private void explain(Statement statement) throws SQLException {
    StringBuilder text = new StringBuilder(statement.sql).append("\n-- bound: ");
    for (Object value : statement.parameters) {
      text.append(value instanceof Object[] array ? java.util.Arrays.toString(array)
                                                  : String.valueOf(value))
          .append("; ");
    }
    Statement plan = new Statement().append("EXPLAIN " + statement.sql);
    plan.parameters.addAll(statement.parameters);
    try (PreparedStatement prepared = plan.prepare(); ResultSet rows = prepared.executeQuery()) {
      while (rows.next()) {
        text.append("\n-- plan: ").append(rows.getString(1));
      }
    }
    queryLog.accept(text.toString());
  }

  private void query(Statement statement, String doing, RowReader reader) {
    try {
      if (queryLog != null) {
        explain(statement);
      }
    } catch (SQLException e) {
      throw failure(e, doing);
    }
    try (PreparedStatement prepared = statement.prepare();
         ResultSet rows = prepared.executeQuery()) {
      while (rows.next()) {
        reader.read(rows);
      }
    } catch (SQLException e) {
      throw failure(e, doing);
    }
  }

  @Override
  public List<SourceColumn> columns() {
    if (columns != null) {
      return columns;
    }
    boolean[] exists = new boolean[1];
    query(
        new Statement().append("SELECT to_regclass(").bind(table(), "text").append(") IS NOT NULL"),
        "to look up the table", row -> exists[0] = row.getBoolean(1));
    if (!exists[0]) {
      throw new SourceException(
          "PostgreSQL at " + address.server() + " has no table " + address.tableName());
    }
    List<SourceColumn> found = new ArrayList<>();
    query(new Statement()
              .append("SELECT a.attname, format_type(a.atttypid, a.atttypmod), t.typcategory, "
                  + "t.typname FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid WHERE "
                  + "a.attrelid = to_regclass(")
              .bind(table(), "text")
              .append(") AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum"),
        "to list the columns",
        row
        -> found.add(new SourceColumn(
            row.getString(1), row.getString(2), kind(row.getString(3), row.getString(4)))));
    columns = List.copyOf(found);
    return columns;
  }

  /** What a PostgreSQL type holds, by its category and name. */
  static SourceColumn.Kind kind(String category, String name) {
    if (List.of("int2", "int4", "int8").contains(name)) {
      return SourceColumn.Kind.INTEGER;
    }
    if (List.of("float4", "float8").contains(name)) {
      return SourceColumn.Kind.FLOAT;
    }
    if (List.of("text", "varchar", "bpchar", "name", "citext").contains(name)) {
      return SourceColumn.Kind.TEXT;
    }
    if (List.of("json", "jsonb", "xml", "bytea").contains(name)
        || List.of("A", "C", "R").contains(category)) {
      return SourceColumn.Kind.UNUSABLE;
    }
    return SourceColumn.Kind.OTHER;
  }

  /** A value's label: its text form, which every type has. */
  private static String key(String column) { return identifier(column) + "::text"; }

  @Override
  public long rows() {
    long[] count = new long[1];
    query(new Statement().append("SELECT count(*) FROM " + table()), "to count the rows",
        row -> count[0] = row.getLong(1));
    return count[0];
  }

  @Override
  public List<LabelCount> labels(String column, String weightColumn) {
    column(column);
    String weighted = weightColumn == null
        ? "count(*)"
        : "count(*) FILTER (WHERE " + identifier(weightColumn) + " > 0)";
    List<LabelCount> labels = new ArrayList<>();
    query(new Statement().append("SELECT " + key(column) + ", count(*), " + weighted + " FROM "
              + table() + " GROUP BY 1"),
        "to count the values of column '" + column + "'",
        row -> labels.add(new LabelCount(row.getString(1), row.getLong(2), row.getLong(3))));
    return labels;
  }

  @Override
  public WeightFacts weightFacts(String weightColumn) {
    SourceColumn column = column(weightColumn);
    String w = identifier(weightColumn);
    String sql;
    if (column.kind() == SourceColumn.Kind.INTEGER) {
      sql = "SELECT count(*), sum(" + w + ")::text, max(" + w + ")::text, "
          + "coalesce(max(" + w + ") < 9007199254740992, true), count(*) - count(" + w + "), "
          + "count(*) FILTER (WHERE " + w + " < 0), 0 FROM " + table();
    } else if (column.kind() == SourceColumn.Kind.FLOAT) {
      sql = "SELECT count(*), sum(" + w + "::float8), max(" + w + "::float8), "
          + "coalesce(bool_and(" + w + " = floor(" + w + ") AND " + w + " < 9007199254740992), "
          + "true), count(*) - count(" + w + "), count(*) FILTER (WHERE " + w + " < 0), count(*) "
          + "FILTER (WHERE " + w + " IN ('NaN', 'Infinity', '-Infinity')) FROM " + table();
    } else if (column.type().startsWith("numeric")) {
      sql = "SELECT count(*), sum(" + w + ")::text, max(" + w + ")::text, "
          + "coalesce(bool_and(" + w + " = floor(" + w + ") AND " + w + " < 9007199254740992), "
          + "true), count(*) - count(" + w + "), count(*) FILTER (WHERE " + w + " < 0), "
          + "count(*) FILTER (WHERE " + w + " = 'NaN') FROM " + table();
    } else {
      throw new SourceException("weight column '" + weightColumn + "' is of type " + column.type()
          + "; weights are numbers");
    }
    WeightFacts[] facts = new WeightFacts[1];
    boolean exactText = column.kind() != SourceColumn.Kind.FLOAT;
    query(new Statement().append(sql), "to sum the weights", row -> {
      double total = exactText ? number(row.getString(2)) : row.getDouble(2);
      double largest = exactText ? number(row.getString(3)) : row.getDouble(3);
      facts[0] = new WeightFacts(row.getLong(1), total, largest, row.getBoolean(4), row.getLong(5),
          row.getLong(6), row.getLong(7));
    });
    return facts[0];
  }

  private static double number(String text) {
    return text == null ? 0 : new java.math.BigDecimal(text).doubleValue();
  }

  /** The code of a variable's cell: its label looked up, NULL apart. */
  private void code(Statement statement, Coding coding) {
    String column = identifier(coding.column());
    String[] labels = coding.codes().keySet().toArray(new String[0]);
    Integer[] codes = coding.codes().values().toArray(new Integer[0]);
    statement.append(
        "CASE WHEN " + column + " IS NULL THEN " + coding.nullCode() + " ELSE coalesce((");
    statement.bind(codes, "integer[]").append(")[array_position(").bind(labels, "text[]");
    statement.append(", " + key(coding.column()) + ")], 0) END");
  }

  /** The weight of a row in whole units of the layout's scale, rounded half to even. */
  private void units(Statement statement, TableLayout layout) {
    if (layout.weightColumn() == null) {
      statement.append("1::bigint");
      return;
    }
    String w = identifier(layout.weightColumn());
    if (layout.weightScale() == 0) {
      statement.append("round(" + w + "::float8)::bigint");
      return;
    }
    // A product with a power of two is exact, and round() of a double rounds halves to even.
    statement.append("round(" + w + "::float8 * ")
        .bind(Math.scalb(1.0, layout.weightScale()), "float8")
        .append(")::bigint");
  }

  /**
   * The rows that take part, with their codes k0 .. k(V-1), c and their weight units u.
   *
   * @param extra further columns of the source to keep, by their own names
   */
  private void participating(Statement statement, TableLayout layout, List<String> extra) {
    statement.append("(SELECT * FROM (SELECT *, ");
    StringBuilder observed = new StringBuilder();
    for (int v = 0; v < layout.variables().size(); v++) {
      if (layout.variables().get(v).active()) {
        observed.append(observed.length() == 0 ? "" : " + ").append("(k" + v + " > 0)::int");
      }
    }
    statement.append(observed + " AS c FROM (SELECT ");
    for (int v = 0; v < layout.variables().size(); v++) {
      code(statement, layout.variables().get(v));
      statement.append(" AS k" + v + ", ");
    }
    for (int e = 0; e < extra.size(); e++) {
      statement.append(identifier(extra.get(e)) + " AS e" + e + ", ");
    }
    units(statement, layout);
    statement.append(" AS u FROM " + table() + ") coded) counted WHERE c > 0 AND u > 0) taking");
  }

  @Override
  public CategoryTables tables(TableLayout layout) {
    List<PairGroups.Group> groups = PairGroups.of(layout, 1);
    int count = layout.variables().size();
    Statement statement = new Statement().append("SELECT c");
    for (int v = 0; v < count; v++) {
      statement.append(", k" + v);
    }
    statement.append(", sum(u), count(*) FROM ");
    participating(statement, layout, List.of());
    statement.append(" GROUP BY GROUPING SETS (");
    Map<String, PairGroups.Group> bySet = new HashMap<>();
    for (int g = 0; g < groups.size(); g++) {
      PairGroups.Group group = groups.get(g);
      StringBuilder set = new StringBuilder("(c");
      StringBuilder name = new StringBuilder();
      int[] sorted = group.variables().clone();
      java.util.Arrays.sort(sorted);
      for (int v : sorted) {
        set.append(", k" + v);
        name.append(v).append(',');
      }
      statement.append((g == 0 ? "" : ", ") + set + ")");
      bySet.put(name.toString(), group);
    }
    statement.append(")");
    CategoryTables tables = layout.emptyTables();
    query(statement, "to sum the cross-tables", row -> {
      int observed = row.getInt(1);
      int[] codes = new int[count];
      StringBuilder name = new StringBuilder();
      for (int v = 0; v < count; v++) {
        Object code = row.getObject(v + 2);
        if (code != null) {
          codes[v] = ((Number) code).intValue();
          name.append(v).append(',');
        }
      }
      long units = row.getBigDecimal(count + 2).longValueExact();
      PairGroups.Group group = bySet.get(name.toString());
      if (group == groups.get(0)) {
        // Every row that takes part is counted once in each grouping set.
        tables.addObjects(row.getLong(count + 3));
      }
      for (int[] pair : group.pairs()) {
        int a = group.variables()[pair[0]];
        int b = group.variables()[pair[1]];
        if (codes[a] > 0 && codes[b] > 0) {
          tables.add(observed, a, codes[a], b, codes[b], units);
        }
      }
    });
    return tables;
  }

  @Override
  public List<String[]> sample(TableLayout layout, List<String> columns, int limit) {
    Statement statement = new Statement().append("SELECT ");
    for (int e = 0; e < columns.size(); e++) {
      statement.append((e == 0 ? "" : ", ") + "e" + e + "::text");
    }
    statement.append(" FROM ");
    List<String> key = ClickHouseSource.sampleKey(layout, columns);
    participating(statement, layout, key);
    // A hash of the row's text form, then that text itself: an order of the rows that their
    // order in the table does not change.
    StringBuilder row = new StringBuilder("ROW(");
    for (int e = 0; e < key.size(); e++) {
      row.append(e == 0 ? "" : ", ").append("e" + e);
    }
    row.append(")::text");
    statement.append(" ORDER BY md5(" + row + "), " + row + " LIMIT " + limit);
    List<String[]> rows = new ArrayList<>();
    query(statement, "to draw the sample", result -> {
      String[] texts = new String[columns.size()];
      for (int e = 0; e < texts.length; e++) {
        texts[e] = result.getString(e + 1);
      }
      rows.add(texts);
    });
    return rows;
  }

  private String qualified(String table) {
    return (address.schema() == null ? "" : identifier(address.schema()) + ".") + identifier(table);
  }

  @Override
  public boolean tableExists(String table) {
    boolean[] exists = new boolean[1];
    query(new Statement()
              .append("SELECT to_regclass(")
              .bind(qualified(table), "text")
              .append(") IS NOT NULL"),
        "to look up table " + table, row -> exists[0] = row.getBoolean(1));
    return exists[0];
  }

  @Override
  public void checkScoresTable(String table) {
    if (tableExists(table)) {
      throw new SourceException("table " + (address.schema() == null ? "" : address.schema() + ".")
          + table + " exists already in " + address.database() + " at " + address.server()
          + "; the scores are written into a new table only");
    }
    boolean[] allowed = new boolean[1];
    Statement statement = new Statement().append("SELECT has_schema_privilege(");
    if (address.schema() == null) {
      statement.append("current_schema()");
    } else {
      statement.bind(address.schema(), "text");
    }
    query(statement.append(", 'CREATE')"), "to look up the user's privileges",
        row -> allowed[0] = row.getBoolean(1));
    if (!allowed[0]) {
      throw new SourceException("PostgreSQL at " + address.server() + " does not let user '"
          + address.user() + "' create tables in schema "
          + (address.schema() == null ? "of the table" : "'" + address.schema() + "'")
          + ", so it cannot create the scores table");
    }
  }

  @Override
  public void writeScores(
      String table, String idColumn, TableLayout layout, double[][][] coefficients) {
    String target = qualified(table);
    if (tableExists(table)) {
      throw new SourceException("table " + (address.schema() == null ? "" : address.schema() + ".")
          + table + " exists already in " + address.database() + " at " + address.server()
          + "; the scores are written into a new table only");
    }
    SourceColumn id = column(idColumn);
    StringBuilder definition = new StringBuilder(identifier(idColumn) + " " + id.type());
    int dimensions = ClickHouseSource.dimensions(coefficients);
    for (int d = 0; d < dimensions; d++) {
      if (("dim" + (d + 1)).equals(idColumn)) {
        throw new SourceException("the id column '" + idColumn + "' has the name of a score");
      }
      definition.append(", " + identifier("dim" + (d + 1)) + " double precision");
    }
    Statement insert = new Statement().append("INSERT INTO " + target + " SELECT e0");
    for (int d = 0; d < dimensions; d++) {
      insert.append(", CASE WHEN c > 0 AND u > 0 THEN (");
      boolean first = true;
      for (int v = 0; v < layout.variables().size(); v++) {
        Coding coding = layout.variables().get(v);
        if (!coding.active()) {
          continue;
        }
        Double[] byCode = new Double[coding.categoryCount()];
        for (int k = 0; k < byCode.length; k++) {
          byCode[k] = coefficients[v][k][d];
        }
        // Summed in the order of the variables, each cell's coefficient by its code.
        insert.append((first ? "" : " + ") + "coalesce((").bind(byCode, "float8[]");
        insert.append(")[k" + v + "], 0)");
        first = false;
      }
      insert.append(") / c END");
    }
    insert.append(" FROM (SELECT *, ");
    StringBuilder observed = new StringBuilder();
    for (int v = 0; v < layout.variables().size(); v++) {
      if (layout.variables().get(v).active()) {
        observed.append(observed.length() == 0 ? "" : " + ").append("(k" + v + " > 0)::int");
      }
    }
    insert.append(observed + " AS c FROM (SELECT " + identifier(idColumn) + " AS e0, ");
    for (int v = 0; v < layout.variables().size(); v++) {
      code(insert, layout.variables().get(v));
      insert.append(" AS k" + v + ", ");
    }
    units(insert, layout);
    insert.append(" AS u FROM " + table() + ") coded) counted");
    try {
      connection.setAutoCommit(false);
      try (PreparedStatement create =
               connection.prepareStatement("CREATE TABLE " + target + " (" + definition + ")");
           PreparedStatement fill = insert.prepare()) {
        create.executeUpdate();
        fill.executeUpdate();
        connection.commit();
      } catch (SQLException e) {
        connection.rollback();
        throw e;
      } finally {
        connection.setAutoCommit(true);
      }
    } catch (SQLException e) {
      throw failure(e, "to write the scores table");
    }
  }

  @Override
  public void close() {
    try {
      connection.close();
    } catch (SQLException e) {
      // Nothing was left to do on the connection.
    }
  }
}
