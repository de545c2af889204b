package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.NativeLibrary;
import java.util.function.Consumer;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** The typed API's native entry point refuses malformed calls as runHomals does. */
class HomalsNativeTest {
  @BeforeAll
  static void load() {
    NativeLibrary.load();
  }

  /** A valid call of two variables with 2 and 3 categories over 6 objects, P = 2. */
  static final class Call {
    int dimensions = 2;
    int[][] codes = {{1, 2, 1, 2, 1, 2}, {1, 2, 3, 1, 2, 3}};
    int[] categoryCounts = {2, 3};
    boolean[] passive = {false, false};
    int[] single = {0, 0};
    int[] levels = {0, 0};
    int[] weights = null;
    double[] objectScores = new double[12];
    double[] quantifications = new double[10];
    double[] report = new double[HomalsNative.REPORT_LENGTH];

    void run() {
      HomalsNative.analyse(dimensions, 100, 0, Double.NaN, Double.NaN, 1e-8, true, 0, 0.0, codes,
          categoryCounts, passive, single, levels, weights, objectScores, quantifications,
          new double[10], new double[4], new double[2], new int[Math.max(dimensions, 0)],
          new double[0], report);
    }
  }

  static Stream<Arguments> malformed() {
    return Stream.of(Arguments.of("null codes", NullPointerException.class, "codes is null",
                         (Consumer<Call>) c -> c.codes = null),
        Arguments.of("null column", NullPointerException.class, "codes[1] is null",
            (Consumer<Call>) c -> c.codes[1] = null),
        Arguments.of("short column", IllegalArgumentException.class, "codes[1] has length 5",
            (Consumer<Call>) c -> c.codes[1] = new int[5]),
        Arguments.of("code above k", IllegalArgumentException.class, "exceeds",
            (Consumer<Call>) c -> c.codes[0][3] = 3),
        Arguments.of("weights", IllegalArgumentException.class, "weights has length 2",
            (Consumer<Call>) c -> c.weights = new int[2]),
        Arguments.of("output", IllegalArgumentException.class, "objectScores has length 11",
            (Consumer<Call>) c -> c.objectScores = new double[11]),
        Arguments.of("levels", IllegalArgumentException.class, "levels has length 1",
            (Consumer<Call>) c -> c.levels = new int[1]),
        Arguments.of("dimensions", IllegalArgumentException.class, "dimensionCount = -1",
            (Consumer<Call>) c -> c.dimensions = -1));
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
    assertEquals(StopReason.DIRECT.code(), (int) good.report[1]);
    assertEquals(Solver.DIRECT.code(), (int) good.report[6], "every variable multiple: direct");
  }
}
