package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import java.util.Random;
import java.util.SplittableRandom;
import java.util.stream.Stream;
import org.apache.commons.math3.distribution.FDistribution;
import org.apache.commons.math3.distribution.NormalDistribution;
import org.junit.jupiter.api.Named;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Test values, correlation ratios and numeric correlations. The expected values are computed
 * here from the textbook formulas on the objects repeated as many times as their weights, without
 * weights: that weights count as frequencies is what the results must show.
 */
class DimensionStatisticsTest {
  static final int N = 10;
  // Object 4 has no active value and object 5 weighs 0: neither takes part. Every object that
  // takes part is in category "all" of k, and none in "none".
  static final int[] A = {1, 2, 3, 1, 0, 2, 3, 1, 2, 3};
  static final int[] B = {2, 1, 0, 1, 0, 2, 1, 2, 2, 1};
  static final int[] K = {1, 1, 1, 1, 2, 1, 1, 1, 1, 1};
  static final int[] WEIGHTS = {1, 2, 1, 3, 2, 0, 2, 1, 4, 1};
  static final int P = 2;

  /**
   * A result whose scores follow a's categories on dimension 1 and, less, on dimension 2, with
   * noise, so that some test values pass 2; the other outputs are noise.
   */
  static HomalsResult result() {
    HomalsAnalysis analysis =
        HomalsAnalysis.builder()
            .variable(Variable.ofCodes("a", A, List.of("a1", "a2", "a3")))
            .variable(Variable.ofCodes("b", B, List.of("b1", "b2")))
            .variable(Variable.ofCodes("k", K, List.of("all", "none")).passive())
            .weights(WEIGHTS)
            .dimensions(P)
            .build();
    return analysis.run(x -> {
      Random random = new Random(7);
      for (double[] output : List.of(x.quantifications(), x.centroids(), x.eigenvalues())) {
        for (int e = 0; e < output.length; e++) {
          output[e] = random.nextGaussian();
        }
      }
      for (int d = 0; d < P; d++) {
        for (int i = 0; i < N; i++) {
          x.objectScores()[d * N + i] =
              (A[i] - 2) * (d == 0 ? 1 : -0.4) + 0.3 * random.nextGaussian();
        }
      }
      x.report()[HomalsNative.REPORT_STOP_REASON] = StopReason.SUBSPACE.code();
      x.report()[HomalsNative.REPORT_SOLVER] = Solver.CROSS_TABLE.code();
    });
  }

  /** The objects that take part, each repeated as often as its weight. */
  static List<Integer> repeated() {
    List<Integer> objects = new ArrayList<>();
    for (int i = 0; i < N; i++) {
      boolean takesPart = A[i] > 0 || B[i] > 0;
      for (int copy = 0; takesPart && copy < WEIGHTS[i]; copy++) {
        objects.add(i);
      }
    }
    return objects;
  }

  static double mean(List<Integer> objects, double[] x) {
    return objects.stream().mapToDouble(i -> x[i]).sum() / objects.size();
  }

  static double squares(List<Integer> objects, double[] x, double about) {
    return objects.stream().mapToDouble(i -> (x[i] - about) * (x[i] - about)).sum();
  }

  @Test
  void testValuesAndCorrelationRatiosFollowTheirDefinitions() {
    HomalsResult result = result();
    List<Integer> all = repeated();
    NormalDistribution normal = new NormalDistribution();
    int[][] codes = {A, B, K};
    for (int index = 0; index < 3; index++) {
      VariableResult variable = result.variables().get(index);
      int[] code = codes[index];
      List<Integer> observed = all.stream().filter(i -> code[i] > 0).toList();
      for (int d = 0; d < P; d++) {
        double[] x = result.dimensionScores(d);
        int n = all.size();
        double grand = mean(all, x);
        double variance = squares(all, x, grand) / n;
        double within = mean(observed, x);
        double between = 0;
        int categories = 0;
        for (int c = 0; c < variable.categories().size(); c++) {
          int category = c + 1;
          List<Integer> members = all.stream().filter(i -> code[i] == category).toList();
          int nc = members.size();
          String what = variable.name() + " " + variable.categories().get(c) + ", dimension " + d;
          if (nc == 0 || nc == n) {
            assertTrue(Double.isNaN(variable.vTest(c, d)), what);
            assertTrue(Double.isNaN(variable.vTestP(c, d)), what);
            continue;
          }
          double mean = mean(members, x);
          double v = (mean - grand) / Math.sqrt(variance / nc * (n - nc) / (n - 1.0));
          assertEquals(v, variable.vTest(c, d), 1e-12, what);
          assertEquals(
              2 * (1 - normal.cumulativeProbability(Math.abs(v))), variable.vTestP(c, d), 1e-12);
          between += nc * (mean - within) * (mean - within);
          categories++;
        }
        String what = variable.name() + ", dimension " + d;
        double eta = between / squares(observed, x, within);
        assertEquals(eta, variable.etaSquared(d), 1e-12, what);
        double expectedP = Double.NaN;
        if (categories > 1) {
          double f = eta / (categories - 1) / ((1 - eta) / (observed.size() - categories));
          expectedP = 1
              - new FDistribution(categories - 1, observed.size() - categories)
                    .cumulativeProbability(f);
        }
        assertEquals(expectedP, variable.etaSquaredP(d), 1e-12, what);
      }
    }
  }

