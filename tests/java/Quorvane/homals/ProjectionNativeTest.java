package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import Quorvane.NativeLibrary;
import java.util.function.Consumer;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * The native projection checks every argument itself, as a caller that skips the Java side
 * would find: it refuses what it cannot score, naming the argument, and the next call runs.
 */
class ProjectionNativeTest {
  @BeforeAll
  static void load() {
    NativeLibrary.load();
  }

  /**
   * Two active variables of 2 and 3 categories, P = 2, four objects; the third category of the
   * second variable is excluded, and codes of 0 and below are missing.
   */
  static final class Call {
    int threads = 2;
    int[][] codes = {{1, 2, 0, -1}, {3, 1, 2, 3}};
    int[] categoryCounts = {2, 3};
    double[] quantifications = {1, 2, -1, -2, 4, 8, 0.5, 1, 10, 20};
    boolean[] excluded = {false, false, false, false, true};
    double[] centre = {0.5, 0};
    double[] eigenvalues = {0.5, 0.25};
    double[] scores = new double[8];

    void run() {
      HomalsNative.project(
          threads, codes, categoryCounts, quantifications, excluded, centre, eigenvalues, scores);
    }
  }

  static Arguments refused(
      String name, Class<? extends Throwable> type, String message, Consumer<Call> change) {
    return Arguments.of(name, type, message, change);
  }

  static Stream<Arguments> malformed() {
    Class<IllegalArgumentException> illegal = IllegalArgumentException.class;
    Class<NullPointerException> nul = NullPointerException.class;
    return Stream.of(refused("null codes", nul, "codes is null", c -> c.codes = null),
        refused("null column", nul, "codes[1] is null", c -> c.codes[1] = null),
        refused(
            "short column", illegal, "codes[1] has length 3, not 4", c -> c.codes[1] = new int[3]),
        refused("no variables", illegal,
            "codes has no variables; a model has at least one active variable",
            c -> c.codes = new int[0][]),
        refused("code above k", illegal, "codes[0][1] = 3 exceeds categoryCounts[0] = 2",
            c -> c.codes[0][1] = 3),
        refused("null counts", nul, "categoryCounts is null", c -> c.categoryCounts = null),
        refused("counts length", illegal, "categoryCounts has length 1, not 2",
            c -> c.categoryCounts = new int[] {2}),
        refused("no categories", illegal, "categoryCounts[1] = 0 is below 1",
            c -> c.categoryCounts[1] = 0),
        refused("too many slots", illegal,
            "categoryCounts: 2147483647 categories times 2 dimensions exceed the largest Java array",
            c -> c.categoryCounts = new int[] {Integer.MAX_VALUE - 1, 1}),
        refused(
            "null quantifications", nul, "quantifications is null", c -> c.quantifications = null),
        refused("quantifications length", illegal, "quantifications has length 9, not 10",
            c -> c.quantifications = new double[9]),
        refused("NaN quantification", illegal, "quantifications[3] = nan is not finite",
            c -> c.quantifications[3] = Double.NaN),
        refused("excluded length", illegal, "excluded has length 4, not 5",
            c -> c.excluded = new boolean[4]),
        refused("null centre", nul, "centre is null", c -> c.centre = null),
        refused("infinite centre", illegal, "centre[1] = inf is not finite",
            c -> c.centre[1] = Double.POSITIVE_INFINITY),
        refused("null eigenvalues", nul, "eigenvalues is null", c -> c.eigenvalues = null),
        refused(
            "no dimensions", illegal, "eigenvalues is empty", c -> c.eigenvalues = new double[0]),
        refused("eigenvalue 0", illegal, "eigenvalues[1] = 0 is not a finite number above 0",
            c -> c.eigenvalues[1] = 0),
        refused("negative eigenvalue", illegal, "eigenvalues[0] = -0.5 is not a finite number",
            c -> c.eigenvalues[0] = -0.5),
        refused(
            "NaN eigenvalue", illegal, "eigenvalues[0] = nan", c -> c.eigenvalues[0] = Double.NaN),
        refused("null scores", nul, "scores is null", c -> c.scores = null),
        refused(
            "scores length", illegal, "scores has length 6, not 8", c -> c.scores = new double[6]),
        refused("no threads", illegal, "threads = 0 is not between 1 and 1024", c -> c.threads = 0),
        refused("too many threads", illegal, "threads = 1025", c -> c.threads = 1025));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("malformed")
  void malformedCallsThrowAndTheNextCallScores(
      String name, Class<? extends Throwable> type, String message, Consumer<Call> change) {
    Call bad = new Call();
    change.accept(bad);
    Throwable thrown = assertThrows(type, bad::run);
    assertEquals(true, thrown.getMessage().contains(message), thrown.getMessage());

    Call good = new Call();
    good.run();
    // Object 0: (1, 2) alone, its other category excluded; object 1: (-1, -2) and (4, 8)
    // averaged; object 2: (0.5, 1) alone; object 3: nothing usable. Less the centre (0.5, 0),
    // over the eigenvalues (0.5, 0.25); dimension-major.
    double nan = Double.NaN;
    assertArrayEquals(new double[] {1, 2, 0, nan, 8, 12, 4, nan}, good.scores);
  }
}
