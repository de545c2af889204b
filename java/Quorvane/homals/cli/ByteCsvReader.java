package Quorvane.homals.cli;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.util.ArrayList;
import java.util.IdentityHashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.atomic.AtomicLong;

/**
 * The data rows of a CSV file read with {@link CsvScanner}, in parts side by side where the
 * processors allow and every kept column can take parts.
 *
 * <p>A part begins after a line break found near its share of the file. That line break may lie
 * within a quoted cell; the parts are read all the same, and each part before another checks it:
 * read from where it truly begins, it must end exactly where the next one began. The first part
 * begins right after the header, so by induction every part that passes began at a record, and a
 * part that fails is read again, from where its predecessor ended, to the end of the file. The
 * columns number their labels in file order at the end, so the result never depends on the
 * parts.
 */
final class ByteCsvReader {
  /** Parts smaller than this are not worth a thread. */
  static final long SMALLEST_PART = 1 << 20;

  private final Path file;
  private final Charset charset;
  private final char delimiter;
  private final boolean crlf;
  private final List<String> header;
  final AtomicLong progress = new AtomicLong();

  ByteCsvReader(Path file, Charset charset, char delimiter, boolean crlf, List<String> header) {
    this.file = file;
    this.charset = charset;
    this.delimiter = delimiter;
    this.crlf = crlf;
    this.header = header;
  }

  /** What one part read, or how it failed. */
  private static final class Part {
    final long start;
    final long stop;
    CsvScanner scanner;
    Throwable failure;

    Part(long start, long stop) {
      this.start = start;
      this.stop = stop;
    }
  }

  /**
   * Reads every data row into the collectors.
   *
   * @param collectors by column index, null for the columns not kept
   * @param threads the most parts read at once
   * @param smallestPart the fewest bytes worth a part of its own
   * @return the number of data rows
   * @throws CsvScanner.NotPlain when the file needs univocity's rules
   * @throws CsvScanner.NotInEncoding when its bytes are not text in the charset
   */
  int read(CsvColumns.Column[] collectors, int threads, long smallestPart) throws IOException {
    try (FileChannel channel = FileChannel.open(file, StandardOpenOption.READ)) {
      long size = channel.size();
      long start =
          charset.equals(StandardCharsets.UTF_8) && startsWithByteOrderMark(channel) ? 3 : 0;
      CsvScanner headerScanner = scanner(channel, size, new CsvScanner.Sink[collectors.length]);
      String[] cells = headerScanner.header(start, charset);
      if (cells == null || cells.length != header.size()) {
        throw new CsvScanner.NotPlain("another header");
      }
      for (int c = 0; c < cells.length; c++) {
        if (!header.get(c).equals(cells[c] == null ? "" : cells[c])) {
          throw new CsvScanner.NotPlain("another header");
        }
      }
      long dataStart = headerScanner.end;
      long linesBefore = headerScanner.lines;

      boolean parallel = threads > 1;
      for (CsvColumns.Column column : collectors) {
        parallel &= column == null || column.takesParts();
      }
      int count =
          parallel ? (int) Math.max(1, Math.min(threads, (size - dataStart) / smallestPart)) : 1;
      List<Part> parts = split(channel, dataStart, size, count);
      runAll(channel, size, collectors, parts);

      long rows = 0;
      List<Long> rowsBefore = new ArrayList<>();
      for (int t = 0; t < parts.size(); t++) {
        Part part = parts.get(t);
        if (t > 0 && parts.get(t - 1).scanner.end != part.start) {
          // This part began within a record: it is read again from where that record ends.
          Part again = new Part(parts.get(t - 1).scanner.end, size);
          parts.subList(t, parts.size()).clear();
          parts.add(again);
          run(channel, size, collectors, again, t);
          part = again;
        }
        if (part.failure != null) {
          throw rethrow(part.failure);
        }
        CsvScanner scanner = part.scanner;
        if (scanner.raggedLine >= 0) {
          throw new CliException(file + ", line " + (1 + linesBefore + scanner.raggedLine) + ": "
              + scanner.raggedCells + " cells, but the header has " + collectors.length);
        }
        rowsBefore.add(rows);
        rows += scanner.rows;
        linesBefore += scanner.lines;
        if (rows > Integer.MAX_VALUE) {
          throw new CliException(file + " has more than " + Integer.MAX_VALUE + " rows");
        }
      }
      long[] offsets = rowsBefore.stream().mapToLong(Long::longValue).toArray();
      Map<CsvColumns.Column, Boolean> finished = new IdentityHashMap<>();
      for (CsvColumns.Column column : collectors) {
        if (column != null && finished.put(column, true) == null) {
          column.finish(offsets);
        }
      }
      progress.set(rows);
      return (int) rows;
    }
  }

