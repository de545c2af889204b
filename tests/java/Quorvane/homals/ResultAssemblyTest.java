package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import java.util.Random;
import org.junit.jupiter.api.Test;

/**
 * Reading the filled tables back and the summaries derived from them, with a stand-in for the
 * native call that writes known values. The expected values are computed here a different way:
 * object by object rather than category by category.
 */
class ResultAssemblyTest {
  static final int N = 9;
  static final int P = 2;
  // Object 4 has no active value, object 6 weighs 0: neither takes part.
  static final int[] A = {1, 2, 3, 1, 0, 2, 3, 1, 2};
  static final int[] B = {2, 1, 0, 1, 0, 2, 1, 2, 2};
  static final int[] C = {1, 1, 2, 2, 3, 3, 1, 2, 3};
  static final int[] WEIGHTS = {1, 2, 1, 3, 2, 1, 0, 2, 1};

  static HomalsAnalysis analysis() {
    return HomalsAnalysis.builder()
        .variable(Variable.ofCodes("a", A, List.of("a1", "a2", "a3")))
        .variable(Variable.ofCodes("c", C, List.of("c1", "c2", "c3")).passive())
        .variable(Variable.ofCodes("b", B, List.of("b1", "b2")))
        .weights(WEIGHTS)
        .dimensions(P)
        .build();
  }

  /** Writes distinct pseudo-random values into every cell the native method would write. */
  static void fill(NativeArguments x) {
    Random random = new Random(42);
    for (double[][] table : List.of(x.objectScoreTable(), x.categoryQuantificationTable())) {
      for (int r = 1; r < table.length; r++) {
        for (int d = 1; d <= P; d++) {
          table[r][d] = random.nextGaussian();
        }
      }
    }
  }

  @Test
  void tablesAreReadBackByLabelAndSummariesFollowTheirDefinitions() {
    NativeArguments[] seen = new NativeArguments[1];
    HomalsResult result = analysis().run(x -> {
      fill(x);
      seen[0] = x;
    });
    double[][] objects = seen[0].objectScoreTable();
    double[][] categories = seen[0].categoryQuantificationTable();

    // Rows are packed over the active variables only: a1..a3 are rows 1..3, b1, b2 rows 4, 5.
    String[][] rows = {{"a", "a1"}, {"a", "a2"}, {"a", "a3"}, {"b", "b1"}, {"b", "b2"}};
    for (int r = 0; r < rows.length; r++) {
      double[] q = result.variable(rows[r][0]).quantification(rows[r][1]);
      for (int d = 0; d < P; d++) {
        assertEquals(categories[r + 1][d + 1], q[d], rows[r][0] + "=" + rows[r][1]);
      }
    }

    boolean[] part = new boolean[N];
    double observedWeight = 0; // sum over objects of w_i times their number of active values
    for (int i = 0; i < N; i++) {
      int observed = (A[i] > 0 ? 1 : 0) + (B[i] > 0 ? 1 : 0);
      part[i] = WEIGHTS[i] > 0 && observed > 0;
      observedWeight += WEIGHTS[i] * observed;
      for (int d = 0; d < P; d++) {
        double expected = part[i] ? objects[i + 1][d + 1] : Double.NaN;
        assertEquals(expected, result.objectScore(i, d), "object " + i);
      }
      assertEquals(part[i], result.takesPart(i));
    }
    assertFalse(result.takesPart(4));
    assertFalse(result.takesPart(6));
    double meanWeight = observedWeight / 2;

    // Passive c: the weighted mean of the scores of the participating objects in each category.
    VariableResult c = result.variable("c");
    for (int category = 1; category <= 3; category++) {
      double weight = 0;
      double[] sum = new double[P];
      for (int i = 0; i < N; i++) {
        if (part[i] && C[i] == category) {
          weight += WEIGHTS[i];
          for (int d = 0; d < P; d++) {
            sum[d] += WEIGHTS[i] * objects[i + 1][d + 1];
          }
        }
      }
      assertEquals(weight, c.frequency(category - 1));
      for (int d = 0; d < P; d++) {
        assertEquals(sum[d] / weight, c.quantification(category - 1, d), 1e-12);
      }
    }

    // Discrimination measures as sums over objects of w_i y^2, divided by W; eigenvalues as the
    // mean over the active variables.
    double[] eigen = new double[P];
    for (String name : List.of("a", "b", "c")) {
      VariableResult v = result.variable(name);
      int[] codes = name.equals("a") ? A : name.equals("b") ? B : C;
      for (int d = 0; d < P; d++) {
        double sum = 0;
        for (int i = 0; i < N; i++) {
          if (part[i] && codes[i] > 0) {
            double y = v.quantification(codes[i] - 1, d);
            sum += WEIGHTS[i] * y * y;
          }
        }
        assertEquals(sum / meanWeight, v.discrimination(d), 1e-12, name + ", dimension " + d);
        if (v.isActive()) {
          eigen[d] += sum / meanWeight / 2;
        }
      }
    }
    for (int d = 0; d < P; d++) {
      assertEquals(eigen[d], result.eigenvalue(d), 1e-12);
    }
    assertEquals(eigen[0] + eigen[1], result.fit(), 1e-12);

    // The result is a snapshot: neither the native tables nor returned arrays reach back into it.
    double before = result.variable("a").quantification(0, 0);
    categories[1][1] = 1e9;
    result.variable("a").quantifications()[0][0] = 1e9;
    result.objectScores()[0][0] = 1e9;
    assertEquals(before, result.variable("a").quantification(0, 0));
    assertEquals(objects[1][1], result.objectScore(0, 0));
  }

  @Test
  void unwrittenOrNonFiniteCellsAreReportedAsFailures() {
    AnalysisFailedException unwritten = assertThrows(AnalysisFailedException.class,
        () -> analysis().run(x -> {
          fill(x);
          x.categoryQuantificationTable()[5][2] = Double.NaN;
        }));
    assertTrue(unwritten.getMessage().contains("category 'b2' of variable 'b' on dimension 2"),
        unwritten.getMessage());
    AnalysisFailedException infinite = assertThrows(AnalysisFailedException.class,
        () -> analysis().run(x -> {
          fill(x);
          x.objectScoreTable()[2][1] = Double.POSITIVE_INFINITY;
        }));
    assertTrue(infinite.getMessage().contains("object 2 on dimension 1"), infinite.getMessage());
    // Cells of objects that take no part are not checked: their values carry no meaning.
    analysis().run(x -> {
      fill(x);
      x.objectScoreTable()[5][1] = Double.NaN;
    });
  }
}
