package Quorvane.homals.plot;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.VariableResult;
import java.awt.BasicStroke;
import java.awt.Color;
import java.awt.Font;
import java.awt.Graphics2D;
import java.awt.Paint;
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
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import javax.imageio.ImageIO;
import org.jfree.chart.JFreeChart;
import org.jfree.chart.axis.NumberAxis;
import org.jfree.chart.block.BlockBorder;
import org.jfree.chart.labels.ItemLabelAnchor;
import org.jfree.chart.labels.ItemLabelPosition;
import org.jfree.chart.plot.XYPlot;
import org.jfree.chart.renderer.xy.XYLineAndShapeRenderer;
import org.jfree.chart.title.LegendTitle;
import org.jfree.chart.title.TextTitle;
import org.jfree.data.xy.XYSeries;
import org.jfree.data.xy.XYSeriesCollection;
import org.jfree.svg.SVGGraphics2D;
import org.jfree.ui.RectangleEdge;
import org.jfree.ui.TextAnchor;

/**
 * The joint plot of a homogeneity analysis: object points (light grey) and category points
 * (labelled "variable: category") in one plane of two dimensions. Categories of passive
 * variables are drawn as hollow markers. Both axes share one scale, so distances can be read in
 * any direction when the image is square.
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
        XYSeries objects = new XYSeries("objects", false, true);
        double[] range = {Double.POSITIVE_INFINITY, Double.NEGATIVE_INFINITY};
        for (int i = 0; i < result.objectCount(); i++) {
            if (result.takesPart(i)) {
                double x = result.objectScore(i, first);
                double y = result.objectScore(i, second);
                objects.add(x, y);
                extend(range, x, y);
            }
        }
        dataset.addSeries(objects);

        List<List<String>> labels = new ArrayList<>();
        labels.add(List.of());
        List<VariableResult> variables = result.variables();
        for (VariableResult v : variables) {
            XYSeries series = new XYSeries(v.name() + (v.isActive() ? "" : " (passive)"), false,
                    true);
            List<String> seriesLabels = new ArrayList<>();
            for (int c = 0; c < v.categories().size(); c++) {
                double x = v.quantification(c, first);
                double y = v.quantification(c, second);
                series.add(x, y);
                seriesLabels.add(v.name() + ": " + v.categories().get(c));
                extend(range, x, y);
            }
            dataset.addSeries(series);
            labels.add(seriesLabels);
        }

        XYLineAndShapeRenderer renderer = new XYLineAndShapeRenderer(false, true);
        renderer.setSeriesPaint(0, OBJECT_COLOUR);
        renderer.setSeriesShape(0, new Ellipse2D.Double(-2.5, -2.5, 5, 5));
        renderer.setSeriesVisibleInLegend(0, false);
        Font labelFont = new Font(Font.SANS_SERIF, Font.PLAIN, 11);
        ItemLabelPosition position = new ItemLabelPosition(ItemLabelAnchor.OUTSIDE12,
                TextAnchor.BOTTOM_CENTER);
        Shape marker = new Rectangle2D.Double(-4, -4, 8, 8);
        for (int s = 1; s <= variables.size(); s++) {
            Paint paint = PALETTE[(s - 1) % PALETTE.length];
            renderer.setSeriesPaint(s, paint);
            renderer.setSeriesShape(s, marker);
            boolean active = variables.get(s - 1).isActive();
            renderer.setSeriesShapesFilled(s, active);
            renderer.setSeriesItemLabelsVisible(s, true);
            renderer.setSeriesItemLabelPaint(s, ((Color) paint).darker());
            renderer.setSeriesItemLabelFont(s, labelFont);
            renderer.setSeriesPositiveItemLabelPosition(s, position);
            renderer.setSeriesNegativeItemLabelPosition(s, position);
        }
        renderer.setBaseItemLabelGenerator((data, series, item) ->
                series == 0 ? null : labels.get(series).get(item));
        renderer.setUseOutlinePaint(false);
        renderer.setDrawOutlines(true);
        renderer.setBaseStroke(new BasicStroke(1.2f));

        NumberAxis xAxis = new NumberAxis(axisLabel(result, first));
        NumberAxis yAxis = new NumberAxis(axisLabel(result, second));
        double low = range[0];
        double high = range[1];
        if (!(high > low)) {
            low -= 1;
            high += 1;
        }
        double margin = 0.08 * (high - low);
        for (NumberAxis axis : new NumberAxis[] {xAxis, yAxis}) {
            axis.setRange(low - margin, high + margin);
            axis.setAutoRangeIncludesZero(false);
        }

        XYPlot plot = new XYPlot(dataset, xAxis, yAxis, renderer);
        plot.setBackgroundPaint(Color.WHITE);
        plot.setDomainGridlinePaint(new Color(225, 225, 225));
        plot.setRangeGridlinePaint(new Color(225, 225, 225));
        plot.setDomainZeroBaselineVisible(true);
        plot.setRangeZeroBaselineVisible(true);
        plot.setDomainZeroBaselinePaint(new Color(120, 120, 120));
        plot.setRangeZeroBaselinePaint(new Color(120, 120, 120));
        plot.setOutlinePaint(new Color(160, 160, 160));

        JFreeChart chart = new JFreeChart(null, JFreeChart.DEFAULT_TITLE_FONT, plot,
                variables.size() <= LEGEND_LIMIT);
        chart.setBackgroundPaint(Color.WHITE);
        chart.setAntiAlias(true);
        chart.setTextAntiAlias(RenderingHints.VALUE_TEXT_ANTIALIAS_ON);
        if (title != null) {
            chart.setTitle(new TextTitle(title, new Font(Font.SANS_SERIF, Font.BOLD, 16)));
        }
        LegendTitle legend = chart.getLegend();
        if (legend != null) {
            legend.setPosition(RectangleEdge.BOTTOM);
            legend.setFrame(BlockBorder.NONE);
        }
        return chart;
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

    private static void extend(double[] range, double x, double y) {
        if (Double.isFinite(x) && Double.isFinite(y)) {
            range[0] = Math.min(range[0], Math.min(x, y));
            range[1] = Math.max(range[1], Math.max(x, y));
        }
    }
}
