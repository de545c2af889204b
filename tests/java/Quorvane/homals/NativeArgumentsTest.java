package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;

import org.junit.jupiter.api.Test;

/** How a description becomes the native arguments and exactly sized outputs. */
class NativeArgumentsTest {
  /** Codes 1..k cycling over n objects, so every category is observed. */
  static int[] cycle(int n, int k) {
    int[] codes = new int[n];
    for (int i = 0; i < n; i++) {
      codes[i] = i % k + 1;
    }
    return codes;
  }

  @Test
  void mixedDescriptionFillsEveryArgumentInItsPlace() {
    int n = 7;
    int[] weights = {1, 2, 0, 3, 1, 1, 5};
    HomalsAnalysis analysis =
        HomalsAnalysis.builder()
            .variable(Variable.ofCodes("a", cycle(n, 3)))
            .variable(
                Variable.ofCodes("b", cycle(n, 2)).passive().single(Quantification.SINGLE_ORDINAL))
            .variable(Variable.ofCodes("c", cycle(n, 4)).single(Quantification.SINGLE_NUMERICAL))
            .weights(weights)
            .dimensions(2)
            .maxIterations(17)
            .innerIterations(3)
            .convergenceTolerance(1e-6)
            .fitTolerance(1e-7)
            .build();
    NativeArguments x = NativeArguments.of(analysis);

    assertEquals(2, x.dimensionCount());
    assertEquals(17, x.maxIterations());
    assertEquals(3, x.innerIterations());
    assertEquals(1e-6, x.convergenceTolerance());
    assertEquals(1e-7, x.fitTolerance());
    assertEquals(Double.NaN, x.cosineTolerance(), "no cosine test unless one is set");
    // The library copies each variable's own codes: no copy is made on the Java side.
    for (int v = 0; v < 3; v++) {
      assertSame(analysis.variables().get(v).codesView().array(), x.codes()[v]);
    }
    assertArrayEquals(new int[] {3, 2, 4}, x.categoryCounts());
    assertArrayEquals(new boolean[] {false, true, false}, x.passive());
    assertArrayEquals(new int[] {0, 1, 1}, x.single());
    assertArrayEquals(new int[] {0, 1, 2}, x.levels());
    assertArrayEquals(java.util.Arrays.stream(weights).asDoubleStream().toArray(), x.weights());
    assertEquals(n * 2, x.objectScores().length);
    assertEquals(9 * 2, x.quantifications().length);
    assertEquals(9 * 2, x.centroids().length);
    assertEquals(3 * 2, x.loadings().length);
    assertEquals(2, x.eigenvalues().length);
    assertEquals(HomalsNative.REPORT_LENGTH, x.report().length);
  }

  @Test
  void theRankOneStepRunsOnlyWhenAVariableIsSingle() {
    HomalsAnalysis analysis = HomalsAnalysis.builder()
                                  .variable(Variable.ofCodes("a", cycle(9, 3)))
                                  .variable(Variable.ofCodes("b", cycle(9, 4)))
                                  .build();
    assertEquals(0, NativeArguments.of(analysis).innerIterations());
    assertEquals(null, NativeArguments.of(analysis).weights());
  }
}
