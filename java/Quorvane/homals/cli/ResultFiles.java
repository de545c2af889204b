package Quorvane.homals.cli;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.NumericCorrelation;
import Quorvane.homals.VariableResult;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InterruptedIOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Deque;
import java.util.List;
import java.util.concurrent.ArrayBlockingQueue;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;

/** Writes the result files of a run: the two tables here, the summaries by their own classes. */
final class ResultFiles {
  private ResultFiles() {}

  /**
   * Writes categories.csv, variables.csv, objects.csv (when the result has the objects' scores),
   * summary.txt and summary.json into {@code folder}, and numeric.csv when there are numeric
   * variables.
   *
   * @param numeric the correlations of the --numeric columns with the dimensions
   * @param ids one name per object for objects.csv, or {@code null} to number the objects
   * @param notes what the command line made of its input, for the summary
   * @param rawCells whether text cells of the CSV files are written as they are, even those
   *     that a spreadsheet would run as formulas
   * @return the files written, at the places they will have
   */
  static List<Path> write(HomalsResult result, List<NumericCorrelation> numeric,
      OutputFolder folder, Path source, List<String> ids, InputNotes notes, boolean rawCells) {
    List<Path> files = new ArrayList<>();
    files.add(folder.write("categories.csv", out -> writeCategories(result, out, rawCells)));
    files.add(folder.write("variables.csv", out -> writeVariables(result, out, rawCells)));
    if (!numeric.isEmpty()) {
      files.add(folder.write("numeric.csv", out -> writeNumeric(result, numeric, out, rawCells)));
    }
    if (result.hasObjectScores()) {
      // A table of a database keeps its objects; their scores go into a table beside it.
      files.add(folder.write("objects.csv", out -> writeObjects(result, out, ids, rawCells)));
    }
    files.add(folder.write(
        "summary.txt", out -> text(out, SummaryText.of(result, numeric, source, notes))));
    files.add(folder.write(
        "summary.json", out -> text(out, SummaryJson.of(result, numeric, source, notes))));
    return files;
  }

  private static void text(OutputStream out, String text) throws IOException {
    out.write(text.getBytes(StandardCharsets.UTF_8));
  }

  /**
   * One row per category: variable, role, quantification, category, frequency, the
   * quantification dim1..dimP, the contribution in per cent to each dimension ctr1..ctrP (active
   * categories only), the quality cos2_1..cos2_P, for single variables the category's centroid
   * centroid1..centroidP beside its rank-one quantification, and the test values v1..vP with
   * their p-values p1..pP.
   */
  static void writeCategories(HomalsResult result, OutputStream out, boolean rawCells)
      throws IOException {
    int p = result.dimensions();
    try (CsvOutput csv = new CsvOutput(out, rawCells)) {
      header(csv, List.of("variable", "role", "quantification", "category", "frequency"),
          List.of("dim", "ctr", "cos2_", "centroid", "v", "p"), p);
      for (VariableResult v : result.variables()) {
        boolean single = v.quantification().isSingle();
        for (int c = 0; c < v.categories().size(); c++) {
          csv.text(v.name());
          csv.text(v.isExcluded(c) ? "excluded" : v.isActive() ? "active" : "passive");
          csv.text(v.quantification().describe());
          csv.text(v.categories().get(c));
          csv.number(v.frequency(c));
          for (int d = 0; d < p; d++) {
            csv.numberOrEmpty(v.quantification(c, d));
          }
          for (int d = 0; d < p; d++) {
            csv.numberOrEmpty(v.contribution(c, d));
          }
          for (int d = 0; d < p; d++) {
            csv.numberOrEmpty(v.quality(c, d));
          }
          for (int d = 0; d < p; d++) {
            csv.numberOrEmpty(single ? v.centroid(c, d) : Double.NaN);
          }
          for (int d = 0; d < p; d++) {
            csv.numberOrEmpty(v.vTest(c, d));
          }
          for (int d = 0; d < p; d++) {
            csv.numberOrEmpty(v.vTestP(c, d));
          }
          csv.endRow();
        }
      }
    }
  }

  /** Rows of objects.csv formatted as one piece of work. */
  private static final int ROWS_PER_BLOCK = 1 << 15;

  /**
   * One row per variable: variable, role, quantification, the correlation ratio with each
   * dimension eta2_1..eta2_P and its p-value p_1..p_P.
   */
  static void writeVariables(HomalsResult result, OutputStream out, boolean rawCells)
      throws IOException {
    int p = result.dimensions();
    try (CsvOutput csv = new CsvOutput(out, rawCells)) {
      header(csv, List.of("variable", "role", "quantification"), List.of("eta2_", "p_"), p);
      for (VariableResult v : result.variables()) {
        csv.text(v.name());
        csv.text(v.isActive() ? "active" : "passive");
        csv.text(v.quantification().describe());
        for (int d = 0; d < p; d++) {
          csv.numberOrEmpty(v.etaSquared(d));
        }
        for (int d = 0; d < p; d++) {
          csv.numberOrEmpty(v.etaSquaredP(d));
        }
        csv.endRow();
      }
    }
  }

  /**
   * One row per numeric variable: variable, the summed weight of the participating objects
   * with a value (observed), and the correlation with each dimension r1..rP.
   */
  static void writeNumeric(HomalsResult result, List<NumericCorrelation> numeric, OutputStream out,
      boolean rawCells) throws IOException {
    try (CsvOutput csv = new CsvOutput(out, rawCells)) {
      header(csv, List.of("variable", "observed"), List.of("r"), result.dimensions());
      for (NumericCorrelation variable : numeric) {
        csv.text(variable.name());
        csv.number(variable.observedWeight());
        for (double r : variable.correlations()) {
          csv.numberOrEmpty(r);
        }
        csv.endRow();
      }
    }
  }

