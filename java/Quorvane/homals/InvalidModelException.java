package Quorvane.homals;

import java.io.IOException;

/**
 * Thrown when a file or text read as a {@link HomalsModel} is not one this library can use: not
 * JSON, another format, a newer format version, or a model whose fields are missing, of the wrong
 * type or length, or not finite. The message says what is wrong and where, in the terms of the
 * file: {@code variables[2].quantifications[1] has 3 values, expected 2 (one per dimension)}.
 */
public class InvalidModelException extends IOException {
  private static final long serialVersionUID = 1L;

  public InvalidModelException(String message) { super(message); }
}
