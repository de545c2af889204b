package Quorvane.homals.cli;

import Quorvane.homals.AnalysisFailedException;
import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.Quantification;
import Quorvane.homals.Solver;
import Quorvane.homals.StopReason;
import Quorvane.homals.Variable;
import Quorvane.homals.plot.JointPlot;
import Quorvane.homals.plot.Plots;
import Quorvane.homals.report.HtmlReport;
import Quorvane.homals.report.ReportSettings;
import com.univocity.parsers.csv.CsvParser;
import com.univocity.parsers.csv.CsvParserSettings;
import java.io.IOException;
import java.nio.charset.Charset;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.FutureTask;
import picocli.CommandLine.Command;
import picocli.CommandLine.Mixin;
import picocli.CommandLine.Model.CommandSpec;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;
import picocli.CommandLine.Spec;

/** {@code analyse DATA.csv [options]}: reads a CSV file, runs the analysis, writes the results. */
@Command(name = "analyse", aliases = "analyze", mixinStandardHelpOptions = true,
    sortOptions = false,
    description =
        {"Runs a homogeneity analysis of the categorical columns of a CSV file and writes "
                + "categories.csv, objects.csv, summary.txt, the plots (PNG and SVG) and "
                + "report.html into the output folder.",
            "The first line of the file names the columns. Cells are category labels; an empty "
                + "cell is a missing value. With --codes, cells are integer codes 1..k and "
                + "0 (or empty) is missing."})
final class AnalyseCommand implements Callable<Integer> {
  @Spec CommandSpec commandSpec;

  @Parameters(index = "0", paramLabel = "DATA.csv", description = "The CSV file to analyse.")
  Path data;

  @Option(names = {"-o", "--output"}, paramLabel = "DIR", defaultValue = "tallowmere-output",
      description = "Output folder, created if needed (default: ${DEFAULT-VALUE}).")
  Path output;

  @Option(names = {"-d", "--dimensions"}, paramLabel = "N", defaultValue = "2",
      description = "Number of dimensions (default: ${DEFAULT-VALUE}).")
  int dimensions;

  @Option(names = {"-p", "--passive"}, paramLabel = "COLUMN", split = ",",
      description = "Passive columns: placed in the solution, not shaping it.")
  List<String> passive = new ArrayList<>();

  @Option(names = {"-s", "--single"}, paramLabel = "COLUMN=LEVEL", split = ",",
      description = "Single (rank-one) columns with their level: nominal, ordinal or "
          + "numerical. Other columns are multiple nominal.")
  Map<String, String> single = new LinkedHashMap<>();

  @Option(names = "--order", paramLabel = "COLUMN=LABEL,LABEL,...",
      description = "Category order of a column, lowest first, the labels written as one CSV "
          + "record (quote a label with a comma: 'income=\"$0-$2,999\",\"$3,000+\"'); repeat "
          + "for several columns. Default: numeric order when all labels are numbers, else "
          + "alphabetical.")
  Map<String, String> order = new LinkedHashMap<>();

  @Option(names = {"-w", "--weight"}, paramLabel = "COLUMN",
      description = "Column of non-negative object weights: counts, or decimal survey weights "
          + "(scaled to whole numbers by one power of ten, which leaves the solution as it is).")
  String weight;

  @Option(names = "--id", paramLabel = "COLUMN",
      description = "Column that names the objects; copied into objects.csv, not analysed.")
  String id;

  @Option(names = "--columns", paramLabel = "COLUMN", split = ",",
      description = "Analyse only these columns (default: all but the weight and id columns).")
  List<String> columns = new ArrayList<>();

  @Option(names = {"-x", "--exclude"}, paramLabel = "COLUMN", split = ",",
      description = "Columns to leave out.")
  List<String> exclude = new ArrayList<>();

  @Option(names = "--codes",
      description = "Cells are integer codes 1..k; 0, negative or empty cells are missing.")
  boolean codes;

