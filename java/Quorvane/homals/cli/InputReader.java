package Quorvane.homals.cli;

import Quorvane.homals.CategoryCodes;
import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.Variable;
import com.univocity.parsers.csv.CsvParser;
import com.univocity.parsers.csv.CsvParserSettings;
import java.io.IOException;
import java.nio.charset.Charset;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.function.Supplier;
import java.util.stream.IntStream;

/**
 * Reads the CSV file into the analysis the options describe: checks the options against the
 * header, keeps only the columns they need, and turns each column into a variable whose codes are
 * numbered as {@link Variable#ofLabels} would number them from one string per object.
 */
final class InputReader {
  private final Path data;
  private final AnalysisOptions options;
  private final PlotOptions plotOptions;
  private final List<String> warnings = new ArrayList<>();
  private final ColumnChoices choices;

  /** The file being read, for the messages while reading runs long. */
  private volatile CsvColumns reading;

  InputReader(Path data, AnalysisOptions options, PlotOptions plotOptions) {
    this.data = data;
    this.options = options;
    this.plotOptions = plotOptions;
    this.choices = new ColumnChoices(options, warnings);
  }

  /** How far the reading has got; may be asked from another thread while {@link #read} runs. */
  String progress() {
    CsvColumns csv = reading;
    return csv == null ? "opening the file" : csv.rowsRead() + " rows";
  }

  /** Reads the file in one pass, keeping only the columns the options ask for. */
  AnalyseCommand.Input read() throws IOException {
    Charset charset = options.charset();
    try (CsvColumns csv = CsvColumns.open(data, options.delimiter, charset)) {
      reading = csv;
      Columns[] planned = new Columns[1];
      int rows = csv.read(() -> {
        planned[0] = plan(csv);
        return planned[0].byIndex();
      });
      Columns columns = planned[0];
      Map<String, Integer> missingCells = new LinkedHashMap<>();
      Map<String, String> leftOut = new LinkedHashMap<>();
      HomalsAnalysis analysis = describe(columns, rows, missingCells, leftOut);
      InputNotes notes = new InputNotes(csv.delimiter(), options.delimiter == null, charset.name(),
          missingCells, leftOut, options.missingAsCategory);
      Map<String, double[]> numeric = new LinkedHashMap<>();
      columns.numeric().forEach((name, column) -> numeric.put(name, column.values()));
      return new AnalyseCommand.Input(analysis,
          columns.ids() == null ? null : columns.ids().cells(), notes, List.copyOf(warnings),
          numeric);
    }
  }

  /**
   * The collectors for the columns the analysis needs.
   *
   * @param analysed the analysed column names in order (each name's collector is in
   *     {@code byName})
   * @param numeric the columns of --numeric, by name
   */
  private record Columns(List<String> analysed, Map<String, CsvColumns.Column> byName,
      WeightColumn weights, TextColumn ids, Map<String, NumericColumn> numeric,
      Map<Integer, CsvColumns.Column> byIndex) {}

  /** Checks the options against the header and decides what to keep of each column. */
  private Columns plan(CsvColumns csv) {
    List<String> header = csv.header();
    for (List<String> names : List.of(options.passive, options.columns, options.exclude,
             options.numeric, new ArrayList<>(options.single.keySet()),
             new ArrayList<>(options.order.keySet()), new ArrayList<>(options.values.keySet()),
             new ArrayList<>(options.excludeCategory.keySet()))) {
      for (String name : names) {
        csv.column(name);
      }
    }
    if (options.weight != null) {
      csv.column(options.weight);
    }
    if (options.id != null) {
      csv.column(options.id);
    }
    if (options.codes && !options.order.isEmpty()) {
      throw new CliException("--order gives labels; it cannot be used with --codes");
    }

    checkNumeric();
    List<String> analysed = options.analysedColumns(header, options.numeric);

    Set<String> missingTexts = new HashSet<>(options.missing);
    Map<String, CsvColumns.Column> byName = new LinkedHashMap<>();
    Map<Integer, CsvColumns.Column> byIndex = new HashMap<>();
    for (String name : analysed) {
      CsvColumns.Column column = byName.get(name);
      if (column == null) {
        column = options.codes ? new CodeColumn(name, missingTexts) : new LabelColumn(missingTexts);
        byName.put(name, column);
      }
      byIndex.put(csv.column(name), column);
    }
    WeightColumn weights = options.weight == null ? null : new WeightColumn(options.weight);
    if (weights != null) {
      byIndex.put(csv.column(options.weight), weights);
    }
    TextColumn ids = options.id == null ? null : new TextColumn();
    if (ids != null) {
      byIndex.merge(csv.column(options.id), ids, CsvColumns::both);
    }
    Map<String, NumericColumn> numeric = new LinkedHashMap<>();
    for (String name : options.numeric) {
      NumericColumn column = new NumericColumn(name, missingTexts);
      if (numeric.putIfAbsent(name, column) == null) {
        byIndex.merge(csv.column(name), column, CsvColumns::both);
      }
    }
    plotOptions.collect(csv, analysed, missingTexts, byIndex);
    return new Columns(analysed, byName, weights, ids, numeric, byIndex);
  }

