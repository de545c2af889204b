package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.List;
import java.util.Random;
import java.util.function.UnaryOperator;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * An excluded category changes the fit exactly as recoding its cells as missing does, and is
 * reported beside the fitted ones as a supplementary point at the centroid of its objects.
 */
class ExcludedCategoriesTest {
  private static final int N = 400;
  private static final List<String> LABELS = List.of("low", "mid", "high", "don't know");

  /** Four related variables with a "don't know" answer, some cells missing, real weights. */
  private static int[][] codes() {
    Random random = new Random(24);
    int[][] codes = new int[4][N];
    for (int i = 0; i < N; i++) {
      int latent = random.nextInt(3);
      for (int v = 0; v < 4; v++) {
        double u = random.nextDouble();
        codes[v][i] = u < 0.05 ? 0 : u < 0.17 ? 4 : u < 0.75 ? latent + 1 : random.nextInt(3) + 1;
      }
    }
    return codes;
  }

  private static double[] weights() {
    Random random = new Random(7);
    double[] weights = new double[N];
    for (int i = 0; i < N; i++) {
      weights[i] = 0.25 + 2.5 * random.nextDouble();
    }
    return weights;
  }

  /** The codes with category 4 missing. */
  private static int[] recoded(int[] codes) {
    int[] copy = codes.clone();
    for (int i = 0; i < N; i++) {
      copy[i] = copy[i] == 4 ? 0 : copy[i];
    }
    return copy;
  }

  static Stream<Arguments> cases() {
    UnaryOperator<Variable> multiple = v -> v;
    UnaryOperator<Variable> ordinal = v -> v.single(Quantification.SINGLE_ORDINAL);
    UnaryOperator<Variable> passive = Variable::passive;
    return Stream.of(Arguments.of("active multiple, direct", 0, multiple, Solver.DIRECT),
        Arguments.of("active multiple, objects", 1, multiple, Solver.OBJECTS),
        Arguments.of("active single ordinal", 2, ordinal, Solver.AUTOMATIC),
        Arguments.of("passive", 3, passive, Solver.AUTOMATIC));
  }

  private static HomalsAnalysis.Builder builder(Solver solver) {
    return HomalsAnalysis.builder().weights(weights()).solver(solver).dimensions(2);
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("cases")
  void excludingIsRecodingAsMissing(
      String name, int target, UnaryOperator<Variable> role, Solver solver) {
    int[][] codes = codes();
    HomalsAnalysis.Builder excluding = builder(solver);
    HomalsAnalysis.Builder recoding = builder(solver);
    for (int v = 0; v < 4; v++) {
      Variable plain = Variable.ofCodes("v" + v, codes[v], LABELS);
      if (v != target) {
        excluding.variable(plain);
        recoding.variable(plain);
        continue;
      }
      excluding.variable(role.apply(plain.excluding("don't know")));
      recoding.variable(
          role.apply(Variable.ofCodes("v" + v, recoded(codes[v]), LABELS.subList(0, 3))));
    }
    HomalsResult a = excluding.build().run();
    HomalsResult b = recoding.build().run();

    assertArrayEquals(b.eigenvalues(), a.eigenvalues());
    for (int i = 0; i < N; i++) {
      for (int d = 0; d < 2; d++) {
        assertEquals(b.objectScore(i, d), a.objectScore(i, d), 0.0);
      }
    }
    VariableResult fitted = b.variables().get(target);
    VariableResult shown = a.variables().get(target);
    assertEquals(LABELS, shown.categories());
    for (int c = 0; c < 3; c++) {
      assertFalse(shown.isExcluded(c));
      assertEquals(fitted.frequency(c), shown.frequency(c), 0.0);
      for (int d = 0; d < 2; d++) {
        assertEquals(fitted.quantification(c, d), shown.quantification(c, d), 0.0);
        assertEquals(fitted.contribution(c, d), shown.contribution(c, d), 0.0);
        assertEquals(fitted.quality(c, d), shown.quality(c, d), 0.0);
      }
    }
    assertArrayEquals(fitted.discriminationMeasures(), shown.discriminationMeasures());

    // The supplementary point: the weighted mean of its participating objects' scores.
    assertTrue(shown.isExcluded(3));
    double[] weights = weights();
    double weight = 0;
    double[] sums = new double[2];
    for (int i = 0; i < N; i++) {
      if (codes[target][i] == 4 && a.takesPart(i)) {
        weight += weights[i];
        for (int d = 0; d < 2; d++) {
          sums[d] += weights[i] * a.objectScore(i, d);
        }
      }
    }
    assertEquals(weight, shown.frequency(3), 1e-9 * weight);
    for (int d = 0; d < 2; d++) {
      assertEquals(sums[d] / weight, shown.centroid(3, d), 1e-12);
      assertEquals(shown.centroid(3, d), shown.quantification(3, d), 0.0);
      assertTrue(Double.isNaN(shown.contribution(3, d)));
      assertTrue(shown.quality(3, d) >= 0 && shown.quality(3, d) <= 1);
    }
  }

  @Test
  void badExclusionsAreRefused() {
    Variable v = Variable.ofCodes("v", codes()[0], LABELS);
    assertTrue(assertThrows(InvalidAnalysisException.class, () -> v.excluding("never"))
                   .getMessage()
                   .contains("cannot exclude 'never'"));
    assertTrue(assertThrows(
        InvalidAnalysisException.class, () -> v.excluding(LABELS.toArray(new String[0])))
                   .getMessage()
                   .contains("every category is excluded"));
    assertEquals(List.of("don't know"), v.excluding("don't know").excludedCategories());
    assertEquals(new ArrayList<String>(), v.excluding("mid").excluding().excludedCategories());
  }
}
