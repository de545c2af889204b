package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.NativeLibrary;
import java.util.List;
import java.util.function.Consumer;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * The native entry point for tables, called as code in this package could call it, without the
 * typed API's checks: it refuses what it cannot run, names the argument, and the next call runs.
 */
class TablesNativeTest {
  @BeforeAll
  static void load() {
    NativeLibrary.load();
  }

  /** Two active variables (2 and 3 categories) and a passive one (2), 8 objects, P = 2. */
  static final class Call {
    int solver = HomalsNative.SOLVER_AUTOMATIC;
    long[][] tables;
    int[] categoryCounts = {2, 3, 2};
    boolean[] passive = {false, false, true};
    double[] scoreCoefficients = new double[10];
    double[] report = new double[HomalsNative.REPORT_LENGTH];

    Call() {
      HomalsAnalysis analysis =
          HomalsAnalysis.builder()
              .variable(Variable.ofCodes("a", new int[] {1, 2, 1, 2, 1, 2, 1, 0}))
              .variable(Variable.ofCodes("b", new int[] {1, 2, 3, 1, 2, 3, 3, 2}))
              .variable(Variable.ofCodes("p", new int[] {1, 1, 2, 2, 1, 2, 1, 2}).passive())
              .build();
      CategoryTables counts = CategoryTables.of(analysis);
      tables = new long[][] {counts.tableView(1).clone(), counts.tableView(2).clone()};
    }

    void run() {
      HomalsNative.analyseTables(2, 100, 0, Double.NaN, Double.NaN, 1e-8, solver, 0, 1, tables,
          categoryCounts, passive, new int[3], new int[3], new double[3][], new double[14],
          new double[14], new double[6], new double[2], new int[2], new double[0], new double[25],
          report, new double[4], scoreCoefficients);
    }
  }

  static Arguments refused(
      String name, Class<? extends Throwable> type, String message, Consumer<Call> change) {
    return Arguments.of(name, type, message, change);
  }

  static Stream<Arguments> malformed() {
    Class<IllegalArgumentException> illegal = IllegalArgumentException.class;
    return Stream.of(
        refused("null tables", NullPointerException.class, "tables is null", c -> c.tables = null),
        refused(
            "null table", NullPointerException.class, "tables[1] is null", c -> c.tables[1] = null),
        refused("a table too few", illegal, "tables has length 1",
            c -> c.tables = new long[][] {c.tables[0]}),
        refused("short table", illegal, "tables[0] has length 3", c -> c.tables[0] = new long[3]),
        refused(
            "negative count", illegal, "tables[1][6] = -1 is negative", c -> c.tables[1][6] = -1),
        refused("below the diagonal", illegal, "lies below the diagonal", c -> c.tables[1][5] = 1),
        refused("past 2^62", illegal, "pass 2^62",
            c -> {
              c.tables[0][0] = 1L << 61;
              c.tables[1][0] = 1L << 61;
            }),
        refused(
            "nothing counted", illegal, "no object takes part", c -> c.tables = new long[2][35]),
        refused("objects solver", illegal, "tables have no objects",
            c -> c.solver = HomalsNative.SOLVER_OBJECTS),
        refused("coefficients length", illegal, "scoreCoefficients has length 3",
            c -> c.scoreCoefficients = new double[3]),
        refused("category counts", illegal, "categoryCounts[2] = 0 is below 1",
            c -> c.categoryCounts = new int[] {2, 3, 0}),
        refused("all passive", illegal, "every variable is passive",
            c -> c.passive = new boolean[] {true, true, true}));
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
    assertEquals(HomalsNative.SOLVER_DIRECT, (int) good.report[HomalsNative.REPORT_SOLVER]);
    assertTrue(
        Double.isFinite(good.scoreCoefficients[0]), List.of(good.scoreCoefficients[0]).toString());
  }
}