  /**
   * Refuses a column of --numeric that another option analyses or describes as categories: it
   * is one or the other, and silently dropping either option would surprise.
   */
  private void checkNumeric() {
    Map<String, List<String>> named = new LinkedHashMap<>();
    named.put("--columns", options.columns);
    named.put("--passive", options.passive);
    named.put("--single", new ArrayList<>(options.single.keySet()));
    named.put("--order", new ArrayList<>(options.order.keySet()));
    named.put("--values", new ArrayList<>(options.values.keySet()));
    for (String name : options.numeric) {
      for (Map.Entry<String, List<String>> option : named.entrySet()) {
        if (option.getValue().contains(name)) {
          throw new CliException("column '" + name + "' is given to both --numeric and "
              + option.getKey() + "; a numeric column is correlated with the solution, not "
              + "analysed");
        }
      }
    }
  }

  /**
   * Builds the analysis description from the columns read and the options, noting every
   * column's missing cells and leaving out, with a warning, active columns with a single
   * observed category: such a column separates no objects, and only lowers every eigenvalue.
   */
  private HomalsAnalysis describe(
      Columns read, int rows, Map<String, Integer> missingCells, Map<String, String> leftOut) {
    double[] objectWeights = read.weights() == null ? null : read.weights().values();
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder();
    List<Variable> variables = new ArrayList<>();
    List<String> names = read.analysed();
    List<List<String>> categoriesOf = new ArrayList<>();
    List<Supplier<CategoryCodes>> codesOf = new ArrayList<>();
    for (String name : names) {
      CsvColumns.Column column = read.byName().get(name);
      // Each column's codes are made once, compact, in the categories' order: the variables
      // and the library share them.
      List<String> categories;
      int missingCount;
      int[] renumber = null;
      if (options.codes) {
        CodeColumn codes = (CodeColumn) column;
        categories = numbered(codes.largest());
        missingCount = codes.missing();
      } else {
        LabelColumn labels = (LabelColumn) column;
        categories = new ArrayList<>();
        renumber = labelled(name, labels, categories);
        missingCount = labels.missing();
      }
      missingCells.put(name, missingCount);
      int missingCode = 0;
      if (options.missingAsCategory && missingCount > 0) {
        categories = new ArrayList<>(categories);
        categories.add(InputNotes.MISSING_CATEGORY);
        missingCode = categories.size();
      }
      categoriesOf.add(categories);
      int k = categories.size();
      int missing = missingCode;
      if (renumber == null) {
        codesOf.add(() -> ((CodeColumn) column).codes(missing));
      } else {
        renumber[0] = missingCode;
        int[] table = renumber;
        codesOf.add(() -> ((LabelColumn) column).codes(table, k));
      }
    }
    // The columns' codes are translated side by side: each reads only its own column.
    CategoryCodes[] built = new CategoryCodes[names.size()];
    IntStream.range(0, built.length).parallel().forEach(v -> built[v] = codesOf.get(v).get());
    for (int v = 0; v < names.size(); v++) {
      String name = names.get(v);
      List<String> categories = categoriesOf.get(v);
      CategoryCodes codes = built[v];
      built[v] = null;
      boolean passive = options.passive.contains(name);
      String constant = singleObservedCategory(codes, objectWeights, categories);
      if (constant != null && !passive) {
        warnings.add(ColumnWarnings.leftOutAsConstant(name, constant, leftOut));
        continue;
      }
      String identifier = ColumnWarnings.identifierLike(name, categories.size(), rows);
      if (identifier != null) {
        warnings.add(identifier);
      }
      Variable variable = variable(name, codes, categories, passive);
      variables.add(variable);
      builder.variable(variable);
    }
    if (objectWeights == null) {
      warnCountLike(variables, rows);
    } else {
      builder.weights(objectWeights);
    }
    return options.build(builder);
  }

