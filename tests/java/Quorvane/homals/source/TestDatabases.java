package Quorvane.homals.source;

import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.net.URI;
import java.net.http.HttpClient;
import java.net.http.HttpRequest;
import java.net.http.HttpResponse;
import java.nio.charset.StandardCharsets;
import java.sql.Connection;
import java.sql.DriverManager;
import java.sql.PreparedStatement;
import java.sql.SQLException;
import java.sql.Types;
import java.util.ArrayList;
import java.util.Base64;
import java.util.List;
import java.util.concurrent.atomic.AtomicInteger;

/**
 * The servers that scripts/databases.sh starts, found through the environment it writes, and
 * tables loaded into them for a test: a ClickHouse table on each of the two shards with a
 * Distributed table over both, and a PostgreSQL table. Rows go in by another road than the one
 * the sources read them by (TabSeparated rows into ClickHouse, bound parameters into PostgreSQL),
 * so that an escaping fault in the sources cannot cancel out against the same fault in loading.
 * Without the environment (a plain ctest run), the tests that need a server are skipped.
 */
final class TestDatabases {
  private static final AtomicInteger NEXT = new AtomicInteger();

  private TestDatabases() {}

  /** Skips the calling test when the servers are not running. */
  static void assumeServers() {
    assumeTrue(System.getenv("TALLOWMERE_TEST_CLICKHOUSE") != null
            && System.getenv("TALLOWMERE_TEST_POSTGRESQL") != null,
        "no database servers: scripts/test.sh starts them (scripts/databases.sh) and sets "
            + "TALLOWMERE_TEST_CLICKHOUSE and TALLOWMERE_TEST_POSTGRESQL");
  }

  static String database() { return System.getenv("TALLOWMERE_TEST_DATABASE"); }

  static String user() { return System.getenv("TALLOWMERE_TEST_DB_USER"); }

  static String password() { return System.getenv(SourceAddress.PASSWORD_VARIABLE); }

  /** A table name no other test, nor the other test JVM running beside, uses. */
  static String uniqueName(String stem) {
    return stem + "_" + ProcessHandle.current().pid() + "_" + NEXT.incrementAndGet();
  }

  /** A column of a test table: its name and its type in each engine. */
  record Column(String name, String clickHouseType, String postgreSqlType) {
    static Column text(String name) {
      return new Column(name, "Nullable(String)", "text");
    }

    static Column integer(String name) {
      return new Column(name, "Nullable(Int32)", "integer");
    }

    static Column real(String name) {
      return new Column(name, "Nullable(Float64)", "double precision");
    }

    static Column decimal(String name) {
      return new Column(name, "Nullable(Decimal(18, 6))", "numeric(18, 6)");
    }
  }

  /** The address of the table in the engine. */
  static String address(SourceAddress.Engine engine, String table) {
    String server =
        System.getenv(engine == SourceAddress.Engine.CLICKHOUSE ? "TALLOWMERE_TEST_CLICKHOUSE"
                                                                : "TALLOWMERE_TEST_POSTGRESQL");
    return engine.scheme() + "://" + user() + "@" + server + "/" + database() + "/" + table;
  }

  /**
   * Loads the rows into a new Distributed ClickHouse table over both shards (rows alternating
   * between them) and returns its name.
   */
  static String clickHouse(String stem, List<Column> columns, List<String[]> rows) {
    String table = uniqueName(stem);
    String[] shards = System.getenv("TALLOWMERE_TEST_CLICKHOUSE_SHARDS").split(",");
    StringBuilder definition = new StringBuilder();
    for (Column column : columns) {
      definition.append(definition.length() == 0 ? "" : ", ")
          .append(ClickHouseSource.identifier(column.name()))
          .append(' ')
          .append(column.clickHouseType());
    }
    String local = ClickHouseSource.identifier(database()) + "."
        + ClickHouseSource.identifier(table + "_local");
    for (int s = 0; s < shards.length; s++) {
      clickHouseQuery(shards[s],
          "CREATE TABLE " + local + " (" + definition + ") ENGINE = MergeTree ORDER BY tuple()");
      StringBuilder tsv = new StringBuilder();
      for (int i = s; i < rows.size(); i += shards.length) {
        String[] row = rows.get(i);
        for (int j = 0; j < row.length; j++) {
          tsv.append(j == 0 ? "" : "\t").append(tsvField(row[j]));
        }
        tsv.append('\n');
      }
      clickHouseQuery(shards[s], "INSERT INTO " + local + " FORMAT TabSeparated\n" + tsv);
    }
    clickHouseQuery(shards[0],
        "CREATE TABLE " + ClickHouseSource.identifier(database()) + "."
            + ClickHouseSource.identifier(table) + " AS " + local + " ENGINE = Distributed("
            + System.getenv("TALLOWMERE_TEST_CLICKHOUSE_CLUSTER") + ", "
            + ClickHouseSource.identifier(database()) + ", "
            + ClickHouseSource.identifier(table + "_local") + ", rand())");
    return table;
  }

