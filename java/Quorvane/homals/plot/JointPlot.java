package Quorvane.homals.plot;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.VariableResult;
import java.awt.BasicStroke;
import java.awt.Color;
import java.awt.Font;
import java.awt.Graphics2D;
import java.awt.Rectangle;
import java.awt.RenderingHints;
import java.awt.Shape;
import java.awt.geom.Ellipse2D;
import java.awt.geom.Rectangle2D;
import java.awt.image.BufferedImage;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Locale;
import javax.imageio.ImageIO;
import org.jfree.chart.JFreeChart;
import org.jfree.chart.axis.NumberAxis;
import org.jfree.chart.block.BlockBorder;
import org.jfree.chart.plot.XYPlot;
import org.jfree.chart.renderer.xy.XYLineAndShapeRenderer;
import org.jfree.chart.title.LegendTitle;
import org.jfree.chart.title.TextTitle;
import org.jfree.data.xy.XYSeries;
import org.jfree.data.xy.XYSeriesCollection;
import org.jfree.svg.SVGGraphics2D;
import org.jfree.ui.Layer;
import org.jfree.ui.RectangleEdge;

/**
 * The joint plot of a homogeneity analysis: object points (light grey) and category points
 * (labelled "variable: category", one colour per variable) in one plane of two dimensions.
 * Categories of passive variables are drawn as hollow markers. Both axes have the same span, so
 * distances read alike in every direction when the image is square. Past {@link
 * #DENSITY_THRESHOLD} objects, the objects are shaded bins of their density instead of points.
 */
public final class JointPlot {
  /** One colour per variable, repeated when there are more variables. */
  private static final Color[] PALETTE = {
    new Color(0x1f77b4), new Color(0xd62728), new Color(0x2ca02c), new Color(0x9467bd),
    new Color(0xff7f0e), new Color(0x8c564b), new Color(0xe377c2), new Color(0x17becf),
    new Color(0x7f7f7f), new Color(0xbcbd22), new Color(0x393b79), new Color(0x637939),
    new Color(0x8c6d31), new Color(0x843c39), new Color(0x7b4173), new Color(0x3182bd),
  };
  private static final Color OBJECT_COLOUR = new Color(150, 150, 150, 90);
  /** More variables than this and the legend is left out: the labels name the variables. */
  private static final int LEGEND_LIMIT = 12;
  private static final double MARKER_HALF_SIZE = 4;
  /**
   * More objects than this and they are drawn as a density: beyond a few thousand, single
   * points merge into a blot and only slow the drawing down.
   */
  public static final int DENSITY_THRESHOLD = 5000;

  private JointPlot() {
  }

