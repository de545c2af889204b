package Quorvane.homals;

/** Why a run's iterations ended. */
public enum StopReason {
  /** The iteration bound ({@code maxIterations}) was reached first: the run did not converge. */
  ITERATION_BOUND(HomalsNative.STOP_ITERATION_BOUND, "iterationBound"),
  /** The fit changed by less than the fit tolerance (only when one is set). */
  FIT_CHANGE(HomalsNative.STOP_FIT_CHANGE, "fitChange"),
  /** Successive object scores agreed within the cosine tolerance (only when one is set). */
  COSINE(HomalsNative.STOP_COSINE, "cosine"),
  /** The fit became NaN: the data cannot carry the solution. */
  NAN_FIT(HomalsNative.STOP_NAN_FIT, "nanFit"),
  /** The subspace of the solution settled within the convergence tolerance. */
  SUBSPACE(HomalsNative.STOP_SUBSPACE, "subspace"),
  /** No iterations: the solution is the exact eigensolution of the category cross-table. */
  DIRECT(HomalsNative.STOP_DIRECT, "direct");

  private final int code;
  private final String key;

  StopReason(int code, String key) {
    this.code = code;
    this.key = key;
  }

  /** The number the native library reports for this reason. */
  int code() { return code; }

  /** A short camel-case name, as in summary.json. */
  public String key() { return key; }

  /** True when the run ended because the solution settled, not because it was cut off. */
  public boolean isConvergence() {
    return this == FIT_CHANGE || this == COSINE || this == SUBSPACE || this == DIRECT;
  }

  static StopReason ofCode(int code) {
    for (StopReason reason : values()) {
      if (reason.code == code) {
        return reason;
      }
    }
    throw new AnalysisFailedException("the native library reported an unknown stop reason " + code);
  }
}
