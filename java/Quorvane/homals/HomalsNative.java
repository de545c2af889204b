package Quorvane.homals;

/**
 * The native entry point of the typed API: one analysis of the variables as given, with no
 * process-wide state, no lock and no progress markers; a stopping rule on the solution's
 * subspace, principal axes, and results and a run report returned in arrays. Analyses on
 * different threads run at the same time, each with the bits it would have alone.
 *
 * <p>The caller loads the library first ({@code Quorvane.NativeLibrary.load()}), so that a
 * failure to load it reports every place tried, on every call.
 *
 * <p>Variables are given in the caller's order, active and passive mixed, one {@code int[]} of
 * codes per variable (1..k, 0 or below missing), or a {@code byte[]} or {@code short[]} of the
 * codes as unsigned values. The library reads every array once, copying
 * it, and refuses with an exception naming the argument anything it cannot run, whatever the
 * Java side checked before. The outputs are written as the library lays them out:
 *
 * <ul>
 *   <li>Category slots: every category of the active variables, variable by variable in their
 *       order, then every category of the passive ones; S slots in all, S1 of them active.
 *   <li>{@code objectScores}: N * P, element {@code d * N + i};
 *   <li>{@code quantifications} and {@code centroids}: P * S, element {@code d * S + slot}; the
 *       quantifications are rank-one for single variables, the centroids the weighted means of
 *       the object scores;
 *   <li>{@code loadings}: (number of variables) * P, element {@code variable * P + d}, for single
 *       variables (0 for multiple ones);
 *   <li>{@code eigenvalues}: P, decreasing;
 *   <li>{@code ties}: P: for each dimension d, the last dimension (from 0, possibly P or more when
 *       the solver knows eigenvalues past P) whose eigenvalue it shares, within 10<sup>-8</sup>
 *       of the largest eigenvalue from neighbour to neighbour; d itself when it shares it with
 *       none;
 *   <li>{@code tableEigenvalues}: of length 0, or at least S1: when every active variable is
 *       multiple and the cross-table was built, every non-trivial eigenvalue of the table,
 *       decreasing ({@link #REPORT_TABLE_EIGENVALUES} says how many; none past 2000 categories);
 *   <li>{@code report}: {@link #REPORT_LENGTH} values at the {@code REPORT_} indices below;
 *   <li>{@code pairCounts}: of length 0, or S1 squared: the weighted counts of every pair of
 *       active categories over the objects that take part, element {@code s * S1 + s2};
 *       written when the cross-table was built ({@link #REPORT_PAIR_COUNTS} is then 1);
 *   <li>{@code scoreMoments}: 2 * P: the sums over the objects that take part of w x<sub>d</sub>
 *       (elements 0 .. P - 1) and of w x<sub>d</sub><sup>2</sup> (P .. 2P - 1), the weights in
 *       the whole units they were summed in (weights scaled by a power of two when they are not
 *       whole); from the tables, whatever the order of the objects, when a table solver ran.
 * </ul>
 */
final class HomalsNative {
  /** Report index: the outer iterations run. */
  static final int REPORT_ITERATIONS = 0;
  /** Report index: why the run ended, a {@code STOP_} code. */
  static final int REPORT_STOP_REASON = 1;
  /**
   * Report index: the estimated distance of the solution's subspace from its limit when the run
   * ended (0 for the direct solution; NaN when not tracked).
   */
  static final int REPORT_SUBSPACE_DISTANCE = 2;
  /** Report index: the solver that ran, a {@code SOLVER_} code. */
  static final int REPORT_SOLVER = 3;
  /** Report index: 1 when {@code pairCounts} was written, else 0. */
  static final int REPORT_PAIR_COUNTS = 4;
  /** Report index: how many values {@code tableEigenvalues} received. */
  static final int REPORT_TABLE_EIGENVALUES = 5;
  /** The length of the report. */
  static final int REPORT_LENGTH = 6;

  static final int STOP_ITERATION_BOUND = 0;
  static final int STOP_FIT_CHANGE = 1;
  static final int STOP_COSINE = 2;
  static final int STOP_NAN_FIT = 3;
  static final int STOP_SUBSPACE = 4;
  static final int STOP_DIRECT = 5;

  static final int SOLVER_AUTOMATIC = 0;
  static final int SOLVER_OBJECTS = 1;
  static final int SOLVER_CROSS_TABLE = 2;
  static final int SOLVER_DIRECT = 3;

  private HomalsNative() {}

