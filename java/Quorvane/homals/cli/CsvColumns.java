package Quorvane.homals.cli;

import com.univocity.parsers.common.TextParsingException;
import com.univocity.parsers.csv.CsvParser;
import com.univocity.parsers.csv.CsvParserSettings;
import java.io.BufferedInputStream;
import java.io.ByteArrayInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.io.SequenceInputStream;
import java.nio.ByteBuffer;
import java.nio.channels.Channels;
import java.nio.channels.FileChannel;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.AbstractList;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.SplittableRandom;
import java.util.function.Supplier;

/**
 * A CSV file read in one pass into compact columns: the header names the columns, and only the
 * columns asked for are kept, each in the form its use needs. A column of labels keeps each
 * distinct label once and one small code per object (a byte while the column has at most 255
 * labels); no string per cell outlives its row.
 *
 * <p>Cells are trimmed, quoted or not; quoted cells may hold the delimiter, quotes and line
 * breaks. Empty lines are skipped, a byte order mark is dropped, and lines may end in CRLF.
 *
 * <p>A large file is read in parts at once, one per two processors: the parser and the strings
 * it makes for every cell are most of the time a command line takes besides the analysis. Each
 * part starts at the beginning of a line, which is the beginning of a record unless a quoted
 * cell holds that line break. The part before it is read with a sentinel line appended; only
 * if the sentinel comes out as a record of its own did that part end outside quotes, and
 * otherwise the whole file is read again in one piece, so the result is always that of one
 * sequential pass.
 */
final class CsvColumns implements AutoCloseable {
  /** The most columns a file may have; the parser keeps one slot per column. */
  private static final int MAX_COLUMNS = 1 << 16;
  /** Smaller files are read in one piece: threads would not pay for themselves. */
  static final long PART_BYTES = 8L << 20;
  private static final int MAX_PARTS = 4;

  private final Path file;
  private final char delimiter;
  private final List<String> header;
  private final long[] starts;
  private final String sentinel;
  private Part first;

  private CsvColumns(
      Path file, char delimiter, List<String> header, long[] starts, String sentinel, Part first) {
    this.file = file;
    this.delimiter = delimiter;
    this.header = header;
    this.starts = starts;
    this.sentinel = sentinel;
    this.first = first;
  }

  /** Opens the file and reads its header. */
  static CsvColumns open(Path file, char delimiter) throws IOException {
    // Half the processors: the compiler and the collector are busy while the parsers warm up.
    int processors = Runtime.getRuntime().availableProcessors() / 2;
    long size = Files.size(file);
    return open(file, delimiter,
        (int) Math.max(1, Math.min(Math.min(MAX_PARTS, processors), size / PART_BYTES)));
  }

  /** Opens the file to be read in at most {@code parts} parts. */
  static CsvColumns open(Path file, char delimiter, int parts) throws IOException {
    long[] starts = parts > 1 ? lineStarts(file, parts) : new long[] {0};
    String sentinel = "tallowmere-part-end-" + Long.toHexString(new SplittableRandom().nextLong());
    long end = starts.length > 1 ? starts[1] : -1;
    Part first = new Part(file, delimiter, 0, end, end < 0 ? null : sentinel);
    try {
      String[] names = first.parser.parseNext();
      if (names == null) {
        throw new CliException(file + " is empty; expected a header of column names");
      }
      List<String> header = checkHeader(file, names);
      // The header must lie wholly in the first part; a UTF-8 character takes at most 4 bytes.
      if (end >= 0 && 4 * first.parser.getContext().currentChar() + 16 >= end) {
        first.close();
        return open(file, delimiter, 1);
      }
      return new CsvColumns(file, delimiter, header, starts, sentinel, first);
    } catch (TextParsingException e) {
      first.close();
      throw new CliException(unreadable(file, e));
    } catch (RuntimeException e) {
      first.close();
      throw e;
    }
  }

