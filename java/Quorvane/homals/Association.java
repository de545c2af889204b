package Quorvane.homals;

import org.apache.commons.math3.distribution.NormalDistribution;
import org.apache.commons.math3.special.Beta;

/**
 * How one variable goes with each dimension: the test value of each of its categories and its
 * correlation ratio, with their p-values (see {@link VariableResult#vTest} and {@link
 * VariableResult#etaSquared}). Weights count as frequencies throughout: an object of weight 3 is
 * three objects with the same values.
 */
final class Association {
  /** The null distribution of a test value; no random generator, since nothing is sampled. */
  private static final NormalDistribution STANDARD_NORMAL = new NormalDistribution(null, 0, 1);

  final double[][] vTests;
  final double[][] vTestP;
  final double[] etaSquared;
  final double[] etaSquaredP;

  private Association(
      double[][] vTests, double[][] vTestP, double[] etaSquared, double[] etaSquaredP) {
    this.vTests = vTests;
    this.vTestP = vTestP;
    this.etaSquared = etaSquared;
    this.etaSquaredP = etaSquaredP;
  }

  /**
   * The weight n of the objects that take part, and the weighted mean and variance (divided by
   * n) of their scores on each dimension: what a random draw of objects is compared with.
   */
  record Spread(double weight, double[] mean, double[] variance) {
    static Spread of(HomalsAnalysis analysis, double[] scores) {
      Participation participation = analysis.participation();
      int n = analysis.objectCount();
      int p = scores.length / Math.max(n, 1);
      double weight = 0;
      for (int i = 0; i < n; i++) {
        weight += participation.takesPart(i) ? analysis.weight(i) : 0;
      }
      double[] mean = new double[p];
      double[] variance = new double[p];
      for (int d = 0; d < p; d++) {
        double sum = 0;
        for (int i = 0; i < n; i++) {
          sum += participation.takesPart(i) ? analysis.weight(i) * scores[d * n + i] : 0;
        }
        mean[d] = sum / weight;
        double squares = 0;
        for (int i = 0; i < n; i++) {
          if (participation.takesPart(i)) {
            double deviation = scores[d * n + i] - mean[d];
            squares += analysis.weight(i) * deviation * deviation;
          }
        }
        variance[d] = squares / weight;
      }
      return new Spread(weight, mean, variance);
    }
  }

  /**
   * The test values and correlation ratios of variable {@code index} of the analysis, from the
   * object scores (dimension-major) and the spread of all participating objects.
   */
  static Association of(HomalsAnalysis analysis, int index, double[] scores, Spread all) {
    Variable variable = analysis.variables().get(index);
    Participation participation = analysis.participation();
    int[] codes = variable.codesView();
    double[] frequency = participation.frequencies(index);
    int n = analysis.objectCount();
    int k = frequency.length;
    int p = all.mean().length;
    double observed = 0;
    int observedCategories = 0;
    for (double f : frequency) {
      observed += f;
      observedCategories += f > 0 ? 1 : 0;
    }
    double[][] vTests = new double[k][p];
    double[][] vTestP = new double[k][p];
    double[] eta = new double[p];
    double[] etaP = new double[p];
    for (int d = 0; d < p; d++) {
      double[] sums = new double[k];
      for (int i = 0; i < n; i++) {
        if (participation.takesPart(i) && codes[i] > 0) {
          sums[codes[i] - 1] += analysis.weight(i) * scores[d * n + i];
        }
      }
      double observedSum = 0;
      for (double sum : sums) {
        observedSum += sum;
      }
      double observedMean = observedSum / observed;
      double total = 0;
      for (int i = 0; i < n; i++) {
        if (participation.takesPart(i) && codes[i] > 0) {
          double deviation = scores[d * n + i] - observedMean;
          total += analysis.weight(i) * deviation * deviation;
        }
      }
      double between = 0;
      for (int c = 0; c < k; c++) {
        double nc = frequency[c];
        if (nc > 0) {
          double mean = sums[c] / nc;
          between += nc * (mean - observedMean) * (mean - observedMean);
          vTests[c][d] = nc < all.weight() ? (mean - all.mean()[d])
                  / Math.sqrt(all.variance()[d] / nc * (all.weight() - nc) / (all.weight() - 1))
                                           : Double.NaN;
        } else {
          vTests[c][d] = Double.NaN;
        }
        vTestP[c][d] = normalP(vTests[c][d]);
      }
      eta[d] = between / total;
      etaP[d] = etaSquaredP(eta[d], observedCategories, observed);
    }
    return new Association(vTests, vTestP, eta, etaP);
  }

  /** 2 (1 - &Phi;(|v|)), from the lower tail so that a large |v| keeps a p-value above 0. */
  static double normalP(double v) {
    return Double.isNaN(v) ? Double.NaN : 2 * STANDARD_NORMAL.cumulativeProbability(-Math.abs(v));
  }

  /**
   * P(F &ge; f) for F = (&eta;<sup>2</sup> / (K - 1)) / ((1 - &eta;<sup>2</sup>) / (n - K)) on
   * K - 1 and n - K degrees of freedom; NaN when either is not positive. The upper tail of the F
   * distribution is the regularised incomplete beta function I<sub>1 - &eta;&sup2;</sub>((n -
   * K) / 2, (K - 1) / 2), taken as such: one minus the distribution function would round every
   * p-value below 10<sup>-16</sup> to 0, and large data sets have many.
   */
  static double etaSquaredP(double etaSquared, int categories, double weight) {
    double numerator = categories - 1;
    double denominator = weight - categories;
    if (Double.isNaN(etaSquared) || numerator < 1 || !(denominator > 0)) {
      return Double.NaN;
    }
    double rest = Math.min(1, Math.max(0, 1 - etaSquared));
    return Beta.regularizedBeta(rest, denominator / 2, numerator / 2);
  }
}
