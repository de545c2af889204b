package Quorvane.homals.plot;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.VariableResult;
import java.awt.BasicStroke;
import java.awt.Color;
import java.awt.Graphics2D;
import java.awt.Rectangle;
import java.awt.Shape;
import java.awt.geom.Ellipse2D;
import java.awt.geom.Path2D;
import java.awt.geom.Rectangle2D;
import java.awt.image.BufferedImage;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.DoubleBuffer;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.List;
import java.util.Locale;
import javax.imageio.ImageIO;
import org.jfree.chart.JFreeChart;
import org.jfree.chart.LegendItemCollection;
import org.jfree.chart.axis.NumberAxis;
import org.jfree.chart.plot.DatasetRenderingOrder;
import org.jfree.chart.plot.SeriesRenderingOrder;
import org.jfree.chart.plot.XYPlot;
import org.jfree.chart.renderer.xy.XYLineAndShapeRenderer;
import org.jfree.data.xy.XYSeries;
import org.jfree.data.xy.XYSeriesCollection;
import org.jfree.svg.SVGGraphics2D;
import org.jfree.ui.Layer;

/**
 * The joint plot of a homogeneity analysis: object points and category points (labelled
 * "variable: category", one colour per variable) in one plane of two dimensions. Categories of
 * passive variables are drawn as hollow markers, categories excluded from the fit as hollow
 * diamonds labelled "(excluded)". Both axes have the same span, so distances read
 * alike in every direction when the image is square. Past {@link #DENSITY_THRESHOLD} objects, the
 * objects are shaded bins of their density instead of points.
 *
 * <p>Only the categories that contribute most to the plane are labelled (see {@link
 * PlotSettings#labelTop()}), and long labels are shortened. Labels keep clear of every category
 * marker and of each other; the most contributing choose their places first, and a label that
 * finds no room is left out, which the note under the plot counts. Objects are light grey, or
 * coloured by the categories of a column; the categories are then dark, so that the two kinds of
 * colour cannot be mistaken for each other. The categories of a column may have their
 * concentration ellipses ({@link ConcentrationEllipse}), and numeric variables that took no part
 * appear as arrows to their correlations with the two dimensions, times one stated scale.
 */
public final class JointPlot {
  /** The objects' colour when no column colours them. */
  static final Color OBJECT_COLOUR = new Color(150, 150, 150, 90);
  /** The categories' colour when the objects carry the colours. */
  private static final Color CATEGORY_INK = new Color(45, 45, 45);
  /** More variables than this and the legend is left out: the labels name the variables. */
  private static final int LEGEND_LIMIT = 12;
  private static final double MARKER_HALF_SIZE = 4;
  private static final double OBJECT_RADIUS = 2.5;
  /**
   * Pixels of the image's side that the title, notes, legend and tick labels take from an axis
   * title; a shorter form of the title is used when the full one does not fit in what is left.
   */
  private static final int AXIS_TITLE_MARGIN = 220;
  /**
   * More objects than this and they are drawn as a density: beyond a few thousand, single
   * points merge into a blot and only slow the drawing down.
   */
  public static final int DENSITY_THRESHOLD = 5000;

  private JointPlot() {}

  /**
   * Builds the chart of dimensions {@code first} and {@code second} (0-based), with grey
   * objects and the default labels.
   *
   * @param title the chart title, or {@code null} for none
   */
  public static JFreeChart chart(HomalsResult result, int first, int second, String title) {
    checkPlane(result, first, second);
    PlotSettings settings = PlotSettings.of(900, title).withDimensions(first, second);
    return chart(result, settings, "joint-plot", new ShortLabels(settings.labelLength()));
  }