  private CsvScanner scanner(FileChannel channel, long size, CsvScanner.Sink[] sinks) {
    return new CsvScanner(
        channel, size, delimiter, crlf, sinks, charset, file.toString(), progress);
  }

  private static boolean startsWithByteOrderMark(FileChannel channel) throws IOException {
    ByteBuffer first = ByteBuffer.allocate(3);
    while (first.hasRemaining() && channel.read(first, first.position()) > 0) {
      // Reads on to three bytes or the end.
    }
    return first.position() == 3 && (first.get(0) & 0xFF) == 0xEF && (first.get(1) & 0xFF) == 0xBB
        && (first.get(2) & 0xFF) == 0xBF;
  }

  /** The parts: each after the first begins after the first line break from its share on. */
  private static List<Part> split(FileChannel channel, long start, long end, int count)
      throws IOException {
    List<Part> parts = new ArrayList<>();
    long begin = start;
    ByteBuffer look = ByteBuffer.allocate(1 << 16);
    for (int t = 1; t <= count; t++) {
      long stop = t == count ? end : Math.max(begin, start + (end - start) * t / count);
      if (t < count) {
        stop = afterLineBreak(channel, stop, end, look);
      }
      parts.add(new Part(begin, stop));
      begin = stop;
    }
    return parts;
  }

  private static long afterLineBreak(FileChannel channel, long from, long end, ByteBuffer look)
      throws IOException {
    for (long at = from; at < end;) {
      look.clear();
      int read = channel.read(look, at);
      if (read <= 0) {
        break;
      }
      for (int i = 0; i < read; i++) {
        if (look.get(i) == '\n') {
          return at + i + 1;
        }
      }
      at += read;
    }
    return end;
  }

  private void runAll(
      FileChannel channel, long size, CsvColumns.Column[] collectors, List<Part> parts) {
    // Every part's receivers are opened here, in order, before any thread starts.
    List<CsvScanner> scanners = new ArrayList<>();
    for (int t = 0; t < parts.size(); t++) {
      scanners.add(scanner(channel, size, sinks(collectors, t)));
    }
    List<Thread> threads = new ArrayList<>();
    for (int t = 1; t < parts.size(); t++) {
      Part part = parts.get(t);
      CsvScanner scanner = scanners.get(t);
      Thread thread = new Thread(() -> scan(part, scanner), "tallowmere-read-" + t);
      thread.setDaemon(true);
      thread.start();
      threads.add(thread);
    }
    scan(parts.get(0), scanners.get(0));
    for (Thread thread : threads) {
      boolean interrupted = false;
      while (thread.isAlive()) {
        try {
          thread.join();
        } catch (InterruptedException e) {
          interrupted = true;
        }
      }
      if (interrupted) {
        Thread.currentThread().interrupt();
      }
    }
  }

  private void run(
      FileChannel channel, long size, CsvColumns.Column[] collectors, Part part, int index) {
    scan(part, scanner(channel, size, sinks(collectors, index)));
  }

  private static void scan(Part part, CsvScanner scanner) {
    part.scanner = scanner;
    try {
      scanner.scan(part.start, part.stop);
    } catch (Throwable e) {
      part.failure = e;
    }
  }

  private CsvScanner.Sink[] sinks(CsvColumns.Column[] collectors, int part) {
    CsvScanner.Sink[] sinks = new CsvScanner.Sink[collectors.length];
    Map<CsvColumns.Column, CsvScanner.Sink> opened = new IdentityHashMap<>();
    for (int c = 0; c < collectors.length; c++) {
      if (collectors[c] != null) {
        CsvColumns.Column column = collectors[c];
        sinks[c] = opened.computeIfAbsent(column, k -> k.open(part, charset));
      }
    }
    return sinks;
  }

  private static IOException rethrow(Throwable failure) throws IOException {
    if (failure instanceof IOException e) {
      throw e;
    }
    if (failure instanceof RuntimeException e) {
      throw e;
    }
    if (failure instanceof Error e) {
      throw e;
    }
    throw new IOException(failure);
  }
}