  private Variable variable(
      String name, CategoryCodes codes, List<String> categories, boolean passive) {
    return choices.dress(Variable.ofCodes(name, codes, categories), passive);
  }

  /** Warns of analysed columns that look like the counts of a frequency table (no -w given). */
  private void warnCountLike(List<Variable> variables, int rows) {
    for (Variable candidate : variables) {
      List<int[]> others = new ArrayList<>();
      // Checking that every row is a different combination only pays on table-sized files.
      if (rows <= 100_000) {
        for (Variable other : variables) {
          if (other != candidate) {
            others.add(other.codes());
          }
        }
      }
      String warning =
          ColumnWarnings.countLike(candidate.name(), candidate.categories(), others, rows);
      if (warning != null) {
        warnings.add(warning);
      }
    }
  }

  /** The categories of a column of --codes: "1" .. the largest code. */
  private static List<String> numbered(int k) {
    List<String> categories = new ArrayList<>();
    for (int c = 1; c <= k; c++) {
      categories.add(Integer.toString(c));
    }
    return categories;
  }

  /**
   * The categories of a column of labels into {@code into}, in the order of --order or else in
   * {@link Variable#categoryOrder}, and the code of each label read (by its number in order of
   * first appearance) among them, as {@link Variable#ofLabels} would number them from one string
   * per object.
   */
  private int[] labelled(String name, LabelColumn column, List<String> into) {
    List<String> seen = column.labels();
    List<String> categories = choices.categories(name, seen);
    Map<String, Integer> position = new HashMap<>();
    for (int c = 0; c < categories.size(); c++) {
      position.putIfAbsent(categories.get(c), c + 1);
    }
    int[] renumber = new int[seen.size() + 1];
    for (int c = 0; c < seen.size(); c++) {
      Integer code = position.get(seen.get(c));
      if (code == null) {
        throw new CliException("column '" + name + "', data row " + column.firstRow(c) + ": label '"
            + seen.get(c) + "' is not one of the categories of --order " + quoted(categories));
      }
      renumber[c + 1] = code;
    }
    into.addAll(categories);
    return renumber;
  }

  /** The label of the only category observed with weight, or null when there are more. */
  private static String singleObservedCategory(
      CategoryCodes codes, double[] weights, List<String> categories) {
    int seen = 0;
    for (int i = 0, n = codes.size(); i < n; i++) {
      int code = codes.get(i);
      if (code > 0 && (weights == null || weights[i] > 0)) {
        if (seen == 0) {
          seen = code;
        } else if (code != seen) {
          return null;
        }
      }
    }
    return seen == 0 ? null : categories.get(seen - 1);
  }

  /** Labels as read, each in quotes. */
  static String quoted(List<String> labels) {
    StringBuilder text = new StringBuilder();
    for (String label : labels) {
      text.append(text.length() == 0 ? "" : ", ").append('\'').append(label).append('\'');
    }
    return text.toString();
  }

  /** The labels of --order: one CSV record, so that a quoted label may hold a comma. */
  static List<String> splitOrder(String value) {
    CsvParserSettings settings = new CsvParserSettings();
    settings.setIgnoreLeadingWhitespacesInQuotes(true);
    settings.setIgnoreTrailingWhitespacesInQuotes(true);
    settings.setCommentProcessingEnabled(false);
    String[] cells = new CsvParser(settings).parseLine(value);
    List<String> labels = new ArrayList<>();
    for (String cell : cells == null ? new String[0] : cells) {
      labels.add(cell == null ? "" : cell);
    }
    return labels;
  }
}
