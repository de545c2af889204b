package Quorvane.homals.cli;

import java.io.Closeable;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.util.regex.Pattern;

/**
 * CSV rows written straight into a byte buffer: numbers in their shortest text that reads back
 * the same, whole numbers without a fraction, text quoted only when it must be (a comma, a quote,
 * a line break, or spaces at either end, which a reader that trims would lose).
 *
 * <p>Text from the data (labels, names) can begin like a formula, and a spreadsheet that opens
 * the file runs it: {@code =HYPERLINK(...)} or a command through DDE. Unless the cells are to be
 * written raw, such text gets a leading {@code '}, which spreadsheets take as "this is text".
 */
final class CsvOutput implements Closeable {
  /** Whole numbers below this print as integers; beyond it the exponent form is shorter. */
  private static final double LARGEST_INTEGER_TEXT = 1e15;

  /** A signed plain number: a spreadsheet reads it as that number and runs nothing. */
  private static final Pattern PLAIN_NUMBER =
      Pattern.compile("[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?");

  private final OutputStream out;
  private final boolean raw;
  private final byte[] buffer = new byte[1 << 16];
  private int used;
  private boolean rowStarted;

  /**
   * @param out where the rows go; closed with this
   * @param raw whether text cells are written as they are, even those a spreadsheet would run
   */
  CsvOutput(OutputStream out, boolean raw) {
    this.out = out;
    this.raw = raw;
  }

  /**
   * Whether a spreadsheet would take the text as a formula: it begins, after any spaces, with
   * =, +, - or @, or it begins with a tab or a carriage return (which some spreadsheets drop
   * before they look at the rest); signed plain numbers such as -1 excepted.
   */
  static boolean looksLikeFormula(String cell) {
    int start = 0;
    while (start < cell.length() && cell.charAt(start) == ' ') {
      start++;
    }
    if (start == cell.length()) {
      return false;
    }
    char first = cell.charAt(start);
    if (start == 0 && (first == '\t' || first == '\r')) {
      return true;
    }
    return (first == '=' || first == '@'
        || (first == '+' || first == '-') && !PLAIN_NUMBER.matcher(cell.strip()).matches());
  }

  /** A text cell: quoted where it must be, and kept from a spreadsheet's formulas. */
  void text(String cell) throws IOException {
    separate();
    if (!raw && looksLikeFormula(cell)) {
      cell = "'" + cell;
    }
    boolean quote =
        !cell.isEmpty() && (cell.charAt(0) <= ' ' || cell.charAt(cell.length() - 1) <= ' ');
    for (int i = 0; i < cell.length() && !quote; i++) {
      char ch = cell.charAt(i);
      quote = ch == ',' || ch == '"' || ch == '\n' || ch == '\r';
    }
    String text = quote ? '"' + cell.replace("\"", "\"\"") + '"' : cell;
    byte[] bytes = text.getBytes(StandardCharsets.UTF_8);
    append(bytes, 0, bytes.length);
  }

  /**
   * Cells already written as text, bytes {@code [from, to)}: one cell or several with their
   * commas, nothing that needs quotes.
   */
  void cells(byte[] bytes, int from, int to) throws IOException {
    separate();
    append(bytes, from, to - from);
  }

  private void append(byte[] bytes, int from, int length) throws IOException {
    if (length > buffer.length - used) {
      flush();
      if (length > buffer.length) {
        out.write(bytes, from, length);
        return;
      }
    }
    System.arraycopy(bytes, from, buffer, used, length);
    used += length;
  }

  /** A number: an integer when it is whole, else its shortest text. */
  void number(double value) throws IOException {
    if (value == Math.rint(value) && Math.abs(value) < LARGEST_INTEGER_TEXT) {
      integer((long) value); // a negative zero too, as 0: its sign means nothing in a table
      return;
    }
    separate();
    room(ShortestDecimal.MAX_LENGTH);
    used = ShortestDecimal.write(value, buffer, used);
  }

  /** The number, or an empty cell for NaN: a value that is not defined for this row. */
  void numberOrEmpty(double value) throws IOException {
    if (Double.isNaN(value)) {
      empty();
    } else {
      number(value);
    }
  }

  void integer(long value) throws IOException {
    separate();
    room(20);
    used = ShortestDecimal.writeInteger(value, buffer, used);
  }

  void empty() throws IOException { separate(); }

  void endRow() throws IOException {
    room(1);
    buffer[used++] = '\n';
    rowStarted = false;
  }

  private void separate() throws IOException {
    if (rowStarted) {
      room(1);
      buffer[used++] = ',';
    }
    rowStarted = true;
  }

  private void room(int bytes) throws IOException {
    if (buffer.length - used < bytes) {
      flush();
    }
  }

  private void flush() throws IOException {
    out.write(buffer, 0, used);
    used = 0;
  }

  @Override
  public void close() throws IOException {
    try (out) {
      flush();
    }
  }
}