  /**
     * Builds the chart of dimensions {@code first} and {@code second} (0-based).
     *
     * @param title the chart title, or {@code null} for none
     */
  public static JFreeChart chart(HomalsResult result, int first, int second, String title) {
    if (first < 0 || second < 0 || first >= result.dimensions()
        || second >= result.dimensions() || first == second) {
      throw new IllegalArgumentException("cannot plot dimensions " + (first + 1) + " and "
          + (second + 1) + " of a solution with " + result.dimensions());
    }
    XYSeriesCollection dataset = new XYSeriesCollection();
    // Series 0 holds the objects when they are drawn one by one, and is empty otherwise.
    XYSeries objects = new XYSeries("objects", false, true);
    Bounds bounds = new Bounds();
    int taking = 0;
    for (int i = 0; i < result.objectCount(); i++) {
      if (result.takesPart(i)) {
        double x = result.objectScore(i, first);
        double y = result.objectScore(i, second);
        bounds.include(x, y);
        taking += Double.isFinite(x) && Double.isFinite(y) ? 1 : 0;
      }
    }
    ObjectDensity density = null;
    if (taking > DENSITY_THRESHOLD) {
      float[] xs = new float[taking];
      float[] ys = new float[taking];
      int at = 0;
      for (int i = 0; i < result.objectCount(); i++) {
        double x = result.objectScore(i, first);
        double y = result.objectScore(i, second);
        if (result.takesPart(i) && Double.isFinite(x) && Double.isFinite(y)) {
          xs[at] = (float) x;
          ys[at] = (float) y;
          at++;
        }
      }
      density = new ObjectDensity(xs, ys);
    } else {
      for (int i = 0; i < result.objectCount(); i++) {
        if (result.takesPart(i)) {
          objects.add(result.objectScore(i, first), result.objectScore(i, second));
        }
      }
    }
    dataset.addSeries(objects);

    Font labelFont = new Font(Font.SANS_SERIF, Font.PLAIN, 11);
    CategoryLabels labels = new CategoryLabels(labelFont, MARKER_HALF_SIZE);
    List<VariableResult> variables = result.variables();
    for (int s = 0; s < variables.size(); s++) {
      VariableResult v = variables.get(s);
      Color colour = PALETTE[s % PALETTE.length];
      XYSeries series = new XYSeries(v.name() + (v.isActive() ? "" : " (passive)"), false,
          true);
      for (int c = 0; c < v.categories().size(); c++) {
        double x = v.quantification(c, first);
        double y = v.quantification(c, second);
        series.add(x, y);
        labels.add(x, y, v.name() + ": " + v.categories().get(c), colour.darker());
        bounds.include(x, y);
      }
      dataset.addSeries(series);
    }

    XYLineAndShapeRenderer renderer = new XYLineAndShapeRenderer(false, true);
    renderer.setSeriesPaint(0, OBJECT_COLOUR);
    renderer.setSeriesShape(0, new Ellipse2D.Double(-2.5, -2.5, 5, 5));
    renderer.setSeriesVisibleInLegend(0, false);
    Shape marker = new Rectangle2D.Double(-MARKER_HALF_SIZE, -MARKER_HALF_SIZE,
        2 * MARKER_HALF_SIZE, 2 * MARKER_HALF_SIZE);
    for (int s = 1; s <= variables.size(); s++) {
      renderer.setSeriesPaint(s, PALETTE[(s - 1) % PALETTE.length]);
      renderer.setSeriesShape(s, marker);
      renderer.setSeriesShapesFilled(s, variables.get(s - 1).isActive());
    }
    renderer.setUseOutlinePaint(false);
    renderer.setDrawOutlines(true);
    renderer.setBaseStroke(new BasicStroke(1.2f));
    if (density != null) {
      renderer.addAnnotation(density, Layer.BACKGROUND);
    }

    // One scale for both axes: the larger of the two spans, each axis centred on its data.
    NumberAxis xAxis = new NumberAxis(axisLabel(result, first));
    NumberAxis yAxis = new NumberAxis(axisLabel(result, second));
    double span = Math.max(bounds.maxX - bounds.minX, bounds.maxY - bounds.minY);
    if (!(span > 0)) {
      span = 2;
    }
    span *= 1.12;
    xAxis.setRange(bounds.centreX() - span / 2, bounds.centreX() + span / 2);
    yAxis.setRange(bounds.centreY() - span / 2, bounds.centreY() + span / 2);

    XYPlot plot = new XYPlot(dataset, xAxis, yAxis, renderer);
    plot.setBackgroundPaint(Color.WHITE);
    plot.setDomainGridlinePaint(new Color(225, 225, 225));
    plot.setRangeGridlinePaint(new Color(225, 225, 225));
    plot.setDomainZeroBaselineVisible(true);
    plot.setRangeZeroBaselineVisible(true);
    plot.setDomainZeroBaselinePaint(new Color(120, 120, 120));
    plot.setRangeZeroBaselinePaint(new Color(120, 120, 120));
    plot.setOutlinePaint(new Color(160, 160, 160));
    plot.addAnnotation(labels);

    JFreeChart chart = new JFreeChart(null, JFreeChart.DEFAULT_TITLE_FONT, plot,
        variables.size() <= LEGEND_LIMIT);
    chart.setBackgroundPaint(Color.WHITE);
    chart.setAntiAlias(true);
    chart.setTextAntiAlias(RenderingHints.VALUE_TEXT_ANTIALIAS_ON);
    if (title != null) {
      chart.setTitle(new TextTitle(title, new Font(Font.SANS_SERIF, Font.BOLD, 16)));
    }
    if (density != null) {
      TextTitle note =
          new TextTitle(String.format(Locale.ROOT,
                            "Grey: the density of the "
                                + "%,d objects (bins of %d pixels; darker: more objects)",
                            taking, ObjectDensity.BIN_PIXELS),
              new Font(Font.SANS_SERIF, Font.PLAIN, 11));
      note.setPosition(RectangleEdge.BOTTOM);
      note.setPaint(new Color(90, 90, 90));
      chart.addSubtitle(note);
    }
    LegendTitle legend = chart.getLegend();
    if (legend != null) {
      legend.setPosition(RectangleEdge.BOTTOM);
      legend.setFrame(BlockBorder.NONE);
    }
    return chart;
  }

