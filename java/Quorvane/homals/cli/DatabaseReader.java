package Quorvane.homals.cli;

import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.Variable;
import Quorvane.homals.plot.ObjectCloud;
import Quorvane.homals.source.DataSource;
import Quorvane.homals.source.LabelCount;
import Quorvane.homals.source.SourceAddress;
import Quorvane.homals.source.SourceColumn;
import Quorvane.homals.source.TableAnalysis;
import Quorvane.homals.source.WeightFacts;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;
import java.util.TreeSet;

/**
 * Reads a table of a database into the analysis the options describe, asking the database only
 * for what is the size of the categories: the columns and their types, each analysed column's
 * distinct values with their counts, the facts of the weight column, and then the tables the
 * solver needs, summed where the rows are. Each column's labels become categories by the
 * choices the CSV reader makes ({@link ColumnChoices}), with the cell rules of a CSV file: a
 * label is the value's text trimmed, and NULL, a blank label or a --missing text is missing.
 */
final class DatabaseReader {
  private final DataSource source;
  private final AnalysisOptions options;
  private final PlotOptions plotOptions;
  private final String scoresTable;
  private final List<String> warnings = new ArrayList<>();
  private final ColumnChoices choices;
  private volatile String step = "asking for the columns";

  /**
   * @param scoresTable the table --scores-table names, checked before anything is summed; or
   *     null
   */
  DatabaseReader(
      DataSource source, AnalysisOptions options, PlotOptions plotOptions, String scoresTable) {
    this.source = source;
    this.options = options;
    this.plotOptions = plotOptions;
    this.scoresTable = scoresTable;
    this.choices = new ColumnChoices(options, warnings);
  }

  /** What the reading is doing; may be asked from another thread while {@link #read} runs. */
  String progress() { return step; }

  /**
   * What a run from a database keeps besides the analysis: the table's analysis (the analysed
   * columns, the tables its database summed), the rows of the table, and the time its queries
   * take.
   */
  static final class Run {
    /** The most objects drawn for the plots. */
    static final int SAMPLE_SIZE = 5000;

    private final DataSource source;
    private final TableAnalysis table;
    private final long rows;
    private long queryNanos;

    Run(DataSource source, TableAnalysis table, long rows) {
      this.source = source;
      this.table = table;
      this.rows = rows;
    }

    long rows() { return rows; }

    TableAnalysis table() { return table; }

    /** {@link TableAnalysis#sample} as a phase of the run. */
    TableAnalysis.Sample sample(Progress progress, HomalsResult result, List<String> labelColumns)
        throws Exception {
      long start = System.nanoTime();
      TableAnalysis.Sample sample = progress.phase(
          "sampling", () -> table.sample(result, labelColumns, SAMPLE_SIZE), null, this::drawn);
      queryNanos += System.nanoTime() - start;
      return sample;
    }

    private String drawn(TableAnalysis.Sample sample) {
      return String.format(Locale.ROOT, "drew %,d of the %,d objects that take part, for the plots",
          sample.size(), table.tables().objectCount());
    }

    /** {@link TableAnalysis#writeScores} as a phase of the run. */
    void writeScores(Progress progress, HomalsResult result, String name, String idColumn)
        throws Exception {
      long start = System.nanoTime();
      progress.phase("writing scores", () -> {
        table.writeScores(result, name, idColumn);
        return name;
      }, null, written -> "wrote the scores into table " + written);
      queryNanos += System.nanoTime() - start;
    }

    /** The notes of the input, with what the run asked of the database. */
    InputNotes notes(InputNotes notes, String location, TableAnalysis.Sample sample,
        String scoresTable, long readNanos) {
      return notes.withDatabase(new InputNotes.DatabaseNotes(source.description(),
          SourceAddress.parse(location).toString(), rows, table.tables().objectCount(),
          table.takingWeight(), sample == null ? 0 : sample.size(), scoresTable,
          source.bytesReceived(), (readNanos + queryNanos) / 1e9));
    }

    /** The sample as the plots draw it: every object drawn stands for the ones taking part. */
    ObjectCloud cloud(TableAnalysis.Sample sample) {
      return ObjectCloud.sample(sample.scores(), sample.weights(), table.tables().objectCount());
    }
  }

