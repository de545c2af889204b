import Quorvane.homals.CategoryTables;
import Quorvane.homals.source.ClickHouseSource;
import Quorvane.homals.source.DataSource;
import Quorvane.homals.source.SourceAddress;
import Quorvane.homals.source.TableAnalysis;
import java.io.IOException;
import java.net.URI;
import java.net.http.HttpClient;
import java.net.http.HttpRequest;
import java.net.http.HttpResponse;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Base64;
import java.util.List;
import java.util.Locale;

/**
 * Tables summed where the rows are: a Distributed ClickHouse table over the two shards that
 * scripts/databases.sh starts (its environment in the caller's), N rows of M = 20 columns of K =
 * 6 labels that follow a latent class, 2% of the cells NULL.
 *
 * <pre>
 * B="java -cp build/tallowmere.jar:build/bench/database-bench.jar DatabaseBench"
 * $B load N            # fills tallowmere.bench (each shard generates its half itself)
 * $B shapes FOLDER     # the tables summed by keys of pairs, of blocks of two and of three
 *                      # variables: wall time, the shards' processor time (their pids from
 *                      # FOLDER, where databases.sh started them), bytes received; and one query
 *                      # of one pair alone, which a query per pair would repeat M(M+1)/2 times
 * $B queries           # one query of each kind the command line sends, with its length
 * </pre>
 *
 * bench/database_bench.sh runs all of it and the command line against an export to CSV.
 */
public final class DatabaseBench {
  static final int COLUMNS = 20;
  static final String[] LABELS = {"a", "b", "c", "d", "e", "f"};

  private DatabaseBench() {}

  public static void main(String[] args) throws Exception {
    switch (args.length == 0 ? "" : args[0]) {
      case "load" -> load(Long.parseLong(args[1]));
      case "shapes" -> shapes(Path.of(args[1]));
      case "queries" -> queries();
      default -> {
        System.err.println("usage: DatabaseBench load N | shapes FOLDER | queries");
        System.exit(2);
      }
    }
  }

  static String env(String name) {
    String value = System.getenv(name);
    if (value == null) {
      throw new IllegalStateException(name + " is not set: source the environment that "
          + "scripts/databases.sh start writes");
    }
    return value;
  }

  static String query(String server, String sql) throws IOException, InterruptedException {
    String credentials = env("TALLOWMERE_TEST_DB_USER") + ":" + env("TALLOWMERE_DB_PASSWORD");
    HttpRequest request =
        HttpRequest.newBuilder(URI.create("http://" + server + "/?wait_end_of_query=1"))
            .header("Authorization", "Basic "
                    + Base64.getEncoder().encodeToString(
                        credentials.getBytes(StandardCharsets.UTF_8)))
            .POST(HttpRequest.BodyPublishers.ofString(sql))
            .build();
    HttpResponse<String> response =
        HttpClient.newHttpClient().send(request, HttpResponse.BodyHandlers.ofString());
    if (response.statusCode() != 200) {
      throw new IllegalStateException(response.body());
    }
    return response.body();
  }

