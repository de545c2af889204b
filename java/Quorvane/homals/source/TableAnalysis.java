package Quorvane.homals.source;

import Quorvane.homals.CategoryTables;
import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.Variable;
import java.math.BigDecimal;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.TreeSet;

/**
 * An analysis of a table that a {@link DataSource} holds: its columns as variables, the tables
 * the source sums for them, and what a result gives back to the source: the scores of a sample
 * of its objects, and of all of them in a table beside it.
 *
 * <pre>{@code
 * try (DataSource source = DataSource.open("clickhouse://analyst@db:8123/survey/answers")) {
 *   List<TableAnalysis.Column> columns = new ArrayList<>();
 *   for (String name : List.of("q1", "q2", "q3")) {
 *     columns.add(TableAnalysis.Column.of(name, source.labels(name, "w")));
 *   }
 *   TableAnalysis table = TableAnalysis.sum(source, columns, "w");
 *   HomalsResult result = table.builder().dimensions(2).build().run();
 *   table.writeScores(result, "answers_scores", "respondent");
 * }
 * }</pre>
 *
 * <p>Labels are the texts of a column's values; a column's {@link Column#codes} say which
 * category each is. The analysis is the one that the same rows give in memory, bit for bit,
 * since the counts are whole numbers however they were summed ({@link
 * HomalsAnalysis.Builder#tables}).
 */
public final class TableAnalysis {
  /**
   * A column as a variable of the analysis: the variable (categories, role, quantification,
   * excluded categories), the code 1 .. k of each label that is a category, and the code of NULL
   * (0: missing). Labels without a code are missing cells.
   */
  public record Column(Variable variable, Map<String, Integer> codes, int nullCode) {
    public Column {
      codes = java.util.Collections.unmodifiableMap(new LinkedHashMap<>(codes));
      int k = variable.categoryCount();
      codes.forEach((label, code) -> {
        if (code < 1 || code > k) {
          throw new IllegalArgumentException("column '" + variable.name() + "': label '" + label
              + "' has code " + code + " of " + k + " categories");
        }
      });
      if (nullCode < 0 || nullCode > k) {
        throw new IllegalArgumentException(
            "column '" + variable.name() + "': NULL has code " + nullCode);
      }
    }

    /**
     * A column whose categories are its labels, trimmed, in {@link Variable#categoryOrder};
     * NULL and blank labels are missing.
     */
    public static Column of(String name, List<LabelCount> labels) {
      TreeSet<String> seen = new TreeSet<>();
      for (LabelCount label : labels) {
        if (label.label() != null && !label.label().isBlank()) {
          seen.add(label.label().trim());
        }
      }
      List<String> categories = Variable.categoryOrder(seen);
      Map<String, Integer> codes = new LinkedHashMap<>();
      for (LabelCount label : labels) {
        if (label.label() != null && !label.label().isBlank()) {
          codes.put(label.label(), categories.indexOf(label.label().trim()) + 1);
        }
      }
      return new Column(Variable.ofCategories(name, categories), codes, 0);
    }

    /** This column as another variable of the same categories: passive, single, excluding. */
    public Column as(Variable changed) {
      if (!changed.name().equals(variable.name())
          || !changed.categories().equals(variable.categories())) {
        throw new IllegalArgumentException("variable '" + changed.name() + "' is not a form of '"
            + variable.name() + "' with its categories");
      }
      return new Column(changed, codes, nullCode);
    }

    /** The code of a label (null for NULL); 0 for a missing cell. */
    public int code(String label) {
      if (label == null) {
        return nullCode;
      }
      Integer code = codes.get(label);
      return code == null ? 0 : code;
    }
  }

  private final DataSource source;
  private final List<Column> columns;
  private final TableLayout layout;
  private final CategoryTables tables;

  private TableAnalysis(
      DataSource source, List<Column> columns, TableLayout layout, CategoryTables tables) {
    this.source = source;
    this.columns = columns;
    this.layout = layout;
    this.tables = tables;
  }

