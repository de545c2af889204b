package Quorvane.homals.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.TestData;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.charset.Charset;
import java.nio.charset.CharsetEncoder;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.SplittableRandom;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * The rows read from the file's bytes against univocity's reading of the same file: the same
 * labels in the same order, the same first rows, codes, missing cells and texts, or the same
 * error with the same line; in one part and in parts split at every other line break.
 */
class ByteReadingTest {
  @TempDir Path temp;

  /** Everything the collectors keep of a file, or the error, as text. */
  static String outcome(Path file, Character delimiter, Charset charset, boolean fromBytes,
      int parts, boolean withText, boolean[] readFromBytes) throws IOException {
    readFromBytes[0] = false;
    try (CsvColumns csv = CsvColumns.open(file, delimiter, charset)) {
      csv.fromBytes(fromBytes).parts(parts, 1);
      try {
        return collected(csv, withText, readFromBytes);
      } catch (CliException e) {
        readFromBytes[0] = csv.readFromBytes();
        return "error: " + e.getMessage();
      }
    } catch (CliException e) {
      return "error: " + e.getMessage();
    }
  }

  private static String collected(CsvColumns csv, boolean withText, boolean[] readFromBytes)
      throws IOException {
    {
      List<LabelColumn> labels = new ArrayList<>();
      TextColumn[] text = new TextColumn[1];
      int rows = csv.read(() -> {
        labels.clear();
        Map<Integer, CsvColumns.Column> byIndex = new HashMap<>();
        for (int c = 0; c < csv.header().size(); c++) {
          LabelColumn column = new LabelColumn(java.util.Set.of("NA"));
          labels.add(column);
          byIndex.put(c, column);
        }
        if (withText) {
          text[0] = new TextColumn();
          byIndex.merge(0, text[0], CsvColumns::both);
        }
        return byIndex;
      });
      readFromBytes[0] = csv.readFromBytes();
      StringBuilder out = new StringBuilder(rows + " rows\n");
      for (LabelColumn column : labels) {
        int[] identity = new int[column.labels().size() + 1];
        Arrays.setAll(identity, c -> c);
        out.append(column.labels()).append(" first rows ");
        IntStream.range(0, column.labels().size())
            .forEach(c -> out.append(column.firstRow(c)).append(' '));
        out.append("missing ").append(column.missing()).append(" codes ");
        out.append(Arrays.toString(column.codes(identity, identity.length - 1).toArray()));
        out.append('\n');
      }
      if (withText) {
        out.append(text[0].cells());
      }
      return out.toString().replace("\r", "\\r").replace("\t", "\\t").replace("\n", "\\n\n");
    }
  }

  static Stream<Path> bundledFiles() throws IOException {
    List<Path> files = new ArrayList<>();
    for (Path folder : List.of(TestData.examples(""), TestData.data(""))) {
      try (Stream<Path> list = Files.list(folder)) {
        list.filter(p -> p.toString().endsWith(".csv")).sorted().forEach(files::add);
      }
    }
    return files.stream();
  }

  @ParameterizedTest
  @MethodSource("bundledFiles")
  void theBundledFilesReadAsUnivocityReadsThem(Path file) throws IOException {
    boolean[] used = new boolean[1];
    for (boolean withText : new boolean[] {false, true}) {
      String expected = outcome(file, null, StandardCharsets.UTF_8, false, 1, withText, used);
      for (int parts : new int[] {1, 3}) {
        String actual = outcome(file, null, StandardCharsets.UTF_8, true, parts, withText, used);
        assertEquals(expected, actual, "in " + parts + " parts");
        assertTrue(used[0], "not read from the bytes");
      }
    }
  }

  @ParameterizedTest
  @MethodSource("badBytes")
  void bytesNotInTheEncodingAreTheSameErrorAtTheSameLine(Charset charset, int badRow, int parts)
      throws IOException {
    ByteArrayOutputStream bytes = new ByteArrayOutputStream();
    bytes.writeBytes("a,b\n".getBytes(charset));
    // Past the first megabyte, which univocity decodes while it reads the header.
    for (int row = 1; row <= 200_000; row++) {
      bytes.writeBytes(("x" + row % 7 + ",\"y\n" + row % 5 + "\"\n").getBytes(charset));
      if (row == badRow) {
        // A lone continuation byte: no character in UTF-8; a defined one in ISO-8859-1.
        bytes.writeBytes(new byte[] {'z', (byte) 0x80, ',', 'w', '\n'});
      }
    }
    Path file = temp.resolve("bad.csv");
    Files.write(file, bytes.toByteArray());
    boolean[] used = new boolean[1];
    String expected = outcome(file, ',', charset, false, 1, false, used);
    assertEquals(expected, outcome(file, ',', charset, true, parts, false, used));
    assertTrue(used[0], "read from the bytes");
    assertEquals(charset.equals(StandardCharsets.UTF_8), expected.startsWith("error"), expected);
  }

