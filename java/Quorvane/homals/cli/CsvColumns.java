package Quorvane.homals.cli;

import com.univocity.parsers.common.TextParsingException;
import com.univocity.parsers.csv.CsvParser;
import com.univocity.parsers.csv.CsvParserSettings;
import java.io.BufferedInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.io.UncheckedIOException;
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
  private final CsvParser parser;
  private final List<String> header;
  private volatile int rowsRead;

  private CsvColumns(Path file, CsvParser parser, List<String> header) {
    this.file = file;
    this.parser = parser;
    this.header = header;
  }

  /** Opens the file and reads its header. */
  static CsvColumns open(Path file, char delimiter) throws IOException {
    CsvParserSettings settings = new CsvParserSettings();
    settings.getFormat().setDelimiter(delimiter);
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
      skipByteOrderMark(in);
      // A decoder of its own reports malformed input instead of replacing it.
      parser.beginParsing(new InputStreamReader(in, StandardCharsets.UTF_8.newDecoder()));
      String[] first = parser.parseNext();
      if (first == null) {
        throw new CliException(file + " is empty; expected a header of column names");
      }
      return new CsvColumns(file, parser, checkHeader(file, first));
    } catch (TextParsingException e) {
      parser.stopParsing();
      throw unreadable(file, e);
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

  private static CliException unreadable(Path file, TextParsingException e) {
    Throwable cause = e.getCause() != null ? e.getCause() : e;
    String message = cause.getMessage();
    int end = message == null ? -1 : message.indexOf('\n');
    return new CliException(file + ": not a readable CSV file (line " + (e.getLineIndex() + 1)
        + "): " + (end < 0 ? message : message.substring(0, end)));
  }

  List<String> header() { return header; }

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
      throw unreadable(file, e);
    } catch (UncheckedIOException e) {
      throw e.getCause();
    }
    rowsRead = rows;
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

  /**
   * Integer cells: category codes (negative and missing cells become 0) or object weights
   * (every cell must be an integer).
   */
  static final class Integers extends Column {
    private final String what;
    private final Set<String> missingTexts;
    private final boolean weights;
    private final Codes values = new Codes();

    /** Codes of a column, read with {@code --codes}. */
    static Integers codes(String column, Set<String> missingTexts) {
      return new Integers("column '" + column + "'", missingTexts, false);
    }

    static Integers weights(String column) {
      return new Integers("weight column '" + column + "'", Set.of(), true);
    }

    private Integers(String what, Set<String> missingTexts, boolean weights) {
      this.what = what;
      this.missingTexts = missingTexts;
      this.weights = weights;
    }

    @Override
    void add(String cell, int row) {
      String text = cell == null ? "" : cell;
      if (!weights && (text.isEmpty() || missingTexts.contains(text))) {
        values.add(0);
        return;
      }
      int value;
      try {
        value = Integer.parseInt(text);
      } catch (NumberFormatException e) {
        throw new CliException(what + ", data row " + row + ": '" + text + "' is not an integer"
            + (weights ? "" : " code (--codes is set)"));
      }
      values.add(weights ? value : Math.max(value, 0));
    }

    int size() { return values.size(); }

    /** The values into {@code into}, which holds {@link #size()} of them; returns it. */
    int[] values(int[] into) {
      values.copyInto(into, 0, null);
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