  /**
   * Runs one analysis.
   *
   * @param dimensionCount P, at least 1 and at most the number of active categories
   * @param maxIterations the bound on outer iterations, at least 1
   * @param innerIterations rounds of the rank-one step per iteration, at least 0 (0: single
   *     variables are treated as multiple)
   * @param fitTolerance stop when the fit changes by less; NaN: no such test; else finite, 0 or
   *     more
   * @param cosineTolerance stop when 1 - the smallest cosine is below it; NaN: no such test; else
   *     finite, 0 or more
   * @param subspaceTolerance stop when the subspace is estimated within this of its limit;
   *     finite, 0 or more (0: no such test)
   * @param solver a {@code SOLVER_} code
   * @param categorySpaceWork when positive, the cross-table iteration may run as many iterations
   *     as this many multiply-adds pay for (3 P S1<sup>2</sup> each), and at least
   *     {@code maxIterations}; 0: {@code maxIterations} bounds every solver; finite
   * @param threads the processors the analysis may use, at least 1; the results do not depend
   *     on it
   * @param codes one array of N codes per variable, an int[], a short[] or a byte[] (read as
   *     unsigned); at least one object and one active variable
   * @param categoryCounts k of every variable, at least 1; codes above it are refused
   * @param passive whether each variable is passive
   * @param single 1 for a single (rank-one) variable, 0 for a multiple one
   * @param levels 0 nominal, 1 ordinal, 2 numerical (read for single variables)
   * @param categoryValues one element per variable: null for the categories' positions, or k
   *     finite values, not all equal, that a single variable starts from and a numerical one
   *     keeps (standardised)
   * @param weights one finite weight of 0 or more per object, at least one positive, or null for
   *     weights of 1; real weights are summed exactly on a fixed-point scale (every weight
   *     rounded to 2<sup>-52</sup> of the total times the active variables)
   * @throws NullPointerException for a null array (weights excepted) or a null column
   * @throws IllegalArgumentException for an argument outside its limits; the message names it
   * @throws OutOfMemoryError when native memory for the run cannot be had
   */
  static native void analyse(int dimensionCount, int maxIterations, int innerIterations,
      double fitTolerance, double cosineTolerance, double subspaceTolerance, int solver,
      double categorySpaceWork, int threads, Object[] codes, int[] categoryCounts,
      boolean[] passive, int[] single, int[] levels, double[][] categoryValues, double[] weights,
      double[] objectScores, double[] quantifications, double[] centroids, double[] loadings,
      double[] eigenvalues, int[] ties, double[] tableEigenvalues, double[] pairCounts,
      double[] report, double[] scoreMoments);

  /**
   * One analysis from tables summed elsewhere ({@link CategoryTables}): the solution that
   * {@link #analyse} gives with a table solver for the objects the tables were summed from, bit
   * for bit, without object scores. The arguments and outputs are those of {@link #analyse}, but:
   *
   * @param solver automatic or direct (the direct solution where every active variable is
   *     multiple), or cross-table; the passes over the objects cannot run
   * @param tables M arrays (M the active variables), array c - 1 for the objects with c observed
   *     active variables, each of (S1 + S - S1) * S1 whole counts of 0 or more in weight units:
   *     the active pairs at {@code s * S1 + s2} for s &le; s2 (0 below the diagonal), then the
   *     passive-active pairs at {@code S1 * S1 + p * S1 + s}; their sum below 2<sup>62</sup>
   * @param scoreCoefficients P * S1, element {@code d * S1 + s}: an object's score on dimension d
   *     is the sum over its observed active categories of these, divided by their number
   */
  static native void analyseTables(int dimensionCount, int maxIterations, int innerIterations,
      double fitTolerance, double cosineTolerance, double subspaceTolerance, int solver,
      double categorySpaceWork, int threads, long[][] tables, int[] categoryCounts,
      boolean[] passive, int[] single, int[] levels, double[][] categoryValues,
      double[] quantifications, double[] centroids, double[] loadings, double[] eigenvalues,
      int[] ties, double[] tableEigenvalues, double[] pairCounts, double[] report,
      double[] scoreMoments, double[] scoreCoefficients);

  /**
   * Scores new objects by the transition formula (see {@link HomalsModel}): for object i, with
   * c<sub>i</sub> the active variables observed on it, x<sub>id</sub> = ((1 / c<sub>i</sub>)
   * &Sigma;<sub>j</sub> q<sub>j,code,d</sub> - &mu;<sub>d</sub>) / &lambda;<sub>d</sub>; NaN on
   * every dimension when no active variable is observed. Objects are independent, so the bits do
   * not depend on {@code threads}.
   *
   * @param threads the processors it may use, 1 to 1024
   * @param codes one array of N codes per active variable (1..k, 0 or below missing; above k
   *     refused); at least one variable
   * @param categoryCounts k of every active variable, at least 1
   * @param quantifications S1 * P finite values, category-major: element {@code slot * P + d},
   *     the active variables' categories in order
   * @param excluded null, or S1 flags: a category flagged counts as missing
   * @param centre &mu;: P finite values
   * @param eigenvalues P finite values above 0
   * @param scores N * P, written dimension-major: element {@code d * N + i}
   * @throws NullPointerException for a null array (excluded apart) or a null column
   * @throws IllegalArgumentException for an argument outside its limits; the message names it
   */
  static native void project(int threads, int[][] codes, int[] categoryCounts,
      double[] quantifications, boolean[] excluded, double[] centre, double[] eigenvalues,
      double[] scores);

  /** The most bytes a numbered row of {@link #scoreRows} adds: its number, a comma, a break. */
  static final int NUMBERED_ROW_EXTRA = 12;

  /** The most bytes one number's text takes in {@link #scoreRows}. */
  static final int MAX_NUMBER_TEXT = 26;

  /**
   * The text of the cells {@code weight,score_1,...,score_P} of objects {@code first} to {@code
   * last - 1}, one row after another with nothing between them, in ASCII: each number as {@code
   * CsvOutput.number} writes it (a whole number below 10<sup>15</sup> in magnitude as an integer,
   * otherwise the shortest decimal, in the layout of {@link Double#toString(double)}), NaN as an
   * empty cell. Numbered, each row is instead that of objects.csv: the object's number (i + 1), a
   * comma, the cells and a line break.
   *
   * @param scores N * P, dimension-major: element {@code d * N + i}
   * @param weights N weights, or null for 1 each
   * @param text room for (last - first) * ((P + 1) * (MAX_NUMBER_TEXT + 1) + (numbered ?
   *     NUMBERED_ROW_EXTRA : 0)) bytes
   * @param rowEnds room for last - first ends: where each row's text ends
   * @return the bytes written
   * @throws NullPointerException for a null array (weights apart)
   * @throws IllegalArgumentException for sizes or rows that do not fit; the message names them
   */
  static native int scoreRows(double[] scores, int objectCount, int dimensions, double[] weights,
      int first, int last, byte[] text, int[] rowEnds, boolean numbered);
}
