package Quorvane.homals.plot;

import java.awt.BasicStroke;
import java.awt.Color;
import java.awt.Font;
import java.awt.FontMetrics;
import java.awt.Graphics2D;
import java.awt.geom.Line2D;
import java.awt.geom.Rectangle2D;
import java.util.ArrayList;
import java.util.List;
import org.jfree.chart.annotations.AbstractXYAnnotation;
import org.jfree.chart.axis.ValueAxis;
import org.jfree.chart.plot.PlotRenderingInfo;
import org.jfree.chart.plot.XYPlot;

/**
 * Labels for the points of a plot (the categories of a joint plot, the variables of a
 * discrimination plot), placed so that they overlap each other and the markers as little as
 * possible.
 *
 * <p>Placement is greedy and works in screen space at drawing time, so it suits any image size:
 * labels are placed in order of their point's distance from the centre of the plot, farthest
 * first (outer points have room; the crowd near the centre takes what is left). Each label tries
 * positions around its point on rings of increasing distance and takes the first that overlaps
 * nothing and stays inside the plot, or failing that the one with the least overlap. A label
 * pushed away from its point is tied to it by a thin line.
 */
final class CategoryLabels extends AbstractXYAnnotation {
  private static final long serialVersionUID = 1L;

  /** Directions tried around a point, in order of preference: right, left, up, down, diagonals. */
  private static final double[][] DIRECTIONS = {
      {1, 0},
      {-1, 0},
      {0, -1},
      {0, 1},
      {1, -1},
      {-1, -1},
      {1, 1},
      {-1, 1},
      {0.5, -1},
      {-0.5, -1},
      {0.5, 1},
      {-0.5, 1},
  };
  private static final int RINGS = 6;

  private final List<double[]> points = new ArrayList<>();
  private final List<String> texts = new ArrayList<>();
  private final List<Color> colours = new ArrayList<>();
  private final Font font;
  private final double markerHalfSize;

  CategoryLabels(Font font, double markerHalfSize) {
    this.font = font;
    this.markerHalfSize = markerHalfSize;
  }

  void add(double x, double y, String text, Color colour) {
    if (Double.isFinite(x) && Double.isFinite(y)) {
      points.add(new double[] {x, y});
      texts.add(text);
      colours.add(colour);
    }
  }

  @Override
  public void draw(Graphics2D g2, XYPlot plot, Rectangle2D dataArea, ValueAxis domainAxis,
      ValueAxis rangeAxis, int rendererIndex, PlotRenderingInfo info) {
    int n = points.size();
    double[] sx = new double[n];
    double[] sy = new double[n];
    List<Rectangle2D> occupied = new ArrayList<>();
    for (int i = 0; i < n; i++) {
      sx[i] = domainAxis.valueToJava2D(points.get(i)[0], dataArea, plot.getDomainAxisEdge());
      sy[i] = rangeAxis.valueToJava2D(points.get(i)[1], dataArea, plot.getRangeAxisEdge());
      double h = markerHalfSize + 1;
      occupied.add(new Rectangle2D.Double(sx[i] - h, sy[i] - h, 2 * h, 2 * h));
    }
    Integer[] order = new Integer[n];
    for (int i = 0; i < n; i++) {
      order[i] = i;
    }
    double cx = dataArea.getCenterX();
    double cy = dataArea.getCenterY();
    java.util.Arrays.sort(order, (a, b) -> Double.compare(
        Math.hypot(sx[b] - cx, sy[b] - cy), Math.hypot(sx[a] - cx, sy[a] - cy)));

    g2.setFont(font);
    FontMetrics metrics = g2.getFontMetrics();
    double gap = markerHalfSize + 3;
    for (int i : order) {
      double width = metrics.stringWidth(texts.get(i));
      double height = metrics.getAscent() + metrics.getDescent();
      Rectangle2D best = null;
      double bestOverlap = Double.POSITIVE_INFINITY;
      search:
      for (int ring = 0; ring < RINGS; ring++) {
        double reach = gap + ring * height;
        for (double[] direction : DIRECTIONS) {
          Rectangle2D box = candidate(sx[i], sy[i], direction, reach, width, height);
          if (!dataArea.contains(box)) {
            continue;
          }
          double overlap = 0;
          for (Rectangle2D other : occupied) {
            Rectangle2D common = box.createIntersection(other);
            if (common.getWidth() > 0 && common.getHeight() > 0) {
              overlap += common.getWidth() * common.getHeight();
            }
          }
          if (overlap < bestOverlap) {
            bestOverlap = overlap;
            best = box;
            if (overlap == 0) {
              break search;
            }
          }
        }
      }
      if (best == null) {
        // No place fits inside the plot: the nearest that does not run off its edges.
        best = inside(candidate(sx[i], sy[i], DIRECTIONS[0], gap, width, height), dataArea);
      }
      occupied.add(best);
      Color colour = colours.get(i);
      if (distanceToBox(sx[i], sy[i], best) > gap + 2) {
        g2.setPaint(new Color(colour.getRed(), colour.getGreen(), colour.getBlue(), 140));
        g2.setStroke(new BasicStroke(0.7f));
        double tx = Math.max(best.getMinX(), Math.min(sx[i], best.getMaxX()));
        double ty = Math.max(best.getMinY(), Math.min(sy[i], best.getMaxY()));
        g2.draw(new Line2D.Double(sx[i], sy[i], tx, ty));
      }
      g2.setPaint(colour);
      g2.drawString(texts.get(i), (float) best.getX(), (float) (best.getY() + metrics.getAscent()));
    }
  }

  /** The label box placed in the given direction at the given distance from the point. */
  private static Rectangle2D candidate(
      double x, double y, double[] direction, double reach, double width, double height) {
    double centreX = x + direction[0] * (reach + width / 2);
    double centreY = y + direction[1] * (reach + height / 2);
    return new Rectangle2D.Double(centreX - width / 2, centreY - height / 2, width, height);
  }

  private static Rectangle2D inside(Rectangle2D box, Rectangle2D area) {
    double x = Math.max(area.getMinX(), Math.min(box.getX(), area.getMaxX() - box.getWidth()));
    double y = Math.max(area.getMinY(), Math.min(box.getY(), area.getMaxY() - box.getHeight()));
    return new Rectangle2D.Double(x, y, box.getWidth(), box.getHeight());
  }

  private static double distanceToBox(double x, double y, Rectangle2D box) {
    double dx = Math.max(Math.max(box.getMinX() - x, 0), x - box.getMaxX());
    double dy = Math.max(Math.max(box.getMinY() - y, 0), y - box.getMaxY());
    return Math.hypot(dx, dy);
  }

  @Override
  public boolean equals(Object other) {
    return this == other;
  }

  @Override
  public int hashCode() {
    return System.identityHashCode(this);
  }
}
