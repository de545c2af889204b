package Quorvane.homals.cli;

import Quorvane.homals.AnalysisFailedException;
import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.NumericCorrelation;
import Quorvane.homals.StopReason;
import Quorvane.homals.plot.JointPlot;
import Quorvane.homals.plot.PlotSettings;
import Quorvane.homals.plot.Plots;
import Quorvane.homals.report.HtmlReport;
import Quorvane.homals.report.ReportSettings;
import Quorvane.homals.source.DataSource;
import Quorvane.homals.source.SourceAddress;
import Quorvane.homals.source.TableAnalysis;
import java.io.IOException;
import java.nio.file.AccessDeniedException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.FileSystemException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.NotDirectoryException;
import java.nio.file.Path;
import java.util.ArrayList;
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

/**
 * {@code analyse DATA.csv [options]}: reads a CSV file, runs the analysis, writes the results.
 * What to read and how to analyse it are {@link AnalysisOptions}; what the plots show is {@link
 * PlotOptions}; the options here say where the results go and how the run talks.
 */
@Command(name = "analyse", aliases = "analyze", mixinStandardHelpOptions = true,
    sortOptions = false,
    description =
        {"Runs a homogeneity analysis of the categorical columns of a CSV file, or of a table "
                + "of a database, and writes categories.csv, variables.csv, objects.csv, "
                + "summary.txt, summary.json, model.json (for 'tallowmere project'), the plots (PNG "
                + "and SVG) and report.html into the output folder.",
            "The first line of the file names the columns. Cells are category labels; an empty "
                + "cell is a missing value. With --codes, cells are integer codes 1..k and "
                + "0 (or empty) is missing.",
            "A table is named by its address, clickhouse://[USER@]HOST[:PORT]/DATABASE/TABLE "
                + "(the HTTP port) or postgresql://[USER@]HOST[:PORT]/DATABASE/[SCHEMA.]TABLE; "
                + "the password comes from the environment variable TALLOWMERE_DB_PASSWORD. The "
                + "database sums the counts; no objects.csv is written, and the plots draw a "
                + "sample of the objects (see --scores-table)."})
final class AnalyseCommand implements Callable<Integer> {
  @Spec CommandSpec commandSpec;

  @Parameters(index = "0", paramLabel = "DATA",
      description = "The CSV file to analyse, or the address of a table (clickhouse://... or "
          + "postgresql://...).")
  String location;

  /** The CSV file, or null for a table of a database. */
  private Path data;

  @Option(names = "--scores-table", paramLabel = "NAME",
      description = "For a table of a database: write every object's scores into a new table of "
          + "this name beside it, computed in the database (one row per row: the --id column "
          + "and dim1..dimP, empty for objects that take no part). Needs --id; a table of that "
          + "name must not exist.")
  String scoresTable;

  @Option(names = {"-o", "--output"}, paramLabel = "DIR", defaultValue = "tallowmere-output",
      description = "Output folder, created if needed (default: ${DEFAULT-VALUE}). The files "
          + "are written into a staging folder in it and moved in only when all are complete: a "
          + "run that fails while writing leaves the folder as it was.")
  Path output;

  @Mixin AnalysisOptions options = new AnalysisOptions();

  @Option(names = "--plot-size", paramLabel = "PIXELS", defaultValue = "900",
      description = "Width and height of the square joint plot (default: ${DEFAULT-VALUE}).")
  int plotSize;

  @Option(names = "--title", paramLabel = "TEXT",
      description = "Title of the joint plot (default: the data file's name).")
  String title;

  @Option(names = "--no-plot", description = "Do not draw the plots.") boolean noPlot;

  @Option(names = "--raw-cells",
      description = "Write the text cells of categories.csv and objects.csv as they are. By "
          + "default a label or name that begins with =, +, -, @ (or a tab or carriage return) "
          + "gets a leading ' so that a spreadsheet shows it as text instead of running it as a "
          + "formula; plain numbers such as -1, and the numbers of the tables, are never changed.")
  boolean rawCells;

  @Mixin PlotOptions plotOptions = new PlotOptions();

  @Option(names = {"-q", "--quiet"}, description = "No progress messages on standard error.")
  boolean quiet;

  @Option(names = "--debug",
      description = "On an unexpected failure, print its stack trace as well as its message.")
  boolean debug;

  /** Opens the files the run writes; the command line's own writes them to disk. */
  private final OutputFolder.Opener opener;

  AnalyseCommand() { this(Files::newOutputStream); }

  AnalyseCommand(OutputFolder.Opener opener) { this.opener = opener; }

  /** The reader at work, for the messages while reading runs long. */
  private volatile InputReader reading;

  /** The database reader at work, for the same messages. */
  private volatile DatabaseReader readingTable;

