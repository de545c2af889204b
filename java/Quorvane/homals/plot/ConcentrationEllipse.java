package Quorvane.homals.plot;

import Quorvane.homals.HomalsResult;
import java.awt.geom.Path2D;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * The concentration ellipse of a weighted cloud of points in a plane: with m the weighted mean
 * and S the weighted 2 &times; 2 covariance (divided by the summed weight), the curve {m + 2
 * S<sup>1/2</sup> u : |u| = 1}, which reaches two standard deviations from m along each
 * principal direction of S. For a cloud from a normal distribution it holds about 86 % of the
 * weight. Immutable.
 */
public final class ConcentrationEllipse {
  /** How many standard deviations the ellipse reaches along each principal direction. */
  public static final double STANDARD_DEVIATIONS = 2;

  private final double centreX;
  private final double centreY;
  private final double varianceX;
  private final double varianceY;
  private final double covariance;

  private ConcentrationEllipse(
      double centreX, double centreY, double varianceX, double varianceY, double covariance) {
    this.centreX = centreX;
    this.centreY = centreY;
    this.varianceX = varianceX;
    this.varianceY = varianceY;
    this.covariance = covariance;
  }

  /**
   * The ellipse of the points (x<sub>i</sub>, y<sub>i</sub>) with weights w<sub>i</sub>; points
   * that are not finite or weigh nothing are left out. {@code null} when no point is left.
   */
  public static ConcentrationEllipse of(double[] x, double[] y, double[] weights) {
    int[] one = new int[x.length];
    Arrays.fill(one, 1);
    return of(x, y, weights, one, 1).get(0);
  }

  /**
   * The ellipses of the categories of a column in the plane of two dimensions (0-based), over
   * the objects that take part, weighted by their weights; in the column's order, {@code null}
   * for a category without such objects.
   */
  public static List<ConcentrationEllipse> ofCategories(
      HomalsResult result, ObjectColours column, int first, int second) {
    int n = result.objectCount();
    if (column.codes().length != n) {
      throw new IllegalArgumentException("ellipse column '" + column.name() + "' has "
          + column.codes().length + " objects, the analysis " + n);
    }
    double[] weights = new double[n];
    for (int i = 0; i < n; i++) {
      weights[i] = result.takesPart(i) ? result.analysis().weight(i) : 0;
    }
    return of(result.dimensionScores(first), result.dimensionScores(second), weights,
        column.codes(), column.categories().size());
  }

  /** One ellipse per group 1..k of the points, in two passes over them whatever k is. */
  private static List<ConcentrationEllipse> of(
      double[] x, double[] y, double[] weights, int[] groups, int k) {
    double[] total = new double[k + 1];
    double[] meanX = new double[k + 1];
    double[] meanY = new double[k + 1];
    for (int i = 0; i < x.length; i++) {
      if (counts(x[i], y[i], weights[i], groups[i])) {
        total[groups[i]] += weights[i];
        meanX[groups[i]] += weights[i] * x[i];
        meanY[groups[i]] += weights[i] * y[i];
      }
    }
    for (int g = 1; g <= k; g++) {
      meanX[g] /= total[g];
      meanY[g] /= total[g];
    }
    double[] xx = new double[k + 1];
    double[] yy = new double[k + 1];
    double[] xy = new double[k + 1];
    for (int i = 0; i < x.length; i++) {
      if (counts(x[i], y[i], weights[i], groups[i])) {
        int g = groups[i];
        double dx = x[i] - meanX[g];
        double dy = y[i] - meanY[g];
        xx[g] += weights[i] * dx * dx;
        yy[g] += weights[i] * dy * dy;
        xy[g] += weights[i] * dx * dy;
      }
    }
    List<ConcentrationEllipse> ellipses = new ArrayList<>();
    for (int g = 1; g <= k; g++) {
      ellipses.add(total[g] > 0 ? new ConcentrationEllipse(
                       meanX[g], meanY[g], xx[g] / total[g], yy[g] / total[g], xy[g] / total[g])
                                : null);
    }
    return ellipses;
  }

  private static boolean counts(double x, double y, double weight, int group) {
    return group > 0 && weight > 0 && Double.isFinite(x) && Double.isFinite(y);
  }

  public double centreX() { return centreX; }

  public double centreY() { return centreY; }

  /** The eigenvalues of S, the larger first. */
  private double[] principalVariances() {
    double middle = (varianceX + varianceY) / 2;
    double spread = Math.hypot((varianceX - varianceY) / 2, covariance);
    return new double[] {middle + spread, Math.max(0, middle - spread)};
  }

  /** Half the length of the longer axis: two standard deviations along it. */
  public double majorSemiAxis() { return STANDARD_DEVIATIONS * Math.sqrt(principalVariances()[0]); }

  /** Half the length of the shorter axis. */
  public double minorSemiAxis() { return STANDARD_DEVIATIONS * Math.sqrt(principalVariances()[1]); }

  /** The angle of the longer axis with the horizontal axis, in radians, in (-&pi;/2, &pi;/2]. */
  public double angle() {
    double angle = 0.5 * Math.atan2(2 * covariance, varianceX - varianceY);
    return angle <= -Math.PI / 2 ? angle + Math.PI : angle;
  }

  /** How far the ellipse reaches from its centre horizontally: 2 s<sub>x</sub>. */
  public double halfWidth() { return STANDARD_DEVIATIONS * Math.sqrt(varianceX); }

  /** How far the ellipse reaches from its centre vertically: 2 s<sub>y</sub>. */
  public double halfHeight() { return STANDARD_DEVIATIONS * Math.sqrt(varianceY); }

  /** Whether the ellipse has any extent: a single point, or coincident points, have none. */
  public boolean isEmpty() { return !(majorSemiAxis() > 0); }

  /** The curve as a closed polygon of {@code segments} sides, in the plane's values. */
  public Path2D path(int segments) {
    double[] variances = principalVariances();
    double a = STANDARD_DEVIATIONS * Math.sqrt(variances[0]);
    double b = STANDARD_DEVIATIONS * Math.sqrt(variances[1]);
    double cos = Math.cos(angle());
    double sin = Math.sin(angle());
    Path2D.Double path = new Path2D.Double();
    for (int s = 0; s < segments; s++) {
      double t = 2 * Math.PI * s / segments;
      double u = a * Math.cos(t);
      double v = b * Math.sin(t);
      double px = centreX + cos * u - sin * v;
      double py = centreY + sin * u + cos * v;
      if (s == 0) {
        path.moveTo(px, py);
      } else {
        path.lineTo(px, py);
      }
    }
    path.closePath();
    return path;
  }
}