  private static String tsvField(String value) {
    if (value == null) {
      return "\\N";
    }
    return value.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n");
  }

  /** Runs one statement on a ClickHouse server (HOST:PORT) and returns its answer. */
  static String clickHouseQuery(String server, String sql) {
    try {
      HttpRequest request =
          HttpRequest.newBuilder(URI.create("http://" + server + "/"))
              .header("Authorization",
                  "Basic "
                      + Base64.getEncoder().encodeToString(
                          (user() + ":" + password()).getBytes(StandardCharsets.UTF_8)))
              .POST(HttpRequest.BodyPublishers.ofString(sql))
              .build();
      HttpResponse<String> response =
          HttpClient.newHttpClient().send(request, HttpResponse.BodyHandlers.ofString());
      if (response.statusCode() != 200) {
        throw new IllegalStateException("ClickHouse: " + response.body());
      }
      return response.body();
    } catch (java.io.IOException e) {
      throw new IllegalStateException(e);
    } catch (InterruptedException e) {
      Thread.currentThread().interrupt();
      throw new IllegalStateException(e);
    }
  }

  /** Loads the rows into a new PostgreSQL table and returns its name. */
  static String postgreSql(String stem, List<Column> columns, List<String[]> rows) {
    String table = uniqueName(stem);
    StringBuilder definition = new StringBuilder();
    StringBuilder marks = new StringBuilder();
    for (Column column : columns) {
      definition.append(definition.length() == 0 ? "" : ", ")
          .append(PostgreSqlSource.identifier(column.name()))
          .append(' ')
          .append(column.postgreSqlType());
      marks.append(marks.length() == 0 ? "?" : ", ?");
    }
    try (Connection connection = postgreSqlConnection()) {
      connection.createStatement().execute(
          "CREATE TABLE " + PostgreSqlSource.identifier(table) + " (" + definition + ")");
      try (PreparedStatement insert = connection.prepareStatement(
               "INSERT INTO " + PostgreSqlSource.identifier(table) + " VALUES (" + marks + ")")) {
        for (String[] row : rows) {
          for (int j = 0; j < row.length; j++) {
            String type = columns.get(j).postgreSqlType();
            int sqlType = type.equals("integer")  ? Types.INTEGER
                : type.equals("double precision") ? Types.DOUBLE
                : type.startsWith("numeric")      ? Types.NUMERIC
                                                  : Types.VARCHAR;
            if (row[j] == null) {
              insert.setNull(j + 1, sqlType);
            } else if (sqlType == Types.INTEGER) {
              insert.setInt(j + 1, Integer.parseInt(row[j]));
            } else if (sqlType == Types.DOUBLE) {
              insert.setDouble(j + 1, Double.parseDouble(row[j]));
            } else if (sqlType == Types.NUMERIC) {
              insert.setBigDecimal(j + 1, new java.math.BigDecimal(row[j]));
            } else {
              insert.setString(j + 1, row[j]);
            }
          }
          insert.addBatch();
        }
        insert.executeBatch();
      }
    } catch (SQLException e) {
      throw new IllegalStateException(e);
    }
    return table;
  }

  static Connection postgreSqlConnection() throws SQLException {
    return DriverManager.getConnection(
        "jdbc:postgresql://" + System.getenv("TALLOWMERE_TEST_POSTGRESQL") + "/" + database(),
        user(), password());
  }

  /** Runs one statement on the PostgreSQL server. */
  static void postgreSqlExecute(String sql) {
    try (Connection connection = postgreSqlConnection()) {
      connection.createStatement().execute(sql);
    } catch (SQLException e) {
      throw new IllegalStateException(e);
    }
  }

  /** The rows of a query on the PostgreSQL server, each as texts. */
  static List<String[]> postgreSqlRows(String sql) {
    List<String[]> rows = new ArrayList<>();
    try (Connection connection = postgreSqlConnection();
         var result = connection.createStatement().executeQuery(sql)) {
      int width = result.getMetaData().getColumnCount();
      while (result.next()) {
        String[] row = new String[width];
        for (int j = 0; j < width; j++) {
          row[j] = result.getString(j + 1);
        }
        rows.add(row);
      }
    } catch (SQLException e) {
      throw new IllegalStateException(e);
    }
    return rows;
  }
}