  /**
   * Builds the chart the settings describe; shortened labels are recorded in {@code labels}
   * under the name {@code plot}.
   */
  static JFreeChart chart(
      HomalsResult result, PlotSettings settings, String plot, ShortLabels labels) {
    int first = settings.first();
    int second = settings.second();
    checkPlane(result, first, second);
    ObjectCloud cloud = settings.objects(result);
    ObjectGroups groups = settings.colours() == null
        ? null
        : new ObjectGroups(cloud, settings.colours(), first, second, ObjectGroups.GROUP_COLOURS);
    EllipseLayer ellipses = settings.ellipses() == null
        ? null
        : new EllipseLayer(cloud, settings.ellipses(), first, second, groups, settings.colours());
    // Colours belong to the objects or the ellipses when either has them; the categories are dark.
    boolean plainCategories = groups == null && ellipses == null;
    Bounds bounds = new Bounds();
    XYSeriesCollection objects = new XYSeriesCollection();
    ObjectDensity density = objectPoints(cloud, first, second, groups, bounds, objects);

    CategoryLabels placed = new CategoryLabels(Charts.LABEL_FONT, MARKER_HALF_SIZE, true);
    if (density == null) {
      placeAround(placed, objects);
    }
    int[][] ranks = LabelChoice.ranks(result, first, second, settings.labelTop());
    List<Pending> byRank = new ArrayList<>();
    XYSeriesCollection categories = new XYSeriesCollection();
    List<VariableResult> variables = result.variables();
    int categoryCount = 0;
    // Excluded categories go last, one series per variable that has them, drawn apart.
    List<Integer> excludedOf = new ArrayList<>();
    for (boolean excludedPass : new boolean[] {false, true}) {
      for (int s = 0; s < variables.size(); s++) {
        VariableResult v = variables.get(s);
        Color ink =
            plainCategories ? Charts.PALETTE[s % Charts.PALETTE.length].darker() : CATEGORY_INK;
        XYSeries series = new XYSeries(v.name()
                + (excludedPass        ? " (excluded categories)"
                        : v.isActive() ? ""
                                       : " (passive)"),
            false, true);
        for (int c = 0; c < v.categories().size(); c++) {
          double x = v.quantification(c, first);
          double y = v.quantification(c, second);
          if (v.isExcluded(c) != excludedPass || !Double.isFinite(x) || !Double.isFinite(y)) {
            continue;
          }
          series.add(x, y);
          bounds.include(x, y);
          categoryCount++;
          String label = labels.category(plot, v.name(), v.categories().get(c))
              + (excludedPass ? " (excluded)" : "");
          if (ranks[s][c] >= 0) {
            byRank.add(new Pending(ranks[s][c], x, y, label, ink));
          } else {
            placed.mark(x, y);
          }
        }
        if (!excludedPass) {
          categories.addSeries(series);
        } else if (series.getItemCount() > 0) {
          categories.addSeries(series);
          excludedOf.add(s);
        }
      }
    }
    // The arrows, few and all to be named, choose their places first; then the categories that
    // contribute most.
    NumericArrows arrows = settings.arrows().isEmpty()
        ? null
        : new NumericArrows(settings.arrows(), first, second, bounds.room());
    if (arrows != null) {
      arrows.label(placed, labels, plot);
    }
    byRank.sort(Comparator.comparingInt(Pending::rank));
    for (Pending label : byRank) {
      placed.add(label.x(), label.y(), label.text(), label.ink());
    }

    if (ellipses != null) {
      for (double[] corner : ellipses.corners()) {
        bounds.include(corner[0], corner[1]);
      }
    }
    // One scale for both axes: the larger of the two spans, each axis centred on its data.
    double room = settings.size() - AXIS_TITLE_MARGIN;
    NumberAxis xAxis = new NumberAxis();
    xAxis.setLabel(Charts.dimensionLabel(result, first, xAxis.getLabelFont(), room));
    NumberAxis yAxis = new NumberAxis();
    yAxis.setLabel(Charts.dimensionLabel(result, second, yAxis.getLabelFont(), room));
    double span = Math.max(bounds.maxX - bounds.minX, bounds.maxY - bounds.minY);
    if (!(span > 0)) {
      span = 2;
    }
    span *= 1.12;
    xAxis.setRange(bounds.centreX() - span / 2, bounds.centreX() + span / 2);
    yAxis.setRange(bounds.centreY() - span / 2, bounds.centreY() + span / 2);

    XYPlot xy = new XYPlot(
        categories, xAxis, yAxis, categoryRenderer(variables, excludedOf, plainCategories));
    xy.setDataset(1, objects);
    XYLineAndShapeRenderer objectRenderer = objectRenderer(objects, groups, density);
    if (ellipses != null) {
      ellipses.addTo(objectRenderer);
    }
    xy.setRenderer(1, objectRenderer);
    // The objects first, under the categories; within them the rare groups first.
    xy.setDatasetRenderingOrder(DatasetRenderingOrder.REVERSE);
    xy.setSeriesRenderingOrder(SeriesRenderingOrder.FORWARD);
    Charts.frame(xy);
    if (arrows != null) {
      xy.addAnnotation(arrows);
    }
    xy.addAnnotation(placed);
    if (!plainCategories) {
      LegendItemCollection legend =
          groups == null ? new LegendItemCollection() : groups.legend(false);
      if (ellipses != null) {
        legend.addAll(ellipses.legend());
      }
      xy.setFixedLegendItems(legend);
    }

    LabelledChart chart =
        new LabelledChart(xy, !plainCategories || variables.size() <= LEGEND_LIMIT, placed,
            LabelChoice.note(byRank.size(), categoryCount));
    Charts.style(chart, settings.title());
    if (ellipses != null) {
      Charts.note(chart, ellipses.note());
    }
    if (arrows != null) {
      Charts.note(chart, arrows.note());
    }
    if (density != null && cloud.isSample()) {
      Charts.note(chart,
          String.format(Locale.ROOT,
              "%s: the density of a sample of %,d of the %,d objects, drawn by a hash of their "
                  + "values (bins of %d pixels; darker: more objects%s)",
              groups == null ? "Grey" : "Shading", density.count(), cloud.represented(),
              ObjectDensity.BIN_PIXELS,
              groups == null ? "" : "; colour: the most frequent in the bin"));
    } else if (density != null) {
      Charts.note(chart,
          String.format(Locale.ROOT,
              "%s: the density of the %,d objects (bins of %d pixels; darker: more objects%s)",
              groups == null ? "Grey" : "Shading", density.count(), ObjectDensity.BIN_PIXELS,
              groups == null ? "" : "; colour: the most frequent in the bin"));
    }
    return chart.withNote();
  }

