package Quorvane.homals.cli;

import com.univocity.parsers.common.TextParsingException;
import com.univocity.parsers.csv.CsvParser;
import com.univocity.parsers.csv.CsvParserSettings;
import java.io.BufferedInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.io.UncheckedIOException;
import java.math.BigDecimal;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;

/**
 * A CSV file read in one streaming pass into compact columns: the header names the columns, and
 * only the columns asked for are kept, each in the form its use needs. A column of labels keeps
 * each distinct label once and one small code per object (a byte while the column has at most
 * 255 labels); no string per cell outlives its row.
 *
 * <p>Cells are trimmed, quoted or not; quoted cells may hold the delimiter, quotes and line
 * breaks. Empty lines are skipped, a byte order mark is dropped, and lines may end in CRLF.
 */
final class CsvColumns implements AutoCloseable {
  /** The most columns a file may have; the parser keeps one slot per column. */
  private static final int MAX_COLUMNS = 1 << 16;

  private final Path file;
  private final Charset charset;
  private final CsvParser parser;
  private final List<String> header;
  private final char delimiter;
  private volatile int rowsRead;

  private CsvColumns(
      Path file, Charset charset, CsvParser parser, List<String> header, char delimiter) {
    this.file = file;
    this.charset = charset;
    this.parser = parser;
    this.header = header;
    this.delimiter = delimiter;
  }

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
      return new CsvColumns(file, charset, parser, checkHeader(file, first), used);
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
      java.io.ByteArrayOutputStream line = new java.io.ByteArrayOutputStream();
      long number = 1;
      for (int b = in.read();; b = in.read()) {
        if (b == '\n' || b < 0) {
          try {
            charset.newDecoder().decode(java.nio.ByteBuffer.wrap(line.toByteArray()));
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
  int rowsRead() { return rowsRead; }

  /**
   * Reads every data row, handing each cell of a column that has a collector to it; other
   * columns are skipped.
   *
   * @param collectors by column index, {@code null} for columns not kept
   * @return the number of data rows
   */
  int read(Map<Integer, Column> collectors) throws IOException {
    Column[] byIndex = new Column[header.size()];
    collectors.forEach((index, column) -> byIndex[index] = column);
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
    rowsRead = rows;
    if (rows == 0) {
      throw new CliException(file + " has no data rows: only the header of column names");
    }
    return rows;
  }

  @Override
  public void close() {
    parser.stopParsing();
  }

  /** Receives the cells of one column, row by row (rows numbered from 1). */
  abstract static class Column { abstract void add(String cell, int row); }

  /**
   * Labels numbered as they first appear, from 1; 0 is a missing value: an empty or blank cell,
   * or one of the missing texts.
   */
  static final class Labels extends Column {
    private final Set<String> missingTexts;
    private final Map<String, Integer> codeOf = new HashMap<>();
    private final List<String> labels = new ArrayList<>();
    private int[] firstRow = new int[8];
    private final Codes codes = new Codes();

    Labels(Set<String> missingTexts) { this.missingTexts = missingTexts; }

    @Override
    void add(String cell, int row) {
      Integer code = cell == null ? null : codeOf.get(cell);
      if (code != null) {
        codes.add(code);
      } else if (cell == null || cell.isBlank() || missingTexts.contains(cell)) {
        codes.add(0);
      } else {
        labels.add(cell);
        codeOf.put(cell, labels.size());
        if (labels.size() == firstRow.length) {
          firstRow = Arrays.copyOf(firstRow, 2 * firstRow.length);
        }
        firstRow[labels.size()] = row;
        codes.add(labels.size());
      }
    }

    /** The distinct labels in order of first appearance: label c has code c + 1. */
    List<String> labels() { return Collections.unmodifiableList(labels); }

    /** The first data row with label c (0-based). */
    int firstRow(int label) { return firstRow[label + 1]; }

    int size() { return codes.size(); }

    /**
     * The codes renumbered (code c becomes {@code renumber[c]}) into {@code into}, which holds
     * {@link #size()} of them; returns it.
     */
    int[] codes(int[] renumber, int[] into) {
      codes.copyInto(into, 0, renumber);
      return into;
    }
  }

  /** Integer category codes, read with {@code --codes}: negative and missing cells become 0. */
  static final class Integers extends Column {
    private final String column;
    private final Set<String> missingTexts;
    private final Codes values = new Codes();

    Integers(String column, Set<String> missingTexts) {
      this.column = column;
      this.missingTexts = missingTexts;
    }

    @Override
    void add(String cell, int row) {
      String text = cell == null ? "" : cell;
      if (text.isEmpty() || missingTexts.contains(text)) {
        values.add(0);
        return;
      }
      try {
        values.add(Math.max(Integer.parseInt(text), 0));
      } catch (NumberFormatException e) {
        throw new CliException("column '" + column + "', data row " + row + ": '" + text
            + "' is not an integer code (--codes is set)");
      }
    }

    int size() { return values.size(); }

    /** The values into {@code into}, which holds {@link #size()} of them; returns it. */
    int[] values(int[] into) {
      values.copyInto(into, 0, null);
      return into;
    }
  }

  /**
   * Object weights: non-negative numbers, integers or decimals. Decimal weights are scaled to
   * integers by one power of ten, the smallest that makes every weight whole; scaling every
   * weight by one factor leaves the solution unchanged.
   */
  static final class Weights extends Column {
    private final String column;
    private double[][] blocks = new double[16][];
    private int size;
    private int decimals;
    private int largestRow;
    private double largest = -1;

    Weights(String column) { this.column = column; }

    @Override
    void add(String cell, int row) {
      String text = cell == null ? "" : cell;
      double value;
      int places = 0;
      try {
        value = Integer.parseInt(text);
      } catch (NumberFormatException notAnInteger) {
        BigDecimal exact;
        try {
          exact = new BigDecimal(text);
        } catch (NumberFormatException e) {
          throw new CliException("weight column '" + column + "', data row " + row + ": '" + text
              + "' is not a number");
        }
        places = Math.max(exact.stripTrailingZeros().scale(), 0);
        value = exact.doubleValue();
      }
      if (!(value >= 0) || Double.isInfinite(value)) {
        throw new CliException("weight column '" + column + "', data row " + row + ": '" + text
            + "' is negative; weights must be 0 or more");
      }
      decimals = Math.max(decimals, places);
      if (value > largest) {
        largest = value;
        largestRow = row;
      }
      int block = size >>> 16;
      if (block == blocks.length) {
        blocks = Arrays.copyOf(blocks, 2 * block);
      }
      if (blocks[block] == null) {
        blocks[block] = new double[1 << 16];
      }
      blocks[block][size & 0xFFFF] = value;
      size++;
    }

    /** The power of ten the weights are multiplied by to make them integers. */
    int decimals() { return decimals; }

    /**
     * The weights times 10^{@link #decimals()}, into {@code into}; refuses weights that the
     * library's 32-bit integers cannot hold once scaled.
     */
    int[] values(int[] into) {
      double factor = Math.pow(10, decimals);
      if (largest * factor > Integer.MAX_VALUE) {
        throw new CliException("weight column '" + column + "', data row " + largestRow
            + ": the weight " + BigDecimal.valueOf(largest).toPlainString()
            + (decimals > 0 ? ", scaled by 10^" + decimals + " to make every weight whole," : "")
            + " exceeds 2147483647, the largest weight the analysis takes; use fewer decimal "
            + "places or smaller weights");
      }
      for (int i = 0; i < size; i++) {
        // Exact: a decimal with few places times its power of ten is within rounding of a whole
        // number far below 2^53.
        into[i] = (int) Math.round(blocks[i >>> 16][i & 0xFFFF] * factor);
      }
      return into;
    }
  }

  /** The cells as text, kept in one buffer; for the column that names the objects. */
  static final class Texts extends Column {
    private final StringBuilder chars = new StringBuilder();
    private final Codes ends = new Codes();

    @Override
    void add(String cell, int row) {
      if (cell != null) {
        chars.append(cell);
      }
      ends.add(chars.length());
    }

    /** All cells, fetched one at a time. */
    List<String> cells() {
      int[] end = new int[ends.size()];
      ends.copyInto(end, 0, null);
      return new java.util.AbstractList<>() {
        @Override
        public String get(int i) {
          return chars.substring(i == 0 ? 0 : end[i - 1], end[i]);
        }

        @Override
        public int size() {
          return end.length;
        }
      };
    }
  }

  /** Both of two collectors; when one column serves twice (as the weights and the ids). */
  static Column both(Column first, Column second) {
    return new Column() {
      @Override
      void add(String cell, int row) {
        first.add(cell, row);
        second.add(cell, row);
      }
    };
  }

  /**
   * A growing sequence of ints in blocks, a byte each while every value is in 0..255: no block is
   * ever copied to grow, and a column of a few labels takes a byte per object.
   */
  static final class Codes {
    private static final int BLOCK_BITS = 16;
    private static final int BLOCK = 1 << BLOCK_BITS;

    private byte[][] narrow = new byte[16][];
    private int[][] wide;
    private int size;

    void add(int value) {
      int block = size >>> BLOCK_BITS;
      int at = size & (BLOCK - 1);
      if (wide == null) {
        if ((value & ~0xFF) == 0) {
          if (at == 0) {
            if (block == narrow.length) {
              narrow = Arrays.copyOf(narrow, 2 * block);
            }
            narrow[block] = new byte[BLOCK];
          }
          narrow[block][at] = (byte) value;
          size++;
          return;
        }
        widen();
      }
      if (at == 0) {
        if (block == wide.length) {
          wide = Arrays.copyOf(wide, 2 * block);
        }
        wide[block] = new int[BLOCK];
      }
      wide[block][at] = value;
      size++;
    }

    private void widen() {
      wide = new int[narrow.length][];
      for (int b = 0; b < narrow.length && narrow[b] != null; b++) {
        wide[b] = new int[BLOCK];
        for (int i = 0; i < BLOCK; i++) {
          wide[b][i] = narrow[b][i] & 0xFF;
        }
        narrow[b] = null;
      }
      narrow = null;
    }

    int size() { return size; }

    /**
     * Copies the values into {@code into} from {@code at}, each replaced by {@code
     * renumber[value]} unless that is {@code null}; returns the position after them.
     */
    int copyInto(int[] into, int at, int[] renumber) {
      for (int start = 0; start < size; start += BLOCK) {
        int length = Math.min(BLOCK, size - start);
        int block = start >>> BLOCK_BITS;
        if (wide != null && renumber == null) {
          System.arraycopy(wide[block], 0, into, at, length);
        } else if (wide != null) {
          int[] values = wide[block];
          for (int i = 0; i < length; i++) {
            into[at + i] = renumber[values[i]];
          }
        } else if (renumber == null) {
          byte[] values = narrow[block];
          for (int i = 0; i < length; i++) {
            into[at + i] = values[i] & 0xFF;
          }
        } else {
          byte[] values = narrow[block];
          for (int i = 0; i < length; i++) {
            into[at + i] = renumber[values[i] & 0xFF];
          }
        }
        at += length;
      }
      return at;
    }
  }
}