  /**
   * The facts of a weight column, refused when a weight is missing, negative or not finite, or
   * when none is positive.
   */
  public static WeightFacts weightFacts(DataSource source, String weightColumn) {
    WeightFacts facts = source.weightFacts(weightColumn);
    String column = "weight column '" + weightColumn + "': ";
    if (facts.nulls() > 0) {
      throw new SourceException(column + facts.nulls() + " of " + facts.rows() + " rows have no "
          + "weight (NULL); weights must be finite numbers of 0 or more");
    }
    if (facts.negative() > 0) {
      throw new SourceException(column + facts.negative() + " rows have a negative weight; "
          + "weights must be finite numbers of 0 or more");
    }
    if (facts.notFinite() > 0) {
      throw new SourceException(column + facts.notFinite() + " rows have a weight that is not a "
          + "finite number; weights must be finite numbers of 0 or more");
    }
    if (!(facts.largest() > 0)) {
      throw new SourceException(
          column + "no object has a positive weight, so none takes part in the analysis");
    }
    return facts;
  }

  /** Sums the tables of the columns, asking the source for the weight column's facts. */
  public static TableAnalysis sum(DataSource source, List<Column> columns, String weightColumn) {
    return sum(source, columns, weightColumn,
        weightColumn == null ? null : weightFacts(source, weightColumn));
  }

  /**
   * Sums the tables of the columns, with the weight column's facts already known.
   *
   * @param columns at least one active
   * @param facts the weight column's facts ({@link #weightFacts}), or null without weights
   */
  public static TableAnalysis sum(
      DataSource source, List<Column> columns, String weightColumn, WeightFacts facts) {
    List<Variable> variables = columns.stream().map(Column::variable).toList();
    int[][] tableCodes = HomalsAnalysis.tableVariables(variables);
    int[] sources = HomalsAnalysis.tableVariableSources(variables);
    boolean[] active = HomalsAnalysis.tableVariablesActive(variables);
    List<Coding> codings = new ArrayList<>();
    int m = 0;
    for (int t = 0; t < tableCodes.length; t++) {
      Column column = columns.get(sources[t]);
      int[] byCategory = tableCodes[t];
      int k = 0;
      for (int code : byCategory) {
        k = Math.max(k, code);
      }
      Map<String, Integer> codes = new LinkedHashMap<>();
      column.codes().forEach((label, code) -> {
        if (byCategory[code - 1] > 0) {
          codes.put(label, byCategory[code - 1]);
        }
      });
      int nullCode = column.nullCode() == 0 ? 0 : byCategory[column.nullCode() - 1];
      codings.add(new Coding(column.variable().name(), active[t], k, codes, nullCode));
      m += active[t] ? 1 : 0;
    }
    int scale = facts == null
        ? 0
        : CategoryTables.weightScale(facts.total(), facts.largest(), facts.whole(), m);
    TableLayout layout = new TableLayout(codings, weightColumn, scale);
    return new TableAnalysis(source, List.copyOf(columns), layout, source.tables(layout));
  }

  /**
   * A builder of the analysis of these tables, with its variables; the settings are the caller's.
   */
  public HomalsAnalysis.Builder builder() {
    return HomalsAnalysis.builder()
        .variables(columns.stream().map(Column::variable).toList())
        .tables(tables);
  }

  public List<Column> columns() { return columns; }

  /** What the source summed. */
  public TableLayout layout() { return layout; }

  /** The tables the source summed. */
  public CategoryTables tables() { return tables; }

  /** The column of an analysed variable, or null. */
  public Column column(String name) {
    for (Column column : columns) {
      if (column.variable().name().equals(name)) {
        return column;
      }
    }
    return null;
  }

