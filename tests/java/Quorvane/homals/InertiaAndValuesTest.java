package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * The adjusted inertia where it is best known and where data are missing, category values for
 * numerical variables, and real weights, on analyses run through the library.
 */
class InertiaAndValuesTest {
  /**
   * Snee's hair and eye colours of 592 students: with two variables the adjusted eigenvalues are
   * the principal inertias of the simple correspondence analysis of their two-way table, found
   * here from its standardised residuals, and their shares are the published 89.4, 9.5 and 1.1 %.
   */
  @Test
  void twoVariablesGiveTheSimpleAnalysisOfTheirTable() throws IOException {
    TestData.Coded table = TestData.readCoded(TestData.data("haireyecolor.csv"));
    HomalsResult result = HomalsAnalysis.builder()
                              .variable(Variable.ofCodes("hair", table.column("Hair")))
                              .variable(Variable.ofCodes("eye", table.column("Eye")))
                              .weights(table.column("weight"))
                              .dimensions(3)
                              .build()
                              .run();
    double[][] counts = new double[4][4];
    for (int i = 0; i < table.rows().length; i++) {
      counts[table.column("Hair")[i] - 1][table.column("Eye")[i] - 1] += table.column("weight")[i];
    }
    double[] inertias = principalInertias(counts);
    Inertia inertia = result.inertia();
    assertEquals("greenacre", inertia.adjustment());
    for (int d = 0; d < 3; d++) {
      assertEquals(inertias[d], inertia.adjustedEigenvalues()[d], 1e-12, "dimension " + d);
    }
    double[] published = {89.4, 9.5, 1.1};
    for (int d = 0; d < 3; d++) {
      assertEquals(published[d], Math.round(inertia.adjustedPercent()[d] * 10) / 10.0);
    }
  }

  /** With missing votes the adjusted shares of every dimension the data have sum to 100. */
  @Test
  void missingValuesNeverTakeTheAdjustedSharesPast100() throws IOException {
    HomalsResult result = TestData.votes(16, null);
    Inertia inertia = result.inertia();
    assertEquals("benzecri (missing values)", inertia.adjustment());
    double sum = Arrays.stream(inertia.adjustedPercent()).sum();
    assertTrue(sum <= 100 + 1e-9, "sum " + sum);
    assertTrue(sum > 99, "sum " + sum);
  }

  /**
   * A numerical variable's quantifications are spaced as its values are: the labels' numbers
   * when they all are numbers, else the values given.
   */
  @Test
  void numericalQuantificationsAreSpacedByTheValues() {
    double[] values = {0.5, 2.5, 6, 9, 13, 16.5, 23};
    int n = 400;
    String[] labels = new String[n];
    int[] codes = new int[n];
    int[] other = new int[n];
    int[] third = new int[n];
    java.util.Random random = new java.util.Random(9);
    for (int i = 0; i < n; i++) {
      int c = random.nextInt(values.length);
      codes[i] = c + 1;
      labels[i] = c == 2 || c == 3 ? Integer.toString((int) values[c]) : Double.toString(values[c]);
      other[i] = 1 + Math.min(2, Math.max(0, (c + random.nextInt(3) - 1) / 3));
      third[i] = 1 + Math.min(1, Math.max(0, c / 4 + random.nextInt(2) - random.nextInt(2)));
    }
    Variable fromLabels = Variable.ofLabels("dose", Arrays.asList(labels));
    Variable fromValues =
        Variable.ofCodes("dose", codes, List.of("a", "b", "c", "d", "e", "f", "g"))
            .withValues(values);
    for (Variable dose : List.of(fromLabels, fromValues)) {
      HomalsResult result = HomalsAnalysis.builder()
                                .variable(dose.single(Quantification.SINGLE_NUMERICAL))
                                .variable(Variable.ofCodes("other", other))
                                .variable(Variable.ofCodes("third", third))
                                .dimensions(1)
                                .build()
                                .run();
      double[][] q = result.variable("dose").quantifications();
      for (int c = 2; c < values.length; c++) {
        assertEquals((values[c] - values[0]) / (values[1] - values[0]),
            (q[c][0] - q[0][0]) / (q[1][0] - q[0][0]), 1e-9, "category " + c);
      }
    }
  }

