package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.List;
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
 * here from their definitions over the objects, as one-way analysis of variance of the scores
 * would; the library computes them from the categories' weights and centroids and three sums of
 * the scores, so agreement shows that nothing else is needed.
 */
class DimensionStatisticsTest {
  static final int N = 60;
  static final int P = 2;

  /**
   * Codes 1..k per variable, 0 missing: "a" drives the scores and is complete on the objects that
   * take part; "b" has missing values; "c" is single ordinal with an excluded category and
   * missing values; "k" is passive with missing values and a category no participating object
   * has. Object 0 has no active value and object 1 weighs 0: neither takes part. Weights are not
   * whole.
   */
  record Table(int[][] codes, double[] weights) {
    static Table make(boolean complete) {
      SplittableRandom random = new SplittableRandom(complete ? 5 : 3);
      int[][] codes = new int[4][N];
      double[] weights = new double[N];
      for (int i = 0; i < N; i++) {
        weights[i] = 0.5 + random.nextDouble() * 2;
        int trait = random.nextInt(3);
        codes[0][i] = trait + 1;
        codes[1][i] = random.nextInt(4) < 3 ? Math.min(2, trait + 1) : 3 - Math.min(2, trait + 1);
        codes[2][i] = 1 + (trait + random.nextInt(2)) % (complete ? 3 : 4);
        codes[3][i] = 1 + random.nextInt(2);
        if (!complete) {
          for (int j = 1; j < 4; j++) {
            codes[j][i] = random.nextInt(6) == 0 ? 0 : codes[j][i];
          }
        }
      }
      if (!complete) {
        for (int j = 0; j < 3; j++) {
          codes[j][0] = 0;
        }
        weights[1] = 0;
      }
      return new Table(codes, weights);
    }

    HomalsResult run() {
      return HomalsAnalysis.builder()
          .variable(Variable.ofCodes("a", codes[0], List.of("a1", "a2", "a3")))
          .variable(Variable.ofCodes("b", codes[1], List.of("b1", "b2")))
          .variable(Variable.ofCodes("c", codes[2], List.of("c1", "c2", "c3", "c4"))
                        .single(Quantification.SINGLE_ORDINAL)
                        .excluding("c4"))
          .variable(Variable.ofCodes("k", codes[3], List.of("k1", "k2", "none")).passive())
          .weights(weights)
          .dimensions(P)
          .build()
          .run();
    }
  }

  static Stream<Arguments> tables() {
    return Stream.of(Arguments.of(Named.of("missing values", Table.make(false))),
        Arguments.of(Named.of("complete data", Table.make(true))));
  }

  /** Weighted sums over the objects of one group. */
  static final class Group {
    double weight;
    double sum;
    double squares;

    void add(double w, double x) {
      weight += w;
      sum += w * x;
      squares += w * x * x;
    }

    double mean() { return sum / weight; }
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("tables")
  void testValuesAndCorrelationRatiosFollowTheirDefinitions(Table table) {
    HomalsResult result = table.run();
    NormalDistribution normal = new NormalDistribution();
    for (int j = 0; j < table.codes().length; j++) {
      VariableResult variable = result.variables().get(j);
      int[] code = table.codes()[j];
      int k = variable.categories().size();
      for (int d = 0; d < P; d++) {
        double[] x = result.dimensionScores(d);
        Group all = new Group();
        Group[] groups = new Group[k + 1]; // [0]: the objects missing on the variable
        Arrays.setAll(groups, g -> new Group());
        for (int i = 0; i < N; i++) {
          if (result.takesPart(i)) {
            all.add(table.weights()[i], x[i]);
            groups[code[i]].add(table.weights()[i], x[i]);
          }
        }
        double n = all.weight;
        double total = 0;
        for (int i = 0; i < N; i++) {
          if (result.takesPart(i)) {
            total += table.weights()[i] * (x[i] - all.mean()) * (x[i] - all.mean());
          }
        }
        double variance = total / n;
        double between = 0;
        int nonEmpty = 0;
        for (int g = 0; g <= k; g++) {
          double ng = groups[g].weight;
          if (ng > 0) {
            between += ng * (groups[g].mean() - all.mean()) * (groups[g].mean() - all.mean());
            nonEmpty++;
          }
          if (g == 0) {
            continue;
          }
          int c = g - 1;
          String what = variable.name() + " " + variable.categories().get(c) + ", dimension " + d;
          assertEquals(ng, variable.frequency(c), 1e-12, what);
          if (ng == 0) {
            assertTrue(Double.isNaN(variable.vTest(c, d)), what);
            assertTrue(Double.isNaN(variable.vTestP(c, d)), what);
            continue;
          }
          double v =
              (groups[g].mean() - all.mean()) / Math.sqrt(variance / ng * (n - ng) / (n - 1));
          assertEquals(v, variable.vTest(c, d), 1e-9, what);
          assertEquals(2 * normal.cumulativeProbability(-Math.abs(v)), variable.vTestP(c, d),
              1e-9 * variable.vTestP(c, d), what);
        }
        String what = variable.name() + ", dimension " + d;
        double eta = between / total;
        assertEquals(eta, variable.etaSquared(d), 1e-9, what);
        double f = eta / (nonEmpty - 1) / ((1 - eta) / (n - nonEmpty));
        double expected =
            1 - new FDistribution(nonEmpty - 1, n - nonEmpty).cumulativeProbability(f);
        assertEquals(expected, variable.etaSquaredP(d), 1e-9 * expected + 1e-15, what);
      }
    }
  }

