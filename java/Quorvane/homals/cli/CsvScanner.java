package Quorvane.homals.cli;

import java.io.IOException;
import java.lang.invoke.MethodHandles;
import java.lang.invoke.VarHandle;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.CharBuffer;
import java.nio.channels.FileChannel;
import java.nio.charset.Charset;
import java.nio.charset.CharsetDecoder;
import java.nio.charset.CoderResult;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.atomic.AtomicLong;

/**
 * Reads the records of one stretch of a CSV file straight from its bytes, as univocity reads
 * them with the command line's settings, and hands each kept cell to its column as bytes: no
 * string per cell. Cells are trimmed of the characters up to the space (the delimiter excepted),
 * inside quotes too; a doubled quote in a quoted cell is one quote; lines of nothing but such
 * characters are skipped. A line's number counts the line breaks outside quotes before it, as
 * univocity counts them.
 *
 * <p>It reads the plain form of CSV only: a quote begins a cell or ends it, and after the closing
 * quote comes the delimiter or the line's end. Anything else (a quote within an unquoted cell,
 * text after a closing quote, a quote left open at the end, a line break that the file's first
 * line does not use) stops it with {@link NotPlain}, and univocity reads the file instead, with
 * all its rules for such text.
 */
final class CsvScanner {
  /** The most cells a record may have, as the univocity parser is set up. */
  static final int MAX_COLUMNS = 1 << 16;

  private static final byte QUOTE = '"';
  private static final byte NEWLINE = '\n';
  private static final int READ = 1 << 22;
  /**
   * The first read of a stretch, doubled at each read up to {@link #READ}: the compiler then sees
   * records run past the end of the buffer while it watches the loop, and does not compile that
   * path away only to fall back to the interpreter when the first 4 MB are read.
   */
  private static final int FIRST_READ = 1 << 15;
  private static final VarHandle EIGHT_BYTES =
      MethodHandles.byteArrayViewVarHandle(long[].class, ByteOrder.LITTLE_ENDIAN);

  /** The file is CSV beyond the plain form: univocity reads it. */
  static final class NotPlain extends RuntimeException {
    NotPlain(String why) { super(why, null, false, false); }
  }

  /** The bytes are not text in the file's encoding. */
  static final class NotInEncoding extends RuntimeException {
    NotInEncoding() { super(null, null, false, false); }
  }

  /** A column's receiver of cells: bytes {@code [from, to)} of {@code bytes}, empty if none. */
  interface Sink {
    void cell(byte[] bytes, int from, int to, int row);
  }

  private final FileChannel channel;
  private final long fileEnd;
  private final byte delimiter;
  private final boolean crlf;
  private final Sink[] sinks;
  /**
   * The labelled columns whose plain records the library reads, and each column's index among
   * them (-1 for one not kept); null when a kept column is of another kind, or without the
   * library.
   */
  private LabelColumn.Part[] plainParts;
  private int[] plainColumn;
  private int[] plainCodes;
  private final int[] plainResult = new int[2];
  /** Plain records read a call at most. */
  private static final int PLAIN_BATCH = 1 << 14;
  private final CharsetDecoder decoder; // null: every byte is a character
  private final CharBuffer decoded;

  private byte[] buffer = new byte[READ];
  private int nextRead = FIRST_READ;
  private long bufferStart;
  private int filled;
  private int checkedTo;

  private int[] from = new int[64];
  private int[] to = new int[64];
  private boolean[] escaped = new boolean[64];
  private boolean[] quotedCell = new boolean[64];
  /** Whether the next record is the header: read, but neither checked nor handed on. */
  private boolean headerMode;
  private int headerCount;
  private final String fileName;
  private final AtomicLong progress;

  /** Line breaks outside quotes before the next record, in this stretch. */
  long lines;
  /** Data records read. */
  int rows;
  /** Of them, those added to the progress count. */
  private int reported;
  /** Where the stretch ended: after its last record. */
  long end;
  /**
   * The records' line (counted from this stretch's start, 0-based) and cells, when one is ragged.
   */
  long raggedLine = -1;
  int raggedCells;

  /**
   * @param sinks by column index, null for the columns not kept; its length is the header's
   * @param crlf whether records end in CRLF (the file's first line does); else in LF
   */
  CsvScanner(FileChannel channel, long fileEnd, char delimiter, boolean crlf, Sink[] sinks,
      Charset charset, String fileName, AtomicLong progress) {
    this.fileName = fileName;
    this.progress = progress;
    this.channel = channel;
    this.fileEnd = fileEnd;
    this.delimiter = (byte) delimiter;
    this.crlf = crlf;
    this.sinks = sinks;
    preparePlainRecords();
    boolean everyByte = charset.equals(StandardCharsets.ISO_8859_1);
    this.decoder = everyByte ? null
                             : charset.newDecoder()
                                   .onMalformedInput(CodingErrorAction.REPORT)
                                   .onUnmappableCharacter(CodingErrorAction.REPORT);
    this.decoded = everyByte ? null : CharBuffer.allocate(1 << 13);
  }