  @Option(names = "--missing", paramLabel = "TEXT", split = ",",
      description = "Cell texts that also mean missing, for example NA or ?.")
  List<String> missing = new ArrayList<>();

  @Option(names = "--missing-as-category",
      description = "Analyse missing cells as a category of their own, '"
          + InputNotes.MISSING_CATEGORY + "', in every column that has them.")
  boolean missingAsCategory;

  @Option(names = "--delimiter", paramLabel = "CHAR",
      description = "Field delimiter (default: comma, semicolon or tab, whichever the first "
          + "lines use).")
  Character delimiter;

  @Option(names = "--encoding", paramLabel = "CHARSET", defaultValue = "UTF-8",
      description = "The file's character encoding, such as ISO-8859-1 or windows-1252 "
          + "(default: ${DEFAULT-VALUE}).")
  String encoding;

  @Option(names = "--max-iterations", paramLabel = "N",
      description = "Upper bound on iterations, for every solver (default: "
          + HomalsAnalysis.DEFAULT_MAX_ITERATIONS + " passes over the objects; on the "
          + "cross-table, as many iterations as 2e9 multiply-adds pay for, and at least "
          + HomalsAnalysis.DEFAULT_MAX_ITERATIONS + ").")
  Integer maxIterations;

  @Option(names = "--inner-iterations", paramLabel = "N",
      description = "Rounds of the "
          + "rank-one step per iteration, for single columns (default: "
          + HomalsAnalysis.DEFAULT_INNER_ITERATIONS + ").")
  int innerIterations = HomalsAnalysis.DEFAULT_INNER_ITERATIONS;

  @Option(names = "--tolerance", paramLabel = "X",
      description = "Stop when the subspace of "
          + "the solution is estimated within this of its limit; scores are then accurate to about "
          + "this, relative to the largest (default: "
          + HomalsAnalysis.DEFAULT_CONVERGENCE_TOLERANCE + ").")
  double tolerance = HomalsAnalysis.DEFAULT_CONVERGENCE_TOLERANCE;

  @Option(names = "--fit-tolerance", paramLabel = "X",
      description = "Also stop when the fit "
          + "changes by less than this (default: not used).")
  Double fitTolerance;

  @Option(names = "--cosine-tolerance", paramLabel = "X",
      description = "Also stop when "
          + "successive object scores agree to a cosine within this of 1 (default: not used).")
  Double cosineTolerance;

  @Option(names = "--solver", paramLabel = "auto|direct|cross-table|objects",
      defaultValue = "auto",
      description = "How the solution is found. direct: the exact eigensolution of the category "
          + "cross-table, without iterations, when every active column is multiple nominal "
          + "(otherwise as auto); cross-table: iterations on that table; objects: iterations "
          + "that pass over the objects; auto: direct where it applies, else the cheaper "
          + "iteration (default: ${DEFAULT-VALUE}).")
  String solver;

  @Option(names = "--plot-size", paramLabel = "PIXELS", defaultValue = "900",
      description = "Width and height of the square joint plot (default: ${DEFAULT-VALUE}).")
  int plotSize;

  @Option(names = "--title", paramLabel = "TEXT",
      description = "Title of the joint plot (default: the data file's name).")
  String title;

  @Option(names = "--no-plot", description = "Do not draw the plots.") boolean noPlot;

  @Mixin PlotOptions plotOptions = new PlotOptions();

  @Option(names = {"-q", "--quiet"}, description = "No progress messages on standard error.")
  boolean quiet;

  @Option(names = "--debug",
      description = "On an unexpected failure, print its stack trace as well as its message.")
  boolean debug;

  /** The file being read, for the messages while reading runs long. */
  private volatile CsvColumns reading;

  /** Warnings found while reading, told once the reading is done. */
  private final List<String> warnings = new ArrayList<>();

