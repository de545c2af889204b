package Quorvane.homals.cli;

import Quorvane.homals.AnalysisFailedException;
import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.Quantification;
import Quorvane.homals.Solver;
import Quorvane.homals.StopReason;
import Quorvane.homals.Variable;
import Quorvane.homals.plot.JointPlot;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;
import java.util.concurrent.Callable;
import org.jfree.chart.JFreeChart;
import picocli.CommandLine.Command;
import picocli.CommandLine.Model.CommandSpec;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;
import picocli.CommandLine.Spec;

/** {@code analyse DATA.csv [options]}: reads a CSV file, runs the analysis, writes the results. */
@Command(name = "analyse", aliases = "analyze", mixinStandardHelpOptions = true,
    sortOptions = false,
    description = {
      "Runs a homogeneity analysis of the categorical columns of a CSV file and writes "
          + "categories.csv, objects.csv, summary.txt and a joint plot (PNG and SVG) "
          + "into the output folder.",
      "The first line of the file names the columns. Cells are category labels; an empty "
          + "cell is a missing value. With --codes, cells are integer codes 1..k and "
          + "0 (or empty) is missing."
    })
final class AnalyseCommand implements Callable<Integer> {
  @Spec
  CommandSpec commandSpec;

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
      description = "Category order of a column, lowest first (repeat for several "
          + "columns). Default: numeric order when all labels are numbers, else "
          + "alphabetical.")
  Map<String, String> order = new LinkedHashMap<>();

  @Option(names = {"-w", "--weight"}, paramLabel = "COLUMN",
      description = "Column of non-negative integer object weights (counts).")
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

  @Option(names = "--delimiter", paramLabel = "CHAR", defaultValue = ",",
      description = "Field delimiter (default: '${DEFAULT-VALUE}').")
  char delimiter;

  @Option(names = "--max-iterations", paramLabel = "N", description = "Upper bound on "
      + "iterations (default: " + HomalsAnalysis.DEFAULT_MAX_ITERATIONS + ").")
  int maxIterations = HomalsAnalysis.DEFAULT_MAX_ITERATIONS;

  @Option(names = "--inner-iterations", paramLabel = "N", description = "Rounds of the "
      + "rank-one step per iteration, for single columns (default: "
      + HomalsAnalysis.DEFAULT_INNER_ITERATIONS + ").")
  int innerIterations = HomalsAnalysis.DEFAULT_INNER_ITERATIONS;

  @Option(names = "--tolerance", paramLabel = "X", description = "Stop when the subspace of "
      + "the solution is estimated within this of its limit; scores are then accurate to about "
      + "this, relative to the largest (default: "
      + HomalsAnalysis.DEFAULT_CONVERGENCE_TOLERANCE + ").")
  double tolerance = HomalsAnalysis.DEFAULT_CONVERGENCE_TOLERANCE;

  @Option(names = "--fit-tolerance", paramLabel = "X", description = "Also stop when the fit "
      + "changes by less than this (default: not used).")
  Double fitTolerance;

  @Option(names = "--cosine-tolerance", paramLabel = "X", description = "Also stop when "
      + "successive object scores agree to a cosine within this of 1 (default: not used).")
  Double cosineTolerance;

  @Option(names = "--solver", paramLabel = "auto|objects|cross-table", defaultValue = "auto",
      description = "How the iterations run: on the category cross-table, by passes over the "
          + "objects, or the cheaper of the two when the table fits in memory (default: "
          + "${DEFAULT-VALUE}).")
  String solver;

  @Option(names = "--plot-size", paramLabel = "PIXELS", defaultValue = "900",
      description = "Width and height of the square joint plot (default: ${DEFAULT-VALUE}).")
  int plotSize;

  @Option(names = "--title", paramLabel = "TEXT",
      description = "Title of the joint plot (default: the data file's name).")
  String title;

  @Option(names = "--no-plot", description = "Do not draw the joint plot.")
  boolean noPlot;

  @Option(names = {"-q", "--quiet"}, description = "No progress messages on standard error.")
  boolean quiet;

  @Override
  public Integer call() throws Exception {
    Progress progress = new Progress(commandSpec.commandLine().getErr(), quiet);
    if (plotSize < 200 || plotSize > 10000) {
      throw new CliException("--plot-size must be between 200 and 10000 pixels");
    }
    progress.say("reading " + data);
    if (!Files.isRegularFile(data)) {
      throw new CliException("no such file: " + data);
    }
    CsvTable table = CsvTable.read(data, delimiter);
    HomalsAnalysis analysis = describe(table);
    long passiveCount = analysis.variables().stream().filter(v -> !v.isActive()).count();
    progress.say(String.format(Locale.ROOT, "%d objects, %d variables (%d active, %d "
        + "passive)%s", analysis.objectCount(), analysis.variables().size(),
        analysis.variables().size() - passiveCount, passiveCount,
        weight == null ? "" : ", weights from '" + weight + "'"));

    HomalsResult result = progress.during("analysing in " + analysis.dimensions()
        + " dimensions", () -> {
          try {
            return analysis.run();
          } catch (UnsatisfiedLinkError e) {
            throw new AnalysisFailedException(e.getMessage());
          }
        });
    StringBuilder eigen = new StringBuilder(String.format(Locale.ROOT,
        "%d iterations, %s; eigenvalues", result.iterations(),
        result.converged() ? "converged" : "not converged (" + result.stopReason().key() + ")"));
    for (double e : result.eigenvalues()) {
      eigen.append(String.format(Locale.ROOT, " %.4f", e));
    }
    progress.say(eigen.toString());
    if (!result.converged()) {
      progress.warn(notConverged(result));
    }

    Files.createDirectories(output);
    List<String> ids = id == null ? null : table.columnCells(table.column(id));
    List<Path> written = new ArrayList<>(ResultFiles.write(result, output, data, ids));
    if (!noPlot && result.dimensions() >= 2) {
      String plotTitle = title != null ? title : "Joint plot of " + data.getFileName();
      JFreeChart chart = JointPlot.chart(result, 0, 1, plotTitle);
      Path png = output.resolve("joint-plot.png");
      Path svg = output.resolve("joint-plot.svg");
      JointPlot.writePng(chart, png, plotSize, plotSize);
      JointPlot.writeSvg(chart, svg, plotSize, plotSize);
      written.add(png);
      written.add(svg);
    } else if (!noPlot) {
      progress.say("one dimension only: no joint plot");
    }
    for (Path file : written) {
      progress.say("wrote " + file);
    }
    return 0;
  }

  static Solver solverNamed(String name) {
    return switch (name) {
      case "auto" -> Solver.AUTOMATIC;
      case "objects" -> Solver.OBJECTS;
      case "cross-table" -> Solver.CROSS_TABLE;
      default -> throw new CliException(
          "--solver " + name + ": expected auto, objects or cross-table");
    };
  }

  static String notConverged(HomalsResult result) {
    return result.stopReason() == StopReason.ITERATION_BOUND
        ? "the run did not converge within " + result.iterations() + " iterations "
            + "(--max-iterations); the results are written, but their dimensions may not be "
            + "settled yet"
        : "the run ended with a fit that is not a number after " + result.iterations()
            + " iterations; the results are written but meaningless";
  }

  /** Builds the analysis description from the table and the options. */
  HomalsAnalysis describe(CsvTable table) {
    Set<String> known = new LinkedHashSet<>(table.header());
    for (List<String> names : List.of(passive, columns, exclude, new ArrayList<>(single.keySet()),
        new ArrayList<>(order.keySet()))) {
      for (String name : names) {
        table.column(name);
      }
    }
    if (weight != null) {
      table.column(weight);
    }
    if (id != null) {
      table.column(id);
    }
    if (codes && !order.isEmpty()) {
      throw new CliException("--order gives labels; it cannot be used with --codes");
    }

    List<String> analysed = new ArrayList<>(columns.isEmpty() ? known : columns);
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

    Set<String> missingTexts = new LinkedHashSet<>(missing);
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder();
    for (String name : analysed) {
      List<String> cells = table.columnCells(table.column(name));
      Variable variable;
      if (codes) {
        variable = Variable.ofCodes(name, parseCodes(name, cells, missingTexts));
      } else {
        List<String> labels = new ArrayList<>(cells.size());
        for (String cell : cells) {
          labels.add(missingTexts.contains(cell) ? null : cell);
        }
        variable = order.containsKey(name)
            ? Variable.ofLabels(name, labels, splitOrder(order.get(name)))
            : Variable.ofLabels(name, labels);
      }
      if (passive.contains(name)) {
        variable = variable.passive();
      }
      if (single.containsKey(name)) {
        try {
          variable = variable.single(Quantification.singleAt(single.get(name)));
        } catch (IllegalArgumentException e) {
          throw new CliException("--single " + name + "=" + single.get(name) + ": "
              + e.getMessage());
        }
      }
      builder.variable(variable);
    }
    if (weight != null) {
      builder.weights(parseWeights(table.columnCells(table.column(weight))));
    }
    return builder.dimensions(dimensions)
        .maxIterations(maxIterations)
        .innerIterations(innerIterations)
        .convergenceTolerance(tolerance)
        .solver(solverNamed(solver))
        .fitTolerance(fitTolerance == null ? Double.NaN : fitTolerance)
        .cosineTolerance(cosineTolerance == null ? Double.NaN : cosineTolerance)
        .build();
  }

  private static void requireAnalysed(List<String> analysed, String name, String option) {
    if (!analysed.contains(name)) {
      throw new CliException(option + " names column '" + name
          + "', which is not analysed (it is excluded, or the weight or id column)");
    }
  }

  private static List<String> splitOrder(String value) {
    List<String> labels = new ArrayList<>();
    for (String label : value.split(",", -1)) {
      labels.add(label.trim());
    }
    return labels;
  }

  private static int[] parseCodes(String name, List<String> cells, Set<String> missingTexts) {
    int[] result = new int[cells.size()];
    for (int i = 0; i < result.length; i++) {
      String cell = cells.get(i);
      if (cell.isEmpty() || missingTexts.contains(cell)) {
        continue;
      }
      try {
        result[i] = Math.max(Integer.parseInt(cell), 0);
      } catch (NumberFormatException e) {
        throw new CliException("column '" + name + "', data row " + (i + 1) + ": '" + cell
            + "' is not an integer code (--codes is set)");
      }
    }
    return result;
  }

  private int[] parseWeights(List<String> cells) {
    int[] result = new int[cells.size()];
    for (int i = 0; i < result.length; i++) {
      String cell = cells.get(i);
      try {
        result[i] = Integer.parseInt(cell);
      } catch (NumberFormatException e) {
        throw new CliException("weight column '" + weight + "', data row " + (i + 1)
            + ": '" + cell + "' is not an integer");
      }
    }
    return result;
  }
}
