package Quorvane.homals.cli;

import com.univocity.parsers.common.TextParsingException;
import com.univocity.parsers.csv.CsvParser;
import com.univocity.parsers.csv.CsvParserSettings;
import java.io.BufferedInputStream;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.io.UncheckedIOException;
import java.nio.ByteBuffer;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.function.Supplier;

/**
 * A CSV file read in one streaming pass into compact columns: the header names the columns, and
 * only the columns asked for are kept, each by a collector of the form its use needs ({@link
 * LabelColumn}, {@link CodeColumn}, {@link WeightColumn}, {@link TextColumn}). A column of labels
 * keeps each distinct label once and one small code per object (a byte while the column has at
 * most 255 labels); no string per cell outlives its row.
 *
 * <p>Cells are trimmed, quoted or not; quoted cells may hold the delimiter, quotes and line
 * breaks. Empty lines are skipped, a byte order mark is dropped, and lines may end in CRLF.
 *
 * <p>univocity reads the header, and finds the delimiter and the line break when asked; the rows
 * are read from the file's bytes ({@link ByteCsvReader}) when the encoding and the text allow, by
 * univocity otherwise, with the same cells, codes, errors and line numbers either way.
 */
final class CsvColumns implements AutoCloseable {
  /** The most columns a file may have; the parser keeps one slot per column. */
  private static final int MAX_COLUMNS = 1 << 16;

  private final Path file;
  private final Charset charset;
  private final CsvParser parser;
  private final List<String> header;
  private final char delimiter;
  private final String lineSeparator;
  private volatile int rowsRead;
  private volatile ByteCsvReader bytes;
  /** Whether rows are read from the bytes where they can be; tests compare both ways. */
  private boolean fromBytes = true;
  private int threads = Runtime.getRuntime().availableProcessors();
  private long smallestPart = ByteCsvReader.SMALLEST_PART;

  private CsvColumns(Path file, Charset charset, CsvParser parser, List<String> header,
      char delimiter, String lineSeparator) {
    this.file = file;
    this.charset = charset;
    this.parser = parser;
    this.header = header;
    this.delimiter = delimiter;
    this.lineSeparator = lineSeparator;
  }

  /** Rows read by univocity alone ({@code false}), or from the bytes where they can be. */
  CsvColumns fromBytes(boolean enabled) {
    fromBytes = enabled;
    return this;
  }

  /**
   * The most parts of the file read side by side, and the fewest bytes worth a part of its own
   * (tests split small files at every line break they like).
   */
  CsvColumns parts(int count, long smallest) {
    threads = count;
    smallestPart = smallest;
    return this;
  }

  /** Whether the rows were read from the bytes. */
  boolean readFromBytes() { return bytes != null; }

  /**
   * Opens the file and reads its header.
   *
   * @param delimiter the field delimiter, or {@code null} to detect it among ',', ';' and tab
   *     from the first lines
   * @param charset the file's encoding; text that is not valid in it is an error, not replaced
   */
  static CsvColumns open(Path file, Character delimiter, Charset charset) throws IOException {
    CsvParserSettings settings = new CsvParserSettings();
    if (delimiter != null) {
      settings.getFormat().setDelimiter(delimiter);
    } else {
      settings.setDelimiterDetectionEnabled(true, ',', ';', '\t');
    }
    settings.setLineSeparatorDetectionEnabled(true);
    // A '#' starts a label here, not a comment.
    settings.setCommentProcessingEnabled(false);
    settings.setMaxCharsPerColumn(-1);
    settings.setMaxColumns(MAX_COLUMNS);
    settings.setIgnoreLeadingWhitespacesInQuotes(true);
    settings.setIgnoreTrailingWhitespacesInQuotes(true);
    settings.setNormalizeLineEndingsWithinQuotes(false);
    settings.setSkipEmptyLines(true);
    // A reading thread of the parser's own read no faster: while the parser warms up, the
    // compiler and the collector want the other processor.
    settings.setReadInputOnSeparateThread(false);
    CsvParser parser = new CsvParser(settings);

    InputStream in = new BufferedInputStream(Files.newInputStream(file), 1 << 16);
    try {
      if (charset.equals(StandardCharsets.UTF_8)) {
        skipByteOrderMark(in);
      }
      // A decoder of its own reports malformed input instead of replacing it.
      parser.beginParsing(new InputStreamReader(in, charset.newDecoder()));
      String[] first = parser.parseNext();
      if (first == null) {
        throw new CliException(file + " is empty; expected a header of column names");
      }
      char used = delimiter != null ? delimiter : parser.getDetectedFormat().getDelimiter();
      String separator = parser.getDetectedFormat().getLineSeparatorString();
      return new CsvColumns(file, charset, parser, checkHeader(file, first), used, separator);
    } catch (TextParsingException e) {
      parser.stopParsing();
      throw unreadable(file, e, charset);
    } catch (UncheckedIOException e) {
      parser.stopParsing();
      if (e.getCause() instanceof CharacterCodingException) {
        throw notInEncoding(file, charset);
      }
      throw e.getCause();
    } catch (IOException | RuntimeException e) {
      parser.stopParsing();
      in.close();
      throw e;
    }
  }

