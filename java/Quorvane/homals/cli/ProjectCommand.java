package Quorvane.homals.cli;

import Quorvane.homals.AnalysisFailedException;
import Quorvane.homals.HomalsModel;
import Quorvane.homals.Projection;
import java.nio.charset.Charset;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.concurrent.Callable;
import picocli.CommandLine.Command;
import picocli.CommandLine.Model.CommandSpec;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;
import picocli.CommandLine.Spec;

/**
 * {@code project MODEL.json NEW.csv [options]}: scores the rows of a CSV file with a model that
 * {@code analyse} wrote, and writes scores.csv. The rows are read as the analysis read its file:
 * the same missing texts, codes or labels, missing cells as a category where it made them one.
 */
@Command(name = "project", mixinStandardHelpOptions = true, sortOptions = false,
    description = {"Scores the rows of a CSV file with a model.json that 'tallowmere analyse' "
            + "wrote, and writes scores.csv into the output folder: one row per data row, its "
            + "number (or --id) and its score on every dimension of the model.",
        "Columns are matched to the model's active variables by name and cells to their "
            + "categories by label; a label the model does not know counts as missing. A row "
            + "with no known label of an active variable gets empty scores."})
final class ProjectCommand implements Callable<Integer> {
  static final String SCORES = "scores.csv";

  @Spec CommandSpec commandSpec;

  @Parameters(index = "0", paramLabel = "MODEL.json",
      description = "The model, as 'tallowmere analyse' writes it into its output folder.")
  Path modelFile;

  @Parameters(index = "1", paramLabel = "NEW.csv", description = "The rows to score.") Path data;

  @Option(names = {"-o", "--output"}, paramLabel = "DIR", defaultValue = "tallowmere-projection",
      description = "Output folder, created if needed (default: ${DEFAULT-VALUE}); scores.csv "
          + "is moved in only once it is complete.")
  Path output;

  @Option(names = "--id", paramLabel = "COLUMN",
      description = "Column that names the rows; copied into scores.csv.")
  String id;

  @Option(names = "--delimiter", paramLabel = "CHAR",
      description = "Field delimiter (default: comma, semicolon or tab, whichever the first "
          + "lines use).")
  Character delimiter;

  @Option(names = "--encoding", paramLabel = "CHARSET", defaultValue = "UTF-8",
      description = "The file's character encoding (default: ${DEFAULT-VALUE}).")
  String encoding;

  @Option(names = "--threads", paramLabel = "N",
      description = "Processors the scoring may use, 1 to 1024 (default: all available). The "
          + "scores are the same for every number.")
  Integer threads;

  @Option(names = "--raw-cells",
      description = "Write the row names of scores.csv as they are, even those a spreadsheet "
          + "would run as formulas (see 'analyse --help').")
  boolean rawCells;

  @Option(names = {"-q", "--quiet"}, description = "No progress messages on standard error.")
  boolean quiet;

  @Option(names = "--debug",
      description = "On an unexpected failure, print its stack trace as well as its message.")
  boolean debug;

  private final OutputFolder.Opener opener;

  ProjectCommand() { this(Files::newOutputStream); }

  ProjectCommand(OutputFolder.Opener opener) { this.opener = opener; }

  @Override
  public Integer call() throws Exception {
    Progress progress = new Progress(commandSpec.commandLine().getErr(), quiet);
    if (threads != null && (threads < 1 || threads > 1024)) {
      throw new CliException("--threads " + threads + ": must be 1 to 1024");
    }
    Charset charset = charset();
    checkModelFile();
    AnalyseCommand.checkInput(data);
    AnalyseCommand.checkOutput(output);
    HomalsModel model = progress.phase(
        "reading model", () -> HomalsModel.load(modelFile), null, ProjectCommand::describe);
    NewRows rows = progress.phase("reading",
        ()
            -> NewRows.read(data, delimiter, charset, model, id),
        null, read -> data.getFileName() + ": " + read.rowCount() + " rows");
    rows.absent().forEach(name
        -> progress.warn("the model's active variable '" + name + "' is not a column of "
            + data.getFileName() + "; it counts as missing on every row"));
    Projection projection = progress.phase("projecting",
        ()
            -> project(model, rows),
        null, done -> done.scoredCount() + " of " + done.objectCount() + " rows scored");
    warnings(projection).forEach(progress::warn);
    try (OutputFolder folder = OutputFolder.in(output, opener)) {
      progress.phase(
          "writing", () -> write(folder, projection, rows.ids()), null, file -> "wrote " + file);
      folder.commit();
    }
    progress.total();
    return 0;
  }

  private Charset charset() {
    try {
      return Charset.forName(encoding);
    } catch (IllegalArgumentException e) {
      throw new CliException("--encoding " + encoding + ": not an encoding this Java knows");
    }
  }

  private void checkModelFile() {
    if (Files.isDirectory(modelFile)) {
      throw new CliException(modelFile + " is a folder, not a model file");
    }
    if (!Files.exists(modelFile)) {
      throw new CliException("no such file: " + modelFile);
    }
  }

  private static String describe(HomalsModel model) {
    return String.format(Locale.ROOT, "%d dimensions, %d active variables, made by tallowmere %s",
        model.dimensions(), model.activeVariables().size(), model.libraryVersion());
  }

  private Projection project(HomalsModel model, NewRows rows) {
    int processors =
        threads != null ? threads : Math.min(1024, Runtime.getRuntime().availableProcessors());
    try {
      return model.project(rows.variables(), processors);
    } catch (UnsatisfiedLinkError e) {
      throw new AnalysisFailedException(e.getMessage());
    }
  }

  /** Unknown labels per column, then the rows left without scores. */
  static List<String> warnings(Projection projection) {
    List<String> warnings = new ArrayList<>();
    projection.unknownLabelCounts().forEach((name, count) -> {
      if (count > 0) {
        List<String> labels = projection.unknownLabels(name);
        warnings.add("column '" + name + "': " + count + (count == 1 ? " cell has" : " cells have")
            + (labels.size() == 1 ? " a label" : " labels") + " the model does not know ("
            + InputReader.quoted(labels.subList(0, Math.min(labels.size(), 5)))
            + (labels.size() > 5 ? ", ..." : "") + "); read as missing");
      }
    });
    int unscored = projection.unscoredCount();
    if (unscored > 0) {
      warnings.add(unscored + (unscored == 1 ? " row has" : " rows have")
          + " no known value of an active variable of the model, so no scores (empty cells)");
    }
    return warnings;
  }

  /** scores.csv: object (the row's number or id), dim1 .. dimP, empty for a row not scored. */
  private Path write(OutputFolder folder, Projection projection, List<String> ids) {
    return folder.write(SCORES, out -> {
      try (CsvOutput csv = new CsvOutput(out, rawCells)) {
        csv.text("object");
        for (int d = 1; d <= projection.dimensions(); d++) {
          csv.text("dim" + d);
        }
        csv.endRow();
        for (int i = 0; i < projection.objectCount(); i++) {
          if (ids == null) {
            csv.integer(i + 1);
          } else {
            csv.text(ids.get(i));
          }
          for (int d = 0; d < projection.dimensions(); d++) {
            csv.numberOrEmpty(projection.score(i, d));
          }
          csv.endRow();
        }
      }
    });
  }
}
