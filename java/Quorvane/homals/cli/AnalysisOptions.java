package Quorvane.homals.cli;

import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.InvalidAnalysisException;
import Quorvane.homals.Solver;
import java.nio.charset.Charset;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import picocli.CommandLine.Option;
import picocli.CommandLine.ParseResult;

/**
 * The options of {@code analyse} that say what to read from the file and how to analyse it;
 * {@link InputReader} turns them and the file into the analysis.
 */
final class AnalysisOptions {
  @Option(names = {"-d", "--dimensions"}, paramLabel = "N", defaultValue = "2",
      description = "Number of dimensions, 1 or more (default: ${DEFAULT-VALUE}).")
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
          + "for several columns. Default: numeric order when all labels are numbers; for an "
          + "ordinal or numerical column whose labels begin with distinct numbers (intervals "
          + "such as [1,18] and (18,30]), the order of those numbers; else alphabetical, with "
          + "a warning for ordinal and numerical columns.")
  Map<String, String> order = new LinkedHashMap<>();

  @Option(names = "--exclude-category", paramLabel = "COLUMN=LABEL,LABEL,...",
      description = "Categories of a column that take no part in the fit (answers such as "
          + "\"don't know\"): their cells count as missing, and the categories are still shown, "
          + "as supplementary points at the centroids of their objects. Labels as in --order; "
          + "repeat for several columns.")
  Map<String, String> excludeCategory = new LinkedHashMap<>();

  @Option(names = "--values", paramLabel = "COLUMN=V,V,...",
      description = "Values of a column's categories, in their order: a numerical column's "
          + "quantifications are spaced as its values are, and an ordinal one starts from them. "
          + "Default: the labels' numbers when all labels are numbers, else the ranks 1 .. k "
          + "(with a warning for a numerical column); repeat for several columns.")
  Map<String, String> values = new LinkedHashMap<>();

  @Option(names = {"-w", "--weight"}, paramLabel = "COLUMN",
      description = "Column of object weights: counts, or survey weights with any decimals; "
          + "finite numbers of 0 or more. Multiplying every weight by one factor changes nothing "
          + "but the frequencies and the tests, which count weights as frequencies.")
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

  @Option(names = "--numeric", paramLabel = "COLUMN", split = ",",
      description = "Numeric columns that are not analysed but correlated with the dimensions "
          + "(numeric.csv, the summaries, arrows on the joint plot); an empty cell or a --missing "
          + "text is missing.")
  List<String> numeric = new ArrayList<>();

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
      description = "Upper bound on iterations, 1 or more, for every solver (default: "
          + HomalsAnalysis.DEFAULT_MAX_ITERATIONS + " passes over the objects; on the "
          + "cross-table, as many iterations as 2e9 multiply-adds pay for, and at least "
          + HomalsAnalysis.DEFAULT_MAX_ITERATIONS + ").")
  Integer maxIterations;

  @Option(names = "--inner-iterations", paramLabel = "N",
      description = "Rounds of the rank-one step per iteration for single columns, 1 or more, "
          + "asked of every run (default: " + HomalsAnalysis.DEFAULT_INNER_ITERATIONS + ").")
  int innerIterations = HomalsAnalysis.DEFAULT_INNER_ITERATIONS;

  @Option(names = "--tolerance", paramLabel = "X",
      description = "Stop when the subspace of the solution is estimated within this of its "
          + "limit; scores are then accurate to about this, relative to the largest; 0 or more "
          + "(default: " + HomalsAnalysis.DEFAULT_CONVERGENCE_TOLERANCE + ").")
  double tolerance = HomalsAnalysis.DEFAULT_CONVERGENCE_TOLERANCE;

  @Option(names = "--fit-tolerance", paramLabel = "X",
      description = "Also stop when the fit changes by less than this, 0 or more (default: not "
          + "used).")
  Double fitTolerance;

  @Option(names = "--cosine-tolerance", paramLabel = "X",
      description = "Also stop when successive object scores agree to a cosine within this of 1; "
          + "0 or more (default: not used).")
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

  /** Why {@link #build} could not build the analysis, or null. */
  private RuntimeException buildFailure;

  /**
   * Refuses values that no data could make valid, before the file is read, naming the option
   * and the value as typed: the analysis would otherwise refuse them only after the reading, in
   * the terms of the Java API.
   */
  void check(ParseResult typed) {
    atLeastOne(typed, "--dimensions", dimensions);
    if (maxIterations != null) {
      atLeastOne(typed, "--max-iterations", maxIterations);
    }
    // The analysis asks for inner iterations only when a column is single; a value that would
    // fail then is refused whatever the columns, so that adding --single cannot surprise.
    atLeastOne(typed, "--inner-iterations", innerIterations);
    tolerance(typed, "--tolerance", tolerance);
    if (fitTolerance != null) {
      tolerance(typed, "--fit-tolerance", fitTolerance);
    }
    if (cosineTolerance != null) {
      tolerance(typed, "--cosine-tolerance", cosineTolerance);
    }
    if (threads != null && (threads < 1 || threads > 1024)) {
      throw new CliException(as(typed, "--threads", threads) + ": must be 1 to 1024");
    }
  }

  private static void atLeastOne(ParseResult typed, String option, int value) {
    if (value < 1) {
      throw new CliException(as(typed, option, value) + ": must be 1 or more");
    }
  }

  private static void tolerance(ParseResult typed, String option, double value) {
    if (!(value >= 0) || Double.isInfinite(value)) {
      throw new CliException(as(typed, option, value) + ": must be a finite number, 0 or more");
    }
  }

  /** The option with its value as the user typed it. */
  private static String as(ParseResult typed, String option, Object value) {
    var matched = typed == null ? null : typed.matchedOption(option);
    List<String> texts = matched == null ? List.of() : matched.stringValues();
    return option + " " + (texts.isEmpty() ? value : texts.get(texts.size() - 1));
  }

  /** The encoding of --encoding, or an error in words when this Java does not know it. */
  Charset charset() {
    try {
      return Charset.forName(encoding);
    } catch (IllegalArgumentException e) {
      throw new CliException("--encoding " + encoding + ": not an encoding this Java knows");
    }
  }

  /**
   * Builds the analysis of the variables given to {@code builder} with the run's settings; or,
   * when they make no valid analysis, returns null and keeps the reason for {@link
   * #buildFailure}. The reader calls this once its warnings are complete but hands them over only
   * with its result; the columns they say were left out often explain the failure, so the
   * command tells them first.
   */
  HomalsAnalysis build(HomalsAnalysis.Builder builder) {
    if (maxIterations != null) {
      builder.maxIterations(maxIterations);
    }
    if (threads != null) {
      builder.threads(threads);
    }
    builder.innerIterations(innerIterations)
        .convergenceTolerance(tolerance)
        .solver(solverNamed(solver))
        .fitTolerance(fitTolerance == null ? Double.NaN : fitTolerance)
        .cosineTolerance(cosineTolerance == null ? Double.NaN : cosineTolerance);
    try {
      return builder.dimensions(dimensions).build();
    } catch (InvalidAnalysisException e) {
      buildFailure = blameDimensions(builder, e);
      return null;
    }
  }

  /**
   * The failure, in terms of --dimensions when the data carry one dimension but not as many as
   * asked (too few objects, or variables that span fewer): the option is what the user can change.
   */
  private RuntimeException blameDimensions(
      HomalsAnalysis.Builder builder, InvalidAnalysisException e) {
    if (dimensions <= 1) {
      return e;
    }
    try {
      builder.dimensions(1).build();
    } catch (InvalidAnalysisException oneFails) {
      return e;
    }
    return new CliException("--dimensions " + dimensions + ": " + e.getMessage());
  }

  /** Why the last {@link #build} returned null; null when it did not. */
  RuntimeException buildFailure() { return buildFailure; }

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

  /**
   * The columns to analyse, in order: --columns or else the header, without the excluded ones,
   * the weight and id columns and {@code leftOut}; refuses an option that names a column outside
   * them, and a choice that leaves none.
   */
  List<String> analysedColumns(List<String> header, List<String> leftOut) {
    List<String> analysed = new ArrayList<>(columns.isEmpty() ? header : columns);
        analysed.removeAll(exclude);
        analysed.remove(weight);
        analysed.remove(id);
        analysed.removeAll(leftOut);
        Map<String, List<String>> named = new LinkedHashMap<>();
        named.put("--passive", passive);
        named.put("--single", new ArrayList<>(single.keySet()));
        named.put("--order", new ArrayList<>(order.keySet()));
        named.put("--values", new ArrayList<>(values.keySet()));
        named.put("--exclude-category", new ArrayList<>(excludeCategory.keySet()));
        named.forEach((option, names) -> {
          for (String name : names) {
            if (!analysed.contains(name)) {
              throw new CliException(option + " names column '" + name
                  + "', which is not analysed (it is excluded, or the weight or id column)");
            }
          }
        });
        if (analysed.isEmpty()) {
          throw new CliException("no columns left to analyse");
        }
        return analysed;
    }
  }
