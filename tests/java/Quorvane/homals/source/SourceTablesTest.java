package Quorvane.homals.source;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.CategoryTables;
import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.Variable;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.HashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.TreeSet;
import java.util.stream.Stream;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Every source sums exactly the tables that the same rows give in memory ({@link
 * CategoryTables#of}), whatever its names and labels hold: quotes, backslashes, semicolons,
 * comment marks, tabs. The rows are spread over the two shards of a Distributed ClickHouse table,
 * loaded into PostgreSQL, and written to a CSV file.
 */
@Tag("database")
class SourceTablesTest {
  @TempDir static Path folder;

  /** Labels that a query built by pasting text would break on. */
  private static final List<String> AWKWARD =
      List.of("it's", "back\\slash", "semi;colon", "say \"no\"", "-- not a comment",
          "/* nor this */", "tick`", "tab\there", "zürich", "'; DROP");

  private static final List<String> NAMES =
      List.of("it's \"a\";b", "back\\slash", "semi;colon", "tick`name", "plain", "weight's");

  /** Weights: whole numbers, binary fractions in doubles, or decimals of six places. */
  enum Weights { WHOLE, BINARY, DECIMAL }

  /**
   * A dataset: text columns of awkward labels (NULL cells among them), an integer column with
   * negative values and NULLs, and a weight column. The sums of binary fractions round differently
   * on every scale; decimals are stored as decimals in the databases, since ClickHouse reads the
   * text of a double to its nearest value only most of the time.
   */
  record Dataset(
      String name, List<TestDatabases.Column> columns, List<String[]> rows, Weights weights) {
    @Override
    public String toString() {
      return name;
    }
  }

  private static Dataset dataset(String name, long seed, int n, Weights weights) {
    Random random = new Random(seed);
    List<TestDatabases.Column> columns = new ArrayList<>();
    for (int j = 0; j < 4; j++) {
      columns.add(TestDatabases.Column.text(NAMES.get(j)));
    }
    columns.add(TestDatabases.Column.integer(NAMES.get(4)));
    columns.add(weights == Weights.WHOLE ? TestDatabases.Column.integer(NAMES.get(5))
            : weights == Weights.BINARY  ? TestDatabases.Column.real(NAMES.get(5))
                                         : TestDatabases.Column.decimal(NAMES.get(5)));
    List<String[]> rows = new ArrayList<>();
    for (int i = 0; i < n; i++) {
      int latent = random.nextInt(4);
      String[] row = new String[columns.size()];
      for (int j = 0; j < 4; j++) {
        double u = random.nextDouble();
        int label = u < 0.55 ? (latent + 2 * j) % 5 : random.nextInt(4 + j);
        row[j] = u > 0.96 ? null : AWKWARD.get((label + j) % AWKWARD.size());
      }
      double u = random.nextDouble();
      row[4] = u > 0.93 ? null : Integer.toString(u < 0.5 ? latent - 2 : random.nextInt(5) - 2);
      row[5] = random.nextInt(13) == 0 ? "0" : weight(weights, random);
      rows.add(row);
    }
    return new Dataset(name, columns, rows, weights);
  }

  private static String weight(Weights weights, Random random) {
    if (weights == Weights.WHOLE) {
      return Integer.toString(1 + random.nextInt(4));
    }
    if (weights == Weights.BINARY) {
      return Double.toString((1 + random.nextInt(3 << 10)) / 1024.0);
    }
    return new java.math.BigDecimal(1 + random.nextInt(3_000_000)).movePointLeft(6).toPlainString();
  }

  static Stream<Arguments> cases() {
    List<Dataset> datasets = List.of(dataset("whole weights", 7, 400, Weights.WHOLE),
        dataset("binary weights", 11, 350, Weights.BINARY),
        dataset("decimal weights", 13, 300, Weights.DECIMAL));
    List<Arguments> cases = new ArrayList<>();
    for (Dataset dataset : datasets) {
      for (String engine : List.of("clickhouse", "postgresql", "csv")) {
        cases.add(Arguments.of(engine, dataset));
      }
    }
    return cases.stream();
  }

  /**
   * The codings of a dataset: the sorted labels of each column numbered, one label left out as if
   * it were a missing text, NULL a category of its own in the second column, the third column
   * passive.
   */
  private static List<Coding> codings(Dataset dataset, int leftOut) {
    List<Coding> codings = new ArrayList<>();
    for (int j = 0; j < 5; j++) {
      TreeSet<String> labels = new TreeSet<>();
      for (String[] row : dataset.rows()) {
        if (row[j] != null) {
          labels.add(row[j]);
        }
      }
      Map<String, Integer> codes = new LinkedHashMap<>();
      int next = 0;
      int skip = j == 4 ? -1 : leftOut;
      for (String label : labels) {
        if (next == skip) {
          skip = -1;
        } else {
          codes.put(label, ++next);
        }
      }
      int nullCode = j == 1 ? ++next : 0;
      codings.add(new Coding(dataset.columns().get(j).name(), j != 2, next, codes, nullCode));
    }
    return codings;
  }

  /** The tables of the same rows in memory, as the analysis of their codes sums them. */
  private static CategoryTables expected(Dataset dataset, List<Coding> codings) {
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder();
    for (int v = 0; v < codings.size(); v++) {
      Coding coding = codings.get(v);
      int[] codes = new int[dataset.rows().size()];
      for (int i = 0; i < codes.length; i++) {
        codes[i] = coding.code(dataset.rows().get(i)[v]);
      }
      List<String> categories = new ArrayList<>();
      for (int c = 1; c <= coding.categoryCount(); c++) {
        categories.add("c" + c);
      }
      Variable variable = Variable.ofCodes(coding.column(), codes, categories);
      builder.variable(coding.active() ? variable : variable.passive());
    }
    double[] weights = new double[dataset.rows().size()];
    for (int i = 0; i < weights.length; i++) {
      weights[i] = Double.parseDouble(dataset.rows().get(i)[5]);
    }
    return CategoryTables.of(builder.weights(weights).build());
  }

  private static DataSource open(String engine, Dataset dataset) throws IOException {
    if (engine.equals("csv")) {
      return CsvSource.read(csv(dataset));
    }
    TestDatabases.assumeServers();
    String table = engine.equals("clickhouse")
        ? TestDatabases.clickHouse("tables", dataset.columns(), dataset.rows())
        : TestDatabases.postgreSql("tables", dataset.columns(), dataset.rows());
    SourceAddress.Engine kind = engine.equals("clickhouse") ? SourceAddress.Engine.CLICKHOUSE
                                                            : SourceAddress.Engine.POSTGRESQL;
    SourceAddress address = SourceAddress.parse(TestDatabases.address(kind, table));
    return kind == SourceAddress.Engine.CLICKHOUSE
        ? new ClickHouseSource(address, TestDatabases.password())
        : new PostgreSqlSource(address, TestDatabases.password());
  }

  private static Path csv(Dataset dataset) throws IOException {
    StringBuilder text = new StringBuilder();
    List<String> header = dataset.columns().stream().map(TestDatabases.Column::name).toList();
    text.append(String.join(",", header.stream().map(SourceTablesTest::quoted).toList()))
        .append('\n');
    for (String[] row : dataset.rows()) {
      text.append(
              String.join(",", Arrays.stream(row).map(c -> c == null ? "" : quoted(c)).toList()))
          .append('\n');
    }
    Path file = folder.resolve(TestDatabases.uniqueName("rows") + ".csv");
    Files.writeString(file, text, StandardCharsets.UTF_8);
    return file;
  }

  private static String quoted(String cell) { return "\"" + cell.replace("\"", "\"\"") + "\""; }

  @ParameterizedTest(name = "{0}, {1}")
  @MethodSource("cases")
  void sumsTheTablesOfTheRowsInMemory(String engine, Dataset dataset) throws IOException {
    try (DataSource source = open(engine, dataset)) {
      String weight = dataset.columns().get(5).name();
      WeightFacts facts = source.weightFacts(weight);
      assertEquals(dataset.rows().size(), facts.rows());
      assertEquals(dataset.weights() == Weights.WHOLE, facts.whole());
      List<Coding> codings = codings(dataset, 2);
      CategoryTables expected = expected(dataset, codings);
      int scale = CategoryTables.weightScale(facts.total(), facts.largest(), facts.whole(), 4);
      assertEquals(expected.weightScale(), scale);

      CategoryTables tables = source.tables(new TableLayout(codings, weight, scale));

      assertEquals(expected, tables, () -> firstDifference(expected, tables));
    }
  }

  @ParameterizedTest(name = "{0}, {1}")
  @MethodSource("cases")
  void drawsTheSameSampleWhateverTheOrderOfTheRows(String engine, Dataset dataset)
      throws IOException {
    List<String[]> shuffled = new ArrayList<>(dataset.rows());
    java.util.Collections.shuffle(shuffled, new Random(3));
    Dataset reordered = new Dataset(dataset.name(), dataset.columns(), shuffled, dataset.weights());
    String weight = dataset.columns().get(5).name();
    List<Coding> codings = codings(dataset, 2);
    int limit = 50;
    List<String> columns = List.of(NAMES.get(3), NAMES.get(0));
    List<List<String>> samples = new ArrayList<>();
    long taking = 0;
    for (Dataset rows : List.of(dataset, reordered)) {
      try (DataSource source = open(engine, rows)) {
        WeightFacts facts = source.weightFacts(weight);
        TableLayout layout = new TableLayout(codings, weight,
            CategoryTables.weightScale(facts.total(), facts.largest(), facts.whole(), 4));
        taking = source.tables(layout).objectCount();
        List<String[]> sample = source.sample(layout, columns, limit);
        samples.add(sample.stream().map(Arrays::toString).toList());
      }
    }

    assertEquals(Math.min(limit, taking), samples.get(0).size());
    assertEquals(samples.get(0), samples.get(1));
  }

  /** Where two tables of one shape first differ, in words. */
  static String firstDifference(CategoryTables expected, CategoryTables actual) {
    if (expected.objectCount() != actual.objectCount()) {
      return "objects " + expected.objectCount() + " != " + actual.objectCount();
    }
    int s1 = expected.activeSlots();
    for (int c = 1; c <= expected.activeCount(); c++) {
      for (int s = 0; s < s1 + expected.passiveSlots(); s++) {
        if (expected.frequency(c, s) != actual.frequency(c, s)) {
          return "c = " + c + ", slot " + s + ": frequency " + expected.frequency(c, s)
              + " != " + actual.frequency(c, s);
        }
        for (int s2 = s < s1 ? s : 0; s2 < s1; s2++) {
          if (expected.pair(c, s, s2) != actual.pair(c, s, s2)) {
            return "c = " + c + ", slots " + s + ", " + s2 + ": " + expected.pair(c, s, s2)
                + " != " + actual.pair(c, s, s2);
          }
        }
      }
    }
    return "no count differs";
  }

  @ParameterizedTest(name = "{0}, {1}")
  @MethodSource("cases")
  void countsEveryValueOfAColumn(String engine, Dataset dataset) throws IOException {
    try (DataSource source = open(engine, dataset)) {
      for (int j = 0; j <= 4; j++) {
        Map<String, long[]> expected = new HashMap<>();
        for (String[] row : dataset.rows()) {
          long[] count = expected.computeIfAbsent(row[j], l -> new long[2]);
          count[0]++;
          count[1] += Double.parseDouble(row[5]) > 0 ? 1 : 0;
        }
        List<LabelCount> labels = new ArrayList<>(
            source.labels(dataset.columns().get(j).name(), dataset.columns().get(5).name()));
        labels.sort(Comparator.comparing(
            LabelCount::label, Comparator.nullsFirst(Comparator.naturalOrder())));
        assertEquals(expected.size(), labels.size());
        for (LabelCount label : labels) {
          assertTrue(expected.containsKey(label.label()), "no label '" + label.label() + "'");
          long[] count = expected.get(label.label());
          assertEquals(count[0], label.rows(), "rows of '" + label.label() + "'");
          assertEquals(count[1], label.weightedRows(), "weighted rows of '" + label.label() + "'");
        }
      }
    }
  }
}
