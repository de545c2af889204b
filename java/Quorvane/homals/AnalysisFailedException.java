package Quorvane.homals;

/**
 * Thrown when the native analysis ran but its results cannot be used, for instance when it
 * returned values that are not finite. Degenerate data (a dimension with no variation left)
 * is the usual cause.
 */
public class AnalysisFailedException extends RuntimeException {
  private static final long serialVersionUID = 1L;

  public AnalysisFailedException(String message) { super(message); }
}
