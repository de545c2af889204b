package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.EnumSource;

/** Analyses through the native library, checked against independent computations. */
class NativeAnalysisTest {
  static final List<String> HAIR = List.of("Black", "Brown", "Red", "Blond");
  static final List<String> EYE = List.of("Brown", "Blue", "Hazel", "Green");
  static final List<String> SEX = List.of("Male", "Female");

  static TestData.Coded table;
  static TestData.Coded persons;

  @BeforeAll
  static void read() throws IOException {
    table = TestData.readCoded(TestData.data("haireyecolor.csv"));
    persons = TestData.readCoded(TestData.data("haireyecolor-persons.csv"));
  }

  static HomalsAnalysis.Builder hairEyeSex(TestData.Coded data) {
    return HomalsAnalysis.builder()
        .variable(Variable.ofCodes("hair", data.column("Hair"), HAIR))
        .variable(Variable.ofCodes("eye", data.column("Eye"), EYE))
        .variable(Variable.ofCodes("sex", data.column("Sex"), SEX))
        .dimensions(3)
        .maxIterations(5000)
        .fitTolerance(0)
        .cosineTolerance(1e-15);
  }

  @Test
  void countsAsWeightsGiveTheSameSolutionAsOneRowPerPerson() {
    HomalsResult weighted = hairEyeSex(table).weights(table.column("weight")).build().run();
    HomalsResult expanded = hairEyeSex(persons).build().run();
    assertArrayEquals(expanded.eigenvalues(), weighted.eigenvalues(), 1e-9);
    for (String name : List.of("hair", "eye", "sex")) {
      VariableResult w = weighted.variable(name);
      VariableResult e = expanded.variable(name);
      for (int c = 0; c < w.categories().size(); c++) {
        assertEquals(e.frequency(c), w.frequency(c));
        for (int d = 0; d < 3; d++) {
          // Each dimension's sign is arbitrary; compare up to it.
          double sign = Math.signum(e.quantification(0, d)) * Math.signum(w.quantification(0, d));
          assertEquals(e.quantification(c, d), sign * w.quantification(c, d), 1e-6,
              name + " " + w.categories().get(c) + " dimension " + d);
        }
      }
    }
  }

  /**
   * With complete data and every variable multiple nominal, the eigenvalues are those of the
   * Burt matrix C scaled as D^-1/2 C D^-1/2 / M, after the trivial eigenvalue 1.
   */
  @Test
  void eigenvaluesAreThoseOfTheScaledBurtMatrix() {
    int[][] columns = {persons.column("Hair"), persons.column("Eye"), persons.column("Sex")};
    int[] offsets = {0, 4, 8};
    int size = 10;
    double[][] burt = new double[size][size];
    for (int i = 0; i < columns[0].length; i++) {
      for (int j = 0; j < 3; j++) {
        for (int l = 0; l < 3; l++) {
          burt[offsets[j] + columns[j][i] - 1][offsets[l] + columns[l][i] - 1] += 1;
        }
      }
    }
    double[][] scaled = new double[size][size];
    for (int r = 0; r < size; r++) {
      for (int s = 0; s < size; s++) {
        scaled[r][s] = burt[r][s] / Math.sqrt(burt[r][r] * burt[s][s]) / 3;
      }
    }
    double[] eigen = jacobiEigenvalues(scaled);
    Arrays.sort(eigen);
    double[] expected = {eigen[size - 2], eigen[size - 3], eigen[size - 4]};
    assertEquals(1.0, eigen[size - 1], 1e-12);

    HomalsResult result = hairEyeSex(persons).build().run();
    assertArrayEquals(expected, result.eigenvalues(), 1e-8);
  }

  /** Eigenvalues of a symmetric matrix by cyclic Jacobi rotations. */
  static double[] jacobiEigenvalues(double[][] matrix) {
    int n = matrix.length;
    double[][] a = new double[n][];
    for (int i = 0; i < n; i++) {
      a[i] = matrix[i].clone();
    }
    for (int sweep = 0; sweep < 100; sweep++) {
      double off = 0;
      for (int p = 0; p < n; p++) {
        for (int q = p + 1; q < n; q++) {
          off += a[p][q] * a[p][q];
        }
      }
      if (off < 1e-30) {
        break;
      }
      for (int p = 0; p < n; p++) {
        for (int q = p + 1; q < n; q++) {
          if (Math.abs(a[p][q]) < 1e-300) {
            continue;
          }
          double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
          double t = Math.signum(theta) / (Math.abs(theta) + Math.sqrt(theta * theta + 1));
          if (theta == 0) {
            t = 1;
          }
          double c = 1 / Math.sqrt(t * t + 1);
          double s = t * c;
          for (int k = 0; k < n; k++) {
            double akp = a[k][p];
            double akq = a[k][q];
            a[k][p] = c * akp - s * akq;
            a[k][q] = s * akp + c * akq;
          }
          for (int k = 0; k < n; k++) {
            double apk = a[p][k];
            double aqk = a[q][k];
            a[p][k] = c * apk - s * aqk;
            a[q][k] = s * apk + c * aqk;
          }
        }
      }
    }
    double[] diagonal = new double[n];
    for (int i = 0; i < n; i++) {
      diagonal[i] = a[i][i];
    }
    return diagonal;
  }

