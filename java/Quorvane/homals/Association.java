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
   * A weight that differs from another by no more than this share of W<sub>+</sub> is taken as
   * equal to it: the weight of the objects missing on a variable, W<sub>+</sub> less the
   * categories' weights, is a difference of sums added in different orders, and where it should
   * be 0 it is a rounding error whose mean would be noise.
   */
  static final double WEIGHT_TOLERANCE = 1e-9;

  /**
   * The test values and correlation ratios of one variable from its categories' weights
   * D<sub>c</sub> and centroids ([category][dimension]) and the moments of the scores; nothing
   * here looks at an object. Categories of weight 0 (whatever their centroid) form no group.
   */
  static Association of(double[] frequency, double[][] centroids, ScoreMoments moments) {
    int k = frequency.length;
    int p = moments.dimensions();
    double n = moments.weight();
    double tolerance = WEIGHT_TOLERANCE * n;
    double observed = 0;
    int groups = 0;
    for (double f : frequency) {
      observed += f;
      groups += f > 0 ? 1 : 0;
    }
    double missing = n - observed;
    boolean missingGroup = missing > tolerance;
    groups += missingGroup ? 1 : 0;
    double[][] vTests = new double[k][p];
    double[][] vTestP = new double[k][p];
    double[] eta = new double[p];
    double[] etaP = new double[p];
    for (int d = 0; d < p; d++) {
      double mean = moments.mean(d);
      double variance = moments.squares(d) / n;
      double between = 0;
      double missingSum = moments.first()[d];
      for (int c = 0; c < k; c++) {
        double nc = frequency[c];
        if (nc > 0) {
          double deviation = centroids[c][d] - mean;
          between += nc * deviation * deviation;
          missingSum -= nc * centroids[c][d];
          vTests[c][d] = n - nc > tolerance
              ? deviation / Math.sqrt(variance / nc * (n - nc) / (n - 1))
              : Double.NaN;
        } else {
          vTests[c][d] = Double.NaN;
        }
        vTestP[c][d] = normalP(vTests[c][d]);
      }
      if (missingGroup) {
        double deviation = missingSum / missing - mean;
        between += missing * deviation * deviation;
      }
      eta[d] = Math.min(1, between / moments.squares(d));
      etaP[d] = etaSquaredP(eta[d], groups, n);
    }
    return new Association(vTests, vTestP, eta, etaP);
  }

  /** 2 (1 - &Phi;(|v|)), from the lower tail so that a large |v| keeps a p-value above 0. */
  static double normalP(double v) {
    return Double.isNaN(v) ? Double.NaN : 2 * STANDARD_NORMAL.cumulativeProbability(-Math.abs(v));
  }

  /**
   * P(F &ge; f) for F = (&eta;<sup>2</sup> / (g - 1)) / ((1 - &eta;<sup>2</sup>) / (n - g)) on
   * g - 1 and n - g degrees of freedom, g the groups; NaN when either is not positive. The upper
   * tail of the F distribution is the regularised incomplete beta function I<sub>1 -
   * &eta;&sup2;</sub>((n - g) / 2, (g - 1) / 2), taken as such: one minus the distribution function
   * would round every p-value below 10<sup>-16</sup> to 0, and large data sets have many.
   */
  static double etaSquaredP(double etaSquared, int groups, double weight) {
    double numerator = groups - 1;
    double denominator = weight - groups;
    if (Double.isNaN(etaSquared) || numerator < 1 || !(denominator > 0)) {
      return Double.NaN;
    }
    double rest = Math.min(1, Math.max(0, 1 - etaSquared));
    return Beta.regularizedBeta(rest, denominator / 2, numerator / 2);
  }
}
