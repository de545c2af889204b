package Quorvane.homals.source;

/**
 * A source that cannot answer: a server that does not answer or refuses the user, a table or
 * column that is not there, a column that holds no categories, a query the server refuses. The
 * message is one line, in the server's own words where they help, and never holds the password.
 */
public final class SourceException extends RuntimeException {
  private static final long serialVersionUID = 1L;

  public SourceException(String message) { super(message); }

  public SourceException(String message, Throwable cause) { super(message, cause); }
}