  /**
   * Each dimension's description: every variable by decreasing correlation ratio, the one
   * without any last; exactly the categories with |v| above 2, by decreasing v.
   */
  @Test
  void descriptionsOrderVariablesAndKeepTheCategoriesPastTwo() {
    HomalsResult result = result();
    for (int d = 0; d < P; d++) {
      DimensionDescription description = result.describe(d);
      List<String> byEta = description.variables()
                               .stream()
                               .map(DimensionDescription.VariableEntry::variable)
                               .toList();
      List<String> expected = new ArrayList<>(List.of("a", "b"));
      if (result.variable("b").etaSquared(d) > result.variable("a").etaSquared(d)) {
        expected = List.of("b", "a");
      }
      assertEquals(List.of(expected.get(0), expected.get(1), "k"), byEta);
      List<Double> kept = new ArrayList<>();
      for (VariableResult v : result.variables()) {
        for (int c = 0; c < v.categories().size(); c++) {
          if (Math.abs(v.vTest(c, d)) > 2) {
            kept.add(v.vTest(c, d));
          }
        }
      }
      kept.sort((x, y) -> Double.compare(y, x));
      assertEquals(kept,
          description.categories()
              .stream()
              .map(DimensionDescription.CategoryEntry::vTest)
              .toList());
    }
    assertTrue(
        result.describe(0).categories().size() >= 2, "the fixture should pass 2 at both ends");
    assertThrows(IndexOutOfBoundsException.class, () -> result.describe(P));
  }

  /** The same data, once as a table of counts and once as one row per person. */
  static Stream<Arguments> completeData() throws IOException {
    TestData.Coded table = TestData.readCoded(TestData.data("haireyecolor.csv"));
    TestData.Coded persons = TestData.readCoded(TestData.data("haireyecolor-persons.csv"));
    return Stream.of(
        Arguments.of(Named.of("counts as weights", hairEye(table, table.column("weight")))),
        Arguments.of(Named.of("one row per person", hairEye(persons, null))),
        Arguments.of(Named.of("survey weights, three dimensions", surveyed())));
  }

  static HomalsResult hairEye(TestData.Coded data, int[] weights) {
    return HomalsAnalysis.builder()
        .variable(Variable.ofCodes("Hair", data.column("Hair")))
        .variable(Variable.ofCodes("Eye", data.column("Eye")))
        .variable(Variable.ofCodes("Sex", data.column("Sex")).passive())
        .weights(weights)
        .build()
        .run();
  }

  /** Four variables of three categories, complete, with weights that are not whole. */
  static HomalsResult surveyed() {
    SplittableRandom random = new SplittableRandom(11);
    int n = 300;
    double[] weights = new double[n];
    int[][] codes = new int[4][n];
    for (int i = 0; i < n; i++) {
      weights[i] = 0.25 + random.nextDouble() * 3;
      double trait = random.nextGaussian();
      for (int[] variable : codes) {
        variable[i] = Math.max(1, Math.min(3, (int) Math.floor(trait + random.nextGaussian() + 2)));
      }
    }
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder().weights(weights).dimensions(3);
    for (int j = 0; j < codes.length; j++) {
      Variable variable = Variable.ofCodes("v" + j, codes[j]);
      builder.variable(j == 3 ? variable.passive() : variable);
    }
    return builder.build().run();
  }

  /**
   * Without missing values the scores have weighted mean 0 and weighted variance W / W, so the
   * correlation ratio of a multiple variable, active or passive, is its discrimination measure.
   */
  @ParameterizedTest(name = "{0}")
  @MethodSource("completeData")
  void onCompleteDataTheCorrelationRatioIsTheDiscriminationMeasure(HomalsResult result) {
    for (VariableResult v : result.variables()) {
      for (int d = 0; d < result.dimensions(); d++) {
        assertEquals(v.discrimination(d), v.etaSquared(d), 1e-9, v.name() + ", dimension " + d);
      }
    }
  }

