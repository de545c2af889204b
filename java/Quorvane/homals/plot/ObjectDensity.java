package Quorvane.homals.plot;

import java.awt.Graphics2D;
import java.awt.Shape;
import java.awt.geom.Rectangle2D;
import java.awt.image.BufferedImage;
import java.awt.image.DataBufferInt;
import org.jfree.chart.annotations.AbstractXYAnnotation;
import org.jfree.chart.axis.ValueAxis;
import org.jfree.chart.plot.PlotRenderingInfo;
import org.jfree.chart.plot.XYPlot;

/**
 * The object points of a large solution as a density: the plot area is cut into square bins of
 * a few pixels, and each bin that holds objects is shaded grey by how many, on a logarithmic
 * scale (a bin of one object is light, the fullest bin dark). One shape per object would hide
 * all but the outline of the cloud under its own ink and make files of hundreds of megabytes;
 * the bins show where the objects crowd, and they are drawn as one image, the same in PNG and in
 * SVG (where it is embedded), whatever the number of objects.
 */
final class ObjectDensity extends AbstractXYAnnotation {
  private static final long serialVersionUID = 1L;
  /** The side of a bin, in pixels of the drawing. */
  static final int BIN_PIXELS = 3;
  private static final int LIGHTEST = 232;
  private static final int DARKEST = 96;

  private final float[] x;
  private final float[] y;

  /** The points (x[i], y[i]), all finite. */
  ObjectDensity(float[] x, float[] y) {
    this.x = x;
    this.y = y;
  }

  @Override
  public void draw(Graphics2D g2, XYPlot plot, Rectangle2D dataArea, ValueAxis domainAxis,
      ValueAxis rangeAxis, int rendererIndex, PlotRenderingInfo info) {
    int left = (int) Math.floor(dataArea.getMinX());
    int top = (int) Math.floor(dataArea.getMinY());
    int columns = Math.max(1, (int) Math.ceil((dataArea.getMaxX() - left) / BIN_PIXELS));
    int rows = Math.max(1, (int) Math.ceil((dataArea.getMaxY() - top) / BIN_PIXELS));
    int[] counts = count(dataArea, domainAxis, rangeAxis, plot, left, top, columns, rows);
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
    for (int row = 0; row < rows; row++) {
      for (int column = 0; column < columns; column++) {
        int count = counts[row * columns + column];
        if (count == 0) {
          continue;
        }
        int grey = (int) Math.round(LIGHTEST - (LIGHTEST - DARKEST) * Math.log1p(count) / scale);
        int argb = 0xFF000000 | grey << 16 | grey << 8 | grey;
        for (int dy = 0; dy < BIN_PIXELS; dy++) {
          int start = (row * BIN_PIXELS + dy) * width + column * BIN_PIXELS;
          java.util.Arrays.fill(pixels, start, start + BIN_PIXELS, argb);
        }
      }
    }
    Shape clip = g2.getClip();
    g2.clip(dataArea);
    g2.drawImage(image, left, top, null);
    g2.setClip(clip);
  }

  /** Objects per bin, row-major from the top left; the axes are linear. */
  private int[] count(Rectangle2D dataArea, ValueAxis domainAxis, ValueAxis rangeAxis, XYPlot plot,
      int left, int top, int columns, int rows) {
    double x0 = domainAxis.valueToJava2D(0, dataArea, plot.getDomainAxisEdge()) - left;
    double xScale = domainAxis.valueToJava2D(1, dataArea, plot.getDomainAxisEdge()) - left - x0;
    double y0 = rangeAxis.valueToJava2D(0, dataArea, plot.getRangeAxisEdge()) - top;
    double yScale = rangeAxis.valueToJava2D(1, dataArea, plot.getRangeAxisEdge()) - top - y0;
    int[] counts = new int[columns * rows];
    for (int i = 0; i < x.length; i++) {
      int column = (int) Math.floor((x0 + xScale * x[i]) / BIN_PIXELS);
      int row = (int) Math.floor((y0 + yScale * y[i]) / BIN_PIXELS);
      if (column >= 0 && column < columns && row >= 0 && row < rows) {
        counts[row * columns + column]++;
      }
    }
    return counts;
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
