package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.NativeLibrary;
import java.util.Arrays;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.function.Consumer;
import java.util.function.LongConsumer;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * The typed API's native entry point checks everything itself, as a caller that skips the Java
 * validation (same-package code, reflection) would find: it refuses what it cannot run, names
 * the argument, and the next call runs.
 */
class HomalsNativeTest {
  @BeforeAll
  static void load() {
    NativeLibrary.load();
  }

  /** A valid call of two variables with 2 and 3 categories over 6 objects, P = 2. */
  static final class Call {
    int dimensions = 2;
    int maxIterations = 100;
    int innerIterations = 0;
    double fitTolerance = Double.NaN;
    double cosineTolerance = Double.NaN;
    double subspaceTolerance = 1e-8;
    int solver = HomalsNative.SOLVER_AUTOMATIC;
    double categorySpaceWork = 0;
    int threads = 1;
    Object[] codes = {new int[] {1, 2, 1, 2, 1, 2}, new int[] {1, 2, 3, 1, 2, 3}};
    int[] categoryCounts = {2, 3};
    boolean[] passive = {false, false};
    int[] single = {0, 0};
    int[] levels = {0, 0};
    double[][] values = {null, null};
    double[] weights = null;
    double[] objectScores = new double[12];
    double[] quantifications = new double[10];
    double[] report = new double[HomalsNative.REPORT_LENGTH];
    double[] scoreMoments = new double[4];

    void run() {
      HomalsNative.analyse(dimensions, maxIterations, innerIterations, fitTolerance,
          cosineTolerance, subspaceTolerance, solver, categorySpaceWork, threads, codes,
          categoryCounts, passive, single, levels, values, weights, objectScores, quantifications,
          new double[10], new double[4], new double[2], new int[Math.max(dimensions, 0)],
          new double[0], new double[0], report, scoreMoments);
    }
  }

  static Arguments refused(
      String name, Class<? extends Throwable> type, String message, Consumer<Call> change) {
    return Arguments.of(name, type, message, change);
  }

