package Quorvane.homals.plot;

import java.awt.Color;
import java.awt.Graphics2D;
import java.awt.Shape;
import java.awt.geom.Rectangle2D;
import java.awt.image.BufferedImage;
import java.awt.image.DataBufferInt;
import org.jfree.chart.axis.ValueAxis;
import org.jfree.chart.plot.PlotRenderingInfo;
import org.jfree.chart.plot.XYPlot;

/**
 * The object points of a large solution as a density: the plot area is cut into square bins of
 * a few pixels, and each bin that holds objects is shaded by how many, on a logarithmic scale (a
 * bin of one object is light, the fullest bin dark). One shape per object would hide all but the
 * outline of the cloud under its own ink and make files of hundreds of megabytes; the bins show
 * where the objects crowd, and they are drawn as one image, the same in PNG and in SVG (where it
 * is embedded), whatever the number of objects.
 *
 * <p>With colour groups, a bin takes the colour of the group most of its objects belong to: one
 * image still, where a density per group would stack images that hide each other.
 */
final class ObjectDensity extends DrawnAnnotation {
  private static final long serialVersionUID = 1L;
  /** The side of a bin, in pixels of the drawing. */
  static final int BIN_PIXELS = 3;
  private static final int LIGHTEST = 232;
  private static final int DARKEST = 96;
  /** How much of its group's colour the emptiest and the fullest bin show over white. */
  private static final double FAINTEST = 0.25;

  private final float[] x;
  private final float[] y;
  private final byte[] groups;
  private final Color[] colours;
  // The counts of the last drawing: a PNG and an SVG of the same size cut the same bins, and ten
  // million points take a while to sort into them. One reference, so that drawings in two
  // threads at once see a whole count or none.
  private transient Counted counted;

  /** The points' counts per bin and, with groups, each bin's dominant group. */
  private record Counted(Bins bins, int[] counts, byte[] dominant) {}

  /** The points (x[i], y[i]), all finite, shaded grey. */
  ObjectDensity(float[] x, float[] y) { this(x, y, null, null); }

  /**
   * The points (x[i], y[i]), all finite; point i in group {@code groups[i]} (unsigned), drawn in
   * {@code colours[group]}.
   */
  ObjectDensity(float[] x, float[] y, byte[] groups, Color[] colours) {
    this.x = x;
    this.y = y;
    this.groups = groups;
    this.colours = colours;
  }

  /** The number of points. */
  int count() { return x.length; }

  @Override
  public void draw(Graphics2D g2, XYPlot plot, Rectangle2D dataArea, ValueAxis domainAxis,
      ValueAxis rangeAxis, int rendererIndex, PlotRenderingInfo info) {
    int left = (int) Math.floor(dataArea.getMinX());
    int top = (int) Math.floor(dataArea.getMinY());
    int columns = Math.max(1, (int) Math.ceil((dataArea.getMaxX() - left) / BIN_PIXELS));
    int rows = Math.max(1, (int) Math.ceil((dataArea.getMaxY() - top) / BIN_PIXELS));
    Bins bins = new Bins(dataArea, domainAxis, rangeAxis, plot, left, top, columns, rows);
    Counted last = counted;
    if (last == null || !last.bins().sameAs(bins)) {
      int[] binCounts = count(bins, x, y);
      last = new Counted(bins, binCounts, groups == null ? null : dominantGroups(bins, binCounts));
      counted = last;
    }
    int[] counts = last.counts();
    byte[] dominant = last.dominant();
    int most = 0;
    for (int c : counts) {
      most = Math.max(most, c);
    }
    if (most == 0) {
      return;
    }

    BufferedImage image =
        new BufferedImage(columns * BIN_PIXELS, rows * BIN_PIXELS, BufferedImage.TYPE_INT_ARGB);
    int[] pixels = ((DataBufferInt) image.getRaster().getDataBuffer()).getData();
    int width = image.getWidth();
    double scale = Math.log1p(most);
    for (int bin = 0; bin < counts.length; bin++) {
      if (counts[bin] == 0) {
        continue;
      }
      double share = Math.log1p(counts[bin]) / scale;
      int argb = dominant == null ? grey(share) : tint(colours[dominant[bin] & 0xFF], share);
      int row = bin / columns;
      int column = bin % columns;
      for (int dy = 0; dy < BIN_PIXELS; dy++) {
        int start = (row * BIN_PIXELS + dy) * width + column * BIN_PIXELS;
        java.util.Arrays.fill(pixels, start, start + BIN_PIXELS, argb);
      }
    }
    Shape clip = g2.getClip();
    g2.clip(dataArea);
    g2.drawImage(image, left, top, null);
    g2.setClip(clip);
  }