  /** Gives the labels the object points drawn one by one, to keep off where they can. */
  private static void placeAround(CategoryLabels labels, XYSeriesCollection objects) {
    int n = 0;
    for (int s = 0; s < objects.getSeriesCount(); s++) {
      n += objects.getItemCount(s);
    }
    double[] x = new double[n];
    double[] y = new double[n];
    int at = 0;
    for (int s = 0; s < objects.getSeriesCount(); s++) {
      for (int i = 0; i < objects.getItemCount(s); i++, at++) {
        x[at] = objects.getXValue(s, i);
        y[at] = objects.getYValue(s, i);
      }
    }
    labels.avoid(x, y, OBJECT_RADIUS);
  }

  /**
   * Squares in the variables' colours, or all dark when the objects carry the colours; hollow
   * for passive variables. The series after the variables' hold excluded categories (of the
   * variables {@code excludedOf}), drawn as hollow diamonds.
   */
  private static XYLineAndShapeRenderer categoryRenderer(
      List<VariableResult> variables, List<Integer> excludedOf, boolean plain) {
    XYLineAndShapeRenderer renderer = new XYLineAndShapeRenderer(false, true);
    Shape marker = new Rectangle2D.Double(
        -MARKER_HALF_SIZE, -MARKER_HALF_SIZE, 2 * MARKER_HALF_SIZE, 2 * MARKER_HALF_SIZE);
    double r = MARKER_HALF_SIZE * 1.4;
    Path2D diamond = new Path2D.Double();
    diamond.moveTo(0, -r);
    diamond.lineTo(r, 0);
    diamond.lineTo(0, r);
    diamond.lineTo(-r, 0);
    diamond.closePath();
    int series = variables.size() + excludedOf.size();
    for (int s = 0; s < series; s++) {
      boolean excluded = s >= variables.size();
      int v = excluded ? excludedOf.get(s - variables.size()) : s;
      renderer.setSeriesPaint(s, plain ? Charts.PALETTE[v % Charts.PALETTE.length] : CATEGORY_INK);
      renderer.setSeriesShape(s, excluded ? diamond : marker);
      renderer.setSeriesShapesFilled(s, !excluded && variables.get(v).isActive());
    }
    renderer.setUseOutlinePaint(false);
    renderer.setDrawOutlines(true);
    renderer.setBaseStroke(new BasicStroke(1.2f));
    return renderer;
  }

  /** Translucent dots, one series per colour group, or the density behind everything. */
  private static XYLineAndShapeRenderer objectRenderer(
      XYSeriesCollection objects, ObjectGroups groups, ObjectDensity density) {
    XYLineAndShapeRenderer renderer = new XYLineAndShapeRenderer(false, true);
    Shape dot =
        new Ellipse2D.Double(-OBJECT_RADIUS, -OBJECT_RADIUS, 2 * OBJECT_RADIUS, 2 * OBJECT_RADIUS);
    for (int s = 0; s < objects.getSeriesCount(); s++) {
      renderer.setSeriesPaint(
          s, groups == null ? OBJECT_COLOUR : groups.translucent(objects.getSeriesKey(s)));
      renderer.setSeriesShape(s, dot);
      renderer.setSeriesVisibleInLegend(s, false);
    }
    if (density != null) {
      renderer.addAnnotation(density, Layer.BACKGROUND);
    }
    return renderer;
  }