  AnalyseCommand.Input read() {
    List<SourceColumn> columns = source.columns();
    List<String> header = columns.stream().map(SourceColumn::name).toList();
    for (List<String> names : List.of(options.passive, options.columns, options.exclude,
             new ArrayList<>(options.single.keySet()), new ArrayList<>(options.order.keySet()),
             new ArrayList<>(options.values.keySet()),
             new ArrayList<>(options.excludeCategory.keySet()))) {
      names.forEach(source::column);
    }
    for (String name : new String[] {options.weight, options.id}) {
      if (name != null) {
        source.column(name);
      }
    }
    plotOptions.labelledColumns().forEach(source::column);
    if (!options.numeric.isEmpty()) {
      throw new CliException("--numeric correlates every object's score with a column; a "
          + "database source keeps its objects where they are, so it is not available there");
    }
    if (options.codes && !options.order.isEmpty()) {
      throw new CliException("--order gives labels; it cannot be used with --codes");
    }
    if (scoresTable != null && header.contains(scoresTable)) {
      // Harmless, but most likely a slip: the table is named like a column.
      warnings.add("--scores-table " + scoresTable + " is also the name of a column");
    }
    List<String> analysed = options.analysedColumns(header, List.of());
    for (String name : analysed) {
      SourceColumn column = source.column(name);
      if (!column.kind().categorical()) {
        throw new CliException("column '" + name + "' is of type " + column.type() + ": "
            + (column.kind() == SourceColumn.Kind.FLOAT
                    ? "floating-point numbers are not categories"
                    : "its values are not categories")
            + "; leave it out with -x " + name
            + (column.kind() == SourceColumn.Kind.FLOAT ? " (or weigh by it with -w " + name + ")"
                                                        : ""));
      }
    }

    step = "counting the rows";
    long rows = source.rows();
    if (rows == 0) {
      throw new CliException(source.description() + " has no rows");
    }
    if (options.weight != null) {
      step = "checking the weights";
      facts = TableAnalysis.weightFacts(source, options.weight);
    }

    Set<String> missingTexts = new HashSet<>(options.missing);
    Map<String, Integer> missingCells = new LinkedHashMap<>();
    Map<String, String> leftOut = new LinkedHashMap<>();
    List<TableAnalysis.Column> described = new ArrayList<>();
    for (String name : analysed) {
      step = "counting the values of column '" + name + "'";
      List<LabelCount> counts = source.labels(name, options.weight);
      Column column = options.codes ? numbered(name, counts, missingTexts)
                                    : labelled(name, counts, missingTexts);
      missingCells.put(name, (int) Math.min(column.missing, Integer.MAX_VALUE));
      List<String> categories = column.categories;
      int nullCode = 0;
      if (options.missingAsCategory && column.missing > 0) {
        categories = new ArrayList<>(categories);
        categories.add(InputNotes.MISSING_CATEGORY);
        int code = categories.size();
        for (LabelCount count : counts) {
          if (count.label() != null && column.codes.get(count.label()) == 0) {
            column.codes.put(count.label(), code);
          }
        }
        nullCode = code;
      }
      Map<String, Integer> codes = new LinkedHashMap<>();
      column.codes.forEach((label, code) -> {
        if (code > 0) {
          codes.put(label, code);
        }
      });
      boolean passive = options.passive.contains(name);
      String constant = singleObservedCategory(counts, codes, nullCode, categories);
      if (constant != null && !passive) {
        warnings.add(ColumnWarnings.leftOutAsConstant(name, constant, leftOut));
        continue;
      }
      String identifier = ColumnWarnings.identifierLike(
          name, categories.size(), (int) Math.min(rows, Integer.MAX_VALUE));
      if (identifier != null) {
        warnings.add(identifier);
      }
      if (options.weight == null) {
        String countLike = ColumnWarnings.countLike(
            name, categories, List.of(), (int) Math.min(rows, Integer.MAX_VALUE));
        if (countLike != null) {
          warnings.add(countLike);
        }
      }
      Variable variable = choices.dress(Variable.ofCategories(name, categories), passive);
      described.add(new TableAnalysis.Column(variable, codes, nullCode));
    }
    InputNotes notes = InputNotes.ofTable(missingCells, leftOut, options.missingAsCategory);
    List<Variable> variables = described.stream().map(TableAnalysis.Column::variable).toList();
    if (variables.stream().noneMatch(Variable::isActive)) {
      // Nothing to sum: the analysis refuses the variables in its own words.
      return new AnalyseCommand.Input(options.build(HomalsAnalysis.builder().variables(variables)),
          null, notes, List.copyOf(warnings), Map.of(), null);
    }
    step = "summing the tables";
    TableAnalysis table = TableAnalysis.sum(source, described, options.weight, facts);
    HomalsAnalysis analysis = options.build(table.builder());
    return new AnalyseCommand.Input(
        analysis, null, notes, List.copyOf(warnings), Map.of(), new Run(source, table, rows));
  }

