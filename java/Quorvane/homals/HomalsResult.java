package Quorvane.homals;

import Quorvane.NativeLibrary;
import java.nio.DoubleBuffer;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Locale;

/**
 * The result of one homogeneity analysis. Immutable; dimensions and objects are numbered from 0.
 *
 * <h2>What is reported and how the summaries are computed</h2>
 *
 * <p>Notation: w<sub>i</sub> is the weight of object i (1 without weights). An object <em>takes
 * part</em> when w<sub>i</sub> &gt; 0 and at least one active variable is observed on it.
 * m<sub>i</sub> = w<sub>i</sub> &times; (the number of active variables observed on object i),
 * t = &Sigma;<sub>i</sub> m<sub>i</sub> over the objects that take part, M is the number of
 * active variables, and W = t / M: the mean over the active variables of the weight observed on
 * them, which is the total object weight when no active value is missing. For variable j,
 * D<sub>jc</sub> is the summed weight of the participating objects in category c and
 * y<sub>jcd</sub> the category's quantification on dimension d.
 *
 * <ul>
 *   <li><b>Object scores</b> x<sub>id</sub>: centred and orthogonal in the metric of m, with
 *       &Sigma;<sub>i</sub> m<sub>i</sub> x<sub>id</sub><sup>2</sup> = t, rotated to principal
 *       axes (below). Objects that do not take part get NaN.
 *   <li><b>Category centroids</b>: the weighted means of the scores of the participating objects
 *       in each category, &Sigma;<sub>i in c</sub> w<sub>i</sub> x<sub>id</sub> / D<sub>jc</sub>
 *       (0 when D<sub>jc</sub> = 0), for active and passive variables.
 *   <li><b>Category quantifications</b> y<sub>jcd</sub>: the centroids for multiple variables;
 *       for single variables the rank-one values a<sub>jd</sub> z<sub>jc</sub>, with one score
 *       z<sub>jc</sub> per category and the loadings a<sub>jd</sub> (see {@link
 *       VariableResult#loadings()}).
 *   <li><b>Discrimination measure</b> of variable j on dimension d:
 *       &eta;<sub>jd</sub> = &Sigma;<sub>c</sub> D<sub>jc</sub> y<sub>jcd</sub><sup>2</sup> / W,
 *       for active and passive variables alike.
 *   <li><b>Contribution</b> of active category c of variable j to dimension d, in per cent:
 *       100 D<sub>jc</sub> y<sub>jcd</sub><sup>2</sup> / &Sigma; D y<sup>2</sup> over all active
 *       categories on that dimension; they sum to 100 per dimension.
 *   <li><b>Quality</b> (cos<sup>2</sup>) of category c on dimension d: its squared centroid over
 *       its squared distance from the origin in the space of all the dimensions the analysis
 *       could have, (t / D<sub>jc</sub><sup>2</sup>) &Sigma;<sub>i in c</sub> w<sub>i</sub> /
 *       c<sub>i</sub> - 1 with c<sub>i</sub> the active variables observed on object i, which is
 *       W / D<sub>jc</sub> - 1 on complete data. Summed over all those dimensions it is 1; for
 *       active and passive categories.
 *   <li><b>Eigenvalue</b> of dimension d: &lambda;<sub>d</sub> = the mean of
 *       &eta;<sub>jd</sub> over the active variables = &Sigma;<sub>j active</sub>
 *       &Sigma;<sub>c</sub> D<sub>jc</sub> y<sub>jcd</sub><sup>2</sup> / t. {@link #fit()} is
 *       their sum.
 *   <li><b>Test values</b> of categories and <b>correlation ratios</b> of variables ({@link
 *       VariableResult#vTest}, {@link VariableResult#etaSquared}, {@link #describe}): from the
 *       categories' D<sub>jc</sub> and centroids and, of the objects, only W<sub>+</sub> =
 *       &Sigma; w<sub>i</sub>, S1<sub>d</sub> = &Sigma; w<sub>i</sub> x<sub>id</sub> and
 *       S2<sub>d</sub> = &Sigma; w<sub>i</sub> x<sub>id</sub><sup>2</sup> over the participating
 *       objects; for active, passive and excluded categories.
 *   <li><b>Numeric correlations</b> ({@link #correlation}): weighted Pearson correlations of a
 *       variable that took no part with the object scores, over the participating objects that
 *       have a value.
 * </ul>
 *
 * <p><b>Principal axes.</b> After the iterations the solution is rotated so that its dimensions
 * are the principal axes of the subspace it spans: with Y<sub>j</sub> the centroids and Q<sub>j
 * </sub> the quantifications of active variable j, the P &times; P matrix &Sigma;<sub>j</sub>
 * Q<sub>j</sub>' D<sub>j</sub> Y<sub>j</sub> is diagonalised, scores, centroids and
 * quantifications are turned by its eigenvectors, and the dimensions are ordered by decreasing
 * eigenvalue. Without the rotation the iterations leave the dimensions at an arbitrary turn
 * within their subspace. Single variables stay rank one: their loadings turn with them.
 *
 * <p><b>Signs.</b> A dimension's sign is arbitrary in the mathematics; it is fixed so that, among
 * the active categories with weight, the first (in the order of the variables, then of their
 * categories) whose quantification is within a relative 10<sup>-6</sup> of the largest absolute
 * quantification on that dimension is positive. Equivalent inputs (counts as weights or repeated
 * rows, rows in another order) therefore give the same signs.
 */
