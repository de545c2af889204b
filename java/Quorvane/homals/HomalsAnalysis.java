package Quorvane.homals;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.Objects;

/**
 * A complete, validated description of one homogeneity analysis: the variables, optional object
 * weights, the number of dimensions and the iteration settings. Build one with
 * {@link #builder()} and run it with {@link #run()}.
 *
 * <pre>{@code
 * HomalsResult result = HomalsAnalysis.builder()
 *         .variable(Variable.ofLabels("hair", hair))
 *         .variable(Variable.ofLabels("eye", eye))
 *         .variable(Variable.ofLabels("sex", sex).passive())
 *         .weights(counts)
 *         .dimensions(2)
 *         .build()
 *         .run();
 * }</pre>
 *
 * <p>{@link Builder#build()} checks everything that would make the native computation
 * meaningless and throws {@link InvalidAnalysisException} with a precise message; nothing is
 * handed to the native library before that. Instances are immutable and may be run any number of
 * times; every run gives the same result, because the native start is a fixed pseudo-random
 * sequence.
 *
 * <p><b>How the solution is found.</b> When every active variable is multiple nominal, the
 * solution is the exact eigensolution of the category cross-table, found without iterations
 * ({@link Solver#DIRECT}, which {@link Solver#AUTOMATIC} prefers). With single variables it is
 * found by alternating least squares, on the cross-table or by passes over the objects.
 *
 * <p><b>How the iterations end.</b> They stop when the subspace spanned by the solution has
 * settled: when its estimated distance from the limit (the sines of the angles between the
 * current subspace and the limit) is at most the convergence tolerance. The fit settles long
 * before that, since turning the solution within its subspace does not change the fit. The
 * solution is then rotated to principal axes, so that each dimension is an eigenvector of the
 * analysis and the dimensions come in decreasing order of eigenvalue. A run that reaches
 * {@code maxIterations} first returns its results with {@link HomalsResult#converged()} false.
 * A fit or cosine tolerance may be set as well; either then also ends the run.
 *
 * <p><b>Threads.</b> Analyses on different threads run at the same time; the library keeps no
 * state between or across them. Within one analysis, the pass that builds the cross-table and the
 * passes over the objects use up to {@link Builder#threads(int)} processors. The results are the
 * same bits for every thread count.
 */
public final class HomalsAnalysis {
  /** Default number of dimensions. */
  public static final int DEFAULT_DIMENSIONS = 2;
  /** Default upper bound on outer iterations that pass over the objects. */
  public static final int DEFAULT_MAX_ITERATIONS = 1000;
  /**
   * Unless an iteration bound is set, the cross-table iteration may run as many iterations as this
   * many multiply-adds of its products pay for (3 P S<sup>2</sup> each, S the active categories),
   * and at least {@link #DEFAULT_MAX_ITERATIONS}: an iteration there costs microseconds, and runs
   * with single variables whose eigenvalues lie close need tens of thousands. About a second or
   * two of one processor.
   */
  public static final double DEFAULT_CATEGORY_SPACE_WORK = 2e9;
  /** Default rounds of the rank-one step per outer iteration (used only with single variables). */
  public static final int DEFAULT_INNER_ITERATIONS = 5;
  /** Default bound on the estimated distance of the solution's subspace from its limit. */
  public static final double DEFAULT_CONVERGENCE_TOLERANCE = 1e-8;

  private final List<Variable> variables;
  private final List<Variable> fitVariables;
  private final double[] weights;
  private final int objectCount;
  private final int dimensions;
  private final int maxIterations;
  private final boolean maxIterationsSet;
  private final int innerIterations;
  private final double convergenceTolerance;
  private final double fitTolerance;
  private final double cosineTolerance;
  private final Solver solver;
  private final int threads;
  private final Participation participation;
  private final CategoryTables tables;

