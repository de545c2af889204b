package Quorvane.homals.source;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import Quorvane.NativeLibrary;
import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.Solver;
import Quorvane.homals.Variable;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * The typed API's analysis of a source's table is the analysis of the same rows in memory: the
 * same eigenvalues to the bit, and for the objects it draws the scores those rows have in memory;
 * and where the source can hold one, a scores table with the same scores.
 */
@Tag("database")
class TableAnalysisTest {
  @TempDir static Path folder;

  @BeforeAll
  static void load() {
    NativeLibrary.load();
  }

  private static final List<String> NAMES = List.of("id", "colour", "size;", "shape's", "where");
  private static final String[][] LABELS = {{"red", "green", "blue"}, {"S", "M", "L", "XL"},
      {"round", "square", "star"}, {"north", "south"}};

  /** Rows of an id and four columns, the last passive; some cells NULL. */
  private static List<String[]> rows() {
    Random random = new Random(17);
    List<String[]> rows = new ArrayList<>();
    for (int i = 0; i < 240; i++) {
      int latent = random.nextInt(3);
      String[] row = new String[NAMES.size()];
      row[0] = "o" + i;
      for (int j = 1; j < row.length; j++) {
        String[] labels = LABELS[j - 1];
        double u = random.nextDouble();
        row[j] = u > 0.95
            ? null
            : labels[u < 0.6 ? latent % labels.length : random.nextInt(labels.length)];
      }
      rows.add(row);
    }
    return rows;
  }

  static Stream<String> engines() { return Stream.of("csv", "clickhouse", "postgresql"); }

  private static DataSource open(String engine, List<String[]> rows) throws Exception {
    List<TestDatabases.Column> columns = NAMES.stream().map(TestDatabases.Column::text).toList();
    if (engine.equals("csv")) {
      StringBuilder text = new StringBuilder(String.join(",", NAMES)).append('\n');
      for (String[] row : rows) {
        List<String> cells = new ArrayList<>();
        for (String cell : row) {
          cells.add(cell == null ? "" : cell);
        }
        text.append(String.join(",", cells)).append('\n');
      }
      Path file = folder.resolve(TestDatabases.uniqueName("rows") + ".csv");
      Files.writeString(file, text, StandardCharsets.UTF_8);
      return CsvSource.read(file);
    }
    TestDatabases.assumeServers();
    SourceAddress.Engine kind = engine.equals("clickhouse") ? SourceAddress.Engine.CLICKHOUSE
                                                            : SourceAddress.Engine.POSTGRESQL;
    String table = kind == SourceAddress.Engine.CLICKHOUSE
        ? TestDatabases.clickHouse("typed", columns, rows)
        : TestDatabases.postgreSql("typed", columns, rows);
    return DataSource.open(TestDatabases.address(kind, table));
  }

  @ParameterizedTest
  @MethodSource("engines")
  void isTheAnalysisOfTheRowsInMemory(String engine) throws Exception {
    List<String[]> rows = rows();
    HomalsResult inMemory = inMemory(rows);
    try (DataSource source = open(engine, rows)) {
      List<TableAnalysis.Column> columns = new ArrayList<>();
      for (String name : NAMES.subList(1, NAMES.size())) {
        TableAnalysis.Column column = TableAnalysis.Column.of(name, source.labels(name, null));
        columns.add(name.equals("where") ? column.as(column.variable().passive()) : column);
      }
      TableAnalysis table = TableAnalysis.sum(source, columns, null);
      HomalsResult result = table.builder().dimensions(2).solver(Solver.DIRECT).build().run();

      assertArrayEquals(inMemory.eigenvalues(), result.eigenvalues());
      TableAnalysis.Sample sample = table.sample(result, List.of("id"), 1000);
      assertEquals(inMemory.objectCount() - notTakingPart(inMemory), sample.size());
      Map<String, double[]> drawn = new HashMap<>();
      String[] ids = sample.labels().get("id");
      for (int i = 0; i < ids.length; i++) {
        drawn.put(ids[i], new double[] {sample.scores()[0][i], sample.scores()[1][i]});
      }
      for (int i = 0; i < inMemory.objectCount(); i++) {
        if (inMemory.takesPart(i)) {
          assertArrayEquals(inMemory.objectScores(i), drawn.get("o" + i), 1e-12, "object " + i);
        }
      }
    }
  }

  private static int notTakingPart(HomalsResult result) {
    int none = 0;
    for (int i = 0; i < result.objectCount(); i++) {
      none += result.takesPart(i) ? 0 : 1;
    }
    return none;
  }

  /** The same rows as labels in memory. */
  private static HomalsResult inMemory(List<String[]> rows) {
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder().dimensions(2).solver(Solver.DIRECT);
    for (int j = 1; j < NAMES.size(); j++) {
      List<String> labels = new ArrayList<>();
      for (String[] row : rows) {
        labels.add(row[j]);
      }
      Variable variable = Variable.ofLabels(NAMES.get(j), labels);
      builder.variable(NAMES.get(j).equals("where") ? variable.passive() : variable);
    }
    return builder.build().run();
  }
}