  @Override
  public Integer call() throws Exception {
    Progress progress = new Progress(commandSpec.commandLine().getErr(), quiet);
    if (plotSize < 200 || plotSize > 10000) {
      throw new CliException("--plot-size must be between 200 and 10000 pixels");
    }
    plotOptions.check(dimensions);
    checkInput();
    checkOutput();
    Input input =
        progress.phase("reading", this::read, this::rowsRead, in -> summary(in.analysis()));
    HomalsAnalysis analysis = input.analysis();
    warnings.forEach(progress::warn);
    if (!noPlot) {
      // The native analysis keeps one processor busy; another sets up the drawing meanwhile.
      Thread prepare = new Thread(AnalyseCommand::preparePlots, "tallowmere-plot-setup");
      prepare.setDaemon(true);
      prepare.start();
    }

    HomalsResult result = progress.phase("analysing", () -> {
      try {
        return analysis.run();
      } catch (UnsatisfiedLinkError e) {
        throw new AnalysisFailedException(e.getMessage());
      }
    }, null, AnalyseCommand::summary);
    if (!result.converged()) {
      progress.warn(notConverged(result));
    }

    // The tables and the plots need nothing of each other: the tables are written in a thread
    // of their own while the plots are drawn.
    Callable<List<Path>> write =
        () -> ResultFiles.write(result, output, data, input.ids(), input.notes());
    FutureTask<List<Path>> tables = new FutureTask<>(
        () -> progress.phase("writing tables", write, null, AnalyseCommand::wrote));
    Thread writer = new Thread(tables, "tallowmere-tables");
    writer.setDaemon(true);
    writer.start();
    try {
      drawPlots(progress, result);
    } finally {
      finish(tables);
    }
    progress.total();
    return 0;
  }

  private void checkInput() {
    if (Files.isDirectory(data)) {
      throw new CliException(data + " is a folder, not a CSV file");
    }
    if (!Files.exists(data)) {
      throw new CliException("no such file: " + data);
    }
    if (!Files.isReadable(data)) {
      throw new CliException("cannot read " + data + ": permission denied");
    }
  }

  /** The output folder is made, or found writable, before any work that it would waste. */
  private void checkOutput() {
    if (Files.exists(output) && !Files.isDirectory(output)) {
      throw new CliException("the output folder " + output + " is a file");
    }
    try {
      Files.createDirectories(output);
    } catch (IOException e) {
      throw new CliException("cannot create the output folder " + output + ": " + reason(e));
    }
    if (!Files.isWritable(output)) {
      throw new CliException(
          "cannot write into the output folder " + output + ": permission denied");
    }
  }

  /** An I/O failure in words, without the class names of Java's exceptions. */
  static String reason(IOException e) {
    if (e instanceof java.nio.file.AccessDeniedException) {
      return "permission denied";
    }
    if (e instanceof java.nio.file.NoSuchFileException) {
      return "no such file or folder: " + e.getMessage();
    }
    if (e instanceof java.nio.file.FileAlreadyExistsException
        || e instanceof java.nio.file.NotDirectoryException) {
      return e.getMessage() + " is a file, not a folder";
    }
    return e.getMessage() == null ? "input or output failed" : e.getMessage();
  }

  static Solver solverNamed(String name) {
    return switch (name) {
      case "auto" -> Solver.AUTOMATIC;
      case "direct" -> Solver.DIRECT;
      case "objects" -> Solver.OBJECTS;
      case "cross-table" -> Solver.CROSS_TABLE;
      default -> throw new CliException(
          "--solver " + name + ": expected auto, direct, cross-table or objects");
    };
  }

  static String notConverged(HomalsResult result) {
    return result.stopReason() == StopReason.ITERATION_BOUND
        ? "the run did not converge within " + result.iterations() + " iterations "
            + "(--max-iterations); the results are written, but their dimensions may not be "
            + "settled yet"
        :
        "the run ended with a fit that is not a number after " + result.iterations()
            + " iterations; the results are written but meaningless";
    }

