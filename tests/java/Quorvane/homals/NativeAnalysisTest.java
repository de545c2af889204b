package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.util.List;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.EnumSource;
import org.junit.jupiter.params.provider.ValueSource;

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
        .dimensions(3);
  }

  /** Counts as weights, one row per person, and the persons in another order. */
  @Test
  void equivalentInputsGiveTheSameSolutionWithTheSameSigns() {
    int n = persons.rows().length;
    int[] order = new int[n];
    for (int i = 0; i < n; i++) {
      order[i] = (int) ((i * 389L) % n); // 389 is prime to 592: a permutation
    }
    TestData.Coded shuffled = new TestData.Coded(persons.names(), new int[n][]);
    for (int i = 0; i < n; i++) {
      shuffled.rows()[i] = persons.rows()[order[i]];
    }
    HomalsResult expanded = hairEyeSex(persons).build().run();
    assertTrue(expanded.converged());
    for (HomalsResult other :
        List.of(hairEyeSex(table).weights(table.column("weight")).build().run(),
            hairEyeSex(shuffled).build().run())) {
      assertArrayEquals(expanded.eigenvalues(), other.eigenvalues(), 1e-9);
      for (String name : List.of("hair", "eye", "sex")) {
        for (int c = 0; c < expanded.variable(name).categories().size(); c++) {
          assertEquals(expanded.variable(name).frequency(c), other.variable(name).frequency(c));
          assertArrayEquals(expanded.variable(name).quantifications()[c],
              other.variable(name).quantifications()[c], 1e-7, name + " category " + c);
        }
      }
    }
  }

  /**
   * Two yes/no variables with correlation r: the two dimensions span the whole space from the
   * first iteration, and only the rotation to principal axes makes them the eigenvectors, with
   * eigenvalues (1 + r) / 2 and (1 - r) / 2 and both variables discriminating equally.
   */
  @Test
  void twoBinaryVariablesGiveTheirExactEigenvalues() {
    int[][] cells = {{1, 1, 400}, {1, 2, 100}, {2, 1, 100}, {2, 2, 400}}; // r = 0.6
    int[] first = new int[1000];
    int[] second = new int[1000];
    int i = 0;
    for (int[] cell : cells) {
      for (int copy = 0; copy < cell[2]; copy++, i++) {
        first[i] = cell[0];
        second[i] = cell[1];
      }
    }
    HomalsResult result = HomalsAnalysis.builder()
                              .variable(Variable.ofCodes("first", first, List.of("no", "yes")))
                              .variable(Variable.ofCodes("second", second, List.of("no", "yes")))
                              .build()
                              .run();
    assertTrue(result.converged());
    assertArrayEquals(new double[] {0.8, 0.2}, result.eigenvalues(), 1e-12);
    for (int d = 0; d < 2; d++) {
      assertEquals(result.variable("first").discrimination(d),
          result.variable("second").discrimination(d), 1e-12);
    }
  }

  /** The cross-table and the passes over the objects solve the same analysis. */
  @Test
  void bothSolversGiveTheSameSolution() {
    HomalsAnalysis.Builder mixed =
        HomalsAnalysis.builder()
            .variable(Variable.ofCodes("hair", persons.column("Hair"), HAIR))
            .variable(Variable.ofCodes("eye", persons.column("Eye"), EYE)
                          .single(Quantification.SINGLE_ORDINAL))
            .variable(Variable.ofCodes("sex", persons.column("Sex"), SEX)
                          .passive()
                          .single(Quantification.SINGLE_NOMINAL))
            .dimensions(2);
    HomalsResult objects = mixed.solver(Solver.OBJECTS).build().run();
    HomalsResult table = mixed.solver(Solver.CROSS_TABLE).build().run();
    assertEquals(Solver.OBJECTS, objects.solver());
    assertEquals(Solver.CROSS_TABLE, table.solver());
    assertArrayEquals(objects.eigenvalues(), table.eigenvalues(), 1e-10);
    for (String name : List.of("hair", "eye", "sex")) {
      for (int c = 0; c < objects.variable(name).categories().size(); c++) {
        assertArrayEquals(objects.variable(name).quantifications()[c],
            table.variable(name).quantifications()[c], 1e-7, name);
      }
    }
  }

  /** Every active variable of a coded table, multiple nominal, with its largest code as k. */
  static HomalsAnalysis.Builder allColumns(TestData.Coded data) {
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder();
    for (String name : data.names()) {
      builder.variable(Variable.ofCodes(name, data.column(name)));
    }
    return builder;
  }

  /**
   * With every dimension the data carry, the eigenvalues sum to the total inertia and every
   * active category's qualities sum to 1, with missing values as on complete data (the persons,
   * 4 + 4 + 2 categories: total (10 - 3) / 3); contributions sum to 100 per dimension; on
   * complete data the adjusted total is Greenacre's (Q / (Q - 1)) (the sum of the squared
   * eigenvalues - (J - Q) / Q^2). With missing values a variable's categories no longer sum to
   * the constant: 3 + 2 + 3 categories, one variable complete, carry 7 dimensions.
   */
  @ParameterizedTest(name = "missing values: {0}")
  @ValueSource(booleans = {false, true})
  void inertiaContributionsAndQualitiesFollowTheirDefinitions(boolean missing) {
    HomalsAnalysis.Builder builder;
    int dimensions;
    if (missing) {
      int n = 60;
      int[] a = new int[n];
      int[] b = new int[n];
      int[] c = new int[n];
      for (int i = 0; i < n; i++) {
        a[i] = 1 + (i * 7) % 3;
        b[i] = i % 5 == 0 ? 0 : 1 + (i * 11 / 3) % 2;
        c[i] = i % 7 == 3 ? 0 : 1 + (i * 5 + i / 4) % 3;
      }
      builder = HomalsAnalysis.builder()
                    .variable(Variable.ofCodes("a", a))
                    .variable(Variable.ofCodes("b", b))
                    .variable(Variable.ofCodes("c", c));
      dimensions = 7;
    } else {
      builder = hairEyeSex(persons);
      dimensions = 7;
    }
    HomalsResult all = builder.dimensions(dimensions).build().run();
    assertTrue(all.converged());
    double sum = 0;
    double squares = 0;
    for (double e : all.eigenvalues()) {
      sum += e;
      squares += e * e;
    }
    Inertia inertia = all.inertia();
    assertEquals(inertia.total(), sum, 1e-9);
    if (!missing) {
      assertEquals(7.0 / 3, inertia.total(), 1e-12);
      assertEquals(1.5 * (squares - 7.0 / 9), inertia.adjustedTotal(), 1e-9);
      // The pairwise tables counted here when the library has no cross-table to give.
      assertEquals(inertia.adjustedTotal(),
          builder.solver(Solver.OBJECTS).build().run().inertia().adjustedTotal(), 1e-12);
    }
    for (int d = 0; d < dimensions; d++) {
      assertEquals(100 * all.eigenvalue(d) / inertia.total(), inertia.percent()[d], 1e-9);
      double contributions = 0;
      for (VariableResult v : all.variables()) {
        for (int c = 0; c < v.categories().size(); c++) {
          contributions += v.contribution(c, d);
        }
      }
      assertEquals(100, contributions, 1e-9);
    }
    for (VariableResult v : all.variables()) {
      for (int c = 0; c < v.categories().size(); c++) {
        double quality = 0;
        for (int d = 0; d < dimensions; d++) {
          quality += v.quality(c, d);
        }
        assertEquals(1, quality, 1e-8, v.name() + " " + v.categories().get(c));
      }
    }
  }

  @Test
  void aRunEndedByItsBoundSaysSo() {
    HomalsResult result =
        hairEyeSex(persons).solver(Solver.CROSS_TABLE).maxIterations(3).build().run();
    assertEquals(3, result.iterations());
    assertEquals(StopReason.ITERATION_BOUND, result.stopReason());
    assertFalse(result.converged());
  }

  @Test
  void aPassiveVariableLeavesTheActiveSolutionAlone() {
    HomalsResult without = HomalsAnalysis.builder()
                               .variable(Variable.ofCodes("hair", persons.column("Hair"), HAIR))
                               .variable(Variable.ofCodes("eye", persons.column("Eye"), EYE))
                               .build()
                               .run();
    HomalsResult with = HomalsAnalysis.builder()
                            .variable(Variable.ofCodes("sex", persons.column("Sex"), SEX).passive())
                            .variable(Variable.ofCodes("hair", persons.column("Hair"), HAIR))
                            .variable(Variable.ofCodes("eye", persons.column("Eye"), EYE))
                            .build()
                            .run();
    assertArrayEquals(without.eigenvalues(), with.eigenvalues(), 1e-12);
    for (int i = 0; i < without.objectCount(); i++) {
      assertArrayEquals(without.objectScores(i), with.objectScores(i), 1e-12);
    }
    assertEquals(592, with.variable("sex").frequency(0) + with.variable("sex").frequency(1));
    // Passive categories are weighted means of centred scores: their weighted mean is zero.
    VariableResult sex = with.variable("sex");
    for (int d = 0; d < 2; d++) {
      assertEquals(0,
          sex.frequency(0) * sex.quantification(0, d) + sex.frequency(1) * sex.quantification(1, d),
          1e-9);
    }
  }

  /** The restriction that each quantification imposes is visible in the exported values. */
  @ParameterizedTest
  @EnumSource(Quantification.class)
  void eachQuantificationReachesTheNativeLibrary(Quantification q) {
    HomalsResult result =
        HomalsAnalysis.builder()
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
