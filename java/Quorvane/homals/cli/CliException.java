package Quorvane.homals.cli;

/** A problem with the command line or the input files, reported as one line to the user. */
final class CliException extends RuntimeException {
  private static final long serialVersionUID = 1L;

  CliException(String message) { super(message); }
}