  /**
   * Whether this scanner reads files in the charset: one that writes the ASCII characters as
   * their single bytes and never uses such a byte within another character (UTF-8 and the
   * one-byte encodings).
   */
  static boolean reads(Charset charset) {
    if (!charset.equals(StandardCharsets.UTF_8)
        && (!charset.canEncode() || charset.newEncoder().maxBytesPerChar() != 1.0f)) {
      return false;
    }
    byte[] ascii = new byte[128];
    for (int b = 0; b < 128; b++) {
      ascii[b] = (byte) b;
    }
    String text = new String(ascii, charset);
    if (text.length() != 128) {
      return false;
    }
    for (int b = 0; b < 128; b++) {
      if (text.charAt(b) != b) {
        return false;
      }
    }
    return true;
  }

  /**
   * Reads the first record that is not blank from {@code start} on: the header's cells (null for
   * an empty one), or null when there is none. {@link #end} is then where the data begin.
   */
  String[] header(long start, Charset charset) throws IOException {
    headerMode = true;
    bufferStart = start;
    filled = 0;
    checkedTo = 0;
    int at = 0;
    fill(at);
    for (;;) {
      if (bufferStart + at >= fileEnd) {
        return null;
      }
      int next = record(at);
      if (next < 0) {
        if (!fill(at)) {
          throw new IllegalStateException("a record past the end of the file");
        }
        at = 0;
        continue;
      }
      if (headerCount > 0) {
        String[] cells = new String[headerCount];
        for (int c = 0; c < headerCount; c++) {
          int cellFrom = from[c];
          int cellTo = escaped[c] ? unescape(cellFrom, to[c]) : to[c];
          while (cellFrom < cellTo && isBlank(buffer[cellFrom])) {
            cellFrom++;
          }
          while (cellTo > cellFrom && isBlank(buffer[cellTo - 1])) {
            cellTo--;
          }
          cells[c] =
              cellFrom == cellTo ? null : new String(buffer, cellFrom, cellTo - cellFrom, charset);
        }
        check(next);
        end = bufferStart + next;
        headerMode = false;
        return cells;
      }
      at = next;
    }
  }

  /**
   * Reads the records that begin in {@code [start, stop)}, the first at {@code start}; the
   * last may run past {@code stop}. Stops early at a ragged record ({@link #raggedLine}).
   */
  void scan(long start, long stop) throws IOException {
    bufferStart = start;
    filled = 0;
    checkedTo = 0;
    int at = 0;
    fill(at);
    while (bufferStart + at < stop) {
      if (plainParts != null) {
        at = plainRecords(at, stop);
        if (bufferStart + at >= stop) {
          break;
        }
      }
      int next = record(at);
      if (next < 0) {
        if (!fill(at)) {
          throw new IllegalStateException("a record past the end of the file");
        }
        at = 0;
        continue;
      }
      if (raggedLine >= 0) {
        return;
      }
      at = next;
    }
    check(at);
    end = bufferStart + at;
  }

  /** Uses the library for plain records when every kept column is one of labels. */
  private void preparePlainRecords() {
    if (sinks.length == 0 || !usePlainRecords || !PlainRecords.available()) {
      return;
    }
    int[] column = new int[sinks.length];
    List<LabelColumn.Part> parts = new ArrayList<>();
    for (int c = 0; c < sinks.length; c++) {
      if (sinks[c] == null) {
        column[c] = -1;
      } else if (sinks[c] instanceof LabelColumn.Part part && !parts.contains(part)) {
        column[c] = parts.size();
        parts.add(part);
      } else {
        return;
      }
    }
    plainParts = parts.toArray(new LabelColumn.Part[0]);
    plainColumn = column;
    plainCodes = new int[Math.max(1, plainParts.length) * PLAIN_BATCH];
  }

  /** Whether the library reads plain records (tests compare both ways). */
  static volatile boolean usePlainRecords = true;

