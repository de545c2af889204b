package Quorvane.homals;

/**
 * Thrown when the description of an analysis cannot be run: an unknown label, a code out of
 * range, inconsistent lengths, impossible settings. It is always thrown before the native
 * library is called, and its message names the variable or setting at fault.
 */
public class InvalidAnalysisException extends IllegalArgumentException {
  private static final long serialVersionUID = 1L;

  public InvalidAnalysisException(String message) { super(message); }
}