  /**
   * What the command line makes of the file: the analysis, the object names if any, notes for
   * the summary, warnings to tell once the reading is done, and the values of the --numeric
   * columns by name (NaN where missing).
   */
  record Input(HomalsAnalysis analysis, List<String> ids, InputNotes notes, List<String> warnings,
      Map<String, double[]> numeric, DatabaseReader.Run database) {
    /** The input of a file. */
    Input(HomalsAnalysis analysis, List<String> ids, InputNotes notes, List<String> warnings,
        Map<String, double[]> numeric) {
      this(analysis, ids, notes, warnings, numeric, null);
    }
  }

  @Override
  public Integer call() throws Exception {
    Progress progress = new Progress(commandSpec.commandLine().getErr(), quiet);
    if (plotSize < 200 || plotSize > 10000) {
      throw new CliException("--plot-size " + plotSize + ": must be 200 to 10000 pixels");
    }
    options.check(commandSpec.commandLine().getParseResult());
    plotOptions.check(options.dimensions);
    boolean table = SourceAddress.isAddress(location);
    data = table ? null : Path.of(location);
    checkScoresTable(table);
    if (!table) {
      checkInput(data);
    }
    checkOutput(output);
    if (table) {
      try (DataSource source = progress.phase(
               "connecting", () -> DataSource.open(location), null, DataSource::description)) {
        return run(progress, source);
      }
    }
    return run(progress, null);
  }

  /** Refuses --scores-table where it cannot be, before anything is read. */
  private void checkScoresTable(boolean table) {
    if (scoresTable == null) {
      return;
    }
    if (!table) {
      throw new CliException("--scores-table writes into a database; the scores of a CSV file's "
          + "objects go to objects.csv");
    }
    if (options.id == null) {
      throw new CliException("--scores-table needs --id: the column that names each row of the "
          + "scores table");
    }
    if (scoresTable.isBlank()) {
      throw new CliException("--scores-table needs a table name");
    }
  }

  /** Reads, analyses and writes; {@code source} is the table's, or null for the CSV file. */
  private Integer run(Progress progress, DataSource source) throws Exception {
    long start = System.nanoTime();
    Input input = progress.phase(
        "reading", () -> readAnalysis(progress, source), this::rowsRead, in -> summary(in));
    long readNanos = System.nanoTime() - start;
    HomalsAnalysis analysis = input.analysis();
    input.warnings().forEach(progress::warn);
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
    List<NumericCorrelation> numeric = new ArrayList<>();
    input.numeric().forEach((name, values) -> numeric.add(result.correlation(name, values)));
    InputNotes notes = input.notes();
    TableAnalysis.Sample sample = null;
    DatabaseReader.Run run = input.database();
    if (run != null) {
      sample = noPlot ? null : run.sample(progress, result, plotOptions.labelledColumns());
      if (scoresTable != null) {
        run.writeScores(progress, result, scoresTable, options.id);
      }
      notes = run.notes(notes, location, sample, scoresTable, readNanos);
    }
    InputNotes written = notes;
    TableAnalysis.Sample drawn = sample;

    try (OutputFolder folder = OutputFolder.in(output, opener)) {
      // The tables and the plots need nothing of each other: the tables are written in a thread
      // of their own while the plots are drawn.
      Callable<List<Path>> write = () -> {
        List<Path> files = new ArrayList<>(
            ResultFiles.write(result, numeric, folder, data, input.ids(), written, rawCells));
        files.addAll(ModelFile.write(result, folder, options, progress));
        return files;
      };
      FutureTask<List<Path>> tables = new FutureTask<>(
          () -> progress.phase("writing tables", write, null, AnalyseCommand::wrote));
      Thread writer = new Thread(tables, "tallowmere-tables");
      writer.setDaemon(true);
      writer.start();
      try {
        drawPlots(progress, result, numeric, folder, run, drawn);
      } finally {
        finish(tables);
      }
      folder.commit();
    }
    progress.total();
    return 0;
  }

  /**
   * Reads the file into the analysis; when the options and the data make none, tells the
   * reader's warnings before the reason, which they often explain.
   */
  private Input readAnalysis(Progress progress, DataSource source) throws IOException {
    Input input;
    if (source == null) {
      input = read();
    } else {
      if (scoresTable != null) {
        source.checkScoresTable(scoresTable);
      }
      DatabaseReader reader = new DatabaseReader(source, options, plotOptions, scoresTable);
      readingTable = reader;
      input = reader.read();
    }
    if (input.analysis() == null) {
      input.warnings().forEach(progress::warn);
      if (source == null && noPositiveWeight()) {
        throw new CliException("weight column '" + options.weight
            + "': no object has a positive weight, so none takes part in the analysis");
      }
      throw options.buildFailure();
    }
    return input;
  }

  /**
   * Whether the weight column has no positive weight; read again, only after the analysis has
   * failed to build, since the reader does not hand its weights out.
   */
  private boolean noPositiveWeight() throws IOException {
    if (options.weight == null) {
      return false;
    }
    WeightColumn[] weights = new WeightColumn[1];
    try (CsvColumns csv = CsvColumns.open(data, options.delimiter, options.charset())) {
      csv.read(() -> {
        weights[0] = new WeightColumn(options.weight);
        return Map.of(csv.column(options.weight), weights[0]);
      });
    }
    for (double weight : weights[0].values()) {
      if (weight > 0) {
        return false;
      }
    }
    return true;
  }