  /** Survey weights with all their digits; multiplied by one factor, they change nothing. */
  @Test
  void realWeightsAreAcceptedAndTheirScaleChangesNothing() throws IOException {
    TestData.Coded persons = TestData.readCoded(TestData.data("haireyecolor-persons.csv"));
    int n = persons.rows().length;
    double[] weights = new double[n];
    double[] scaled = new double[n];
    for (int i = 0; i < n; i++) {
      weights[i] = 0.3 + (i * 0.7364645472846747) % 4;
      scaled[i] = weights[i] * 3.1;
    }
    HomalsResult[] results = new HomalsResult[2];
    for (int r = 0; r < 2; r++) {
      results[r] = HomalsAnalysis.builder()
                       .variable(Variable.ofCodes("hair", persons.column("Hair")))
                       .variable(Variable.ofCodes("eye", persons.column("Eye")))
                       .variable(Variable.ofCodes("sex", persons.column("Sex")))
                       .weights(r == 0 ? weights : scaled)
                       .build()
                       .run();
    }
    assertEquals(weights[1], results[0].analysis().weight(1));
    for (int d = 0; d < 2; d++) {
      assertEquals(results[0].eigenvalue(d), results[1].eigenvalue(d), 1e-12);
      for (int i = 0; i < n; i++) {
        assertEquals(results[0].objectScore(i, d), results[1].objectScore(i, d), 1e-10);
      }
    }
  }

  /** The eigenvalues of S'S for the standardised residuals S of a two-way table, decreasing. */
  static double[] principalInertias(double[][] counts) {
    int rows = counts.length;
    int columns = counts[0].length;
    double total = 0;
    double[] r = new double[rows];
    double[] c = new double[columns];
    for (int a = 0; a < rows; a++) {
      for (int b = 0; b < columns; b++) {
        total += counts[a][b];
        r[a] += counts[a][b];
        c[b] += counts[a][b];
      }
    }
    double[][] s = new double[rows][columns];
    for (int a = 0; a < rows; a++) {
      for (int b = 0; b < columns; b++) {
        double expected = r[a] * c[b] / total;
        s[a][b] = (counts[a][b] - expected) / Math.sqrt(expected * total);
      }
    }
    double[][] m = new double[columns][columns];
    for (int x = 0; x < columns; x++) {
      for (int y = 0; y < columns; y++) {
        for (int a = 0; a < rows; a++) {
          m[x][y] += s[a][x] * s[a][y];
        }
      }
    }
    double[] eigenvalues = jacobiEigenvalues(m);
    Arrays.sort(eigenvalues);
    double[] decreasing = new double[columns];
    for (int d = 0; d < columns; d++) {
      decreasing[d] = eigenvalues[columns - 1 - d];
    }
    return decreasing;
  }

  /** The eigenvalues of a small symmetric matrix by cyclic Jacobi rotations. */
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
      if (off < 1e-40) {
        break;
      }
      for (int p = 0; p < n; p++) {
        for (int q = p + 1; q < n; q++) {
          if (a[p][q] == 0) {
            continue;
          }
          double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
          double t = Math.signum(theta) / (Math.abs(theta) + Math.sqrt(theta * theta + 1));
          if (theta == 0) {
            t = 1;
          }
          double cos = 1 / Math.sqrt(t * t + 1);
          double sin = t * cos;
          for (int k = 0; k < n; k++) {
            double kp = a[k][p];
            double kq = a[k][q];
            a[k][p] = cos * kp - sin * kq;
            a[k][q] = sin * kp + cos * kq;
          }
          for (int k = 0; k < n; k++) {
            double pk = a[p][k];
            double qk = a[q][k];
            a[p][k] = cos * pk - sin * qk;
            a[q][k] = sin * pk + cos * qk;
          }
        }
      }
    }
    double[] values = new double[n];
    for (int i = 0; i < n; i++) {
      values[i] = a[i][i];
    }
    return values;
  }
}