  private static void skipByteOrderMark(InputStream in) throws IOException {
    in.mark(3);
    if (in.read() != 0xEF || in.read() != 0xBB || in.read() != 0xBF) {
      in.reset();
    }
  }

  private static List<String> checkHeader(Path file, String[] cells) {
    Set<String> seen = new HashSet<>();
    List<String> names = new ArrayList<>(cells.length);
    for (int c = 0; c < cells.length; c++) {
      String name = cells[c] == null ? "" : cells[c];
      if (name.isEmpty()) {
        throw new CliException(file + ": column " + (c + 1) + " has no name in the header");
      }
      if (!seen.add(name)) {
        throw new CliException(file + ": the header names column '" + name + "' twice");
      }
      names.add(name);
    }
    return Collections.unmodifiableList(names);
  }

  private static CliException unreadable(Path file, TextParsingException e, Charset charset) {
    for (Throwable c = e; c != null; c = c.getCause()) {
      if (c instanceof CharacterCodingException) {
        return notInEncoding(file, charset);
      }
    }
    Throwable cause = e.getCause() != null ? e.getCause() : e;
    String message = cause.getMessage();
    int end = message == null ? -1 : message.indexOf('\n');
    return new CliException(file + ": not a readable CSV file (line " + (e.getLineIndex() + 1)
        + "): " + (end < 0 ? message : message.substring(0, end)));
  }

  /**
   * A file whose bytes are not text in the encoding: the first line that is not, and what to do
   * about it. The parser reads ahead in large blocks, so the line is found again here, line by
   * line.
   */
  private static CliException notInEncoding(Path file, Charset charset) {
    long line = firstLineNotIn(file, charset);
    String hint = charset.equals(StandardCharsets.UTF_8)
        ? "; if it is in another encoding, name it with --encoding (for example --encoding "
            + "ISO-8859-1 or windows-1252)"
        : "; name its encoding with --encoding";
    return new CliException(file + (line > 0 ? ", line " + line : "") + ": the text is not valid "
        + charset.name() + hint);
  }

  private static long firstLineNotIn(Path file, Charset charset) {
    try (InputStream in = new BufferedInputStream(Files.newInputStream(file), 1 << 16)) {
      ByteArrayOutputStream line = new ByteArrayOutputStream();
      long number = 1;
      for (int b = in.read();; b = in.read()) {
        if (b == '\n' || b < 0) {
          try {
            charset.newDecoder().decode(ByteBuffer.wrap(line.toByteArray()));
          } catch (CharacterCodingException e) {
            return number;
          }
          if (b < 0) {
            return 0;
          }
          line.reset();
          number++;
        } else {
          line.write(b);
        }
      }
    } catch (IOException e) {
      return 0;
    }
  }

  List<String> header() { return header; }

  /** The field delimiter, as given or as detected. */
  char delimiter() { return delimiter; }

  /** Index of the named column, or an error listing the known names. */
  int column(String name) {
    int index = header.indexOf(name);
    if (index < 0) {
      throw new CliException("no column named '" + name + "'; the columns are " + header);
    }
    return index;
  }

  /** Data rows read so far; may be read from another thread while {@link #read} runs. */
  int rowsRead() {
    ByteCsvReader reader = bytes;
    return reader == null ? rowsRead : (int) Math.min(Integer.MAX_VALUE, reader.progress.get());
  }