  /**
   * Reads the plain records from {@code at} on, as {@link #record} would read them, while they
   * begin before {@code stop}; returns where the first record it leaves begins.
   */
  private int plainRecords(int at, long stop) {
    int startLimit = (int) Math.min(filled, stop - bufferStart);
    Object[] tables = new Object[6 * plainParts.length];
    for (;;) {
      int capacity = Math.min(PLAIN_BATCH, Integer.MAX_VALUE - rows);
      if (capacity == 0 || at >= startLimit) {
        return at;
      }
      // A table grows when a record of the reader's own meets a new label: asked for each call.
      for (int k = 0; k < plainParts.length; k++) {
        System.arraycopy(plainParts[k].tables(), 0, tables, 6 * k, 6);
      }
      PlainRecords.read(buffer, at, filled, startLimit, delimiter, crlf, plainColumn, tables,
          capacity, plainCodes, plainResult);
      int records = plainResult[1];
      for (int k = 0; k < plainParts.length; k++) {
        plainParts[k].addCodes(plainCodes, k, plainParts.length, records);
      }
      rows += records;
      lines += records;
      at = plainResult[0];
      if (records < capacity) {
        return at;
      }
    }
  }

  /**
   * Keeps {@code [keep, filled)} at the front of the buffer, growing it when that fills it,
   * and reads on; false at the end of the file.
   */
  private boolean fill(int keep) throws IOException {
    check(keep);
    int kept = filled - keep;
    if (kept == buffer.length) {
      byte[] larger = new byte[Math.multiplyExact(buffer.length, 2)];
      System.arraycopy(buffer, 0, larger, 0, kept);
      buffer = larger;
    } else if (keep > 0) {
      System.arraycopy(buffer, keep, buffer, 0, kept);
    }
    bufferStart += keep;
    checkedTo -= Math.min(keep, checkedTo);
    filled = kept;
    long position = bufferStart + filled;
    if (position >= fileEnd) {
      return false;
    }
    // Rows are reported here, between reads, not in the loop over the records.
    progress.addAndGet(rows - reported);
    reported = rows;
    int room = Math.max(Math.min(buffer.length - filled, nextRead), 1);
    nextRead = Math.min(READ, 2 * nextRead);
    ByteBuffer into = ByteBuffer.wrap(buffer, filled, (int) Math.min(room, fileEnd - position));
    while (into.hasRemaining()) {
      int read = channel.read(into, bufferStart + into.position());
      if (read < 0) {
        throw new IOException("the file got shorter while it was read");
      }
    }
    filled = into.position();
    // The encoding is checked ahead of the records, as a decoder ahead of a parser would find
    // its errors; up to a line break, which no character of these encodings holds.
    int checkable = filled;
    if (bufferStart + filled < fileEnd) {
      while (checkable > checkedTo && buffer[checkable - 1] != NEWLINE) {
        checkable--;
      }
    }
    check(checkable);
    return true;
  }

  /** Checks that the bytes up to {@code limit} (a record's start) are text in the encoding. */
  private void check(int limit) {
    if (decoder == null || limit <= checkedTo) {
      return;
    }
    // Eight bytes at a time: every byte of the file passes here once.
    long ascii = 0;
    int i = checkedTo;
    for (; i + Long.BYTES <= limit; i += Long.BYTES) {
      ascii |= (long) EIGHT_BYTES.get(buffer, i);
    }
    for (; i < limit; i++) {
      ascii |= buffer[i];
    }
    if ((ascii & 0x8080808080808080L) != 0) {
      ByteBuffer in = ByteBuffer.wrap(buffer, checkedTo, limit - checkedTo);
      decoder.reset();
      for (;;) {
        decoded.clear();
        CoderResult result = decoder.decode(in, decoded, true);
        if (result.isError()) {
          throw new NotInEncoding();
        }
        if (result.isUnderflow()) {
          break;
        }
      }
      decoded.clear();
      if (decoder.flush(decoded).isError() || in.hasRemaining()) {
        throw new NotInEncoding();
      }
    }
    checkedTo = limit;
  }

  /** A character trimmed off an unquoted cell's ends: the delimiter ends the cell instead. */
  private boolean isSpace(byte b) { return b >= 0 && b <= ' ' && b != delimiter; }

  /** A character trimmed off a quoted cell's ends, within the quotes: the delimiter too. */
  private static boolean isBlank(byte b) { return b >= 0 && b <= ' '; }