  /**
   * The result's score coefficients by variable of the layout, code of the fit and dimension;
   * null for the passive ones.
   */
  public double[][][] coefficients(HomalsResult result) {
    List<Variable> variables = result.analysis().variables();
    int[][] tableCodes = HomalsAnalysis.tableVariables(variables);
    int[] sources = HomalsAnalysis.tableVariableSources(variables);
    double[][][] coefficients = new double[layout.variables().size()][][];
    for (int t = 0; t < coefficients.length; t++) {
      Coding coding = layout.variables().get(t);
      if (!coding.active()) {
        continue;
      }
      coefficients[t] = new double[coding.categoryCount()][result.dimensions()];
      for (int c = 0; c < tableCodes[t].length; c++) {
        int code = tableCodes[t][c];
        for (int d = 0; code > 0 && d < result.dimensions(); d++) {
          coefficients[t][code - 1][d] = result.scoreCoefficient(sources[t], c, d);
        }
      }
    }
    return coefficients;
  }

  /**
   * Objects drawn from those that take part, with their weights, their scores and their labels
   * in some columns.
   *
   * @param scores [dimension][object], as the scores table holds them
   * @param labels by column, each object's text (null for NULL)
   */
  public record Sample(double[][] scores, double[] weights, Map<String, String[]> labels) {
    /** The objects drawn. */
    public int size() {
      return weights.length;
    }
  }

  /**
   * At most {@code limit} of the objects that take part, drawn by a hash of their values, so
   * that the same rows give the same sample in any order and on any number of shards; their
   * scores are computed here from the result's coefficients, as {@link #writeScores} computes
   * them in the source.
   *
   * @param labelColumns columns whose texts to keep for each object drawn
   */
  public Sample sample(HomalsResult result, List<String> labelColumns, int limit) {
    List<String> read = new ArrayList<>(layout.columns());
    for (String column : labelColumns) {
      if (!read.contains(column)) {
        read.add(column);
      }
    }
    List<String[]> rows = source.sample(layout, read, limit);
    int n = rows.size();
    double[][][] coefficients = coefficients(result);
    double[][] scores = new double[result.dimensions()][n];
    double[] weights = new double[n];
    int weight = layout.weightColumn() == null ? -1 : read.indexOf(layout.weightColumn());
    int[] at = new int[coefficients.length];
    for (int t = 0; t < at.length; t++) {
      at[t] = read.indexOf(layout.variables().get(t).column());
    }
    for (int i = 0; i < n; i++) {
      String[] row = rows.get(i);
      weights[i] = weight < 0 ? 1 : new BigDecimal(row[weight].trim()).doubleValue();
      double[] sum = new double[result.dimensions()];
      int observed = 0;
      for (int t = 0; t < coefficients.length; t++) {
        Coding coding = layout.variables().get(t);
        int code = coding.active() ? coding.code(row[at[t]]) : 0;
        if (code > 0) {
          observed++;
          for (int d = 0; d < sum.length; d++) {
            sum[d] += coefficients[t][code - 1][d];
          }
        }
      }
      for (int d = 0; d < sum.length; d++) {
        scores[d][i] = sum[d] / observed;
      }
    }
    Map<String, String[]> labels = new LinkedHashMap<>();
    for (String column : labelColumns) {
      int index = read.indexOf(column);
      String[] texts = new String[n];
      for (int i = 0; i < n; i++) {
        texts[i] = rows.get(i)[index];
      }
      labels.put(column, texts);
    }
    return new Sample(scores, weights, labels);
  }

  /**
   * Writes every object's scores into a new table beside the source table, computed where the
   * rows are ({@link DataSource#writeScores}).
   */
  public void writeScores(HomalsResult result, String table, String idColumn) {
    source.writeScores(table, idColumn, layout, coefficients(result));
  }

  /** The summed weight of the objects that take part, exactly, in decimal. */
  public String takingWeight() {
    // Each object's units are counted once for each of its c observed active variables.
    long units = 0;
    for (int c = 1; c <= tables.activeCount(); c++) {
      long sum = 0;
      for (int s = 0; s < tables.activeSlots(); s++) {
        sum += tables.frequency(c, s);
      }
      units += sum / c;
    }
    BigDecimal two = BigDecimal.valueOf(2);
    int scale = tables.weightScale();
    BigDecimal weight = scale >= 0 ? new BigDecimal(units).divide(two.pow(scale))
                                   : new BigDecimal(units).multiply(two.pow(-scale));
    return weight.stripTrailingZeros().toPlainString();
  }
}