  /** Each shard fills its half of the rows from the row numbers: the same rows on every run. */
  static void load(long rows) throws Exception {
    String[] shards = env("TALLOWMERE_TEST_CLICKHOUSE_SHARDS").split(",");
    String database = env("TALLOWMERE_TEST_DATABASE");
    StringBuilder columns = new StringBuilder("id UInt64");
    StringBuilder values = new StringBuilder("number AS id");
    for (int j = 1; j <= COLUMNS; j++) {
      columns.append(", v" + j + " Nullable(String)");
      // Half the cells follow the row's latent class, the rest are drawn alone; 2% are NULL.
      values.append(", if(intHash64(number * 97 + " + j + ") % 50 = 0, NULL, arrayElement(['"
          + String.join("','", LABELS) + "'], toUInt64(if(intHash64(number * 31 + " + j
          + ") % 2 = 0, intHash64(number) % 6, intHash64(number * 31 + " + (j + 1000)
          + ") % 6)) + 1)) AS v" + j);
    }
    long start = System.nanoTime();
    List<Thread> threads = new ArrayList<>();
    for (int s = 0; s < shards.length; s++) {
      String shard = shards[s];
      int remainder = s;
      query(shard, "DROP TABLE IF EXISTS " + database + ".bench_local");
      query(shard, "CREATE TABLE " + database + ".bench_local (" + columns
              + ") ENGINE = MergeTree ORDER BY id");
      Thread thread = new Thread(() -> {
        try {
          query(shard, "INSERT INTO " + database + ".bench_local SELECT " + values
                  + " FROM system.numbers WHERE number % " + shards.length + " = " + remainder
                  + " LIMIT " + (rows / shards.length + (remainder < rows % shards.length ? 1 : 0)));
    }
    catch (Exception e) {
      throw new IllegalStateException(e);
    }
  });
  thread.start();
  threads.add(thread);
}
for (Thread thread : threads) {
  thread.join();
}
query(shards[0], "DROP TABLE IF EXISTS " + database + ".bench");
query(shards[0],
    "CREATE TABLE " + database + ".bench AS " + database + ".bench_local ENGINE = Distributed("
        + env("TALLOWMERE_TEST_CLICKHOUSE_CLUSTER") + ", " + database + ", bench_local, id)");
System.out.printf(Locale.ROOT, "loaded %s rows into %s.bench over %d shards in %.1f s%n",
    query(shards[0], "SELECT count() FROM " + database + ".bench").strip(), database, shards.length,
    (System.nanoTime() - start) / 1e9);
}

static String address() {
  return "clickhouse://" + env("TALLOWMERE_TEST_DB_USER") + "@" + env("TALLOWMERE_TEST_CLICKHOUSE")
      + "/" + env("TALLOWMERE_TEST_DATABASE") + "/bench";
}

/** Every column as an active variable, its labels in their natural order. */
static List<TableAnalysis.Column> columns(DataSource source) {
  List<TableAnalysis.Column> columns = new ArrayList<>();
  for (int j = 1; j <= COLUMNS; j++) {
    columns.add(TableAnalysis.Column.of("v" + j, source.labels("v" + j, null)));
  }
  return columns;
}

/** Processor seconds of the shards' server processes so far. */
static double serverSeconds(Path folder) throws IOException {
  double ticks = 0;
  for (int shard = 1; shard <= 2; shard++) {
    String pid = Files.readString(folder.resolve("clickhouse-" + shard + "/pid")).strip();
    String[] stat = Files.readString(Path.of("/proc", pid, "stat")).split(" ");
    ticks += Long.parseLong(stat[13]) + Long.parseLong(stat[14]);
  }
  return ticks / 100.0; // USER_HZ
}

static void shapes(Path folder) throws Exception {
  SourceAddress address = SourceAddress.parse(address());
  String password = env("TALLOWMERE_DB_PASSWORD");
  List<TableAnalysis.Column> columns;
  try (DataSource source = new ClickHouseSource(address, password)) {
    columns = columns(source);
  }
  System.out.println("keys per row  wall s  shards' cpu s  bytes received");
  CategoryTables first = null;
  for (long bound : new long[] {1, ClickHouseSource.BLOCK_BOUND, 400}) {
    try (ClickHouseSource source = new ClickHouseSource(address, password, bound)) {
      double cpu = serverSeconds(folder);
      long start = System.nanoTime();
      CategoryTables tables = TableAnalysis.sum(source, columns, null).tables();
      double wall = (System.nanoTime() - start) / 1e9;
      String shape = bound == 1                   ? "pairs"
          : bound == ClickHouseSource.BLOCK_BOUND ? "blocks of 2"
                                                  : "blocks of 3";
      System.out.printf(Locale.ROOT, "%-12s %7.1f %14.1f %15d%n", shape, wall,
          serverSeconds(folder) - cpu, source.bytesReceived());
      if (first == null) {
        first = tables;
      } else if (!first.equals(tables)) {
        throw new IllegalStateException(shape + " summed other tables");
      }
    }
  }
  // One pair alone, as a query per pair would sum it: c still needs every column's code.
  StringBuilder codes = new StringBuilder();
  StringBuilder observed = new StringBuilder();
  for (int j = 1; j <= COLUMNS; j++) {
    codes.append("(transform(v" + j + ", ['" + String.join("','", LABELS)
        + "'], [1, 2, 3, 4, 5, 6], 0) AS k" + j + ") >= 0 AND ");
    observed.append(j == 1 ? "" : " + ").append("(k" + j + " > 0)");
  }
  String pair = "SELECT c, k1, k2, count() FROM " + env("TALLOWMERE_TEST_DATABASE")
      + ".bench WHERE " + codes + "(" + observed + " AS c) > 0 GROUP BY c, k1, k2";
  double cpu = serverSeconds(folder);
  long start = System.nanoTime();
  query(env("TALLOWMERE_TEST_CLICKHOUSE"), pair);
  double wall = (System.nanoTime() - start) / 1e9;
  System.out.printf(Locale.ROOT, "%-12s %7.1f %14.1f   (one of %d such queries)%n", "one pair",
      wall, serverSeconds(folder) - cpu, COLUMNS * (COLUMNS + 1) / 2);
}

/** One query of each kind the command line sends, as the server receives it. */
static void queries() throws Exception {
  SourceAddress address = SourceAddress.parse(address());
  try (ClickHouseSource source = new ClickHouseSource(address, env("TALLOWMERE_DB_PASSWORD"))) {
    List<String> sent = new ArrayList<>();
    source.logQueries(sent::add);
    List<TableAnalysis.Column> columns = columns(source);
    TableAnalysis table = TableAnalysis.sum(source, columns, null);
    var result = table.builder().dimensions(2).build().run();
    table.sample(result, List.of(), 5000);
    for (String sql : sent) {
      System.out.printf(Locale.ROOT, "-- %,d characters%n%s%n%n", sql.length(),
          sql.length() > 1500 ? sql.substring(0, 1500) + " ..." : sql);
    }
  }
}
}