  /**
   * Reads the record at {@code at}: hands its cells on (unless it is blank or ragged) and
   * returns where the next begins, or -1 when the buffer ends first and more is to come.
   */
  private int record(int at) {
    final byte[] bytes = buffer;
    final int limit = filled;
    final boolean last = bufferStart + limit >= fileEnd;
    final long startLines = lines;
    int cells = 0;
    int p = at;
    for (;;) {
      while (p < limit && isSpace(bytes[p]) && bytes[p] != NEWLINE) {
        p++;
      }
      if (p == limit && !last) {
        return -1;
      }
      int cellFrom;
      int cellTo;
      boolean doubled = false;
      boolean quoted = p < limit && bytes[p] == QUOTE;
      if (quoted) {
        int opened = cells == 0 || bytes[p - 1] == delimiter ? p : -1;
        p++;
        cellFrom = p;
        for (;;) {
          while (p < limit && bytes[p] != QUOTE) {
            p++;
          }
          if (p >= limit - 1 && !last) {
            return -1;
          }
          if (p == limit) {
            throw new NotPlain("a quote is left open at the end of the file");
          }
          if (p + 1 < limit && bytes[p + 1] == QUOTE) {
            doubled = true;
            p += 2;
            continue;
          }
          cellTo = p++;
          break;
        }
        int closed = p;
        while (p < limit && isSpace(bytes[p]) && bytes[p] != NEWLINE) {
          p++;
        }
        if (p == limit && !last) {
          return -1;
        }
        // univocity counts the line breaks within some quoted cells and not within others: a
        // cell with a line break and anything more than the plain quotes around it is its to
        // read, and so is any such cell in a file of CRLF lines.
        boolean plain = !crlf && !doubled && p == closed && cellFrom - 1 == opened
            && (cellFrom == cellTo || !isBlank(bytes[cellFrom]) && !isBlank(bytes[cellTo - 1]));
        if (!plain) {
          for (int i = cellFrom; i < cellTo; i++) {
            if (bytes[i] == NEWLINE) {
              throw new NotPlain("a line break in a quoted cell with more than its quotes");
            }
          }
        }
        if (p < limit && bytes[p] != delimiter && bytes[p] != NEWLINE) {
          throw new NotPlain("text after a closing quote");
        }
      } else {
        cellFrom = p;
        while (p < limit) {
          byte b = bytes[p];
          if (b == delimiter || b == NEWLINE) {
            break;
          }
          if (b == QUOTE) {
            throw new NotPlain("a quote within an unquoted cell");
          }
          p++;
        }
        if (p == limit && !last) {
          return -1;
        }
        cellTo = p;
        while (cellTo > cellFrom && isSpace(bytes[cellTo - 1])) {
          cellTo--;
        }
      }
      if (cells == from.length) {
        if (cells == MAX_COLUMNS) {
          throw new NotPlain("more cells than the parser allows");
        }
        from = java.util.Arrays.copyOf(from, 2 * cells);
        to = java.util.Arrays.copyOf(to, 2 * cells);
        escaped = java.util.Arrays.copyOf(escaped, 2 * cells);
        quotedCell = java.util.Arrays.copyOf(quotedCell, 2 * cells);
      }
      from[cells] = cellFrom;
      to[cells] = cellTo;
      escaped[cells] = doubled;
      quotedCell[cells] = quoted;
      cells++;
      if (p < limit && bytes[p] == delimiter) {
        p++;
        continue;
      }
      // The end of the line, or of the file.
      if (p < limit) {
        if (crlf && (p == at || bytes[p - 1] != '\r')) {
          throw new NotPlain("a line that ends in LF alone, where the first ends in CRLF");
        }
        p++;
        lines++;
      }
      if (cells == 1 && !quoted && cellFrom == cellTo) {
        return p;
      }
      if (headerMode) {
        headerCount = cells;
        return p;
      }
      if (cells != sinks.length) {
        raggedLine = startLines;
        raggedCells = cells;
        return p;
      }
      hand(cells);
      return p;
    }
  }

  private void hand(int cells) {
    if (rows == Integer.MAX_VALUE) {
      throw new CliException(fileName + " has more than " + Integer.MAX_VALUE + " rows");
    }
    rows++;
    for (int c = 0; c < cells; c++) {
      Sink sink = sinks[c];
      if (sink == null) {
        continue;
      }
      int cellFrom = from[c];
      int cellTo = to[c];
      if (quotedCell[c]) {
        // Unquoted cells come trimmed; within quotes, the delimiter is trimmed too.
        if (escaped[c]) {
          cellTo = unescape(cellFrom, cellTo);
        }
        while (cellFrom < cellTo && isBlank(buffer[cellFrom])) {
          cellFrom++;
        }
        while (cellTo > cellFrom && isBlank(buffer[cellTo - 1])) {
          cellTo--;
        }
      }
      sink.cell(buffer, cellFrom, cellTo, rows);
    }
  }

  /** Turns each doubled quote of a quoted cell into one, in place; returns the new end. */
  private int unescape(int cellFrom, int cellTo) {
    int out = cellFrom;
    for (int i = cellFrom; i < cellTo; i++, out++) {
      buffer[out] = buffer[i];
      if (buffer[i] == QUOTE) {
        i++;
      }
    }
    return out;
  }
}
