package Quorvane.homals.source;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.TestData;
import java.io.IOException;
import java.net.ServerSocket;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.EnumMap;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * What goes wrong with a database says so in one line, exit status 2, in the server's own words
 * where they help, and never shows the password, right or wrong. Each case runs the command line
 * in a JVM of its own, whose environment holds the password to try.
 */
@Tag("database")
class DatabaseErrorsTest {
  @TempDir static Path folder;

  private static final String WRONG = "Wr0ng-pa55word-" + ProcessHandle.current().pid();
  private static final Map<SourceAddress.Engine, String> TABLES =
      new EnumMap<>(SourceAddress.Engine.class);
  /** A table in the way of a scores table; "TAKEN" in a case's arguments names it. */
  private static final Map<SourceAddress.Engine, String> TAKEN =
      new EnumMap<>(SourceAddress.Engine.class);

  @BeforeAll
  static void tables() {
    if (System.getenv("TALLOWMERE_TEST_CLICKHOUSE") == null) {
      return;
    }
    List<TestDatabases.Column> columns =
        List.of(TestDatabases.Column.text("id"), TestDatabases.Column.text("a"),
            TestDatabases.Column.text("b"), TestDatabases.Column.real("ratio"));
    List<String[]> rows = new ArrayList<>();
    for (int i = 0; i < 1200; i++) {
      rows.add(new String[] {"r" + i, "a" + i % 3, "b" + i % 4, Double.toString(i / 7.0)});
    }
    TABLES.put(SourceAddress.Engine.CLICKHOUSE, TestDatabases.clickHouse("errors", columns, rows));
    TABLES.put(SourceAddress.Engine.POSTGRESQL, TestDatabases.postgreSql("errors", columns, rows));
    // The reader reads at most 1000 rows a query in ClickHouse; in PostgreSQL, not this table.
    TestDatabases.postgreSqlExecute("REVOKE SELECT ON "
        + PostgreSqlSource.identifier(TABLES.get(SourceAddress.Engine.POSTGRESQL)) + " FROM "
        + System.getenv("TALLOWMERE_TEST_DB_READER"));
    TAKEN.put(SourceAddress.Engine.CLICKHOUSE,
        TestDatabases.clickHouse("taken", columns.subList(0, 1), List.of()));
    TAKEN.put(SourceAddress.Engine.POSTGRESQL,
        TestDatabases.postgreSql("taken", columns.subList(0, 1), List.of()));
  }

  /**
   * A failure: the arguments after the address (the table's, with another user, table or port
   * where the case says), the password to put in the environment, and what the one line says.
   */
  record Failure(String name, String user, String table, boolean deadPort, String password,
      List<String> arguments, String says) {
    @Override
    public String toString() {
      return name;
    }
  }

  static Stream<Arguments> failures() {
    String right = TestDatabases.password() == null ? "" : TestDatabases.password();
    List<Failure> failures = List.of(
        new Failure("server not answering", null, null, true, right, List.of(), "does not answer"),
        new Failure("wrong password", null, null, false, WRONG, List.of(), "refused user"),
        new Failure("missing table", null, "no_such_table", false, right, List.of(), "no table"),
        new Failure("missing column", null, null, false, right, List.of("--columns", "a,nope"),
            "no column named 'nope'"),
        new Failure("float column", null, null, false, right, List.of("-x", "id"),
            "column 'ratio' is of type"),
        new Failure(
            "refused query", "reader", null, false, right, List.of("-x", "ratio"), "refused"),
        new Failure("no right to create", "reader", null, false, right,
            List.of("-x", "ratio", "--id", "id", "--scores-table", "not_allowed"),
            "cannot create the scores table"),
        new Failure("scores table exists", null, null, false, right,
            List.of("-x", "ratio", "--id", "id", "--scores-table", "TAKEN"), "exists already"));
    List<Arguments> cases = new ArrayList<>();
    for (Failure failure : failures) {
      for (SourceAddress.Engine engine : SourceAddress.Engine.values()) {
        cases.add(Arguments.of(engine, failure));
      }
    }
    return cases.stream();
  }

  @ParameterizedTest(name = "{0}, {1}")
  @MethodSource("failures")
  void saysWhatWentWrongInOneLine(SourceAddress.Engine engine, Failure failure) throws Exception {
    TestDatabases.assumeServers();
    String address = TestDatabases.address(engine, TABLES.get(engine));
    if (failure.user() != null) {
      address = address.replace(TestDatabases.user() + "@", failure.user() + "@");
    }
    if (failure.table() != null) {
      address = address.substring(0, address.lastIndexOf('/') + 1) + failure.table();
    }
    if (failure.deadPort()) {
      String server = address.replaceAll("^[a-z]+://[^@]*@([^/]*)/.*$", "$1");
      address = address.replace(server, "127.0.0.1:" + deadPort());
    }
    List<String> arguments = new ArrayList<>(List.of("analyse", address, "-o",
        folder.resolve(TestDatabases.uniqueName("out")).toString(), "--no-plot", "-q"));
    failure.arguments().forEach(a -> arguments.add(a.equals("TAKEN") ? TAKEN.get(engine) : a));

    Child child = run(arguments, failure.password());

    assertEquals(2, child.status(), child.err());
    List<String> lines = child.err().lines().toList();
    assertEquals(1, lines.size(), child.err());
    assertTrue(lines.get(0).startsWith("tallowmere: error: "), lines.get(0));
    assertTrue(lines.get(0).contains(failure.says()), lines.get(0));
    for (String secret : List.of(WRONG, TestDatabases.password())) {
      assertFalse(child.err().contains(secret) || child.out().contains(secret), "password shown");
    }
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("engines")
  void refusesAPasswordInTheAddressWithoutRepeatingIt(SourceAddress.Engine engine)
      throws Exception {
    String address = engine.scheme() + "://analyst:" + WRONG + "@127.0.0.1:1/db/t";

    Child child = run(List.of("analyse", address, "-o", folder.toString()), null);

    assertEquals(2, child.status(), child.err());
    assertTrue(child.err().contains("TALLOWMERE_DB_PASSWORD"), child.err());
    assertFalse(child.err().contains(WRONG), "password shown");
  }

  static Stream<SourceAddress.Engine> engines() { return Stream.of(SourceAddress.Engine.values()); }

  /** A port of the loopback that nothing listens on. */
  private static int deadPort() throws IOException {
    try (ServerSocket socket = new ServerSocket(0)) {
      return socket.getLocalPort();
    }
  }

  record Child(int status, String out, String err) {}

  /** Runs the command line's jar with the password (or none) in its environment. */
  private static Child run(List<String> arguments, String password) throws Exception {
    List<String> command =
        new ArrayList<>(List.of(Path.of(System.getProperty("java.home"), "bin", "java").toString(),
            "-Djava.awt.headless=true", "-jar", TestData.jar().toString()));
    command.addAll(arguments);
    ProcessBuilder builder = new ProcessBuilder(command);
    builder.environment().remove(SourceAddress.PASSWORD_VARIABLE);
    if (password != null) {
      builder.environment().put(SourceAddress.PASSWORD_VARIABLE, password);
    }
    Process process = builder.start();
    process.getOutputStream().close();
    var err = java.util.concurrent.CompletableFuture.supplyAsync(() -> {
      try {
        return new String(process.getErrorStream().readAllBytes(), StandardCharsets.UTF_8);
      } catch (IOException e) {
        throw new java.io.UncheckedIOException(e);
      }
    });
    String out = new String(process.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    return new Child(process.waitFor(), out, err.get());
  }
}
