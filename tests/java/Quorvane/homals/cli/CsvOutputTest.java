package Quorvane.homals.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

/** The cells of the CSV tables: text a spreadsheet would run, and whole numbers. */
class CsvOutputTest {
  interface Row {
    void write(CsvOutput csv) throws IOException;
  }

  static String row(boolean raw, Row cells) throws IOException {
    ByteArrayOutputStream bytes = new ByteArrayOutputStream();
    try (CsvOutput csv = new CsvOutput(bytes, raw)) {
      cells.write(csv);
      csv.endRow();
    }
    return bytes.toString(StandardCharsets.UTF_8);
  }

  static Arguments cell(String cell, String kept, String raw) {
    return Arguments.of(cell, kept, raw);
  }

  /** A cell's text, the CSV text written for it, and the one written raw. */
  static Stream<Arguments> cells() {
    return Stream.of(cell("=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\"",
                         "\"=HYPERLINK(\"\"http://x\"\")\""),
        cell("=cmd|' /C calc'!A00", "'=cmd|' /C calc'!A00", "=cmd|' /C calc'!A00"),
        cell("+x", "'+x", "+x"), cell("-2+3+cmd", "'-2+3+cmd", "-2+3+cmd"),
        cell("@SUM(A1)", "'@SUM(A1)", "@SUM(A1)"), cell("-", "'-", "-"),
        // Quoted only where the text needs it: a leading space or tab is no longer at the edge.
        cell(" =1+1", "' =1+1", "\" =1+1\""), cell("\t=1", "'\t=1", "\"\t=1\""),
        cell("\rx", "\"'\rx\"", "\"\rx\""),
        // Plain numbers are read as numbers and run nothing; text that merely holds the
        // characters is not a formula.
        cell("-1", "-1", "-1"), cell("+2.5", "+2.5", "+2.5"), cell("-0.5e-3", "-0.5e-3", "-0.5e-3"),
        cell("-.5", "-.5", "-.5"), cell("a=b", "a=b", "a=b"), cell("x-y", "x-y", "x-y"),
        cell("", "", ""));
  }

  @ParameterizedTest(name = "[{index}] {0}")
  @MethodSource("cells")
  void textThatASpreadsheetWouldRunIsWrittenAsText(String cell, String kept, String raw)
      throws IOException {
    assertEquals(kept + "\n", row(false, csv -> csv.text(cell)));
    assertEquals(raw + "\n", row(true, csv -> csv.text(cell)));
  }

  /** Whole numbers as Long.toString writes them, at every length and at both ends. */
  @ParameterizedTest(name = "{0}")
  @ValueSource(longs = {0, 7, -7, 10, 99, 100, 12345678, 123456789, -100000000, 999999999999999999L,
                   1000000000000000000L, Long.MAX_VALUE, Long.MIN_VALUE, Long.MIN_VALUE + 1})
  void
  integersAreWrittenAsJavaWritesThem(long value) throws IOException {
    assertEquals(Long.toString(value) + "\n", row(false, csv -> csv.integer(value)));
  }

  @ParameterizedTest(name = "{0}")
  @CsvSource({"108, 108", "-3, -3", "0, 0", "-0.0, 0", "-0.5, -0.5", "267.25, 267.25",
      "1e14, 100000000000000", "1e15, 1.0E15", "1.5E-4, 1.5E-4", "Infinity, Infinity"})
  void
  wholeNumbersHaveNoFraction(double value, String text) throws IOException {
    // Numbers are ours: a negative one stays as it is whether the text cells are raw or not.
    assertEquals(text + "\n", row(false, csv -> csv.number(value)));
    assertEquals(text + "\n", row(true, csv -> csv.number(value)));
  }
}