    private void drawPlots(Progress progress, HomalsResult result) throws Exception {
      Plots.PlotSet plots = Plots.PlotSet.NONE;
      if (!noPlot) {
        if (result.dimensions() < 2) {
          progress.say("one dimension only: no joint plot");
        }
        String plotTitle = title != null ? title : "Joint plot of " + data.getFileName();
        plots = Plots.writeAll(result, plotOptions.settings(result, plotSize, plotTitle), output,
            (name, work) -> progress.phase(name, work, null, AnalyseCommand::wrote));
      }
      ReportSettings report = new ReportSettings(title, String.valueOf(data.getFileName()),
          commandSpec.commandLine().getParseResult().originalArgs());
      Plots.PlotSet drawn = plots;
      progress.phase("writing report",
          ()
              -> List.of(HtmlReport.write(result, report, output, drawn)),
          null, AnalyseCommand::wrote);
    }

    private static void preparePlots() {
      try {
        JointPlot.prepare();
      } catch (IOException | RuntimeException e) {
        // The plots themselves will meet and report whatever went wrong.
      }
    }

    /** Waits for a task and throws what it threw. */
    private static <T> T finish(FutureTask<T> task) throws Exception {
      try {
        return task.get();
      } catch (ExecutionException e) {
        if (e.getCause() instanceof Error error) {
          throw error;
        }
        if (e.getCause() instanceof Exception exception) {
          throw exception;
        }
        throw e;
      }
    }

    private String rowsRead() {
      CsvColumns csv = reading;
      return csv == null ? "opening the file" : csv.rowsRead() + " rows";
    }

    /** What the command line makes of the file: the analysis, the object names if any, notes. */
    record Input(HomalsAnalysis analysis, List<String> ids, InputNotes notes) {}

    private String summary(HomalsAnalysis analysis) {
      long passiveCount = analysis.variables().stream().filter(v -> !v.isActive()).count();
      return String.format(Locale.ROOT, "%s: %d objects, %d variables (%d active, %d passive)%s",
          data.getFileName(), analysis.objectCount(), analysis.variables().size(),
          analysis.variables().size() - passiveCount, passiveCount,
          weight == null ? "" : ", weights from '" + weight + "'");
    }

    private static String summary(HomalsResult result) {
      StringBuilder text = new StringBuilder(String.format(Locale.ROOT,
          "in %d dimensions, %d iterations, %s; eigenvalues", result.dimensions(),
          result.iterations(),
          result.converged() ? "converged" : "not converged (" + result.stopReason().key() + ")"));
      for (double e : result.eigenvalues()) {
        text.append(String.format(Locale.ROOT, " %.4f", e));
      }
      return text.toString();
    }

    private static String wrote(List<Path> files) {
      StringBuilder text = new StringBuilder("wrote ");
      for (Path file : files) {
        text.append(text.length() > 6 ? ", " : "").append(file);
      }
      return text.toString();
    }

    /** Reads the file in one pass, keeping only the columns the options ask for. */
    Input read() throws IOException {
      Charset charset;
      try {
        charset = Charset.forName(encoding);
      } catch (IllegalArgumentException e) {
        throw new CliException("--encoding " + encoding + ": not an encoding this Java knows");
      }
      try (CsvColumns csv = CsvColumns.open(data, delimiter, charset)) {
        reading = csv;
        Columns columns = plan(csv);
        int rows = csv.read(columns.byIndex());
        Map<String, Integer> missingCells = new LinkedHashMap<>();
        Map<String, String> leftOut = new LinkedHashMap<>();
        HomalsAnalysis analysis = describe(columns, rows, missingCells, leftOut);
        InputNotes notes = new InputNotes(csv.delimiter(), delimiter == null, charset.name(),
            columns.weights() == null ? 0 : columns.weights().decimals(), missingCells, leftOut,
            missingAsCategory);
        return new Input(analysis, columns.ids() == null ? null : columns.ids().cells(), notes);
      }
    }

