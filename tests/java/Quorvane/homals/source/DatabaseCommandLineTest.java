package Quorvane.homals.source;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.cli.Main;
import com.google.gson.JsonObject;
import com.google.gson.JsonParser;
import java.io.IOException;
import java.io.PrintWriter;
import java.io.StringWriter;
import java.math.BigDecimal;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.stream.Stream;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * The command line on a table gives what it gives on the table's export to a CSV file: the same
 * bytes of categories.csv and variables.csv, the same summary.json but for where the data came
 * from, and a scores table that agrees with the file's objects.csv. The same rows go into a
 * Distributed ClickHouse table over two shards, into PostgreSQL and into the file. With a single
 * variable the file's run names the cross-table solver, which a table's run always uses: left to
 * itself, a file's run may pass over its objects instead, another road to the same solution.
 */
@Tag("database")
class DatabaseCommandLineTest {
  @TempDir static Path folder;

  /** Labels with quotes, backslashes, semicolons, padding (trimmed in a file), and blanks. */
  private static final List<String> LABELS = List.of(
      "it's", "back\\slash", "semi;colon", " padded ", "say \"hi\"", "-- dash", "zürich", "plain");

  /** A dataset as rows of texts, null for NULL; the CSV file writes NULL as an empty cell. */
  record Dataset(
      String name, List<TestDatabases.Column> columns, List<String[]> rows, List<String> options) {
    @Override
    public String toString() {
      return name;
    }
  }

  /**
   * Rows of five analysed columns that follow a latent class, with NULLs, blank cells and a
   * --missing text; an id column; decimal weights.
   */
  private static List<String[]> rows(long seed, int n, boolean weights) {
    Random random = new Random(seed);
    List<String[]> rows = new ArrayList<>();
    for (int i = 0; i < n; i++) {
      int latent = random.nextInt(4);
      String[] row = new String[weights ? 7 : 6];
      row[0] = "row-" + i;
      for (int j = 1; j <= 5; j++) {
        double u = random.nextDouble();
        int label = u < 0.6 ? (latent + j) % 5 : random.nextInt(5);
        row[j] = u > 0.97 ? null
            : u > 0.95    ? ""
            : u > 0.93    ? "NA"
                          : LABELS.get((label + 2 * j) % LABELS.size());
      }
      if (weights) {
        row[6] = random.nextInt(17) == 0
            ? "0"
            : new BigDecimal(1 + random.nextInt(4_000_000)).movePointLeft(6).toPlainString();
      }
      rows.add(row);
    }
    return rows;
  }

  private static List<TestDatabases.Column> columns(boolean weights) {
    List<TestDatabases.Column> columns = new ArrayList<>();
    columns.add(TestDatabases.Column.text("id"));
    for (String name : List.of("it's \"q1\"", "q2;drop", "q3\\x", "q4", "class")) {
      columns.add(TestDatabases.Column.text(name));
    }
    if (weights) {
      columns.add(TestDatabases.Column.decimal("w"));
    }
    return columns;
  }

  static Stream<Arguments> cases() {
    List<Dataset> datasets = List.of(
        new Dataset("direct solution, weights, exclusions, order", columns(true),
            rows(5, 400, true),
            List.of("--id", "id", "-w", "w", "--missing", "NA", "-p", "class", "--exclude-category",
                "q4=padded", "--order", "q2;drop=" + csvRecord(q2Order()))),
        new Dataset("cross-table iteration, missing as a category", columns(false),
            rows(9, 300, false),
            List.of("--id", "id", "-s", "q4=ordinal", "--missing-as-category", "-d", "3",
                "--solver", "cross-table")));
    List<Arguments> cases = new ArrayList<>();
    for (Dataset dataset : datasets) {
      for (SourceAddress.Engine engine : SourceAddress.Engine.values()) {
        cases.add(Arguments.of(engine, dataset));
      }
    }
    return cases.stream();
  }

  /** Every label of q2 as it reads in a file (trimmed), in an order of its own. */
  private static List<String> q2Order() {
    List<String> order = new ArrayList<>();
    for (String label : LABELS) {
      order.add(0, label.trim());
    }
    return order;
  }

  private static String csvRecord(List<String> cells) {
    return String.join(",", cells.stream().map(DatabaseCommandLineTest::quoted).toList());
  }

  private static String quoted(String cell) { return "\"" + cell.replace("\"", "\"\"") + "\""; }

  private static Path csv(Dataset dataset) throws IOException {
    StringBuilder text = new StringBuilder(
        csvRecord(dataset.columns().stream().map(TestDatabases.Column::name).toList()));
    text.append('\n');
    for (String[] row : dataset.rows()) {
      text.append(
              String.join(",", Arrays.stream(row).map(c -> c == null ? "" : quoted(c)).toList()))
          .append('\n');
    }
    Path file = folder.resolve(TestDatabases.uniqueName("export") + ".csv");
    Files.writeString(file, text, StandardCharsets.UTF_8);
    return file;
  }