  /** A table of counts and its persons give the same test values: weights are frequencies. */
  @Test
  void countsAsWeightsGiveThePersonsTestValues() throws IOException {
    TestData.Coded table = TestData.readCoded(TestData.data("haireyecolor.csv"));
    HomalsResult counted = hairEye(table, table.column("weight"));
    HomalsResult persons =
        hairEye(TestData.readCoded(TestData.data("haireyecolor-persons.csv")), null);
    for (String name : List.of("Hair", "Eye", "Sex")) {
      for (int c = 0; c < counted.variable(name).categories().size(); c++) {
        for (int d = 0; d < 2; d++) {
          assertEquals(persons.variable(name).vTest(c, d), counted.variable(name).vTest(c, d), 1e-9,
              name + " " + c + ", dimension " + d);
          assertEquals(persons.variable(name).etaSquaredP(d), counted.variable(name).etaSquaredP(d),
              1e-9 * persons.variable(name).etaSquaredP(d) + 1e-300);
        }
      }
    }
  }

  /**
   * Two-sided normal p-values at known quantiles; F p-values at known critical values, and, for 2
   * numerator degrees of freedom, P(F &gt; f) = (1 + 2 f / m)<sup>-m/2</sup> in closed form, far
   * into the tail where one minus the distribution function is 0.
   */
  @ParameterizedTest(name = "{0}: {1} on ({2}, {3}) -> {4}")
  @CsvSource({
      "normal, 1.959963984540054, 0, 0, 0.05",
      "normal, -2.5758293035489004, 0, 0, 0.01",
      "normal, 3.2905267314919255, 0, 0, 0.001",
      "normal, 0, 0, 0, 1",
      "normal, 10, 0, 0, 1.523970604832105e-23",
      "F, 4.102821015130399, 2, 10, 0.05",
      "F, 4.938193382310193, 3, 20, 0.01",
      "F, 4.170876785766691, 1, 30, 0.05",
      "F, 0, 3, 12, 1",
      "F, 100, 2, 400, 6.0499e-36",
  })
  void
  pValuesMatchTheDistributions(String law, double statistic, int df1, int df2, double p) {
    if (law.equals("normal")) {
      assertEquals(p, Association.normalP(statistic), 1e-12 * p);
      return;
    }
    // The F statistic of a correlation ratio, and back: eta2 = F df1 / (F df1 + df2).
    double eta = statistic * df1 / (statistic * df1 + df2);
    double expected = p < 1e-30 ? Math.pow(1 + 2 * statistic / df2, -df2 / 2.0) : p;
    assertEquals(expected, Association.etaSquaredP(eta, df1 + 1, df1 + 1 + df2), 1e-9 * expected);
    assertEquals(p, expected, 1e-4 * p, "the closed form against the value in the table");
  }

  /**
   * The weighted Pearson correlation of a numeric variable with the scores, over the objects
   * that take part and have a value: object 2 has none (NaN), object 4 takes no part, object 5
   * weighs nothing.
   */
  @Test
  void numericVariablesCorrelateOverTheObjectsWithAValue() {
    HomalsResult result = result();
    double[] values = {3.5, Double.NaN, -1, 2, 100, -100, 0.5, 4, 1.25, -2};
    NumericCorrelation numeric = result.correlation("income", values);
    List<Integer> objects = repeated().stream().filter(i -> !Double.isNaN(values[i])).toList();
    assertEquals(objects.size(), numeric.observedWeight());
    assertEquals(7, numeric.observedCount());
    double valueMean = mean(objects, values);
    for (int d = 0; d < P; d++) {
      double[] x = result.dimensionScores(d);
      double scoreMean = mean(objects, x);
      double product =
          objects.stream().mapToDouble(i -> (values[i] - valueMean) * (x[i] - scoreMean)).sum();
      double expected =
          product / Math.sqrt(squares(objects, values, valueMean) * squares(objects, x, scoreMean));
      assertEquals(expected, numeric.correlation(d), 1e-12, "dimension " + d);
    }
    assertTrue(Double.isNaN(result.correlation("flat", new double[N]).correlation(0)));
    assertThrows(IllegalArgumentException.class, () -> result.correlation("short", new double[3]));
    double[] infinite = values.clone();
    infinite[3] = Double.POSITIVE_INFINITY;
    assertThrows(IllegalArgumentException.class, () -> result.correlation("inf", infinite));
  }
}