    /**
     * The collectors for the columns the analysis needs.
     *
     * @param analysed the analysed column names in order (each name's collector is in
     *     {@code byName})
     */
    record Columns(List<String> analysed, Map<String, CsvColumns.Column> byName,
        CsvColumns.Weights weights, CsvColumns.Texts ids, Map<Integer, CsvColumns.Column> byIndex) {
    }

    /** Checks the options against the header and decides what to keep of each column. */
    Columns plan(CsvColumns csv) {
      List<String> header = csv.header();
      for (List<String> names : List.of(passive, columns, exclude, new ArrayList<>(single.keySet()),
               new ArrayList<>(order.keySet()))) {
        for (String name : names) {
          csv.column(name);
        }
      }
      if (weight != null) {
        csv.column(weight);
      }
      if (id != null) {
        csv.column(id);
      }
      if (codes && !order.isEmpty()) {
        throw new CliException("--order gives labels; it cannot be used with --codes");
      }

      List<String> analysed = new ArrayList<>(columns.isEmpty() ? header : columns);
      analysed.removeAll(exclude);
      analysed.remove(weight);
      analysed.remove(id);
      for (String name : passive) {
        requireAnalysed(analysed, name, "--passive");
      }
      for (String name : single.keySet()) {
        requireAnalysed(analysed, name, "--single");
      }
      for (String name : order.keySet()) {
        requireAnalysed(analysed, name, "--order");
      }
      if (analysed.isEmpty()) {
        throw new CliException("no columns left to analyse");
      }

      Set<String> missingTexts = new HashSet<>(missing);
      Map<String, CsvColumns.Column> byName = new LinkedHashMap<>();
      Map<Integer, CsvColumns.Column> byIndex = new HashMap<>();
      for (String name : analysed) {
        CsvColumns.Column column = byName.get(name);
        if (column == null) {
          column = codes ? new CsvColumns.Integers(name, missingTexts)
                         : new CsvColumns.Labels(missingTexts);
          byName.put(name, column);
        }
        byIndex.put(csv.column(name), column);
      }
      CsvColumns.Weights weights = weight == null ? null : new CsvColumns.Weights(weight);
      if (weights != null) {
        byIndex.put(csv.column(weight), weights);
      }
      CsvColumns.Texts ids = id == null ? null : new CsvColumns.Texts();
      if (ids != null) {
        byIndex.merge(csv.column(id), ids, CsvColumns::both);
      }
      plotOptions.collect(csv, analysed, missingTexts, byIndex);
      return new Columns(analysed, byName, weights, ids, byIndex);
    }

