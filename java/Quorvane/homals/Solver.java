package Quorvane.homals;

/**
 * How the iterations run. Both give the same solution up to rounding (within 10<sup>-12</sup> of
 * the largest score after the same iterations); they differ in cost.
 */
public enum Solver {
  /**
   * The cross-table when it pays and its tables fit in memory: when building it (N M (M + 1) / 2
   * additions, M the active variables) and 100 iterations on it (3 P S<sup>2</sup> each, S the
   * active categories) take fewer operations than 100 passes over the objects (2 N M P each), and
   * its integer tables take at most 256 MB.
   */
  AUTOMATIC(0),
  /** Every iteration passes over the objects' codes. */
  OBJECTS(1),
  /**
   * One pass builds the category cross-table; every iteration then works on it alone, in time
   * independent of the number of objects. Falls back to {@link #OBJECTS} when its tables would
   * take more than 256 MB.
   */
  CROSS_TABLE(2);

  private final int code;

  Solver(int code) { this.code = code; }

  /** The number the native library uses for this solver. */
  int code() { return code; }

  static Solver ofCode(int code) {
    for (Solver solver : values()) {
      if (solver.code == code) {
        return solver;
      }
    }
    throw new AnalysisFailedException("the native library reported an unknown solver " + code);
  }
}