public final class HomalsResult {
  private final HomalsAnalysis analysis;
  private final List<VariableResult> variables;
  private final double[] objectScores; // dimension-major: [d * objectCount + i]
  private final int objectCount;
  private final double[] eigenvalues;
  private final Inertia inertia;
  private final int iterations;
  private final StopReason stopReason;
  private final Solver solver;
  private final List<List<Integer>> tiedDimensions;
  private final double subspaceDistance;
  private double[][][] scoreCoefficients; // [variable][category][dimension]; null: none

  /** Takes ownership of {@code objectScores}, dimension-major. */
  HomalsResult(HomalsAnalysis analysis, List<VariableResult> variables, double[] objectScores,
      double[] eigenvalues, Inertia inertia, int iterations, StopReason stopReason, Solver solver,
      List<List<Integer>> tiedDimensions, double subspaceDistance) {
    this.analysis = analysis;
    this.variables = Collections.unmodifiableList(variables);
    this.objectScores = objectScores;
    this.objectCount = analysis.objectCount();
    this.eigenvalues = eigenvalues.clone();
    this.inertia = inertia;
    this.iterations = iterations;
    this.stopReason = stopReason;
    this.solver = solver;
    this.tiedDimensions = tiedDimensions.stream().map(List::copyOf).toList();
    this.subspaceDistance = subspaceDistance;
  }

  /** Set once by the assembler for the table solvers. */
  void setScoreCoefficients(double[][][] coefficients) { this.scoreCoefficients = coefficients; }

  /**
   * Whether the objects' scores follow from their categories through {@link #scoreCoefficient}:
   * true for an analysis from tables ({@link HomalsAnalysis.Builder#tables}).
   */
  public boolean hasScoreCoefficients() { return scoreCoefficients != null; }

  /**
   * Whether the result holds a score for every object: false for an analysis from tables
   * summed elsewhere, whose objects the library never saw.
   */
  public boolean hasObjectScores() { return analysis.tables() == null; }

  /**
   * The coefficient of a category on a dimension from which the objects' scores follow: an
   * object's score on dimension d is the sum of the coefficients of its observed categories of
   * active variables (not excluded ones) divided by their number; an object without one has no
   * score. NaN for the categories of passive variables and excluded categories.
   *
   * @param variable index in {@link #variables()}
   * @param category 0-based, in the variable's category order
   * @throws IllegalStateException when the solver does not give them (see {@link
   *     #hasScoreCoefficients})
   */
  public double scoreCoefficient(int variable, int category, int dimension) {
    if (scoreCoefficients == null) {
      throw new IllegalStateException("the " + solver + " solver gives no score coefficients");
    }
    checkIndex("variable", variable, scoreCoefficients.length);
    checkIndex("category", category, scoreCoefficients[variable].length);
    checkIndex("dimension", dimension, dimensions());
    return scoreCoefficients[variable][category][dimension];
  }

  /**
   * The estimated distance of the solution's subspace from the exact one when the run ended (the
   * root of the summed squared sines of the angles between them, in the metric of the category
   * frequencies): at most the convergence tolerance for a run that ended on it; 0 for the direct
   * solution; NaN when the subspace was not followed or could not be estimated.
   */
  public double subspaceDistance() { return subspaceDistance; }

  /**
   * The solver that ran: {@link Solver#DIRECT}, {@link Solver#CROSS_TABLE} or {@link
   * Solver#OBJECTS}.
   */
  public Solver solver() { return solver; }

  /** The description that produced this result. */
  public HomalsAnalysis analysis() { return analysis; }

  public int dimensions() { return eigenvalues.length; }

  public int objectCount() { return objectCount; }

  /** The number of outer iterations run. */
  public int iterations() { return iterations; }

  /** Why the iterations ended. */
  public StopReason stopReason() { return stopReason; }

  /**
   * True when the solution settled ({@link StopReason#isConvergence()}); false when the
   * iteration bound or a NaN fit ended the run, whose results are then not to be trusted.
   */
  public boolean converged() { return stopReason.isConvergence(); }