  /** How many points fall into each bin. */
  private static int[] count(Bins bins, float[] x, float[] y) {
    int[] counts = new int[bins.columns * bins.rows];
    for (int i = 0; i < x.length; i++) {
      int bin = bins.of(x[i], y[i]);
      if (bin >= 0) {
        counts[bin]++;
      }
    }
    return counts;
  }

  private static int grey(double share) {
    int grey = (int) Math.round(LIGHTEST - (LIGHTEST - DARKEST) * share);
    return 0xFF000000 | grey << 16 | grey << 8 | grey;
  }

  private static int tint(Color colour, double share) {
    double ink = FAINTEST + (1 - FAINTEST) * share;
    int r = (int) Math.round(255 - (255 - colour.getRed()) * ink);
    int g = (int) Math.round(255 - (255 - colour.getGreen()) * ink);
    int b = (int) Math.round(255 - (255 - colour.getBlue()) * ink);
    return 0xFF000000 | r << 16 | g << 8 | b;
  }

  /**
   * The most frequent group of each bin (the first of equals). The points' groups are sorted
   * into their bins first, so that the count per group needs room for one bin, not for all
   * bins times all groups.
   */
  private byte[] dominantGroups(Bins bins, int[] counts) {
    int[] start = new int[counts.length + 1];
    for (int bin = 0; bin < counts.length; bin++) {
      start[bin + 1] = start[bin] + counts[bin];
    }
    int[] next = java.util.Arrays.copyOf(start, counts.length);
    byte[] sorted = new byte[start[counts.length]];
    for (int i = 0; i < x.length; i++) {
      int bin = bins.of(x[i], y[i]);
      if (bin >= 0) {
        sorted[next[bin]++] = groups[i];
      }
    }
    byte[] dominant = new byte[counts.length];
    int[] tally = new int[colours.length];
    for (int bin = 0; bin < counts.length; bin++) {
      if (counts[bin] == 0) {
        continue;
      }
      java.util.Arrays.fill(tally, 0);
      int best = 0;
      for (int at = start[bin]; at < start[bin + 1]; at++) {
        tally[sorted[at] & 0xFF]++;
      }
      for (int group = 1; group < tally.length; group++) {
        best = tally[group] > tally[best] ? group : best;
      }
      dominant[bin] = (byte) best;
    }
    return dominant;
  }

  /** The bins of the plot area, row-major from the top left; the axes are linear. */
  private static final class Bins {
    private final double x0;
    private final double xScale;
    private final double y0;
    private final double yScale;
    private final int columns;
    private final int rows;

    Bins(Rectangle2D dataArea, ValueAxis domainAxis, ValueAxis rangeAxis, XYPlot plot, int left,
        int top, int columns, int rows) {
      x0 = domainAxis.valueToJava2D(0, dataArea, plot.getDomainAxisEdge()) - left;
      xScale = domainAxis.valueToJava2D(1, dataArea, plot.getDomainAxisEdge()) - left - x0;
      y0 = rangeAxis.valueToJava2D(0, dataArea, plot.getRangeAxisEdge()) - top;
      yScale = rangeAxis.valueToJava2D(1, dataArea, plot.getRangeAxisEdge()) - top - y0;
      this.columns = columns;
      this.rows = rows;
    }

    /** Whether these bins are those of {@code other}: the same grid at the same place. */
    boolean sameAs(Bins other) {
      return x0 == other.x0 && xScale == other.xScale && y0 == other.y0 && yScale == other.yScale
          && columns == other.columns && rows == other.rows;
    }

    /** The bin of a point, or -1 outside the plot area. */
    int of(float x, float y) {
      int column = (int) Math.floor((x0 + xScale * x) / BIN_PIXELS);
      int row = (int) Math.floor((y0 + yScale * y) / BIN_PIXELS);
      return column >= 0 && column < columns && row >= 0 && row < rows ? row * columns + column
                                                                       : -1;
    }
  }
}