  static Stream<Arguments> malformed() {
    Class<IllegalArgumentException> illegal = IllegalArgumentException.class;
    return Stream.of(
        refused("null codes", NullPointerException.class, "codes is null", c -> c.codes = null),
        refused(
            "null column", NullPointerException.class, "codes[1] is null", c -> c.codes[1] = null),
        refused("short column", illegal, "codes[1] has length 5", c -> c.codes[1] = new int[5]),
        refused("no variables", illegal, "codes has no variables", c -> c.codes = new int[0][]),
        refused(
            "no objects", illegal, "codes[0] has no objects", c -> c.codes = new int[][] {{}, {}}),
        refused("code above k", illegal, "codes[0][3] = 3 exceeds categoryCounts[0] = 2",
            c -> ((int[]) c.codes[0])[3] = 3),
        refused("byte code above k", illegal, "codes[0][3] = 3 exceeds categoryCounts[0] = 2",
            c -> c.codes[0] = new byte[] {1, 2, 1, 3, 1, 2}),
        // Read as signed, 200 would be a missing value and pass.
        refused("byte codes unsigned", illegal, "codes[1][5] = 200 exceeds categoryCounts[1] = 3",
            c -> c.codes[1] = new byte[] {1, 2, 3, 1, 2, (byte) 200}),
        refused("short codes unsigned", illegal,
            "codes[1][0] = 40000 exceeds categoryCounts[1] = 3",
            c -> c.codes[1] = new short[] {(short) 40000, 2, 3, 1, 2, 3}),
        refused("short column of bytes", illegal, "codes[1] has length 5",
            c -> c.codes[1] = new byte[5]),
        refused("column of longs", illegal, "codes[1] is not an int[], a short[] or a byte[]",
            c -> c.codes[1] = new long[6]),
        refused("column of text", illegal, "codes[0] is not an int[], a short[] or a byte[]",
            c -> c.codes[0] = "121212"),
        refused("no categories", illegal, "categoryCounts[1] = 0 is below 1",
            c -> c.categoryCounts[1] = 0),
        refused("weights length", illegal, "weights has length 2", c -> c.weights = new double[2]),
        refused("negative weight", illegal, "weights[4] = -1 is not a finite number of 0 or more",
            c -> c.weights = new double[] {1, 1, 1, 1, -1, 1}),
        refused("NaN weight", illegal, "weights[0] = nan",
            c -> c.weights = new double[] {Double.NaN, 1, 1, 1, 1, 1}),
        refused("no positive weight", illegal, "weights: no object has a positive weight",
            c -> c.weights = new double[6]),
        refused("values length", illegal, "categoryValues[1] has length 2",
            c -> c.values = new double[][] {null, {1, 2}}),
        refused("values infinite", illegal, "categoryValues[0][1] = inf is not finite",
            c -> c.values = new double[][] {{0, Double.POSITIVE_INFINITY}, null}),
        refused("values all equal", illegal, "categoryValues[1]: every value is 2",
            c -> c.values = new double[][] {null, {2, 2, 2}}),
        refused("values array", illegal, "categoryValues has length 1",
            c -> c.values = new double[1][]),
        refused(
            "output", illegal, "objectScores has length 11", c -> c.objectScores = new double[11]),
        refused("levels length", illegal, "levels has length 1", c -> c.levels = new int[1]),
        refused("level", illegal, "levels[0] = 3 is not 0, 1 or 2", c -> c.levels[0] = 3),
        refused("single flag", illegal, "single[1] = 2 is not 0 or 1", c -> c.single[1] = 2),
        refused("no dimensions", illegal, "dimensionCount = 0 is not at least 1",
            c -> c.dimensions = 0),
        refused("negative dimensions", illegal, "dimensionCount = -1", c -> c.dimensions = -1),
        refused("more dimensions than categories", illegal,
            "dimensionCount = 6 exceeds the 5 categories of the active variables",
            c -> c.dimensions = 6),
        refused("all passive", illegal, "every variable is passive",
            c -> c.passive = new boolean[] {true, true}),
        refused("no iteration bound", illegal, "maxIterations = 0 is not at least 1",
            c -> c.maxIterations = 0),
        refused("negative inner iterations", illegal, "innerIterations = -1",
            c -> c.innerIterations = -1),
        refused("infinite fit tolerance", illegal, "fitTolerance = inf",
            c -> c.fitTolerance = Double.POSITIVE_INFINITY),
        refused("negative cosine tolerance", illegal, "cosineTolerance = -1",
            c -> c.cosineTolerance = -1),
        refused("NaN subspace tolerance", illegal, "subspaceTolerance = nan",
            c -> c.subspaceTolerance = Double.NaN),
        refused("solver", illegal, "solver = 4 is not 0, 1, 2 or 3", c -> c.solver = 4),
        refused("work budget", illegal, "categorySpaceWork = nan",
            c -> c.categorySpaceWork = Double.NaN),
        refused("threads", illegal, "threads = 0 is not between 1 and 1024", c -> c.threads = 0),
        refused("score moments", illegal, "scoreMoments has length 3",
            c -> c.scoreMoments = new double[3]));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("malformed")
  void malformedCallsThrowAndTheNextCallRuns(
      String name, Class<? extends Throwable> type, String message, Consumer<Call> change) {
    Call bad = new Call();
    change.accept(bad);
    Throwable thrown = assertThrows(type, bad::run);
    assertTrue(thrown.getMessage().contains(message), thrown.getMessage());
    Call good = new Call();
    good.run();
    assertEquals(HomalsNative.STOP_DIRECT, (int) good.report[HomalsNative.REPORT_STOP_REASON]);
    assertEquals(HomalsNative.SOLVER_DIRECT, (int) good.report[HomalsNative.REPORT_SOLVER],
        "every variable multiple: direct");
  }

  /**
   * Another thread replacing a column with null or a shorter array while calls run: each call
   * either runs on the columns it read or refuses them, and the virtual machine stays up.
   */
  @Test
  void columnsReplacedDuringCallsNeverCrash() throws Exception {
    int n = 200_000;
    int[][] codes = {new int[n], new int[n]};
    for (int i = 0; i < n; i++) {
      codes[0][i] = 1 + i % 2;
      codes[1][i] = 1 + i % 3;
    }
    int[] column = codes[1];
    int[] shorter = new int[5];
    fortyCallsWhile(k -> codes[1] = switch ((int) (k % 3)) {
      case 0 -> null;
      case 1 -> shorter;
      default -> column;
    }, () -> HomalsNative.analyse(2, 100, 0, Double.NaN, Double.NaN, 1e-8,
        HomalsNative.SOLVER_DIRECT, 0, 1, codes, new int[] {2, 3}, new boolean[2], new int[2],
        new int[2], new double[2][], null, new double[2 * n], new double[10], new double[10],
        new double[4], new double[2], new int[2], new double[0], new double[0],
        new double[HomalsNative.REPORT_LENGTH], new double[4]),
        NullPointerException.class, IllegalArgumentException.class);
  }

  /**
   * Makes 40 calls while another thread keeps changing what they read ({@code change} with a
   * count that goes up): each call must run or throw one of the refusals.
   */
  @SafeVarargs
  private static void fortyCallsWhile(LongConsumer change, Runnable call,
      Class<? extends RuntimeException>... refusals) throws InterruptedException {
    AtomicBoolean done = new AtomicBoolean();
    Thread changer = new Thread(() -> {
      for (long k = 0; !done.get(); k++) {
        change.accept(k);
      }
    });
    changer.start();
    int ran = 0;
    int refused = 0;
    try {
      for (int c = 0; c < 40; c++) {
        try {
          call.run();
          ran++;
        } catch (RuntimeException e) {
          if (Arrays.stream(refusals).noneMatch(type -> type.isInstance(e))) {
            throw e;
          }
          refused++;
        }
      }
    } finally {
      done.set(true);
      changer.join();
    }
    assertEquals(40, ran + refused);
  }

  /** Compact columns are the same codes: the same bits as int columns, for every solver. */
  @ParameterizedTest
  @MethodSource("solvers")
  void byteAndShortColumnsGiveTheBitsOfIntColumns(int solver) {
    Call ints = new Call();
    ints.solver = solver;
    ints.run();
    Call compact = new Call();
    compact.solver = solver;
    compact.codes = new Object[] {new byte[] {1, 2, 1, 2, 1, 2}, new short[] {1, 2, 3, 1, 2, 3}};
    compact.run();
    for (int e = 0; e < ints.objectScores.length; e++) {
      assertEquals(Double.doubleToRawLongBits(ints.objectScores[e]),
          Double.doubleToRawLongBits(compact.objectScores[e]));
    }
    for (int e = 0; e < ints.quantifications.length; e++) {
      assertEquals(Double.doubleToRawLongBits(ints.quantifications[e]),
          Double.doubleToRawLongBits(compact.quantifications[e]));
    }
  }

  static Stream<Integer> solvers() {
    return Stream.of(HomalsNative.SOLVER_OBJECTS, HomalsNative.SOLVER_CROSS_TABLE,
        HomalsNative.SOLVER_DIRECT);
  }

  /**
   * Another thread writing codes above k into a byte column while calls run: each call reads the
   * column once and runs on what it read or refuses it, and the virtual machine stays up.
   */
  @Test
  void bytesChangedDuringCallsNeverCrash() throws Exception {
    int n = 200_000;
    byte[] column = new byte[n];
    for (int i = 0; i < n; i++) {
      column[i] = (byte) (1 + i % 3);
    }
    Object[] codes = {column, column.clone()};
    fortyCallsWhile(k -> column[(int) (k % n)] = (byte) (k % 2 == 0 ? 250 : 1),
        () -> HomalsNative.analyse(2, 100, 0, Double.NaN, Double.NaN, 1e-8,
            HomalsNative.SOLVER_CROSS_TABLE, 0, 1, codes, new int[] {3, 3}, new boolean[2],
            new int[2], new int[2], new double[2][], null, new double[2 * n], new double[12],
            new double[12], new double[4], new double[2], new int[2], new double[0],
            new double[0], new double[HomalsNative.REPORT_LENGTH], new double[4]),
        IllegalArgumentException.class);
  }

  /** Each analysis on its own thread gets exactly the bits it gets alone. */
  @Test
  void analysesSideBySideGiveTheBitsTheyGiveAlone() throws Exception {
      Call alone = new Call();
      alone.solver = HomalsNative.SOLVER_OBJECTS;
      alone.run();
      Call[] calls = new Call[4];
      Thread[] threads = new Thread[calls.length];
      Throwable[] failures = new Throwable[calls.length];
      for (int t = 0; t < calls.length; t++) {
        Call call = calls[t] = new Call();
        call.solver = HomalsNative.SOLVER_OBJECTS;
        int index = t;
        threads[t] = new Thread(() -> {
          try {
            for (int repeat = 0; repeat < 50; repeat++) {
              call.run();
            }
          } catch (Throwable e) {
            failures[index] = e;
          }
        });
        threads[t].start();
      }
      for (int t = 0; t < calls.length; t++) {
        threads[t].join();
        assertNull(failures[t]);
        for (int e = 0; e < alone.objectScores.length; e++) {
          assertEquals(Double.doubleToRawLongBits(alone.objectScores[e]),
              Double.doubleToRawLongBits(calls[t].objectScores[e]));
        }
      }
  }
  }