  /**
   * Loads and sets up what drawing needs (the chart classes, fonts, the PNG and SVG writers) by
   * drawing a small chart nowhere. The first plot of a program otherwise spends about half a
   * second on that; a program can call this in a thread of its own while it computes.
   */
  public static void prepare() throws IOException {
    XYSeries points = new XYSeries("points");
    points.add(0, 0);
    points.add(1, 1);
    XYLineAndShapeRenderer renderer = new XYLineAndShapeRenderer(false, true);
    renderer.addAnnotation(
        new ObjectDensity(new float[] {0.5f}, new float[] {0.5f}), Layer.BACKGROUND);
    XYPlot plot = new XYPlot(
        new XYSeriesCollection(points), new NumberAxis("x"), new NumberAxis("y"), renderer);
    CategoryLabels labels = new CategoryLabels(new Font(Font.SANS_SERIF, Font.PLAIN, 11), 4);
    labels.add(0, 0, "label", Color.BLUE);
    plot.addAnnotation(labels);
    JFreeChart chart =
        new JFreeChart("title", new Font(Font.SANS_SERIF, Font.BOLD, 16), plot, true);
    BufferedImage image = new BufferedImage(160, 160, BufferedImage.TYPE_INT_RGB);
    Graphics2D g = image.createGraphics();
    try {
      chart.draw(g, new Rectangle(0, 0, 160, 160));
    } finally {
      g.dispose();
    }
    ImageIO.write(image, "png", OutputStream.nullOutputStream());
    SVGGraphics2D svg = new SVGGraphics2D(160, 160);
    chart.draw(svg, new Rectangle(0, 0, 160, 160));
    svg.getSVGDocument();
  }

  /** Writes the chart as a PNG image of the given size in pixels. */
  public static void writePng(JFreeChart chart, Path file, int width, int height)
      throws IOException {
    BufferedImage image = new BufferedImage(width, height, BufferedImage.TYPE_INT_RGB);
    Graphics2D g = image.createGraphics();
    try {
      chart.draw(g, new Rectangle(0, 0, width, height));
    } finally {
      g.dispose();
    }
    try (OutputStream out = Files.newOutputStream(file)) {
      if (!ImageIO.write(image, "png", out)) {
        throw new IOException("no PNG writer available");
      }
    }
  }

  /** Writes the chart as an SVG document of the given size. */
  public static void writeSvg(JFreeChart chart, Path file, int width, int height)
      throws IOException {
    SVGGraphics2D g = new SVGGraphics2D(width, height);
    chart.draw(g, new Rectangle(0, 0, width, height));
    Files.writeString(file, g.getSVGDocument());
  }

  private static String axisLabel(HomalsResult result, int dimension) {
    return String.format(Locale.ROOT, "Dimension %d (eigenvalue %.3f)", dimension + 1,
        result.eigenvalue(dimension));
  }

  /** The smallest box around the finite points given. */
  private static final class Bounds {
    double minX = Double.POSITIVE_INFINITY;
    double maxX = Double.NEGATIVE_INFINITY;
    double minY = Double.POSITIVE_INFINITY;
    double maxY = Double.NEGATIVE_INFINITY;

    void include(double x, double y) {
      if (Double.isFinite(x) && Double.isFinite(y)) {
        minX = Math.min(minX, x);
        maxX = Math.max(maxX, x);
        minY = Math.min(minY, y);
        maxY = Math.max(maxY, y);
      }
    }

    double centreX() {
      return minX <= maxX ? (minX + maxX) / 2 : 0;
    }

    double centreY() {
      return minY <= maxY ? (minY + maxY) / 2 : 0;
    }
  }
}