  private static void checkPlane(HomalsResult result, int first, int second) {
    if (first < 0 || second < 0 || first >= result.dimensions() || second >= result.dimensions()
        || first == second) {
      throw new IllegalArgumentException("cannot plot dimensions " + (first + 1) + " and "
          + (second + 1) + " of a solution with " + result.dimensions());
    }
  }

  /**
   * Puts the objects that take part into {@code series}, one series per colour group, or, past
   * the threshold or for a sample of more objects, returns them as a density and leaves {@code
   * series} empty: a sample's points, one by one, would pass for all the objects.
   */
  private static ObjectDensity objectPoints(ObjectCloud cloud, int first, int second,
      ObjectGroups groups, Bounds bounds, XYSeriesCollection series) {
    int n = cloud.count();
    DoubleBuffer xs = cloud.scoreView(first);
    DoubleBuffer ys = cloud.scoreView(second);
    // One pass: the points go into arrays for a density while the bounds take them in.
    float[] x = new float[n];
    float[] y = new float[n];
    byte[] group = groups == null ? null : new byte[n];
    int taking = gather(cloud, xs, ys, groups, bounds, x, y, group);
    if (taking > DENSITY_THRESHOLD || (cloud.isSample() && taking > 0)) {
      if (taking < n) {
        x = Arrays.copyOf(x, taking);
        y = Arrays.copyOf(y, taking);
        group = group == null ? null : Arrays.copyOf(group, taking);
      }
      return groups == null ? new ObjectDensity(x, y)
                            : new ObjectDensity(x, y, group, groups.colours());
    }
    XYSeries[] byGroup = new XYSeries[groups == null ? 1 : groups.count()];
    for (int g = 0; g < byGroup.length; g++) {
      byGroup[g] = new XYSeries(g, false, true);
    }
    for (int i = 0; i < n; i++) {
      if (cloud.takesPart(i) && Double.isFinite(xs.get(i)) && Double.isFinite(ys.get(i))) {
        byGroup[groups == null ? 0 : groups.of(i)].add(xs.get(i), ys.get(i));
      }
    }
    for (int g = byGroup.length - 1; g >= 0; g--) {
      series.addSeries(byGroup[g]);
    }
    return null;
  }

  /**
   * Puts the drawn objects' points (and groups) at the start of x, y and group, in the objects'
   * order, takes them into the bounds, and returns their number: the objects that take part
   * with finite scores on both dimensions.
   */
  private static int gather(ObjectCloud cloud, DoubleBuffer xs, DoubleBuffer ys,
      ObjectGroups groups, Bounds bounds, float[] x, float[] y, byte[] group) {
    int taking = 0;
    for (int i = 0; i < x.length; i++) {
      double a = xs.get(i);
      double b = ys.get(i);
      if (cloud.takesPart(i) && Double.isFinite(a) && Double.isFinite(b)) {
        bounds.include(a, b);
        x[taking] = (float) a;
        y[taking] = (float) b;
        if (group != null) {
          group[taking] = (byte) groups.of(i);
        }
        taking++;
      }
    }
    return taking;
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
    CategoryLabels labels = new CategoryLabels(Charts.LABEL_FONT, 4, true);
    labels.add(0, 0, "label", Color.BLUE);
    plot.addAnnotation(labels);
    JFreeChart chart = new JFreeChart("title", Charts.TITLE_FONT, plot, true);
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
    Charts.writePng(chart, file, width, height);
  }

  /** Writes the chart as an SVG document of the given size. */
  public static void writeSvg(JFreeChart chart, Path file, int width, int height)
      throws IOException {
    Charts.writeSvg(chart, file, width, height, "joint-plot");
  }

  /** A label waiting for its turn to be placed. */
  private record Pending(int rank, double x, double y, String text, Color ink) {}

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

    double centreX() { return minX <= maxX ? (minX + maxX) / 2 : 0; }

    double centreY() { return minY <= maxY ? (minY + maxY) / 2 : 0; }

    /** How far the box reaches from the origin towards its nearest side, or its farthest. */
    double room() {
      double nearest = Math.min(Math.min(maxX, -minX), Math.min(maxY, -minY));
      return nearest > 0 ? nearest
                         : Math.max(Math.max(Math.abs(minX), Math.abs(maxX)),
                             Math.max(Math.abs(minY), Math.abs(maxY)));
    }
  }
}