  /** The named columns, then each prefix numbered 1..p. */
  private static void header(CsvOutput csv, List<String> names, List<String> prefixes, int p)
      throws IOException {
    for (String name : names) {
      csv.text(name);
    }
    for (String prefix : prefixes) {
      for (int d = 1; d <= p; d++) {
        csv.text(prefix + d);
      }
    }
    csv.endRow();
  }

  /**
   * One row per object in input order: object (its row number or id), weight, dim1..dimP; the
   * scores of objects that take no part are empty.
   *
   * <p>Blocks of rows are formatted into bytes side by side, as many at once as there are
   * processors, and written in order: ten million rows are some 700 MB of text, and their
   * numbers' digits cost more than their writing. The digits are the native library's ({@link
   * HomalsResult#scoreRowsText}).
   */
  static void writeObjects(HomalsResult result, OutputStream out, List<String> ids,
      boolean rawCells) throws IOException {
    int threads = Runtime.getRuntime().availableProcessors();
    try (out) {
      ByteArrayOutputStream header = new ByteArrayOutputStream();
      try (CsvOutput csv = new CsvOutput(header, rawCells)) {
        csv.text("object");
        csv.text("weight");
        for (int d = 1; d <= result.dimensions(); d++) {
          csv.text("dim" + d);
        }
        csv.endRow();
      }
      header.writeTo(out);
      int n = result.objectCount();
      int rowsPerBlock = rowsPerBlock(result);
      int blocks = (n + rowsPerBlock - 1) / rowsPerBlock;
      int rows = Math.min(n, rowsPerBlock);
      boolean numbered = ids == null;
      if (threads < 2 || blocks < 2) {
        BlockText text = new BlockText(result, rows, numbered);
        for (int b = 0; b < blocks; b++) {
          block(result, ids, rawCells, b, rowsPerBlock, text).writeTo(out);
        }
        return;
      }
      // The blocks' buffers are used over and over: ten million rows would otherwise leave some
      // 700 MB of text behind for the collector, and the heap would grow to hold it.
      BlockingQueue<BlockText> free = new ArrayBlockingQueue<>(2 * threads);
      for (int k = 0; k < 2 * threads; k++) {
        free.add(new BlockText(result, rows, numbered));
      }
      ExecutorService pool = Executors.newFixedThreadPool(threads, work -> {
        Thread thread = new Thread(work, "tallowmere-objects");
        thread.setDaemon(true);
        return thread;
      });
      try {
        // A few blocks ahead of the writing at most, so that the text never piles up.
        Deque<Future<BlockText>> ahead = new ArrayDeque<>();
        for (int next = 0, written = 0; written < blocks; written++) {
          while (next < blocks && ahead.size() < 2 * threads) {
            int b = next++;
            ahead.add(
                pool.submit(() -> block(result, ids, rawCells, b, rowsPerBlock, free.take())));
          }
          BlockText text = wait(ahead.removeFirst());
          text.writeTo(out);
          free.add(text);
        }
      } finally {
        pool.shutdownNow();
      }
    }
  }

  /** Rows a block, fewer with many dimensions: a block's numbers stay within 16 MB of text. */
  private static int rowsPerBlock(HomalsResult result) {
    return (int) Math.max(1, Math.min(ROWS_PER_BLOCK, (1 << 24) / result.scoreRowsRoom(1, true)));
  }

  /**
   * One block's text. Rows numbered from 1 come whole from the library into {@code numbers};
   * rows named by an id column get their cells there first and are put together in {@code
   * bytes}.
   */
  private static final class BlockText {
    final ByteArrayOutputStream bytes; // null for numbered rows
    final byte[] numbers;
    final int[] rowEnds;
    int numberedLength;

    BlockText(HomalsResult result, int rows, boolean numbered) {
      numbers = new byte[(int) result.scoreRowsRoom(rows, numbered)];
      rowEnds = new int[rows];
      bytes = numbered ? null : new ByteArrayOutputStream(numbers.length + 12 * rows);
    }

    /** Writes the block's text and makes room for the next block's. */
    void writeTo(OutputStream out) throws IOException {
      if (bytes == null) {
        out.write(numbers, 0, numberedLength);
      } else {
        bytes.writeTo(out);
        bytes.reset();
      }
    }
  }

  /** The text of block b of objects.csv's rows, into {@code text}; returns it. */
  private static BlockText block(HomalsResult result, List<String> ids, boolean rawCells, int b,
      int rowsPerBlock, BlockText text) throws IOException {
    int first = b * rowsPerBlock;
    int last = Math.min(result.objectCount(), first + rowsPerBlock);
    if (text.bytes == null) {
      text.numberedLength = result.scoreRowsText(first, last, text.numbers, text.rowEnds, true);
      return text;
    }
    result.scoreRowsText(first, last, text.numbers, text.rowEnds);
    try (CsvOutput csv = new CsvOutput(text.bytes, rawCells)) {
      int start = 0;
      for (int i = first; i < last; i++) {
        csv.text(ids.get(i));
        int end = text.rowEnds[i - first];
        csv.cells(text.numbers, start, end);
        csv.endRow();
        start = end;
      }
    }
    return text;
  }

  private static <T> T wait(Future<T> block) throws IOException {
    try {
      return block.get();
    } catch (InterruptedException e) {
      Thread.currentThread().interrupt();
      throw new InterruptedIOException("interrupted while objects.csv was written");
    } catch (ExecutionException e) {
      if (e.getCause() instanceof IOException io) {
        throw io;
      }
      if (e.getCause() instanceof RuntimeException runtime) {
        throw runtime;
      }
      if (e.getCause() instanceof Error error) {
        throw error;
      }
      throw new IllegalStateException(e.getCause());
    }
  }
}
