package Quorvane.homals.plot;

import Quorvane.homals.NumericCorrelation;
import java.awt.BasicStroke;
import java.awt.Color;
import java.awt.Graphics2D;
import java.awt.geom.Ellipse2D;
import java.awt.geom.Line2D;
import java.awt.geom.Rectangle2D;
import java.math.BigDecimal;
import java.util.ArrayList;
import java.util.List;
import org.jfree.chart.axis.ValueAxis;
import org.jfree.chart.plot.PlotRenderingInfo;
import org.jfree.chart.plot.XYPlot;

/**
 * Numeric variables in a joint plot: each an arrow from the origin to its correlations with the
 * two dimensions, times one scale for all, with a dashed circle where a correlation of 1 would
 * end. Correlations lie within the unit circle, object scores and centroids spread over a few
 * units; the scale, a round number, stretches the arrows over the cloud without hiding that
 * they are correlations.
 */
final class NumericArrows extends DrawnAnnotation {
  private static final long serialVersionUID = 1L;
  static final Color INK = new Color(0, 105, 105);
  /** The round numbers a scale may be, times a power of ten. */
  private static final double[] ROUND = {1, 1.5, 2, 2.5, 3, 4, 5, 6, 8};
  /** The part of the room up to the nearest edge that a correlation of 1 reaches. */
  private static final double REACH = 0.9;
  private static final double HEAD = 8;

  private final double scale;
  private final List<double[]> tips = new ArrayList<>();
  private final List<String> names = new ArrayList<>();

  /**
   * @param room how far the plot reaches from the origin towards its nearest edge, in the
   *     plane's values
   */
  NumericArrows(List<NumericCorrelation> numeric, int first, int second, double room) {
    this.scale = roundBelow(REACH * room);
    for (NumericCorrelation variable : numeric) {
      double x = variable.correlation(first);
      double y = variable.correlation(second);
      if (Double.isFinite(x) && Double.isFinite(y)) {
        tips.add(new double[] {scale * x, scale * y});
        names.add(variable.name());
      }
    }
  }

  /** The largest round number (1, 1.5, 2, 2.5, 3, 4, 5, 6, 8 times a power of ten) up to x. */
  static double roundBelow(double x) {
    if (!(x > 0) || Double.isInfinite(x)) {
      return 1;
    }
    int power = (int) Math.floor(Math.log10(x));
    double mantissa = x / Math.pow(10, power);
    double best = ROUND[0];
    for (double round : ROUND) {
      best = round <= mantissa * (1 + 1e-12) ? round : best;
    }
    // Through decimal digits, so that 0.3 is 0.3 and prints so, not 0.30000000000000004.
    return new BigDecimal(Double.toString(best)).scaleByPowerOfTen(power).doubleValue();
  }

  double scale() { return scale; }

  /** The arrows' names, at their tips; drawn however crowded the plot, as every arrow needs its. */
  void label(CategoryLabels labels, ShortLabels shortLabels, String plot) {
    for (int a = 0; a < tips.size(); a++) {
      labels.addForced(
          tips.get(a)[0], tips.get(a)[1], shortLabels.plain(plot, names.get(a)), INK.darker());
    }
  }

  String note() {
    return "Arrows: the correlations of the numeric variables with the two dimensions, times "
        + BigDecimal.valueOf(scale).stripTrailingZeros().toPlainString()
        + " (dashed circle: a correlation of 1)";
  }

  @Override
  public void draw(Graphics2D g2, XYPlot plot, Rectangle2D dataArea, ValueAxis domainAxis,
      ValueAxis rangeAxis, int rendererIndex, PlotRenderingInfo info) {
    double ox = domainAxis.valueToJava2D(0, dataArea, plot.getDomainAxisEdge());
    double oy = rangeAxis.valueToJava2D(0, dataArea, plot.getRangeAxisEdge());
    double rx = domainAxis.valueToJava2D(scale, dataArea, plot.getDomainAxisEdge()) - ox;
    double ry = oy - rangeAxis.valueToJava2D(scale, dataArea, plot.getRangeAxisEdge());
    g2.setPaint(new Color(INK.getRed(), INK.getGreen(), INK.getBlue(), 90));
    g2.setStroke(new BasicStroke(
        1f, BasicStroke.CAP_BUTT, BasicStroke.JOIN_MITER, 10f, new float[] {4f, 4f}, 0f));
    g2.draw(new Ellipse2D.Double(ox - rx, oy - ry, 2 * rx, 2 * ry));
    g2.setPaint(INK);
    g2.setStroke(new BasicStroke(1.6f, BasicStroke.CAP_ROUND, BasicStroke.JOIN_ROUND));
    for (double[] tip : tips) {
      double tx = domainAxis.valueToJava2D(tip[0], dataArea, plot.getDomainAxisEdge());
      double ty = rangeAxis.valueToJava2D(tip[1], dataArea, plot.getRangeAxisEdge());
      double length = Math.hypot(tx - ox, ty - oy);
      if (length < 1) {
        continue;
      }
      g2.draw(new Line2D.Double(ox, oy, tx, ty));
      double angle = Math.atan2(ty - oy, tx - ox);
      double head = Math.min(HEAD, length / 2);
      for (double side : new double[] {-0.45, 0.45}) {
        g2.draw(new Line2D.Double(
            tx, ty, tx - head * Math.cos(angle + side), ty - head * Math.sin(angle + side)));
      }
    }
  }
}
