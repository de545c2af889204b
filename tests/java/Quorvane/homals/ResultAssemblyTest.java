package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import java.util.Random;
import org.junit.jupiter.api.Test;

/**
 * Reading the native outputs back and the summaries derived from them, with a stand-in for the
 * native call that writes known values. The expected summaries are computed here a different
 * way: object by object rather than category by category.
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
        .variable(
            Variable.ofCodes("b", B, List.of("b1", "b2")).single(Quantification.SINGLE_NOMINAL))
        .weights(WEIGHTS)
        .dimensions(P)
        .build();
  }

  /** Writes distinct pseudo-random values into every output, and a report. */
  static void fill(NativeArguments x, StopReason reason) {
    Random random = new Random(42);
    for (double[] output : List.of(
             x.objectScores(), x.quantifications(), x.centroids(), x.loadings(), x.eigenvalues())) {
      for (int e = 0; e < output.length; e++) {
        output[e] = random.nextGaussian();
      }
    }
    x.report()[HomalsNative.REPORT_ITERATIONS] = 37;
    x.report()[HomalsNative.REPORT_STOP_REASON] = reason.code();
    x.report()[HomalsNative.REPORT_SUBSPACE_DISTANCE] = 1e-9;
    x.report()[HomalsNative.REPORT_SOLVER] = Solver.CROSS_TABLE.code();
    x.report()[HomalsNative.REPORT_PAIR_COUNTS] = 0;
  }

  @Test
  void outputsAreReadBackByLabelAndSummariesFollowTheirDefinitions() {
    NativeArguments[] seen = new NativeArguments[1];
    double[][] written = new double[1][];
    HomalsResult result = analysis().run(x -> {
      fill(x, StopReason.SUBSPACE);
      seen[0] = x;
      written[0] = x.objectScores().clone();
    });
    NativeArguments x = seen[0];
    double[] scores = written[0];
    assertEquals(37, result.iterations());
    assertEquals(StopReason.SUBSPACE, result.stopReason());
    assertTrue(result.converged());
    assertEquals(Solver.CROSS_TABLE, result.solver());
    assertEquals(1e-9, result.subspaceDistance());

    // Slots: the active variables' categories first, a1..a3, b1, b2, then the passive c1..c3;
    // element d * S + slot.
    String[][] slots = {{"a", "a1"}, {"a", "a2"}, {"a", "a3"}, {"b", "b1"}, {"b", "b2"},
        {"c", "c1"}, {"c", "c2"}, {"c", "c3"}};
    for (int slot = 0; slot < slots.length; slot++) {
      VariableResult v = result.variable(slots[slot][0]);
      int c = v.categoryIndex(slots[slot][1]);
      for (int d = 0; d < P; d++) {
        int e = d * slots.length + slot;
        assertEquals(x.quantifications()[e], v.quantification(c, d), slots[slot][1]);
        assertEquals(x.centroids()[e], v.centroid(c, d), slots[slot][1]);
      }
    }
    assertArrayEquals(new double[] {x.loadings()[2 * P], x.loadings()[2 * P + 1]},
        result.variable("b").rankOneLoadings());
    assertNull(result.variable("a").loadings(), "multiple variables have no loadings");

    boolean[] part = new boolean[N];
    double observedWeight = 0; // sum over objects of w_i times their number of active values
    for (int i = 0; i < N; i++) {
      int observed = (A[i] > 0 ? 1 : 0) + (B[i] > 0 ? 1 : 0);
      part[i] = WEIGHTS[i] > 0 && observed > 0;
      observedWeight += WEIGHTS[i] * observed;
      for (int d = 0; d < P; d++) {
        double expected = part[i] ? scores[d * N + i] : Double.NaN;
        assertEquals(expected, result.objectScore(i, d), "object " + i);
      }
      assertEquals(part[i], result.takesPart(i));
    }
    assertFalse(result.takesPart(4));
    assertFalse(result.takesPart(6));
    double meanWeight = observedWeight / 2;

    // Frequencies, and discrimination measures as sums over objects of w_i y^2 divided by W;
    // their mean over the active variables is the share of each dimension in the contributions.
    double[] eigen = new double[P];
    for (String name : List.of("a", "b", "c")) {
      VariableResult v = result.variable(name);
      int[] codes = name.equals("a") ? A : name.equals("b") ? B : C;
      double[] frequency = new double[v.categories().size()];
      for (int d = 0; d < P; d++) {
        double sum = 0;
        for (int i = 0; i < N; i++) {
          if (part[i] && codes[i] > 0) {
            double y = v.quantification(codes[i] - 1, d);
            sum += WEIGHTS[i] * y * y;
            frequency[codes[i] - 1] += d == 0 ? WEIGHTS[i] : 0;
          }
        }
        assertEquals(sum / meanWeight, v.discrimination(d), 1e-12, name + ", dimension " + d);
        if (v.isActive()) {
          eigen[d] += sum / meanWeight / 2;
        }
      }
      for (int c = 0; c < frequency.length; c++) {
        assertEquals(frequency[c], v.frequency(c), name);
      }
    }
    // The eigenvalues are the library's.
    assertArrayEquals(x.eigenvalues(), result.eigenvalues());
    assertEquals(x.eigenvalues()[0] + x.eigenvalues()[1], result.fit(), 1e-12);

    // Contributions: each object's w y^2 over those of all active variables' objects; quality:
    // the squared centroid over (t / D^2) sum over the category's objects of w_i / c_i - 1.
    double t = observedWeight;
    for (String name : List.of("a", "b", "c")) {
      VariableResult v = result.variable(name);
      int[] codes = name.equals("a") ? A : name.equals("b") ? B : C;
      for (int c = 0; c < v.categories().size(); c++) {
        double inverse = 0;
        for (int i = 0; i < N; i++) {
          int observed = (A[i] > 0 ? 1 : 0) + (B[i] > 0 ? 1 : 0);
          inverse += part[i] && codes[i] == c + 1 ? (double) WEIGHTS[i] / observed : 0;
        }
        double distance = t / (v.frequency(c) * v.frequency(c)) * inverse - 1;
        for (int d = 0; d < P; d++) {
          double share =
              v.frequency(c) * v.quantification(c, d) * v.quantification(c, d) / (eigen[d] * t);
          assertEquals(v.isActive() ? 100 * share : Double.NaN, v.contribution(c, d), 1e-9);
          assertEquals(v.centroid(c, d) * v.centroid(c, d) / distance, v.quality(c, d), 1e-12);
        }
      }
    }

    // The result is a snapshot: returned arrays do not reach back into it.
    double before = result.variable("a").quantification(0, 0);
    result.variable("a").quantifications()[0][0] = 1e9;
    result.objectScores()[0][0] = 1e9;
    assertEquals(before, result.variable("a").quantification(0, 0));
    assertEquals(scores[0], result.objectScore(0, 0));
  }

  @Test
  void theReportSaysWhetherTheRunConverged() {
    for (StopReason reason : StopReason.values()) {
      HomalsResult result = analysis().run(x -> fill(x, reason));
      assertEquals(reason, result.stopReason());
      assertEquals(reason.isConvergence(), result.converged(), reason.key());
    }
  }

  @Test
  void unwrittenOrNonFiniteValuesAreReportedAsFailures() {
    AnalysisFailedException unwritten =
        assertThrows(AnalysisFailedException.class, () -> analysis().run(x -> {
          fill(x, StopReason.SUBSPACE);
          x.quantifications()[1 * 8 + 4] = Double.NaN; // dimension 2, slot of b2
        }));
    assertTrue(unwritten.getMessage().contains("category 'b2' of variable 'b' on dimension 2"),
        unwritten.getMessage());
    AnalysisFailedException infinite =
        assertThrows(AnalysisFailedException.class, () -> analysis().run(x -> {
          fill(x, StopReason.ITERATION_BOUND);
          x.objectScores()[1] = Double.POSITIVE_INFINITY;
        }));
    assertTrue(infinite.getMessage().contains("object 2 on dimension 1"), infinite.getMessage());
    AnalysisFailedException second =
        assertThrows(AnalysisFailedException.class, () -> analysis().run(x -> {
          fill(x, StopReason.SUBSPACE);
          x.objectScores()[1 * N + 2] = Double.NEGATIVE_INFINITY;
        }));
    assertTrue(second.getMessage().contains("score of -Infinity for object 3 on dimension 2"),
        second.getMessage());
    // Scores of objects that take no part are not checked: their values carry no meaning.
    analysis().run(x -> {
      fill(x, StopReason.SUBSPACE);
      x.objectScores()[4] = Double.NaN;
    });
  }

  @Test
  void tiesBecomeGroupsOfDimensions() {
    // For each dimension, the last one (possibly past P) whose eigenvalue it shares.
    int[][] tiedThrough = {{0, 1, 2}, {1, 1, 2}, {0, 3, 3}, {2, 2, 2}, {0, 2, 2, 4, 4}};
    String[] groups = {"[]", "[[0, 1]]", "[[1, 2, 3]]", "[[0, 1, 2]]", "[[1, 2], [3, 4]]"};
    for (int c = 0; c < groups.length; c++) {
      assertEquals(groups[c], ResultAssembler.tieGroups(tiedThrough[c]).toString());
    }
  }
}