  /** Reads the file into the analysis the options describe. */
  Input read() throws IOException {
    InputReader reader =
        new InputReader(data != null ? data : Path.of(location), options, plotOptions);
    reading = reader;
    return reader.read();
  }

  private String rowsRead() {
    DatabaseReader table = readingTable;
    if (table != null) {
      return table.progress();
    }
    InputReader reader = reading;
    return reader == null ? "opening the file" : reader.progress();
  }

  static void checkInput(Path data) {
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
  static void checkOutput(Path output) {
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
    if (e instanceof AccessDeniedException) {
      return "permission denied";
    }
    if (e instanceof NoSuchFileException) {
      return "no such file or folder: " + e.getMessage();
    }
    if (e instanceof FileAlreadyExistsException || e instanceof NotDirectoryException) {
      return e.getMessage() + " is a file, not a folder";
    }
    return e.getMessage() == null ? "input or output failed" : e.getMessage();
  }

  static String notConverged(HomalsResult result) {
    return result.stopReason() == StopReason.ITERATION_BOUND
        ? "the run did not converge within " + result.iterations() + " iterations "
            + "(--max-iterations); the results are written, but their dimensions may not be "
            + "settled yet"
        : "the run ended with a fit that is not a number after " + result.iterations()
            + " iterations; the results are written but meaningless";
  }

  /** The name of the data in titles and summaries: the file's, or the table's. */
  private String dataName() {
    return data != null ? String.valueOf(data.getFileName())
                        : SourceAddress.parse(location).table();
  }

  private void drawPlots(Progress progress, HomalsResult result, List<NumericCorrelation> numeric,
      OutputFolder folder, DatabaseReader.Run run, TableAnalysis.Sample sample) throws Exception {
    Plots.PlotSet plots = Plots.PlotSet.NONE;
    Path staging = folder.staging();
    if (!noPlot) {
      if (result.dimensions() < 2) {
        progress.say("one dimension only: no joint plot");
      }
      String plotTitle = title != null ? title : "Joint plot of " + dataName();
      PlotSettings settings = sample == null
          ? plotOptions.settings(result, plotSize, plotTitle)
          : plotOptions
                .settings(
                    result, plotSize, plotTitle, run.table(), sample, Set.copyOf(options.missing))
                .withObjects(run.cloud(sample));
      plots = Plots.writeAll(result, settings.withArrows(numeric), staging,
          (name, work)
              -> progress.phase(name, named(folder, name, null, work), null,
                  files -> wrote(files.stream().map(folder::shown).toList())));
    }
    ReportSettings report = new ReportSettings(title,
        data != null ? String.valueOf(data.getFileName())
                     : SourceAddress.parse(location).toString(),
        commandSpec.commandLine().getParseResult().originalArgs(),
        run == null ? null
                    : String.format(Locale.ROOT, "%d (%d take part, total weight %s)", run.rows(),
                        run.table().tables().objectCount(), run.table().takingWeight()));
    Plots.PlotSet drawn = plots;
    Callable<List<Path>> write =
        () -> List.of(HtmlReport.write(result, numeric, report, staging, drawn));
    progress.phase("writing report",
        named(folder, "writing the report", staging.resolve(HtmlReport.FILE_NAME), write), null,
        files -> wrote(files.stream().map(folder::shown).toList()));
  }

  /**
   * A step that writes files, its failures to write in words: naming the file that failed when
   * the failure or the step says which, else the step. (Writing into a full disk fails with no
   * file named.)
   *
   * @param file the one file the step writes, or null
   */
  private Callable<List<Path>> named(
      OutputFolder folder, String step, Path file, Callable<List<Path>> work) {
    return () -> {
      try {
        return work.call();
      } catch (IOException e) {
        Path failed =
            e instanceof FileSystemException f && f.getFile() != null ? Path.of(f.getFile()) : file;
        throw new CliException((failed == null ? "cannot write into " + output + " while " + step
                                               : "cannot write " + folder.shown(failed))
            + ": " + OutputFolder.reason(e));
      }
    };
  }

  private static void preparePlots() {
    try {
      JointPlot.prepare();
    } catch (IOException | RuntimeException | LinkageError e) {
      // The plots themselves will meet and report whatever went wrong, a class missing from the
      // class path too; a thread of its own would print Java's trace of it besides.
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

  private String summary(Input input) {
    HomalsAnalysis analysis = input.analysis();
    long passiveCount = analysis.variables().stream().filter(v -> !v.isActive()).count();
    long objects = input.database() == null ? analysis.objectCount() : input.database().rows();
    return String.format(Locale.ROOT, "%s: %d objects, %d variables (%d active, %d passive)%s",
        dataName(), objects, analysis.variables().size(),
        analysis.variables().size() - passiveCount, passiveCount,
        options.weight == null ? "" : ", weights from '" + options.weight + "'");
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
}