  /**
   * Reads every data row, handing each cell of a column that has a collector to it; other
   * columns are skipped.
   *
   * @param collectors makes the collectors by column index, {@code null} for columns not kept;
   *     asked again, for new ones, when the rows read from the bytes turn out to need univocity
   * @return the number of data rows
   */
  int read(Supplier<Map<Integer, Column>> collectors) throws IOException {
    boolean plainLines = "\n".equals(lineSeparator) || "\r\n".equals(lineSeparator);
    if (fromBytes && plainLines && CsvScanner.reads(charset)) {
      ByteCsvReader reader =
          new ByteCsvReader(file, charset, delimiter, "\r\n".equals(lineSeparator), header);
      bytes = reader;
      try {
        return someRows(reader.read(byIndex(collectors.get()), threads, smallestPart));
      } catch (CsvScanner.NotPlain e) {
        bytes = null;
      } catch (CsvScanner.NotInEncoding e) {
        throw notInEncoding(file, charset);
      }
    }
    return readParsed(byIndex(collectors.get()));
  }

  private Column[] byIndex(Map<Integer, Column> collectors) {
    Column[] byIndex = new Column[header.size()];
    collectors.forEach((index, column) -> byIndex[index] = column);
    return byIndex;
  }

  private int someRows(int rows) {
    rowsRead = rows;
    if (rows == 0) {
      throw new CliException(file + " has no data rows: only the header of column names");
    }
    return rows;
  }

  private int readParsed(Column[] byIndex) throws IOException {
    int width = byIndex.length;
    int rows = 0;
    try {
      for (String[] cells = parser.parseNext(); cells != null; cells = parser.parseNext()) {
        if (cells.length != width) {
          throw new CliException(file + ", line " + parser.getContext().currentLine() + ": "
              + cells.length + " cells, but the header has " + width);
        }
        if (rows == Integer.MAX_VALUE) {
          throw new CliException(file + " has more than " + Integer.MAX_VALUE + " rows");
        }
        rows++;
        for (int c = 0; c < width; c++) {
          Column column = byIndex[c];
          if (column != null) {
            column.add(cells[c], rows);
          }
        }
        if ((rows & 0xFFFF) == 0) {
          rowsRead = rows;
        }
      }
    } catch (TextParsingException e) {
      throw unreadable(file, e, charset);
    } catch (UncheckedIOException e) {
      if (e.getCause() instanceof CharacterCodingException) {
        throw notInEncoding(file, charset);
      }
      throw e.getCause();
    }
    return someRows(rows);
  }

  @Override
  public void close() {
    parser.stopParsing();
  }

  /** Receives the cells of one column, row by row (rows numbered from 1). */
  abstract static class Column {
    /** A cell; {@code null} for an empty one. */
    abstract void add(String cell, int row);

    /**
     * Whether parts of the file may be read side by side into this column; if not, it gets the
     * rows of the one part there is, in order.
     */
    boolean takesParts() { return false; }

    /**
     * The receiver of the cells of part {@code part} of the file (from 0, in file order) as
     * bytes in the charset, rows numbered from 1 within the part; replaces any receivers of
     * that part or later ones opened before. This one makes a string of each cell.
     */
    CsvScanner.Sink open(int part, Charset charset) {
      if (part != 0) {
        throw new IllegalStateException("a column that takes no parts, asked for part " + part);
      }
      return (bytes, from, to,
                 row) -> add(from == to ? null : new String(bytes, from, to - from, charset), row);
    }

    /** Called once the parts are read, with the rows before each part. */
    void finish(long[] rowsBefore) {}
  }

  /** Both of two collectors; when one column serves twice (as the weights and the ids). */
  static Column both(Column first, Column second) {
    return new Column() {
      @Override
      void add(String cell, int row) {
        first.add(cell, row);
        second.add(cell, row);
      }

      @Override
      boolean takesParts() {
        return first.takesParts() && second.takesParts();
      }

      @Override
      CsvScanner.Sink open(int part, Charset charset) {
        CsvScanner.Sink one = first.open(part, charset);
        CsvScanner.Sink other = second.open(part, charset);
        return (bytes, from, to, row) -> {
          one.cell(bytes, from, to, row);
          other.cell(bytes, from, to, row);
        };
      }

      @Override
      void finish(long[] rowsBefore) {
        first.finish(rowsBefore);
        second.finish(rowsBefore);
      }
    };
  }
}
