package Quorvane.homals;

/**
 * How the solution is found. The iterative solvers give the same solution up to rounding (within
 * 10<sup>-12</sup> of the largest score after the same iterations) and differ in cost; the direct
 * solution is exact to rounding and needs no iterations, but applies only when every active
 * variable is multiple nominal.
 */
public enum Solver {
  /**
   * The direct solution when every active variable is multiple nominal and the cross-table fits
   * in memory (its integer tables take at most 256 MB). Otherwise, with single variables, the
   * cross-table iteration when building the table (N M (M + 1) / 2 additions, M the active
   * variables) and 100 iterations on it (3 P S<sup>2</sup> each, S the active categories) take
   * fewer operations than 100 passes over the objects (2 N M P each), and the passes over the
   * objects when they do not.
   */
  AUTOMATIC(HomalsNative.SOLVER_AUTOMATIC, "automatic"),
  /** Every iteration passes over the objects' codes. */
  OBJECTS(HomalsNative.SOLVER_OBJECTS, "objects"),
  /**
   * One pass builds the category cross-table; every iteration then works on it alone, in time
   * independent of the number of objects. Falls back to {@link #OBJECTS} when its tables would
   * take more than 256 MB.
   */
  CROSS_TABLE(HomalsNative.SOLVER_CROSS_TABLE, "crossTable"),
  /**
   * No iterations: the solution is computed as the leading eigenvectors of the category
   * cross-table (B v = &lambda; D v, the trivial constant solution left out), densely for up to
   * 400 categories with a positive frequency and by a Lanczos method past that. Applies when every
   * active variable is multiple nominal and the table fits in memory; otherwise the same as
   * {@link #AUTOMATIC}. The run reports 0 iterations and {@link StopReason#DIRECT}.
   */
  DIRECT(HomalsNative.SOLVER_DIRECT, "direct");

  private final int code;
  private final String key;

  Solver(int code, String key) {
    this.code = code;
    this.key = key;
  }

  /** The number the native library uses for this solver. */
  int code() { return code; }

  /** A short camel-case name, as in summary.json. */
  public String key() { return key; }

  /** What the solver does, in a few words. */
  public String describe() {
    return switch (this) {
      case AUTOMATIC -> "automatic (direct where it applies)";
      case OBJECTS -> "iterations that pass over the objects";
      case CROSS_TABLE -> "iterations on the category cross-table";
      case DIRECT -> "direct eigensolution of the category cross-table";
    };
  }

  static Solver ofCode(int code) {
    for (Solver solver : values()) {
          if (solver.code == code) {
            return solver;
          }
        }
        throw new AnalysisFailedException("the native library reported an unknown solver " + code);
    }
  }