    /**
     * Builds the analysis description from the columns read and the options, noting every
     * column's missing cells and leaving out, with a warning, active columns with a single observed
     * category: such a column separates no objects, and only lowers every eigenvalue.
     */
    HomalsAnalysis describe(
        Columns read, int rows, Map<String, Integer> missingCells, Map<String, String> leftOut) {
      int[] objectWeights = read.weights() == null ? null : read.weights().values(new int[rows]);
      // One buffer serves every column, since Variable.ofCodes copies what it gets.
      int[] buffer = new int[rows];
      HomalsAnalysis.Builder builder = HomalsAnalysis.builder();
      for (String name : read.analysed()) {
        CsvColumns.Column column = read.byName().get(name);
        List<String> categories;
        if (codes) {
          ((CsvColumns.Integers) column).values(buffer);
          int k = 0;
          for (int code : buffer) {
            k = Math.max(k, code);
          }
          categories = new ArrayList<>();
          for (int c = 1; c <= k; c++) {
            categories.add(Integer.toString(c));
          }
        } else {
          categories = labelled(name, (CsvColumns.Labels) column, buffer);
        }
        int missingCount = 0;
        for (int code : buffer) {
          missingCount += code == 0 ? 1 : 0;
        }
        missingCells.put(name, missingCount);
        if (missingAsCategory && missingCount > 0) {
          categories = new ArrayList<>(categories);
          categories.add(InputNotes.MISSING_CATEGORY);
          for (int i = 0; i < rows; i++) {
            buffer[i] = buffer[i] == 0 ? categories.size() : buffer[i];
          }
        }
        String constant = singleObservedCategory(buffer, objectWeights, categories);
        if (constant != null && !passive.contains(name)) {
          String reason = "a single observed category, '" + constant + "'";
          leftOut.put(name, reason);
          warnings.add("column '" + name + "' has " + reason + ", so it separates no objects; it "
              + "is left out of the analysis");
          continue;
        }
        Variable variable = Variable.ofCodes(name, buffer, categories);
        if (passive.contains(name)) {
          variable = variable.passive();
        }
        if (single.containsKey(name)) {
          try {
            variable = variable.single(Quantification.singleAt(single.get(name)));
          } catch (IllegalArgumentException e) {
            throw new CliException(
                "--single " + name + "=" + single.get(name) + ": " + e.getMessage());
          }
        }
        builder.variable(variable);
      }
      if (objectWeights != null) {
        builder.weights(objectWeights);
      }
      if (maxIterations != null) {
        builder.maxIterations(maxIterations);
      }
      return builder.dimensions(dimensions)
          .innerIterations(innerIterations)
          .convergenceTolerance(tolerance)
          .solver(solverNamed(solver))
          .fitTolerance(fitTolerance == null ? Double.NaN : fitTolerance)
          .cosineTolerance(cosineTolerance == null ? Double.NaN : cosineTolerance)
          .build();
    }

    /** The label of the only category observed with weight, or null when there are more. */
    private static String singleObservedCategory(
        int[] codes, int[] weights, List<String> categories) {
      int seen = 0;
      for (int i = 0; i < codes.length; i++) {
        if (codes[i] > 0 && (weights == null || weights[i] > 0)) {
          if (seen == 0) {
            seen = codes[i];
          } else if (codes[i] != seen) {
            return null;
          }
        }
      }
      return seen == 0 ? null : categories.get(seen - 1);
    }

    /**
     * The codes of a column of labels into {@code buffer} and its categories, in the order of
     * --order or else in {@link Variable#categoryOrder}, as {@link Variable#ofLabels} would number
     * them from one string per object.
     */
    private List<String> labelled(String name, CsvColumns.Labels column, int[] buffer) {
      List<String> seen = column.labels();
      List<String> categories =
          order.containsKey(name) ? splitOrder(order.get(name)) : Variable.categoryOrder(seen);
      Map<String, Integer> position = new HashMap<>();
      for (int c = 0; c < categories.size(); c++) {
        position.putIfAbsent(categories.get(c), c + 1);
      }
      int[] renumber = new int[seen.size() + 1];
      for (int c = 0; c < seen.size(); c++) {
        Integer code = position.get(seen.get(c));
        if (code == null) {
          throw new CliException("column '" + name + "', data row " + column.firstRow(c)
              + ": label '" + seen.get(c) + "' is not one of the categories of --order "
              + quoted(categories));
        }
        renumber[c + 1] = code;
      }
      column.codes(renumber, buffer);
      return categories;
    }

    /** Labels as read, each in quotes. */
    static String quoted(List<String> labels) {
      StringBuilder text = new StringBuilder();
      for (String label : labels) {
        text.append(text.length() == 0 ? "" : ", ").append('\'').append(label).append('\'');
      }
      return text.toString();
    }

    private static void requireAnalysed(List<String> analysed, String name, String option) {
      if (!analysed.contains(name)) {
        throw new CliException(option + " names column '" + name
            + "', which is not analysed (it is excluded, or the weight or id column)");
      }
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
