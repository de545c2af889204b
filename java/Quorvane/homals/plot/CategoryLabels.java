package Quorvane.homals.plot;

import java.awt.BasicStroke;
import java.awt.Color;
import java.awt.Font;
import java.awt.Graphics2D;
import java.awt.RenderingHints;
import java.awt.font.LineMetrics;
import java.awt.geom.Line2D;
import java.awt.geom.Rectangle2D;
import java.util.ArrayList;
import java.util.List;
import org.jfree.chart.axis.ValueAxis;
import org.jfree.chart.plot.PlotRenderingInfo;
import org.jfree.chart.plot.XYPlot;

/**
 * Labels for the points of a plot (the categories of a joint plot, the variables of a
 * discrimination plot), placed by {@link LabelPlacement} when the plot is drawn, in pixels, so
 * that they suit any image size. Every marker of the plot is given, labelled or not, so that no
 * label covers one; the object points are given too where they are drawn one by one, and labels
 * keep off them where they can. A label pushed away from its point is tied to it by a thin line.
 */
final class CategoryLabels extends DrawnAnnotation {
  private static final long serialVersionUID = 1L;

  private final Font font;
  private final double markerHalfSize;
  private final boolean dropCrowded;
  private final List<double[]> points = new ArrayList<>();
  private final List<String> texts = new ArrayList<>();
  private final List<Color> colours = new ArrayList<>();
  private final List<Boolean> forced = new ArrayList<>();
  private final List<double[]> unlabelled = new ArrayList<>();
  private double[] objectX = new double[0];
  private double[] objectY = new double[0];
  private double objectRadius;
  private transient Rectangle2D[] boxes = new Rectangle2D[0];

  /**
   * @param dropCrowded whether a label that finds no place clear of the markers and the other
   *     labels is left out; otherwise it goes where it covers least
   */
  CategoryLabels(Font font, double markerHalfSize, boolean dropCrowded) {
    this.font = font;
    this.markerHalfSize = markerHalfSize;
    this.dropCrowded = dropCrowded;
  }

  /** A labelled point; points are labelled in the order they are added, the first the best. */
  void add(double x, double y, String text, Color colour) { add(x, y, text, colour, false); }

  /**
   * A labelled point whose label is drawn even where it finds no clear place: where it covers
   * least, as every label is when the labels are not to be left out.
   */
  void addForced(double x, double y, String text, Color colour) { add(x, y, text, colour, true); }

  private void add(double x, double y, String text, Color colour, boolean force) {
    if (Double.isFinite(x) && Double.isFinite(y)) {
      points.add(new double[] {x, y});
      texts.add(text);
      colours.add(colour);
      forced.add(force);
    }
  }

  /** A marker without a label, which the labels keep clear of all the same. */
  void mark(double x, double y) {
    if (Double.isFinite(x) && Double.isFinite(y)) {
      unlabelled.add(new double[] {x, y});
    }
  }

  /** Object points of the given radius in pixels, which labels cover only for want of room. */
  void avoid(double[] x, double[] y, double radius) {
    objectX = x.clone();
    objectY = y.clone();
    objectRadius = radius;
  }

  /** The labelled points as added, in data values. */
  List<double[]> points() {
    List<double[]> copies = new ArrayList<>();
    for (double[] point : points) {
      copies.add(point.clone());
    }
    return copies;
  }

  /**
   * Where each label went at the last drawing, in the order they were added, in pixels; {@code
   * null} for a label left out.
   */
  Rectangle2D[] boxes() { return boxes.clone(); }

  /** How many labels were left out at the last drawing. */
  int dropped() {
    int count = 0;
    for (Rectangle2D box : boxes) {
      count += box == null ? 1 : 0;
    }
    return count;
  }

  @Override
  public void draw(Graphics2D g2, XYPlot plot, Rectangle2D dataArea, ValueAxis domainAxis,
      ValueAxis rangeAxis, int rendererIndex, PlotRenderingInfo info) {
    Pixels pixels = new Pixels(plot, dataArea, domainAxis, rangeAxis);
    double[] dotX = new double[objectX.length];
    double[] dotY = new double[objectY.length];
    for (int i = 0; i < dotX.length; i++) {
      dotX[i] = pixels.x(objectX[i]);
      dotY[i] = pixels.y(objectY[i]);
    }
    LabelPlacement placement = new LabelPlacement(dataArea, dotX, dotY, objectRadius);
    int n = points.size();
    double[] sx = new double[n];
    double[] sy = new double[n];
    for (int i = 0; i < n; i++) {
      sx[i] = pixels.x(points.get(i)[0]);
      sy[i] = pixels.y(points.get(i)[1]);
      placement.marker(sx[i], sy[i], markerHalfSize);
    }
    for (double[] point : unlabelled) {
      placement.marker(pixels.x(point[0]), pixels.y(point[1]), markerHalfSize);
    }

    Object fractional = g2.getRenderingHint(RenderingHints.KEY_FRACTIONALMETRICS);
    // Drawn as measured: whole-pixel glyph widths add up to more than the box along a long label.
    g2.setRenderingHint(
        RenderingHints.KEY_FRACTIONALMETRICS, RenderingHints.VALUE_FRACTIONALMETRICS_ON);
    g2.setFont(font);
    boxes = new Rectangle2D[n];
    for (int i = 0; i < n; i++) {
      String text = texts.get(i);
      LineMetrics metrics = font.getLineMetrics(text, Charts.MEASURE);
      double width = Charts.width(text, font);
      double height = metrics.getAscent() + metrics.getDescent();
      Rectangle2D box = dropCrowded && !forced.get(i)
          ? placement.place(sx[i], sy[i], markerHalfSize, width, height)
          : placement.force(sx[i], sy[i], markerHalfSize, width, height);
      boxes[i] = box;
      if (box == null) {
        continue;
      }
      Color colour = colours.get(i);
      Line2D leader = LabelPlacement.leader(sx[i], sy[i], markerHalfSize, box);
      if (leader != null) {
        g2.setPaint(new Color(colour.getRed(), colour.getGreen(), colour.getBlue(), 140));
        g2.setStroke(new BasicStroke(0.7f));
        g2.draw(leader);
      }
      g2.setPaint(colour);
      g2.drawString(text, (float) box.getX(), (float) (box.getY() + metrics.getAscent()));
    }
    if (fractional != null) {
      g2.setRenderingHint(RenderingHints.KEY_FRACTIONALMETRICS, fractional);
    }
  }

  /** Data values to pixels of the drawing. */
  private record Pixels(XYPlot plot, Rectangle2D area, ValueAxis domain, ValueAxis range) {
    double x(double value) {
      return domain.valueToJava2D(value, area, plot.getDomainAxisEdge());
    }

    double y(double value) {
      return range.valueToJava2D(value, area, plot.getRangeAxisEdge());
    }
  }
}