  private HomalsAnalysis(Builder b, List<Variable> fitVariables, Participation participation) {
    this.variables = Collections.unmodifiableList(new ArrayList<>(b.variables));
    this.fitVariables = fitVariables;
    this.weights = b.weights == null ? null : b.weights.clone();
    this.objectCount = b.variables.get(0).objectCount();
    this.dimensions = b.dimensions;
    this.maxIterations = b.maxIterations;
    this.maxIterationsSet = b.maxIterationsSet;
    this.innerIterations = b.innerIterations;
    this.convergenceTolerance = b.convergenceTolerance;
    this.fitTolerance = b.fitTolerance;
    this.cosineTolerance = b.cosineTolerance;
    this.solver = b.solver;
    this.threads = b.threads;
    this.participation = participation;
    this.tables = b.tables;
  }

  /**
   * The variables whose counts tables must hold, in order: each variable as the fit sees it
   * (its excluded categories counted as missing), then, for each variable with excluded
   * categories, one of its excluded categories alone, passive. Element [v][c] is the code in
   * table variable v of category c + 1 of the described variable {@link
   * #tableVariableSources}[v] names (0: not counted there).
   */
  public static int[][] tableVariables(List<Variable> variables) {
    List<int[]> codes = new ArrayList<>();
    for (Variable v : variables) {
      int[] renumber = new int[v.categoryCount()];
      for (int c = 0, next = 0; c < renumber.length; c++) {
        renumber[c] = v.isExcluded(c) ? 0 : ++next;
      }
      codes.add(renumber);
    }
    for (Variable v : variables) {
      if (!v.excludedCategories().isEmpty()) {
        codes.add(Arrays.copyOfRange(v.excludedCodes(), 1, v.categoryCount() + 1));
      }
    }
    return codes.toArray(int[][] ::new);
  }

  /** For each of {@link #tableVariables}, the index of the described variable it counts. */
  public static int[] tableVariableSources(List<Variable> variables) {
    List<Integer> sources = new ArrayList<>();
    for (int v = 0; v < variables.size(); v++) {
      sources.add(v);
    }
    for (int v = 0; v < variables.size(); v++) {
      if (!variables.get(v).excludedCategories().isEmpty()) {
        sources.add(v);
      }
    }
    return sources.stream().mapToInt(Integer::intValue).toArray();
  }

  /** For each of {@link #tableVariables}, whether it is active. */
  public static boolean[] tableVariablesActive(List<Variable> variables) {
    int[] sources = tableVariableSources(variables);
    boolean[] active = new boolean[sources.length];
    for (int t = 0; t < sources.length; t++) {
      active[t] = t < variables.size() && variables.get(sources[t]).isActive();
    }
    return active;
  }

  /** The tables this analysis solves from, or null when its objects are in memory. */
  CategoryTables tables() { return tables; }

  public static Builder builder() { return new Builder(); }

  /** Runs the analysis through the native library. */
  public HomalsResult run() { return run(NativeArguments::callNative); }

  /** Runs the analysis with the given engine in place of the native call (for tests). */
  HomalsResult run(NativeEngine engine) {
    NativeArguments arguments = NativeArguments.of(this);
    engine.run(arguments);
    return ResultAssembler.assemble(this, arguments);
  }

  /** The variables in the order given, active and passive. */
  public List<Variable> variables() { return variables; }

  /**
   * The variables as the library sees them: each described variable with its excluded categories
   * removed and their cells missing, in order, then for each variable with exclusions a passive
   * variable of its excluded categories alone ({@link Variable#excludedVariable}). Everything
   * computed from the codes of the fit reads these.
   */
  List<Variable> fitVariables() { return fitVariables; }

  /** The index in {@link #fitVariables()} of a variable's excluded categories, or -1. */
  int excludedVariableIndex(int variable) {
    int next = variables.size();
    for (int v = 0; v < variable; v++) {
      next += variables.get(v).excludedCategories().isEmpty() ? 0 : 1;
    }
    return variables.get(variable).excludedCategories().isEmpty() ? -1 : next;
  }

  /** The variable of the given name. */
  public Variable variable(String name) {
    for (Variable v : variables) {
      if (v.name().equals(name)) {
        return v;
      }
    }
    throw new IllegalArgumentException("no variable named '" + name + "'");
  }

  public int objectCount() { return objectCount; }

