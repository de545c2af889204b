package Quorvane;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.io.IOException;
import java.lang.invoke.MethodHandles;
import java.lang.invoke.VarHandle;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.CyclicBarrier;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

/**
 * runHomals through libtallowmere.so in a real JVM. System properties: tallowmere.library (the
 * library) and tallowmere.test.cases (the directory of write_expected_tables' case files).
 */
class RunHomalsTest {
  static Stream<BridgeCase> cases() throws IOException {
    Path directory = Path.of(System.getProperty("tallowmere.test.cases"));
    List<Path> files;
    try (Stream<Path> listing = Files.list(directory)) {
      files = listing.filter(f -> f.toString().endsWith(".case")).sorted().toList();
    }
    List<BridgeCase> cases = new ArrayList<>();
    for (Path file : files) {
      cases.add(new BridgeCase(file));
    }
    return cases.stream();
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("cases")
  void tablesEqualThoseOfADirectEngineCallBitForBit(BridgeCase c) {
    // Twice: a call must not depend on what an earlier one left behind.
    for (int call = 1; call <= 2; call++) {
      double[][][] result = c.run();
      assertSameBits(c.scoresExpected, result[0], "objectScoreTable, call " + call);
      assertSameBits(c.categoriesExpected, result[1], "categoryQuantificationTable, call " + call);
    }
  }

  /**
   * Row 0, element 0, rows past the last written one, elements past column P (including those
   * past the width C of longer rows) and, without writeObjectScores, the whole object-score
   * table keep their bits, NaN payloads and -0.0 included.
   */
  @ParameterizedTest(name = "{0}")
  @MethodSource("cases")
  void cellsOutsideTheWrittenBlockAreUnchanged(BridgeCase c) {
    double[][][] result = c.run();
    assertUnchangedOutside(
        c.scoresBefore, result[0], c.scoreRowsEnd(), c.dimensionCount, "objectScoreTable");
    assertUnchangedOutside(c.categoriesBefore, result[1], c.categoryRowsEnd(), c.dimensionCount,
        "categoryQuantificationTable");
  }

  /**
   * Eight threads call at once, each on its own case and tables, in rounds that start together;
   * every result is bit for bit what a direct single-threaded engine call gave.
   */
  @Test
  void concurrentCallsEachGetTheSingleThreadedResult() throws Exception {
    List<BridgeCase> all = cases().toList();
    int threads = 8;
    int rounds = 8;
    CyclicBarrier start = new CyclicBarrier(threads);
    ExecutorService pool = Executors.newFixedThreadPool(threads);
    try {
      List<Future<List<String>>> results = new ArrayList<>();
      for (int t = 0; t < threads; t++) {
        BridgeCase c = all.get(t % all.size());
        results.add(pool.submit(() -> {
          // Failures are collected, not thrown, so that no thread leaves the others waiting.
          List<String> failures = new ArrayList<>();
          for (int round = 0; round < rounds; round++) {
            start.await();
            try {
              double[][][] result = c.run();
              assertSameBits(c.scoresExpected, result[0], c + " objectScoreTable");
              assertSameBits(c.categoriesExpected, result[1], c + " categoryQuantificationTable");
            } catch (Throwable e) {
              failures.add("round " + round + ": " + e);
            }
          }
          return failures;
        }));
      }
      List<String> failures = new ArrayList<>();
      for (Future<List<String>> result : results) {
        failures.addAll(result.get());
      }
      assertEquals(List.of(), failures);
    } finally {
      pool.shutdownNow();
    }
  }

  /**
   * What another thread writes into data while a call runs stays there: the library copies data
   * once and never writes it back. The writer stores ever new values into an element past the
   * objects' rows (which no run reads) for as long as the call lasts, and before each store
   * checks that its previous one is still in place. data is large enough (25 MB) that copying
   * it in takes tens of milliseconds, which a library that writes its copy back would revert.
   */
  @Test
  void writesIntoDataDuringACallSurviveIt() throws Exception {
    Call call = new Call().withoutObjectScores();
    int copies = 200_000;
    int[] rows = call.data;
    call.data = new int[rows.length * copies + 1];
    for (int copy = 0; copy < copies; copy++) {
      System.arraycopy(rows, 0, call.data, copy * rows.length, rows.length);
    }
    call.objectCount *= copies;
    call.maxIterations = 20;
    VarHandle cell = MethodHandles.arrayElementVarHandle(int[].class);
    int last = call.data.length - 1;

    AtomicBoolean done = new AtomicBoolean();
    CompletableFuture<Void> caller = CompletableFuture.runAsync(() -> {
      try {
        call.run();
      } finally {
        done.set(true);
      }
    });
    int written = 0;
    List<String> lost = new ArrayList<>();
    while (!done.get()) {
      int found = (int) cell.getVolatile(call.data, last);
      if (found != written && lost.size() < 5) {
        lost.add(found + " instead of " + written);
      }
      written--;
      cell.setVolatile(call.data, last, written);
    }
    caller.get();
    assertEquals(List.of(), lost, "writes undone during the call");
    assertEquals(written, call.data[last]);
  }

  /**
   * The markers of a category table of R rows, read from a child JVM's standard output, where
   * the library's printf writes (Java's System.out is a separate stream). The child runs with
   * -Xcheck:jni when this JVM does.
   */
  @ParameterizedTest(name = "R = {0}")
  @ValueSource(ints = {1, 2, 3, 7})
  void markersOfACategoryTableOfRRows(int rows) throws Exception {
    StringBuilder expected = new StringBuilder("2\n");
    for (int r = 0; r < rows - 1; r++) {
      expected.append(r).append(":1\n").append(r).append(":5\n");
    }
    expected.append("3\n6\n");

    ChildJvm child = ChildJvm.run(MarkerProbe.class, Integer.toString(rows));
    assertEquals(0, child.exitCode, child.stderr);
    assertEquals(expected.toString(), child.stdout);
    assertFalse(child.stderr.toLowerCase().contains("warning"), child.stderr);
  }

  /**
   * A table without rows (it has no width) and a null row are rejected before anything is
   * copied, with everything obtained given back: the next call works.
   */
  @Test
  void aTableWithoutRowsIsRejected() {
    IllegalArgumentException e = assertThrows(IllegalArgumentException.class,
        () -> MarkerProbe.analyse(new double[0][], new double[3][2]));
    assertTrue(e.getMessage().contains("objectScoreTable has no rows"), e.getMessage());
    assertNextCallWorks();
  }

  @Test
  void aNullRowRaisesNullPointerException() {
    double[][] quantifications = new double[4][2];
    quantifications[2] = null;
    NullPointerException e = assertThrows(
        NullPointerException.class, () -> MarkerProbe.analyse(new double[1][2], quantifications));
    assertTrue(e.getMessage().contains("categoryQuantificationTable[2]"), e.getMessage());
    assertNextCallWorks();
  }

  private static void assertNextCallWorks() {
    double[][] quantifications = new double[4][2];
    MarkerProbe.analyse(new double[1][2], quantifications);
    assertFalse(quantifications[1][1] == 0.0 && quantifications[2][1] == 0.0);
  }

  private static void assertSameBits(double[][] expected, double[][] actual, String table) {
    assertEquals(expected.length, actual.length, table + " rows");
    for (int r = 0; r < expected.length; r++) {
      assertEquals(expected[r].length, actual[r].length, table + " row " + r + " length");
      for (int k = 0; k < expected[r].length; k++) {
        long want = Double.doubleToRawLongBits(expected[r][k]);
        long got = Double.doubleToRawLongBits(actual[r][k]);
        if (want != got) {
          fail(String.format("%s[%d][%d]: %s (0x%016x) is not %s (0x%016x)", table, r, k,
              actual[r][k], got, expected[r][k], want));
        }
      }
    }
  }

  /** Every cell except rows 1 .. rowsEnd - 1, elements 1 .. P, keeps the bits it had before. */
  private static void assertUnchangedOutside(
      double[][] before, double[][] after, int rowsEnd, int dimensions, String table) {
    assertEquals(before.length, after.length, table + " rows");
    for (int r = 0; r < before.length; r++) {
      for (int k = 0; k < before[r].length; k++) {
        boolean written = r >= 1 && r < rowsEnd && k >= 1 && k <= dimensions;
        if (!written
            && Double.doubleToRawLongBits(before[r][k])
                != Double.doubleToRawLongBits(after[r][k])) {
          fail(String.format(
              "%s[%d][%d] changed from %s to %s", table, r, k, before[r][k], after[r][k]));
        }
      }
    }
  }
}