  /**
   * Each dimension's description: every variable by decreasing correlation ratio, the one
   * without any last; exactly the categories with |v| above 2, by decreasing v.
   */
  @Test
  void descriptionsOrderVariablesAndKeepTheCategoriesPastTwo() {
    HomalsResult result = Table.make(false).run();
    for (int d = 0; d < P; d++) {
      DimensionDescription description = result.describe(d);
      int dimension = d;
      List<String> expected =
          result.variables()
              .stream()
              .sorted(Comparator.comparingDouble((VariableResult v) -> - v.etaSquared(dimension)))
              .map(VariableResult::name)
              .toList();
      assertEquals(expected,
          description.variables()
              .stream()
              .map(DimensionDescription.VariableEntry::variable)
              .toList());
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
    List<DimensionDescription.CategoryEntry> first = result.describe(0).categories();
    assertTrue(first.get(0).vTest() > 2 && first.get(first.size() - 1).vTest() < -2,
        "the fixture should pass 2 at both ends");
    assertThrows(IndexOutOfBoundsException.class, () -> result.describe(P));
  }

  /** Counts as weights, and a table with a single variable and an empty excluded category. */
  static Stream<Arguments> completeData() throws IOException {
    TestData.Coded table = TestData.readCoded(TestData.data("haireyecolor.csv"));
    return Stream.of(
        Arguments.of(Named.of("counts as weights", hairEye(table, table.column("weight")))),
        Arguments.of(
            Named.of("a single variable and an empty excluded category", Table.make(true).run())));
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

  /**
   * Without missing values the objects missing on a variable form no group, and the scores have
   * weighted mean 0 and &Sigma; w x<sup>2</sup> = W, so the correlation ratio of a multiple
   * variable, active or passive, is its discrimination measure.
   */
  @ParameterizedTest(name = "{0}")
  @MethodSource("completeData")
  void onCompleteDataTheCorrelationRatioIsTheDiscriminationMeasure(HomalsResult result) {
    for (VariableResult v : result.variables()) {
      for (int d = 0; d < result.dimensions() && !v.quantification().isSingle(); d++) {
        assertEquals(v.discrimination(d), v.etaSquared(d), 1e-9, v.name() + ", dimension " + d);
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
   * that take part and have a value: some have none (NaN), object 0 takes no part, object 1
   * weighs nothing.
   */
  @Test
  void numericVariablesCorrelateOverTheObjectsWithAValue() {
    Table table = Table.make(false);
    HomalsResult result = table.run();
    double[] values = new double[N];
    for (int i = 0; i < N; i++) {
      values[i] = i % 7 == 3 ? Double.NaN : table.codes()[0][i] * 2.5 + (i % 5) - 0.1 * i;
    }
    values[0] = 1e6;
    values[1] = -1e6;
    NumericCorrelation numeric = result.correlation("income", values);
    double weight = 0;
    int count = 0;
    for (int i = 0; i < N; i++) {
      if (result.takesPart(i) && !Double.isNaN(values[i])) {
        weight += table.weights()[i];
        count++;
      }
    }
    assertEquals(weight, numeric.observedWeight(), 1e-12);
    assertEquals(count, numeric.observedCount());
    for (int d = 0; d < P; d++) {
      double[] x = result.dimensionScores(d);
      Group v = new Group();
      Group s = new Group();
      double product = 0;
      for (int i = 0; i < N; i++) {
        if (result.takesPart(i) && !Double.isNaN(values[i])) {
          v.add(table.weights()[i], values[i]);
          s.add(table.weights()[i], x[i]);
          product += table.weights()[i] * values[i] * x[i];
        }
      }
      double covariance = product / weight - v.mean() * s.mean();
      double expected = covariance
          / Math.sqrt((v.squares / weight - v.mean() * v.mean())
              * (s.squares / weight - s.mean() * s.mean()));
      assertEquals(expected, numeric.correlation(d), 1e-9, "dimension " + d);
    }
    assertTrue(Double.isNaN(result.correlation("flat", new double[N]).correlation(0)));
    assertThrows(IllegalArgumentException.class, () -> result.correlation("short", new double[3]));
    double[] infinite = values.clone();
    infinite[3] = Double.POSITIVE_INFINITY;
    assertThrows(IllegalArgumentException.class, () -> result.correlation("inf", infinite));
  }
}