  /** Results per variable, in the order of the description (unmodifiable). */
  public List<VariableResult> variables() { return variables; }

  /** The result of the named variable. */
  public VariableResult variable(String name) {
    for (VariableResult v : variables) {
      if (v.name().equals(name)) {
        return v;
      }
    }
    throw new IllegalArgumentException("no variable named '" + name + "'");
  }

  /** The score of object i on dimension d; NaN for an object that takes no part. */
  public double objectScore(int object, int dimension) {
    checkIndex("object", object, objectCount);
    checkIndex("dimension", dimension, dimensions());
    return objectScores[dimension * objectCount + object];
  }

  /** The scores of object i on all dimensions (a copy). */
  public double[] objectScores(int object) {
    checkIndex("object", object, objectCount);
    double[] scores = new double[dimensions()];
    for (int d = 0; d < scores.length; d++) {
      scores[d] = objectScore(object, d);
    }
    return scores;
  }

  /** All object scores, [object][dimension] (a copy). */
  public double[][] objectScores() {
    double[][] copy = new double[objectCount][];
    for (int i = 0; i < objectCount; i++) {
      copy[i] = objectScores(i);
    }
    return copy;
  }

  /**
   * The scores of all objects on dimension d, object i at index i, read-only and without a copy:
   * ten million objects' scores are 80 MB a dimension.
   */
  public DoubleBuffer dimensionScoreView(int dimension) {
    checkIndex("dimension", dimension, dimensions());
    return DoubleBuffer.wrap(objectScores, dimension * objectCount, objectCount)
        .slice()
        .asReadOnlyBuffer();
  }

  /**
   * The bytes {@link #scoreRowsText} may need for {@code rows} objects: (rows) * (P + 1) * 27.
   */
  public long scoreRowsRoom(int rows) { return scoreRowsRoom(rows, false); }

  /**
   * The bytes {@link #scoreRowsText(int, int, byte[], int[], boolean)} may need for {@code rows}
   * objects: (rows) * ((P + 1) * 27 + 12) numbered, else as {@link #scoreRowsRoom(int)}.
   */
  public long scoreRowsRoom(int rows, boolean numbered) {
    return (long) rows
        * ((dimensions() + 1) * (HomalsNative.MAX_NUMBER_TEXT + 1)
            + (numbered ? HomalsNative.NUMBERED_ROW_EXTRA : 0));
  }

  /**
   * Objects {@code first} to {@code last - 1} as the cells of a CSV table, in the native library:
   * for each object its weight and its scores on every dimension, separated by commas, one row
   * after another with nothing between them; {@code rowEnds[k]} is where object {@code first + k}'s
   * row ends. Every number is the shortest decimal text that reads back as the same double, in
   * the layout of {@link Double#toString(double)}, except a whole number below 10<sup>15</sup> in
   * magnitude, which is written as an integer; an object that takes no part has empty score
   * cells. Ten million objects are some 40 million numbers: their digits cost more than the rest
   * of a table together.
   *
   * @param text room for at least {@link #scoreRowsRoom}(last - first) bytes
   * @param rowEnds room for at least last - first ends
   * @return the bytes written
   */
  public int scoreRowsText(int first, int last, byte[] text, int[] rowEnds) {
    return scoreRowsText(first, last, text, rowEnds, false);
  }

  /**
   * As {@link #scoreRowsText(int, int, byte[], int[])}, or, numbered, the rows of a table with
   * the objects' numbers in front: each row is the object's number (i + 1), a comma, its cells
   * and a line break ('\n'), as the command line's objects.csv has them.
   *
   * @param text room for at least {@link #scoreRowsRoom(int, boolean)}(last - first, numbered)
   *     bytes
   */
  public int scoreRowsText(int first, int last, byte[] text, int[] rowEnds, boolean numbered) {
    java.util.Objects.checkFromToIndex(first, last, objectCount);
    if (text.length < scoreRowsRoom(last - first, numbered) || rowEnds.length < last - first) {
      throw new IllegalArgumentException("no room for the text of " + (last - first) + " rows");
    }
    NativeLibrary.load();
    return HomalsNative.scoreRows(objectScores, objectCount, dimensions(), analysis.weightsView(),
        first, last, text, rowEnds, numbered);
  }

  /** The scores of all objects on dimension d (a copy). */
  public double[] dimensionScores(int dimension) {
    checkIndex("dimension", dimension, dimensions());
    double[] scores = new double[objectCount];
    System.arraycopy(objectScores, dimension * objectCount, scores, 0, objectCount);
    return scores;
  }

