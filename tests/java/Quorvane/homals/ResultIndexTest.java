package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.Locale;
import java.util.function.Consumer;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Indices outside a result are refused in the caller's terms, and a result describes itself in
 * one line. The result is the nine objects of {@link ResultAssemblyTest} in two dimensions.
 */
class ResultIndexTest {
  static HomalsResult result(StopReason reason) {
    return ResultAssemblyTest.analysis().run(x -> ResultAssemblyTest.fill(x, reason));
  }

  static Arguments refused(String call, Consumer<HomalsResult> access, String message) {
    return Arguments.of(call, access, message);
  }

  static Stream<Arguments> outside() {
    return Stream.of(
        // One past the last dimension: the scores of all dimensions lie in one array, so the
        // element it would read may well exist.
        refused("objectScore(0, 2)", r -> r.objectScore(0, 2), "dimension 2 is not in 0 .. 1"),
        refused("objectScore(0, -1)", r -> r.objectScore(0, -1), "dimension -1 is not in 0 .. 1"),
        refused("objectScore(9, 0)", r -> r.objectScore(9, 0), "object 9 is not in 0 .. 8"),
        refused("objectScores(-1)", r -> r.objectScores(-1), "object -1 is not in 0 .. 8"),
        refused("dimensionScores(2)", r -> r.dimensionScores(2), "dimension 2 is not in 0 .. 1"),
        refused(
            "dimensionScoreView(2)", r -> r.dimensionScoreView(2), "dimension 2 is not in 0 .. 1"),
        // The view of the first dimension ends where the second begins.
        refused("dimensionScoreView(0).get(9)", r -> r.dimensionScoreView(0).get(9), null),
        refused("eigenvalue(2)", r -> r.eigenvalue(2), "dimension 2 is not in 0 .. 1"),
        refused("takesPart(9)", r -> r.takesPart(9), "object 9 is not in 0 .. 8"));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("outside")
  void anIndexOutsideTheResultIsNamedWithItsRange(
      String call, Consumer<HomalsResult> access, String message) {
    HomalsResult result = result(StopReason.SUBSPACE);
    IndexOutOfBoundsException e =
        assertThrows(IndexOutOfBoundsException.class, () -> access.accept(result));
    if (message != null) {
      assertEquals(message, e.getMessage());
    }
  }

  /** The view of a dimension is its scores, from index 0, and no caller can write through it. */
  @Test
  void aDimensionsViewReadsItsScoresAndNothingElse() {
    HomalsResult result = result(StopReason.SUBSPACE);
    for (int d = 0; d < 2; d++) {
      java.nio.DoubleBuffer view = result.dimensionScoreView(d);
      double[] copy = result.dimensionScores(d);
      assertEquals(copy.length, view.remaining());
      for (int i = 0; i < copy.length; i++) {
        assertEquals(Double.doubleToRawLongBits(copy[i]), Double.doubleToRawLongBits(view.get(i)));
      }
      assertTrue(view.isReadOnly());
      assertThrows(java.nio.ReadOnlyBufferException.class, () -> view.put(0, 1.0));
    }
  }

  @Test
  void aResultAndItsInertiaDescribeThemselvesInOneLine() {
    HomalsResult result = result(StopReason.ITERATION_BOUND);
    String text = result.toString();
    assertTrue(text.startsWith("HomalsResult[2 dimensions, eigenvalues "), text);
    double[] percent = result.inertia().percent();
    for (int d = 0; d < 2; d++) {
      String share = String.format(Locale.ROOT, "%.4f (%.1f%%)", result.eigenvalue(d), percent[d]);
      assertTrue(text.contains(share), text + " lacks " + share);
    }
    assertTrue(text.endsWith("; crossTable, 37 iterations, not converged (iterationBound)]"), text);
    assertEquals(1, text.lines().count(), text);

    // One single variable among the active ones: no adjusted shares.
    String inertia = result.inertia().toString();
    assertTrue(inertia.matches("Inertia\\[total \\d+\\.\\d{4}; per cent -?\\d+\\.\\d -?\\d+\\.\\d; "
                   + "no adjusted shares\\]"),
        inertia);
  }
}