  /** A copy of the object weights, or {@code null} when every object weighs 1. */
  public double[] weights() { return weights == null ? null : weights.clone(); }

  /** Whether the objects have weights of their own; without, every object weighs 1. */
  public boolean hasWeights() { return weights != null; }

  double[] weightsView() { return weights; }

  /** The weight of object i (1 without weights). */
  public double weight(int object) {
    java.util.Objects.checkIndex(object, objectCount);
    return weights == null ? 1 : weights[object];
  }

  Participation participation() { return participation; }

  public int dimensions() { return dimensions; }

  /**
   * The bound on iterations that pass over the objects, and on iterations on the cross-table
   * when it was set with {@link Builder#maxIterations(int)}; see {@link #iterationBoundSet()}.
   */
  public int maxIterations() { return maxIterations; }

  /**
   * True when the caller set the iteration bound; otherwise the cross-table iteration has a work
   * budget instead ({@link #DEFAULT_CATEGORY_SPACE_WORK}).
   */
  public boolean iterationBoundSet() { return maxIterationsSet; }

  /** The iteration bound as the analysis applies it, in words. */
  public String describeIterationBound() {
    return maxIterationsSet
        ? "at most " + maxIterations + " iterations"
        : "at most " + maxIterations + " passes over the objects, or as many iterations on the "
            + "cross-table as 2e9 multiply-adds pay for";
  }

  /** The cross-table iteration's work budget, or 0 when the iteration bound holds for it. */
  double categorySpaceWork() { return maxIterationsSet ? 0.0 : DEFAULT_CATEGORY_SPACE_WORK; }

  public int innerIterations() { return innerIterations; }

  /** The bound on the estimated distance of the solution's subspace from its limit. */
  public double convergenceTolerance() { return convergenceTolerance; }

  /** The tolerance on the change of the fit, or NaN when the fit does not end the run. */
  public double fitTolerance() { return fitTolerance; }

  /** The tolerance on 1 - the smallest cosine, or NaN when the cosine does not end the run. */
  public double cosineTolerance() { return cosineTolerance; }

  /** The solver asked for; {@link HomalsResult#solver()} says which one ran. */
  public Solver solver() { return solver; }

  /** The processors one run may use. */
  public int threads() { return threads; }

  /** Runs the native computation on prepared arguments. */
  @FunctionalInterface
  interface NativeEngine {
    void run(NativeArguments arguments);
  }

  /** Collects the description; {@link #build()} validates it. */
  public static final class Builder {
    private final List<Variable> variables = new ArrayList<>();
    private double[] weights;
    private int dimensions = DEFAULT_DIMENSIONS;
    private int maxIterations = DEFAULT_MAX_ITERATIONS;
    private boolean maxIterationsSet;
    private int innerIterations = DEFAULT_INNER_ITERATIONS;
    private double convergenceTolerance = DEFAULT_CONVERGENCE_TOLERANCE;
    private double fitTolerance = Double.NaN;
    private double cosineTolerance = Double.NaN;
    private Solver solver = Solver.AUTOMATIC;
    private int threads = Runtime.getRuntime().availableProcessors();
    private CategoryTables tables;

    private Builder() {}

    /**
     * Solves from tables summed elsewhere (a database) instead of codes in memory: the variables
     * are then given without objects ({@link Variable#ofCategories}), and the tables must follow
     * {@link HomalsAnalysis#tableVariables} of them. The result is the one the objects the tables
     * were summed from give with the same table solver, bit for bit, without object scores.
     */
    public Builder tables(CategoryTables counts) {
      this.tables = counts;
      return this;
    }

    /** Adds a variable; variables keep the order in which they are added. */
    public Builder variable(Variable variable) {
      variables.add(Objects.requireNonNull(variable, "variable"));
      return this;
    }

    /** Adds several variables in order. */
    public Builder variables(List<Variable> more) {
      more.forEach(this::variable);
      return this;
    }

    /**
     * Integer weights, one per object (for example the counts of a frequency table);
     * {@code null} means every object weighs 1. A weight of 0 leaves the object out.
     */
    public Builder weights(int[] objectWeights) {
      if (objectWeights == null) {
        this.weights = null;
        return this;
      }
      this.weights = new double[objectWeights.length];
      for (int i = 0; i < objectWeights.length; i++) {
        this.weights[i] = objectWeights[i];
      }
      return this;
    }