  /** The number of objects that take part: those for which {@link #takesPart} holds. */
  public int objectsTakingPart() {
    return analysis.participation().hasObjects() ? (int) analysis.participation().count() : 0;
  }

  /** Whether object i takes part (positive weight and an observed active value). */
  public boolean takesPart(int object) {
    checkIndex("object", object, objectCount);
    return analysis.participation().takesPart(object);
  }

  /**
   * Dimension d in the terms of the data: the variables by their correlation ratios with it and
   * the categories whose test values pass 2 in absolute value.
   */
  public DimensionDescription describe(int dimension) {
    checkIndex("dimension", dimension, dimensions());
    return DimensionDescription.of(this, dimension);
  }

  /** {@link #describe} of every dimension, in order. */
  public List<DimensionDescription> describeDimensions() {
    List<DimensionDescription> descriptions = new ArrayList<>();
    for (int d = 0; d < dimensions(); d++) {
      descriptions.add(describe(d));
    }
    return descriptions;
  }

  /**
   * The correlations with every dimension of a numeric variable that took no part in the
   * analysis (see {@link NumericCorrelation}).
   *
   * @param values one value per object, NaN where it is missing; finite otherwise
   * @throws IllegalArgumentException for a number of values other than the objects', or an
   *     infinite value
   */
  public NumericCorrelation correlation(String name, double[] values) {
    return NumericCorrelation.of(this, name, values);
  }

  /** The eigenvalue of dimension d. */
  public double eigenvalue(int dimension) {
    checkIndex("dimension", dimension, dimensions());
    return eigenvalues[dimension];
  }

  /** The eigenvalues of all dimensions, decreasing (a copy). */
  public double[] eigenvalues() { return eigenvalues.clone(); }

  /**
   * Groups of dimensions (numbered from 0) that share one eigenvalue: eigenvalues that agree,
   * from each to the next, within {@value #TIE_TOLERANCE} of the largest. The dimensions of a
   * group span a subspace in which any other set of orthogonal axes is as good a solution as the
   * one given, so their individual axes mean nothing; the subspace does. A group may run past the
   * last dimension of the solution when the solver knows the eigenvalues beyond it (the direct
   * solution does): dimension P - 1 is then one arbitrary axis of a larger subspace. Empty when
   * no eigenvalues agree. A tie is not a failure to converge.
   */
  public List<List<Integer>> tiedDimensions() { return tiedDimensions; }

  /** Each group of {@link #tiedDimensions()} in words, its dimensions numbered from 1. */
  public List<String> describeTies() {
    return tiedDimensions.stream()
        .map(group -> {
          StringBuilder names = new StringBuilder();
          for (int d : group) {
            names.append(names.length() == 0 ? "" : ", ").append(d + 1);
          }
          long outside = group.stream().filter(d -> d >= dimensions()).count();
          return "dimensions " + names
              + " share one eigenvalue; any rotation of their axes fits as "
              + "well" + (outside == 0 ? "" : " (" + outside + " of them not in the solution)");
        })
        .toList();
  }

  /** Eigenvalues within this of the largest, relative, count as tied. */
  public static final double TIE_TOLERANCE = 1e-8;

  /** The total inertia and each dimension's share of it. */
  public Inertia inertia() { return inertia; }

  /** The total fit: the sum of the eigenvalues. */
  public double fit() {
    double sum = 0.0;
    for (double e : eigenvalues) {
      sum += e;
    }
    return sum;
  }

  /**
   * One line for a log or a debugger: dimensions, eigenvalues with their shares of the inertia,
   * the solver and how the run ended.
   */
  @Override
  public String toString() {
    StringBuilder text = new StringBuilder("HomalsResult[")
                             .append(dimensions())
                             .append(dimensions() == 1 ? " dimension" : " dimensions")
                             .append(", eigenvalues");
    double[] percent = inertia.percent();
    for (int d = 0; d < eigenvalues.length; d++) {
      text.append(String.format(
          Locale.ROOT, "%s %.4f (%.1f%%)", d == 0 ? "" : ",", eigenvalues[d], percent[d]));
    }
    return text
        .append(String.format(Locale.ROOT, "; %s, %d iterations, %s (%s)]", solver.key(),
            iterations, converged() ? "converged" : "not converged", stopReason.key()))
        .toString();
  }

  /**
   * Refuses an index outside 0 .. size - 1 with a message in the caller's terms: the name of the
   * argument and its range, never the position in an internal array, which means nothing to the
   * caller and may even lie within the array when the argument does not.
   */
  static void checkIndex(String argument, int index, int size) {
    if (index < 0 || index >= size) {
      throw new IndexOutOfBoundsException(argument + " " + index
          + (size == 0 ? " does not exist: there are none" : " is not in 0 .. " + (size - 1)));
    }
  }
}