  record Run(int status, String err) {}

  static Run run(List<String> args) {
    StringWriter err = new StringWriter();
    int status = Main.execute(
        new PrintWriter(new StringWriter()), new PrintWriter(err), args.toArray(new String[0]));
    return new Run(status, err.toString());
  }

  private static List<String> args(String data, Path out, Dataset dataset, String... more) {
    List<String> args =
        new ArrayList<>(List.of("analyse", data, "-o", out.toString(), "--no-plot", "-q"));
    args.addAll(dataset.options());
    args.addAll(List.of(more));
    return args;
  }

  @ParameterizedTest(name = "{0}, {1}")
  @MethodSource("cases")
  void givesWhatTheExportToAFileGives(SourceAddress.Engine engine, Dataset dataset)
      throws IOException {
    TestDatabases.assumeServers();
    String table = engine == SourceAddress.Engine.CLICKHOUSE
        ? TestDatabases.clickHouse("answers", dataset.columns(), dataset.rows())
        : TestDatabases.postgreSql("answers", dataset.columns(), dataset.rows());
    String scores = TestDatabases.uniqueName("scores");
    Path fromFile = folder.resolve(TestDatabases.uniqueName("file"));
    Path fromTable = folder.resolve(TestDatabases.uniqueName("table"));

    Run file = run(args(csv(dataset).toString(), fromFile, dataset));
    Run database = run(
        args(TestDatabases.address(engine, table), fromTable, dataset, "--scores-table", scores));

    assertEquals(0, file.status(), file.err());
    assertEquals(0, database.status(), database.err());
    for (String name : List.of("categories.csv", "variables.csv")) {
      assertArrayEquals(Files.readAllBytes(fromFile.resolve(name)),
          Files.readAllBytes(fromTable.resolve(name)), name);
    }
    JsonObject fileSummary = summary(fromFile);
    JsonObject tableSummary = summary(fromTable);
    assertEquals(fileSummary, tableSummary);
    assertFalse(Files.exists(fromTable.resolve("objects.csv")));
    assertTrue(Files.readString(fromTable.resolve("summary.txt")).contains("in table " + scores));

    Map<String, double[]> expected = objects(fromFile.resolve("objects.csv"));
    Map<String, double[]> written = scoresTable(engine, scores);
    assertEquals(expected.keySet(), written.keySet());
    for (Map.Entry<String, double[]> object : expected.entrySet()) {
      double[] want = object.getValue();
      double[] got = written.get(object.getKey());
      for (int d = 0; d < want.length; d++) {
        if (Double.isNaN(want[d])) {
          assertTrue(Double.isNaN(got[d]), object.getKey() + " takes no part");
        } else {
          assertEquals(want[d], got[d], 1e-12 * Math.max(1, Math.abs(want[d])),
              object.getKey() + ", dimension " + (d + 1));
        }
      }
    }
  }

  /** summary.json without where the data came from, which differs by design. */
  private static JsonObject summary(Path out) throws IOException {
    JsonObject summary =
        JsonParser.parseString(Files.readString(out.resolve("summary.json"))).getAsJsonObject();
    summary.remove("source");
    return summary;
  }

  /** objects.csv: each object's scores by its id, NaN where empty. */
  private static Map<String, double[]> objects(Path file) throws IOException {
    Map<String, double[]> objects = new HashMap<>();
    List<String> lines = Files.readAllLines(file, StandardCharsets.UTF_8);
    for (String line : lines.subList(1, lines.size())) {
      String[] cells = line.split(",", -1);
      double[] scores = new double[cells.length - 2];
      for (int d = 0; d < scores.length; d++) {
        scores[d] = cells[d + 2].isEmpty() ? Double.NaN : Double.parseDouble(cells[d + 2]);
      }
      objects.put(cells[0], scores);
    }
    return objects;
  }

  /** The scores table as the database holds it, NaN for NULL. */
  private static Map<String, double[]> scoresTable(SourceAddress.Engine engine, String table) {
    List<String[]> rows;
    if (engine == SourceAddress.Engine.CLICKHOUSE) {
      rows = Tsv.rows(TestDatabases.clickHouseQuery(System.getenv("TALLOWMERE_TEST_CLICKHOUSE"),
          "SELECT * FROM " + ClickHouseSource.identifier(TestDatabases.database()) + "."
              + ClickHouseSource.identifier(table)));
    } else {
      rows = TestDatabases.postgreSqlRows("SELECT * FROM " + PostgreSqlSource.identifier(table));
    }
    Map<String, double[]> scores = new HashMap<>();
    for (String[] row : rows) {
      double[] values = new double[row.length - 1];
      for (int d = 0; d < values.length; d++) {
        values[d] = row[d + 1] == null ? Double.NaN : Double.parseDouble(row[d + 1]);
      }
      scores.put(row[0], values);
    }
    return scores;
  }
}