    /**
     * Real weights, one per object, finite and not negative (for example survey weights);
     * {@code null} means every object weighs 1. A weight of 0 leaves the object out. The library
     * sums them exactly on a fixed-point scale, so the results do not depend on the order of
     * the objects: each weight is rounded to within 2<sup>-53</sup> of the total weight times
     * the number of active variables. Multiplying every weight by one factor changes nothing.
     */
    public Builder weights(double[] objectWeights) {
      this.weights = objectWeights == null ? null : objectWeights.clone();
      return this;
    }

    /** Number of dimensions of the solution, at least 1. */
    public Builder dimensions(int count) {
      this.dimensions = count;
      return this;
    }

    /**
     * Upper bound on outer iterations, at least 1, for every solver. Without it, iterations that
     * pass over the objects stop at {@link #DEFAULT_MAX_ITERATIONS}, and iterations on the
     * cross-table at a work budget ({@link #DEFAULT_CATEGORY_SPACE_WORK}).
     */
    public Builder maxIterations(int count) {
      this.maxIterations = count;
      this.maxIterationsSet = true;
      return this;
    }

    /**
     * Rounds of the rank-one step per outer iteration, at least 1 when any variable is single;
     * ignored otherwise.
     */
    public Builder innerIterations(int count) {
      this.innerIterations = count;
      return this;
    }

    /**
     * The run ends when the subspace of the solution is estimated to be within this of its
     * limit (default {@value #DEFAULT_CONVERGENCE_TOLERANCE}); per-dimension scores are then
     * accurate to about this, relative to the largest score. 0 leaves only the iteration bound
     * and the tolerances below.
     */
    public Builder convergenceTolerance(double tolerance) {
      this.convergenceTolerance = tolerance;
      return this;
    }

    /** Also end the run when the fit changes by less than this; NaN (the default): never. */
    public Builder fitTolerance(double tolerance) {
      this.fitTolerance = tolerance;
      return this;
    }

    /**
     * Also end the run when the smallest cosine between the old and new object scores of a
     * dimension is within this of 1; NaN (the default): never.
     */
    public Builder cosineTolerance(double tolerance) {
      this.cosineTolerance = tolerance;
      return this;
    }

    /** How the iterations run (default {@link Solver#AUTOMATIC}). */
    public Builder solver(Solver choice) {
      this.solver = Objects.requireNonNull(choice, "solver");
      return this;
    }

    /**
     * The processors one run may use, from 1 to 1024 (default: all that the virtual machine
     * sees). The results do not depend on it: integer tables add up to the same values however
     * they are split, and sums over the objects run in blocks of a fixed size whose results are
     * added in a fixed order.
     */
    public Builder threads(int count) {
      this.threads = count;
      return this;
    }

    /**
     * Validates the description.
     *
     * @throws InvalidAnalysisException naming the first problem found
     */
    public HomalsAnalysis build() {
      if (threads < 1 || threads > 1024) {
        throw new InvalidAnalysisException("threads = " + threads + ": expected 1 to 1024");
      }
      List<Variable> fit = new ArrayList<>(variables.stream().map(Variable::fitVariable).toList());
      for (Variable v : variables) {
        if (v.excludedVariable() != null) {
          fit.add(v.excludedVariable());
        }
      }
      fit = List.copyOf(fit);
      if (tables != null) {
        Participation participation = AnalysisValidation.checkTables(fit, variables.size(), tables,
            weights, dimensions, solver, maxIterations, innerIterations, convergenceTolerance,
            fitTolerance, cosineTolerance);
        return new HomalsAnalysis(this, fit, participation);
      }
      Participation participation =
          AnalysisValidation.check(fit, variables.size(), weights, dimensions, maxIterations,
              innerIterations, convergenceTolerance, fitTolerance, cosineTolerance, threads);
      return new HomalsAnalysis(this, fit, participation);
    }
  }
}