  /**
   * 0, then the start of the first line at or after each further part's share of the file;
   * fewer when lines are long.
   */
  private static long[] lineStarts(Path file, int parts) throws IOException {
    try (FileChannel channel = FileChannel.open(file)) {
      long size = channel.size();
      long[] starts = new long[parts];
      int found = 1;
      ByteBuffer buffer = ByteBuffer.allocate(1 << 16);
      for (int p = 1; p < parts; p++) {
        long at = Math.max(size * p / parts, starts[found - 1] + 1);
        long start = -1;
        while (start < 0 && at < size) {
          buffer.clear();
          int read = channel.read(buffer, at);
          for (int i = 0; i < read && start < 0; i++) {
            if (buffer.get(i) == '\n') {
              start = at + i + 1;
            }
          }
          at += Math.max(read, 0);
        }
        if (start > 0 && start < size) {
          starts[found++] = start;
        }
      }
      return Arrays.copyOf(starts, found);
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

  private static String unreadable(Path file, TextParsingException e) {
    Throwable cause = e.getCause() != null ? e.getCause() : e;
    String message = String.valueOf(cause.getMessage());
    int end = message.indexOf('\n');
    return file + ": not a readable CSV file (line " + (e.getLineIndex() + 1)
        + "): " + (end < 0 ? message : message.substring(0, end));
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

  /** Data rows read so far; may be asked from another thread while {@link #read} runs. */
  long rowsRead() {
    long rows = 0;
    for (Part part : parts) {
      rows += part.rows;
    }
    return rows;
  }

  private volatile List<Part> parts = List.of();

  /**
   * Reads every data row, handing each cell of a column that has a collector to it; other
   * columns are skipped.
   *
   * @param kinds by column index, the collector each part of the file gets for it
   * @return by column index, the collectors with the whole file's cells
   */
  Map<Integer, Column> read(Map<Integer, Supplier<Column>> kinds) throws IOException {
    List<Part> all = new ArrayList<>(List.of(first));
    try {
      for (int p = 1; p < starts.length; p++) {
        long end = p + 1 < starts.length ? starts[p + 1] : -1;
        all.add(new Part(file, delimiter, starts[p], end, end < 0 ? null : sentinel));
      }
      parts = List.copyOf(all);
      List<Thread> threads = new ArrayList<>();
      for (Part part : all.subList(1, all.size())) {
        Thread thread =
            new Thread(() -> part.readCatching(header.size(), kinds), "tallowmere-reader");
        thread.setDaemon(true);
        thread.start();
        threads.add(thread);
      }
      first.read(header.size(), kinds);
      for (Thread thread : threads) {
        try {
          thread.join();
        } catch (InterruptedException e) {
          Thread.currentThread().interrupt();
          throw new IOException("interrupted while reading " + file, e);
        }
      }
      return merge(all);
    } finally {
      for (Part part : all) {
        part.close();
      }
    }
  }

  /**
   * The parts' columns as one. A problem in any part of several, or a part that did not end on
   * its sentinel, sends the whole file through one sequential pass again: only that pass tells
   * a genuine problem from a record cut at a part's end, and numbers rows and lines in the file.
   */
  private Map<Integer, Column> merge(List<Part> all) throws IOException {
    for (Part part : all) {
      if (part.failure instanceof RuntimeException e) {
        throw e;
      }
      if (part.failure instanceof Error e) {
        throw e;
      }
    }
    if (all.size() == 1 && all.get(0).problem != null) {
      throw all.get(0).problem;
    }
    long rows = 0;
    for (Part part : all) {
      if (part.problem != null || (part.sentinel != null && !part.endedOnSentinel)) {
        first = null;
        try (CsvColumns whole = open(file, delimiter, 1)) {
          return whole.read(all.get(0).kinds);
        }
      }
      rows += part.rows;
    }
    if (rows > Integer.MAX_VALUE) {
      throw new CliException(file + " has more than " + Integer.MAX_VALUE + " rows");
    }
    Map<Integer, Column> merged = all.get(0).columns;
    int offset = 0;
    for (int p = 1; p < all.size(); p++) {
      offset += (int) all.get(p - 1).rows;
      for (Map.Entry<Integer, Column> column : merged.entrySet()) {
        column.getValue().absorb(all.get(p).columns.get(column.getKey()), offset);
      }
    }
    return merged;
  }

  @Override
  public void close() {
    if (first != null) {
      first.close();
    }
  }

  /** One stretch of the file, from a line start to the next part's, with its own parser. */
  private static final class Part {
    final Path file;
    final long start;
    final String sentinel;
    final CsvParser parser;
    Map<Integer, Supplier<Column>> kinds;
    Map<Integer, Column> columns;
    volatile long rows;
    boolean endedOnSentinel;
    CliException problem;
    Throwable failure;

    /** The bytes from {@code start} to {@code end} (-1: the end of the file). */
    Part(Path file, char delimiter, long start, long end, String sentinel) throws IOException {
      this.file = file;
      this.start = start;
      this.sentinel = sentinel;
      FileChannel channel = FileChannel.open(file);
      InputStream in;
      try {
        channel.position(start);
        in = new BufferedInputStream(Channels.newInputStream(channel), 1 << 16);
        if (start == 0) {
          skipByteOrderMark(in);
        }
      } catch (IOException e) {
        channel.close();
        throw e;
      }
      if (end >= 0) {
        in = new SequenceInputStream(new Bounded(in, end - start),
            new ByteArrayInputStream(("\n" + sentinel + "\n").getBytes(StandardCharsets.UTF_8)));
      }
      parser = new CsvParser(settings(delimiter));
      // A decoder of its own reports malformed input instead of replacing it.
      parser.beginParsing(new InputStreamReader(in, StandardCharsets.UTF_8.newDecoder()));
    }

    /** Reads in another thread: whatever goes wrong is kept for the reading thread. */
    void readCatching(int width, Map<Integer, Supplier<Column>> kinds) {
      try {
        read(width, kinds);
      } catch (Throwable e) {
        failure = e;
      }
    }

    void read(int width, Map<Integer, Supplier<Column>> kinds) {
      this.kinds = kinds;
      columns = new HashMap<>();
      Column[] byIndex = new Column[width];
      kinds.forEach((index, kind) -> {
        byIndex[index] = kind.get();
        columns.put(index, byIndex[index]);
      });
      int count = 0;
      try {
        for (String[] cells = parser.parseNext(); cells != null; cells = parser.parseNext()) {
          if (endedOnSentinel) {
            endedOnSentinel = false;
            break;
          }
          if (sentinel != null && cells.length == 1 && sentinel.equals(cells[0])) {
            endedOnSentinel = true;
            continue;
          }
          int row = count + 1;
          if (cells.length != width) {
            throw new CliException(file + ", line " + parser.getContext().currentLine() + ": "
                + cells.length + " cells, but the header has " + width);
          }
          if (count == Integer.MAX_VALUE) {
            throw new CliException(file + " has more than " + Integer.MAX_VALUE + " rows");
          }
          for (int c = 0; c < width; c++) {
            Column column = byIndex[c];
            if (column != null) {
              column.add(cells[c], row);
            }
          }
          count = row;
          if ((count & 0xFFFF) == 0) {
            rows = count;
          }
        }
      } catch (CliException e) {
        problem = e;
      } catch (TextParsingException e) {
        problem = new CliException(unreadable(file, e));
      }
      rows = count;
    }

    void close() { parser.stopParsing(); }

    private static CsvParserSettings settings(char delimiter) {
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
      // Parts are read in threads of their own already.
      settings.setReadInputOnSeparateThread(false);
      return settings;
    }

    private static void skipByteOrderMark(InputStream in) throws IOException {
      in.mark(3);
      if (in.read() != 0xEF || in.read() != 0xBB || in.read() != 0xBF) {
        in.reset();
      }
    }
  }

  /** The first {@code limit} bytes of a stream. */
  private static final class Bounded extends InputStream {
    private final InputStream in;
    private long left;

    Bounded(InputStream in, long limit) {
      this.in = in;
      this.left = limit;
    }

    @Override
    public int read() throws IOException {
      if (left <= 0) {
        return -1;
      }
      left--;
      return in.read();
    }

    @Override
    public int read(byte[] b, int off, int len) throws IOException {
      if (left <= 0) {
        return -1;
      }
      int n = in.read(b, off, (int) Math.min(len, left));
      left -= Math.max(n, 0);
      return n;
    }

    @Override
    public void close() throws IOException {
      in.close();
    }
  }

  /** Receives the cells of one column in one part of the file, row by row from 1. */
  abstract static class Column {
    abstract void add(String cell, int row);

    /** Takes the cells of the next part, whose rows follow {@code rowOffset} rows. */
    abstract void absorb(Column next, int rowOffset);
  }

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
    private final List<Codes> parts = new ArrayList<>(List.of(codes));
    /** Per part after the first, its codes as codes of this column. */
    private final List<int[]> recode = new ArrayList<>(Collections.singletonList(null));

    Labels(Set<String> missingTexts) { this.missingTexts = missingTexts; }

    @Override
    void add(String cell, int row) {
      Integer code = cell == null ? null : codeOf.get(cell);
      if (code != null) {
        codes.add(code);
      } else if (cell == null || cell.isBlank() || missingTexts.contains(cell)) {
        codes.add(0);
      } else {
        codes.add(newLabel(cell, row));
      }
    }

    private int newLabel(String label, int row) {
      labels.add(label);
      codeOf.put(label, labels.size());
      if (labels.size() == firstRow.length) {
        firstRow = Arrays.copyOf(firstRow, 2 * firstRow.length);
      }
      firstRow[labels.size()] = row;
      return labels.size();
    }

    @Override
    void absorb(Column next, int rowOffset) {
      Labels later = (Labels) next;
      int[] map = new int[later.labels.size() + 1];
      for (int c = 0; c < later.labels.size(); c++) {
        String label = later.labels.get(c);
        Integer code = codeOf.get(label);
        map[c + 1] = code != null ? code : newLabel(label, later.firstRow[c + 1] + rowOffset);
      }
      parts.add(later.codes);
      recode.add(map);
    }

    /** The distinct labels in order of first appearance: label c has code c + 1. */
    List<String> labels() { return Collections.unmodifiableList(labels); }

    /** The first data row with label c (0-based). */
    int firstRow(int label) { return firstRow[label + 1]; }

    /** The codes renumbered: code c becomes {@code renumber[c]}. */
    int[] codes(int[] renumber) {
      int size = 0;
      for (Codes part : parts) {
        size += part.size();
      }
      int[] result = new int[size];
      int at = 0;
      for (int p = 0; p < parts.size(); p++) {
        int[] map = renumber;
        if (recode.get(p) != null) {
          map = new int[recode.get(p).length];
          for (int c = 0; c < map.length; c++) {
            map[c] = renumber[recode.get(p)[c]];
          }
        }
        at = parts.get(p).copyInto(result, at, map);
      }
      return result;
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
    private final List<Codes> parts = new ArrayList<>(List.of(values));

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

    @Override
    void absorb(Column next, int rowOffset) {
      parts.add(((Integers) next).values);
    }

    int[] values() {
      int size = 0;
      for (Codes part : parts) {
        size += part.size();
      }
      int[] result = new int[size];
      int at = 0;
      for (Codes part : parts) {
        at = part.copyInto(result, at, null);
      }
      return result;
    }
  }

  /** The cells as text, kept in one buffer per part; for the column that names the objects. */
  static final class Texts extends Column {
    private final StringBuilder buffer = new StringBuilder();
    private final Codes bufferEnds = new Codes();
    private final List<StringBuilder> chars = new ArrayList<>(List.of(buffer));
    private final List<Codes> ends = new ArrayList<>(List.of(bufferEnds));

    @Override
    void add(String cell, int row) {
      if (cell != null) {
        buffer.append(cell);
      }
      bufferEnds.add(buffer.length());
    }

    @Override
    void absorb(Column next, int rowOffset) {
      Texts later = (Texts) next;
      chars.add(later.buffer);
      ends.add(later.bufferEnds);
    }

    /** All cells, made one at a time when asked for. */
    List<String> cells() {
      int size = 0;
      for (Codes part : ends) {
        size += part.size();
      }
      int[] end = new int[size];
      int[] partOf = new int[size];
      int at = 0;
      for (int p = 0; p < ends.size(); p++) {
        int from = at;
        at = ends.get(p).copyInto(end, at, null);
        Arrays.fill(partOf, from, at, p);
      }
      return new AbstractList<>() {
        @Override
        public String get(int i) {
          int p = partOf[i];
          boolean firstOfPart = i == 0 || partOf[i - 1] != p;
          return chars.get(p).substring(firstOfPart ? 0 : end[i - 1], end[i]);
        }

        @Override
        public int size() {
          return end.length;
        }
      };
    }
  }

  /** Both of two collectors; when one column serves twice (as the weights and the ids). */
  static Supplier<Column> both(Supplier<Column> first, Supplier<Column> second) {
    return () -> new Both(first.get(), second.get());
  }

  /** Two collectors of one column. */
  static final class Both extends Column {
    final Column first;
    final Column second;

    Both(Column first, Column second) {
      this.first = first;
      this.second = second;
    }

    @Override
    void add(String cell, int row) {
      first.add(cell, row);
      second.add(cell, row);
    }

    @Override
    void absorb(Column next, int rowOffset) {
      first.absorb(((Both) next).first, rowOffset);
      second.absorb(((Both) next).second, rowOffset);
    }
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
