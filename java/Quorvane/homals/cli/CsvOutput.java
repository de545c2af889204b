package Quorvane.homals.cli;

import java.io.Closeable;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;

/**
 * CSV rows written straight into a byte buffer: numbers in their shortest text that reads back
 * the same, text quoted only when it must be (a comma, a quote, a line break, or spaces at either
 * end, which a reader that trims would lose).
 */
final class CsvOutput implements Closeable {
  private final OutputStream out;
  private final byte[] buffer = new byte[1 << 16];
  private int used;
  private boolean rowStarted;

  CsvOutput(Path file) throws IOException { out = Files.newOutputStream(file); }

  void text(String cell) throws IOException {
    separate();
    boolean quote =
        !cell.isEmpty() && (cell.charAt(0) <= ' ' || cell.charAt(cell.length() - 1) <= ' ');
    for (int i = 0; i < cell.length() && !quote; i++) {
      char ch = cell.charAt(i);
      quote = ch == ',' || ch == '"' || ch == '\n' || ch == '\r';
    }
    String text = quote ? '"' + cell.replace("\"", "\"\"") + '"' : cell;
    byte[] bytes = text.getBytes(StandardCharsets.UTF_8);
    if (bytes.length > buffer.length - used) {
      flush();
      if (bytes.length > buffer.length) {
        out.write(bytes);
        return;
      }
    }
    System.arraycopy(bytes, 0, buffer, used, bytes.length);
    used += bytes.length;
  }

  void number(double value) throws IOException {
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
    if (value < 0) {
      buffer[used++] = '-';
    }
    int digits = 1;
    for (long rest = Math.abs(value / 10); rest > 0; rest /= 10) {
      digits++;
    }
    for (int i = used + digits - 1; i >= used; i--) {
      buffer[i] = (byte) ('0' + Math.abs(value % 10));
      value /= 10;
    }
    used += digits;
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