  @Test
  void aPassiveVariableLeavesTheActiveSolutionAlone() {
    HomalsResult without = HomalsAnalysis.builder()
        .variable(Variable.ofCodes("hair", persons.column("Hair"), HAIR))
        .variable(Variable.ofCodes("eye", persons.column("Eye"), EYE))
        .build().run();
    HomalsResult with = HomalsAnalysis.builder()
        .variable(Variable.ofCodes("sex", persons.column("Sex"), SEX).passive())
        .variable(Variable.ofCodes("hair", persons.column("Hair"), HAIR))
        .variable(Variable.ofCodes("eye", persons.column("Eye"), EYE))
        .build().run();
    assertArrayEquals(without.eigenvalues(), with.eigenvalues(), 1e-12);
    for (int i = 0; i < without.objectCount(); i++) {
      assertArrayEquals(without.objectScores(i), with.objectScores(i), 1e-12);
    }
    assertEquals(592, with.variable("sex").frequency(0) + with.variable("sex").frequency(1));
    // Passive categories are weighted means of centred scores: their weighted mean is zero.
    VariableResult sex = with.variable("sex");
    for (int d = 0; d < 2; d++) {
      assertEquals(0, sex.frequency(0) * sex.quantification(0, d)
          + sex.frequency(1) * sex.quantification(1, d), 1e-9);
    }
  }

  /** The restriction that each quantification imposes is visible in the exported values. */
  @ParameterizedTest
  @EnumSource(Quantification.class)
  void eachQuantificationReachesTheNativeLibrary(Quantification q) {
    HomalsResult result = HomalsAnalysis.builder()
        .variable(Variable.ofCodes("hair", persons.column("Hair"), HAIR))
        .variable(Variable.ofCodes("eye", persons.column("Eye"), EYE).single(q))
        .variable(Variable.ofCodes("sex", persons.column("Sex"), SEX))
        .dimensions(2)
        .build()
        .run();
    double[][] y = result.variable("eye").quantifications();
    double rankOneGap = Math.abs(y[0][0] * y[1][1] - y[1][0] * y[0][1])
        + Math.abs(y[2][0] * y[3][1] - y[3][0] * y[2][1]);
    if (q == Quantification.MULTIPLE_NOMINAL) {
      assertTrue(rankOneGap > 1e-3, "a multiple variable is not rank one");
      return;
    }
    assertEquals(0, rankOneGap, 1e-9, "single: both dimensions proportional");
    for (int d = 0; d < 2; d++) {
      double[] steps = {y[1][d] - y[0][d], y[2][d] - y[1][d], y[3][d] - y[2][d]};
      if (q == Quantification.SINGLE_NUMERICAL) {
        assertEquals(steps[0], steps[1], 1e-9, "numerical: equally spaced");
        assertEquals(steps[1], steps[2], 1e-9, "numerical: equally spaced");
      } else if (q == Quantification.SINGLE_ORDINAL) {
        double sign = Math.signum(steps[0] + steps[1] + steps[2]);
        for (double step : steps) {
          assertTrue(sign * step >= -1e-9, "ordinal: monotone in category order");
        }
      } else {
        // Unrestricted scores: for this data the order is not monotone and not equally spaced.
        assertTrue(Math.abs(steps[0] - steps[1]) > 1e-3);
      }
    }
  }

  @Test
  void repeatedRunsAreIdentical() {
    HomalsAnalysis analysis = hairEyeSex(table).weights(table.column("weight")).build();
    HomalsResult first = analysis.run();
    HomalsResult second = analysis.run();
    assertArrayEquals(first.eigenvalues(), second.eigenvalues(), 0);
    assertArrayEquals(first.objectScores(0), second.objectScores(0), 0);
  }
}
