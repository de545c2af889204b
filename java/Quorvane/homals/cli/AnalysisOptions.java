package Quorvane.homals.cli;

import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.Solver;
import java.nio.charset.Charset;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import picocli.CommandLine.Option;

/**
 * The options of {@code analyse} that say what to read from the file and how to analyse it;
 * {@link InputReader} turns them and the file into the analysis.
 */
final class AnalysisOptions {
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
      description = "Rounds of the rank-one step per iteration, for single columns (default: "
          + HomalsAnalysis.DEFAULT_INNER_ITERATIONS + ").")
  int innerIterations = HomalsAnalysis.DEFAULT_INNER_ITERATIONS;

  @Option(names = "--tolerance", paramLabel = "X",
      description = "Stop when the subspace of the solution is estimated within this of its "
          + "limit; scores are then accurate to about this, relative to the largest (default: "
          + HomalsAnalysis.DEFAULT_CONVERGENCE_TOLERANCE + ").")
  double tolerance = HomalsAnalysis.DEFAULT_CONVERGENCE_TOLERANCE;

  @Option(names = "--fit-tolerance", paramLabel = "X",
      description = "Also stop when the fit changes by less than this (default: not used).")
  Double fitTolerance;

  @Option(names = "--cosine-tolerance", paramLabel = "X",
      description = "Also stop when successive object scores agree to a cosine within this of 1 "
          + "(default: not used).")
  Double cosineTolerance;

  @Option(names = "--solver", paramLabel = "auto|direct|cross-table|objects", defaultValue = "auto",
      description = "How the solution is found. direct: the exact eigensolution of the category "
          + "cross-table, without iterations, when every active column is multiple nominal "
          + "(otherwise as auto); cross-table: iterations on that table; objects: iterations "
          + "that pass over the objects; auto: direct where it applies, else the cheaper "
          + "iteration (default: ${DEFAULT-VALUE}).")
  String solver;

  @Option(names = "--threads", paramLabel = "N",
      description = "Processors the analysis may use, 1 to 1024 (default: all available). The "
          + "results are the same for every number.")
  Integer threads;

  /** The encoding of --encoding, or an error in words when this Java does not know it. */
  Charset charset() {
    try {
      return Charset.forName(encoding);
    } catch (IllegalArgumentException e) {
      throw new CliException("--encoding " + encoding + ": not an encoding this Java knows");
    }
  }

  /** Builds the analysis of the variables given to {@code builder} with the run's settings. */
  HomalsAnalysis build(HomalsAnalysis.Builder builder) {
    if (maxIterations != null) {
      builder.maxIterations(maxIterations);
    }
    if (threads != null) {
      builder.threads(threads);
    }
    return builder.dimensions(dimensions)
        .innerIterations(innerIterations)
        .convergenceTolerance(tolerance)
        .solver(solverNamed(solver))
        .fitTolerance(fitTolerance == null ? Double.NaN : fitTolerance)
        .cosineTolerance(cosineTolerance == null ? Double.NaN : cosineTolerance)
        .build();
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
}
