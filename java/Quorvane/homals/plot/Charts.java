package Quorvane.homals.plot;

import Quorvane.homals.HomalsResult;
import java.awt.Color;
import java.awt.Font;
import java.awt.Graphics2D;
import java.awt.Rectangle;
import java.awt.RenderingHints;
import java.awt.font.FontRenderContext;
import java.awt.image.BufferedImage;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Locale;
import javax.imageio.ImageIO;
import org.jfree.chart.JFreeChart;
import org.jfree.chart.block.BlockBorder;
import org.jfree.chart.plot.Plot;
import org.jfree.chart.plot.XYPlot;
import org.jfree.chart.title.LegendTitle;
import org.jfree.chart.title.TextTitle;
import org.jfree.svg.MeetOrSlice;
import org.jfree.svg.PreserveAspectRatio;
import org.jfree.svg.SVGGraphics2D;
import org.jfree.svg.ViewBox;
import org.jfree.ui.RectangleEdge;

/** What every chart of a result shares: colours, fonts, frame, and writing it as PNG and SVG. */
final class Charts {
  /** One colour per variable, repeated when there are more variables. */
  static final Color[] PALETTE = {
      new Color(0x1f77b4),
      new Color(0xd62728),
      new Color(0x2ca02c),
      new Color(0x9467bd),
      new Color(0xff7f0e),
      new Color(0x8c564b),
      new Color(0xe377c2),
      new Color(0x17becf),
      new Color(0x7f7f7f),
      new Color(0xbcbd22),
      new Color(0x393b79),
      new Color(0x637939),
      new Color(0x8c6d31),
      new Color(0x843c39),
      new Color(0x7b4173),
      new Color(0x3182bd),
  };
  static final Font TITLE_FONT = new Font(Font.SANS_SERIF, Font.BOLD, 16);
  static final Font LABEL_FONT = new Font(Font.SANS_SERIF, Font.PLAIN, 11);
  static final Color GRID = new Color(225, 225, 225);
  static final Color BASELINE = new Color(120, 120, 120);
  /**
   * Text is measured in one way for PNG and SVG alike (anti-aliased, fractional widths), so that
   * both place labels the same.
   */
  static final FontRenderContext MEASURE = new FontRenderContext(null, true, true);

  private Charts() {}

  /** A chart around the plot on white, with its title and its legend (if any) below. */
  static JFreeChart chart(Plot plot, String title, boolean legend) {
    return style(new JFreeChart(null, TITLE_FONT, plot, legend), title);
  }

  /** Sets the chart on white, with its title and its legend (if any) below. */
  static JFreeChart style(JFreeChart chart, String title) {
    chart.setBackgroundPaint(Color.WHITE);
    chart.setAntiAlias(true);
    chart.setTextAntiAlias(RenderingHints.VALUE_TEXT_ANTIALIAS_ON);
    // Text measured as the SVG writer measures it, so that the PNG is laid out like the SVG.
    chart.getRenderingHints().put(
        RenderingHints.KEY_FRACTIONALMETRICS, RenderingHints.VALUE_FRACTIONALMETRICS_ON);
    if (title != null) {
      chart.setTitle(new TextTitle(title, TITLE_FONT));
    }
    LegendTitle legendTitle = chart.getLegend();
    if (legendTitle != null) {
      legendTitle.setPosition(RectangleEdge.BOTTOM);
      legendTitle.setFrame(BlockBorder.NONE);
    }
    return chart;
  }

  /** A line of small grey text below the plot, saying how to read it. */
  static TextTitle note(JFreeChart chart, String text) {
    TextTitle note = new TextTitle(text, LABEL_FONT);
    note.setPosition(RectangleEdge.BOTTOM);
    note.setPaint(new Color(90, 90, 90));
    chart.addSubtitle(note);
    return note;
  }

  /** White background, light grid, and the zero lines that the points are read against. */
  static void frame(XYPlot plot) {
    plot.setBackgroundPaint(Color.WHITE);
    plot.setDomainGridlinePaint(GRID);
    plot.setRangeGridlinePaint(GRID);
    plot.setDomainZeroBaselineVisible(true);
    plot.setRangeZeroBaselineVisible(true);
    plot.setDomainZeroBaselinePaint(BASELINE);
    plot.setRangeZeroBaselinePaint(BASELINE);
    plot.setOutlinePaint(new Color(160, 160, 160));
  }

  /**
   * The title of a dimension's axis: its eigenvalue and share of the total inertia, in as many
   * words as fit into {@code room} pixels in {@code font}; the shortest form otherwise.
   */
  static String dimensionLabel(HomalsResult result, int dimension, Font font, double room) {
    int number = dimension + 1;
    double eigenvalue = result.eigenvalue(dimension);
    double percent = result.inertia().percent()[dimension];
    List<String> forms = Double.isFinite(percent)
        ? List.of(format("Dimension %d (eigenvalue %.3f, %.1f %% of inertia)", number, eigenvalue,
                      percent),
            format("Dimension %d (%.3f, %.1f %%)", number, eigenvalue, percent),
            format("Dim. %d (%.1f %%)", number, percent))
        : List.of(format("Dimension %d (eigenvalue %.3f)", number, eigenvalue),
            format("Dim. %d (%.3f)", number, eigenvalue));
    for (String form : forms) {
      if (width(form, font) <= room) {
        return form;
      }
    }
    return forms.get(forms.size() - 1);
  }

  /** The width of a text in pixels, the same whatever it is drawn on. */
  static double width(String text, Font font) {
    return font.getStringBounds(text, MEASURE).getWidth();
  }

  private static String format(String form, Object... values) {
    return String.format(Locale.ROOT, form, values);
  }

  static void writePng(JFreeChart chart, Path file, int width, int height) throws IOException {
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

  /**
   * Writes the chart as an SVG document and returns the same drawing as an {@code <svg>} element
   * for an HTML page. Its clip paths and other definitions are named with {@code id} as a prefix:
   * several drawings in one page would otherwise share names, and each would clip by the first.
   */
  static String writeSvg(JFreeChart chart, Path file, int width, int height, String id)
      throws IOException {
    SVGGraphics2D g = new SVGGraphics2D(width, height);
    g.setDefsKeyPrefix(id + "-");
    chart.draw(g, new Rectangle(0, 0, width, height));
    Files.writeString(file, g.getSVGDocument());
    return g.getSVGElement(id, true, new ViewBox(0, 0, width, height),
        PreserveAspectRatio.XMID_YMID, MeetOrSlice.MEET);
  }
}