  static Stream<Arguments> badBytes() {
    return Stream.of(Arguments.of(StandardCharsets.UTF_8, 150_000, 1),
        Arguments.of(StandardCharsets.UTF_8, 150_000, 3),
        Arguments.of(StandardCharsets.ISO_8859_1, 150_000, 3));
  }

  /** The cells a generated file draws from; some need quotes, some fit one encoding only. */
  private static final String[] CELLS = {"a", "b", "yes", "no", "NA", "", " ", "  x  ", "\"q\"",
      "x,y", "x;y", "two\nlines", "cr\rhere", "tab\tin", "\t", "é", "über", "中文", "a\"\"b",
      "#hash", "'quoted'", "0", "1.5", "€"};

  /** A file of the given kind; {@code odd} adds text that only univocity's rules read. */
  static byte[] generate(
      long seed, Charset charset, char delimiter, boolean crlf, boolean odd, boolean invalid) {
    SplittableRandom random = new SplittableRandom(seed);
    CharsetEncoder encoder = charset.newEncoder();
    List<String> cells = new ArrayList<>();
    for (String cell : CELLS) {
      // univocity counts line breaks within quotes in some cells of CRLF files: it reads those.
      if (encoder.canEncode(cell) && !(crlf && cell.contains("\n"))) {
        cells.add(cell);
      }
    }
    String end = crlf ? "\r\n" : "\n";
    int columns = 1 + random.nextInt(4);
    StringBuilder text = new StringBuilder();
    for (int c = 0; c < columns; c++) {
      text.append(c == 0 ? "" : delimiter);
      text.append(random.nextInt(5) == 0 ? "\"c" + c + "\"" : "c" + c);
    }
    text.append(end);
    int rows = random.nextInt(40);
    for (int r = 0; r < rows; r++) {
      if (random.nextInt(20) == 0) {
        text.append(random.nextBoolean() ? "" : " \t ").append(end);
      }
      int width = random.nextInt(60) == 0 ? columns + 1 : columns;
      for (int c = 0; c < width; c++) {
        text.append(c == 0 ? "" : delimiter);
        String cell = cells.get(random.nextInt(cells.size()));
        boolean must = cell.indexOf(delimiter) >= 0 || cell.contains("\"") || cell.contains("\n")
            || cell.contains("\r") || (!cell.isEmpty() && cell.strip().length() != cell.length());
        // Spaces around a quoted line break change univocity's line count: univocity reads those.
        String pad = random.nextInt(10) == 0 && !cell.contains("\n") ? " " : "";
        if (must || random.nextInt(5) == 0) {
          text.append(pad).append('"').append(cell.replace("\"", "\"\"")).append('"').append(pad);
        } else {
          text.append(pad).append(cell).append(pad);
        }
      }
      if (r < rows - 1 || random.nextBoolean()) {
        text.append(end);
      }
    }
    if (odd) {
      String[] oddities = {"a\"b", "\"a\"b", "\"open", " \"x\ny\" ", "\"x\"\"\ny\""};
      String oddity = oddities[random.nextInt(oddities.length)];
      text.append(end).append(oddity).append(",x".repeat(columns - 1)).append(end);
    }
    ByteArrayOutputStream bytes = new ByteArrayOutputStream();
    if (charset.equals(StandardCharsets.UTF_8) && random.nextInt(5) == 0) {
      bytes.writeBytes(new byte[] {(byte) 0xEF, (byte) 0xBB, (byte) 0xBF});
    }
    byte[] body = text.toString().getBytes(charset);
    if (invalid) {
      body = Arrays.copyOf(body, body.length + 2);
      body[body.length - 2] = (byte) 0xFF;
      body[body.length - 1] = '\n';
    }
    bytes.writeBytes(body);
    return bytes.toByteArray();
  }

  interface Reading {
    String read() throws IOException;
  }

  /** What a reading gives when the reader reads every record itself, without the library. */
  static String withoutPlainRecords(Reading reading) throws IOException {
    CsvScanner.usePlainRecords = false;
    try {
      return reading.read();
    } finally {
      CsvScanner.usePlainRecords = true;
    }
  }