  private WeightFacts facts;

  /** A column's categories, and the code of each of its values (0: missing). */
  private static final class Column {
    List<String> categories;
    final Map<String, Integer> codes = new LinkedHashMap<>();
    long missing;
  }

  /** Whether a value's text is a missing cell, as in a CSV file: blank, or a --missing text. */
  private static boolean isMissing(String trimmed, Set<String> missingTexts) {
    return trimmed.isEmpty() || missingTexts.contains(trimmed);
  }

  private Column labelled(String name, List<LabelCount> counts, Set<String> missingTexts) {
    Column column = new Column();
    // Sorted first, so that labels the category order ties (numbers such as 1 and 1.0) keep
    // one order, whatever order the database returns them in.
    TreeSet<String> seen = new TreeSet<>();
    for (LabelCount count : counts) {
      if (count.label() == null || isMissing(count.label().trim(), missingTexts)) {
        column.missing += count.rows();
      } else {
        seen.add(count.label().trim());
      }
    }
    column.categories = choices.categories(name, seen);
    Map<String, Integer> position = new LinkedHashMap<>();
    for (int c = 0; c < column.categories.size(); c++) {
      position.putIfAbsent(column.categories.get(c), c + 1);
    }
    for (LabelCount count : counts) {
      if (count.label() == null) {
        continue;
      }
      String label = count.label().trim();
      if (isMissing(label, missingTexts)) {
        column.codes.put(count.label(), 0);
        continue;
      }
      Integer code = position.get(label);
      if (code == null) {
        throw new CliException("column '" + name + "': label '" + label + "' is not one of the "
            + "categories of --order " + InputReader.quoted(column.categories));
      }
      column.codes.put(count.label(), code);
    }
    return column;
  }

  /** A column of --codes: integer codes 1 .. k; 0, negative, empty and missing cells missing. */
  private static Column numbered(String name, List<LabelCount> counts, Set<String> missingTexts) {
    Column column = new Column();
    int k = 0;
    for (LabelCount count : counts) {
      if (count.label() == null) {
        column.missing += count.rows();
        continue;
      }
      String label = count.label().trim();
      int code = 0;
      if (!label.isEmpty() && !missingTexts.contains(label)) {
        try {
          code = Math.max(Integer.parseInt(label), 0);
        } catch (NumberFormatException e) {
          throw new CliException("column '" + name + "': '" + label + "' is not an integer code "
              + "(--codes is set)");
        }
      }
      column.missing += code == 0 ? count.rows() : 0;
      column.codes.put(count.label(), code);
      k = Math.max(k, code);
    }
    column.categories = new ArrayList<>();
    for (int c = 1; c <= k; c++) {
      column.categories.add(Integer.toString(c));
    }
    return column;
  }

  /** The label of the only category observed with weight, or null when there are more. */
  private static String singleObservedCategory(
      List<LabelCount> counts, Map<String, Integer> codes, int nullCode, List<String> categories) {
    int seen = 0;
    for (LabelCount count : counts) {
      int code = count.label() == null ? nullCode : codes.getOrDefault(count.label(), 0);
      if (code > 0 && count.weightedRows() > 0) {
        if (seen == 0) {
          seen = code;
        } else if (code != seen) {
          return null;
        }
      }
    }
    return seen == 0 ? null : categories.get(seen - 1);
  }
}
