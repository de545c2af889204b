package Quorvane.homals;

/**
 * The native entry point of the typed API: the analysis of {@code Quorvane.Tallowmere.runHomals}
 * with its argument checks, its exceptions and its lock, but no progress markers, a stopping rule
 * on the solution's subspace, principal axes, and results and a run report returned in arrays.
 *
 * <p>The caller loads the library first ({@code Quorvane.NativeLibrary.load()}), so that a
 * failure to load it reports every place tried, on every call.
 *
 * <p>Variables are given in the caller's order, active and passive mixed, one {@code int[]} of
 * codes per variable (1..k, 0 or below missing), which the library copies once. Output layouts,
 * with P dimensions, N objects and the variables' categories in order, variable by variable:
 *
 * <ul>
 *   <li>{@code objectScores}: N * P, dimension-major, element {@code d * N + i};
 *   <li>{@code quantifications} and {@code centroids}: (sum of k) * P, one row of P per category,
 *       element {@code (row * P) + d}; the quantifications are rank-one for single variables, the
 *       centroids the weighted means of the object scores;
 *   <li>{@code loadings}: (number of variables) * P, element {@code variable * P + d}, for single
 *       variables (0 for multiple ones);
 *   <li>{@code eigenvalues}: P, decreasing;
 *   <li>{@code ties}: P: for each dimension d, the last dimension (from 0, possibly P or more when
 *       the solver knows eigenvalues past P) whose eigenvalue it shares, within 10<sup>-8</sup>
 *       of the largest eigenvalue from neighbour to neighbour; d itself when it shares it with
 *       none;
 *   <li>{@code report}: {@link #REPORT_LENGTH} values: iterations, stop reason (see {@link
 *       StopReason#code()}), fit, the last change of the fit, the last smallest cosine, the
 *       estimated distance of the subspace from its limit (NaN when not tracked), the solver that
 *       ran (see {@link Solver#code()}), and 1 when {@code pairCounts} was written, else 0;
 *   <li>{@code pairCounts}: of length 0, or (sum of the active variables' k) squared: the
 *       weighted counts of every pair of active categories over the objects that take part, the
 *       active categories in order, row by row; written when the cross-table was built.
 * </ul>
 */
final class HomalsNative {
  static final int REPORT_LENGTH = 8;

  private HomalsNative() {}

  /**
   * Runs one analysis.
   *
   * @param fitTolerance stop when the fit changes by less; NaN: no such test
   * @param cosineTolerance stop when 1 - the smallest cosine is below it; NaN: no such test
   * @param subspaceTolerance stop when the subspace is estimated within this of its limit; 0:
   *     no such test
   * @param solver the {@link Solver#code()} of the solver to use
   * @param categorySpaceWork when positive, the cross-table iteration may run as many iterations
   *     as this many multiply-adds pay for (3 P S<sup>2</sup> each), and at least
   *     {@code maxIterations}; 0: {@code maxIterations} bounds every solver
   * @param weights one integer weight per object, or null for weights of 1
   * @throws NullPointerException for a null array (weights excepted) or a null column
   * @throws IllegalArgumentException for an argument outside its limits; the message names it
   * @throws OutOfMemoryError when native memory for the run cannot be had
   */
  static native void analyse(int dimensionCount, int maxIterations, int innerIterations,
      double fitTolerance, double cosineTolerance, double subspaceTolerance, boolean accelerate,
      int solver, double categorySpaceWork, int[][] codes, int[] categoryCounts,
      boolean[] passive, int[] single, int[] levels, int[] weights, double[] objectScores,
      double[] quantifications, double[] centroids, double[] loadings, double[] eigenvalues,
      int[] ties, double[] pairCounts, double[] report);
}