  /**
   * A file of many rows, read across the reader's buffers: one-byte labels, 300 longer ones
   * (more than a byte of codes), labels in UTF-8, a missing text, cells with spaces around them
   * and empty ones, labels first met late in the file, now and then a quoted cell, a blank line
   * or a ragged row, and a last line with or without its line break.
   */
  static byte[] large(long seed, boolean crlf, boolean ragged) {
    SplittableRandom random = new SplittableRandom(seed);
    String end = crlf ? "\r\n" : "\n";
    String[] wide = {"über", "中文", "é", "NA", "plain"};
    StringBuilder text = new StringBuilder("one,long,utf,spaced,late,quoted" + end);
    int rows = 30_000;
    for (int r = 0; r < rows; r++) {
      if (random.nextInt(3000) == 0) {
        text.append(random.nextBoolean() ? "" : "  ").append(end);
      }
      text.append((char) ('a' + random.nextInt(6))).append(',');
      text.append("label").append(random.nextInt(300)).append(',');
      text.append(wide[random.nextInt(wide.length)]).append(',');
      text.append(random.nextInt(4) == 0 ? "" : " x" + random.nextInt(3) + " ").append(',');
      text.append(r > 25_000 ? "new" + random.nextInt(5) : "old" + random.nextInt(2)).append(',');
      text.append(random.nextInt(200) == 0 ? "\"q,\"" : "q");
      if (ragged && r == 27_777) {
        text.append(",extra");
      }
      if (r < rows - 1 || random.nextBoolean()) {
        text.append(end);
      }
    }
    return text.toString().getBytes(StandardCharsets.UTF_8);
  }

  @ParameterizedTest(name = "seed {0}, CRLF {1}, ragged {2}")
  @org.junit.jupiter.params.provider.CsvSource(
      {"1, false, false", "2, true, false", "3, false, true", "4, true, true"})
  void
  largeFilesReadAsUnivocityReadsThemWithTheLibraryOrWithout(long seed, boolean crlf,
      boolean ragged) throws IOException {
    Path file = temp.resolve("large.csv");
    Files.write(file, large(seed, crlf, ragged));
    boolean[] used = new boolean[1];
    String expected = outcome(file, ',', StandardCharsets.UTF_8, false, 1, false, used);
    for (int parts : new int[] {1, 3}) {
      assertEquals(expected,
          outcome(file, ',', StandardCharsets.UTF_8, true, parts, false, used), parts + " parts");
      assertTrue(used[0], "not read from the bytes");
      assertEquals(expected, withoutPlainRecords(() -> outcome(file, ',', StandardCharsets.UTF_8,
                                 true, parts, false, new boolean[1])), parts + " parts, alone");
    }
  }

  static Stream<Arguments> generatedFiles() {
    List<Arguments> cases = new ArrayList<>();
    Charset[] charsets = {
        StandardCharsets.UTF_8, StandardCharsets.ISO_8859_1, Charset.forName("windows-1252")};
    char[] delimiters = {',', ';', '\t'};
    for (int seed = 0; seed < 240; seed++) {
      Charset charset = charsets[seed % 3];
      char delimiter = delimiters[(seed / 3) % 3];
      boolean crlf = seed % 4 == 1;
      boolean odd = seed % 11 == 5;
      boolean invalid = charset.equals(StandardCharsets.UTF_8) && seed % 13 == 7;
      cases.add(Arguments.of(seed, charset, delimiter, crlf, odd, invalid));
    }
    return cases.stream();
  }

  @ParameterizedTest(name = "seed {0}, {1}, delimiter {2}, CRLF {3}, odd {4}, invalid {5}")
  @MethodSource("generatedFiles")
  void generatedFilesReadAsUnivocityReadsThem(long seed, Charset charset, char delimiter,
      boolean crlf, boolean odd, boolean invalid) throws IOException {
    Path file = temp.resolve("generated.csv");
    Files.write(file, generate(seed, charset, delimiter, crlf, odd, invalid));
    // Every third file leaves the delimiter to be detected.
    Character given = seed % 3 == 2 ? null : delimiter;
    boolean[] used = new boolean[1];
    for (boolean withText : new boolean[] {false, true}) {
      String expected = outcome(file, given, charset, false, 1, withText, used);
      for (int parts : new int[] {1, 2, 5}) {
        String actual = outcome(file, given, charset, true, parts, withText, used);
        assertEquals(expected, actual, "in " + parts + " parts");
        assertEquals(expected, withoutPlainRecords(() -> outcome(file, given, charset, true, parts,
                                   withText, new boolean[1])),
            "in " + parts + " parts, every record read by the reader itself");
        // Only univocity reads odd text; the rest is read from the bytes, errors included.
        // (A delimiter detected may make another file odd; univocity may find a bad byte
        // while it reads the header.)
        assertTrue(odd || given == null || invalid || used[0], "not read from the bytes");
      }
    }
  }
}
