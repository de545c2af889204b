package Quorvane.homals.plot;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.VariableResult;
import java.awt.BasicStroke;
import java.awt.Color;
import java.awt.Shape;
import java.awt.geom.Ellipse2D;
import java.util.List;
import org.jfree.chart.JFreeChart;
import org.jfree.chart.annotations.XYLineAnnotation;
import org.jfree.chart.axis.NumberAxis;
import org.jfree.chart.plot.XYPlot;
import org.jfree.chart.renderer.xy.XYLineAndShapeRenderer;
import org.jfree.data.xy.XYSeries;
import org.jfree.data.xy.XYSeriesCollection;

/**
 * The discrimination measures of the variables on two dimensions: each variable is a point at
 * its measures, joined to the origin, in its colour of the joint plot; passive variables are
 * hollow. A variable far along an axis separates the objects on that dimension; one near the
 * diagonal on both; one near the origin on neither. Both axes have the same scale.
 */
final class DiscriminationPlot {
  private static final double MARKER_RADIUS = 4;

  private DiscriminationPlot() {}

  /** @param plot the plot's name, under which its shortened labels are recorded */
  static JFreeChart chart(
      HomalsResult result, int first, int second, String plot, ShortLabels labels) {
    List<VariableResult> variables = result.variables();
    XYSeriesCollection dataset = new XYSeriesCollection();
    XYLineAndShapeRenderer renderer = new XYLineAndShapeRenderer(false, true);
    CategoryLabels names = new CategoryLabels(Charts.LABEL_FONT, MARKER_RADIUS);
    Shape marker =
        new Ellipse2D.Double(-MARKER_RADIUS, -MARKER_RADIUS, 2 * MARKER_RADIUS, 2 * MARKER_RADIUS);
    double largest = 0;
    for (int v = 0; v < variables.size(); v++) {
      VariableResult variable = variables.get(v);
      Color colour = Charts.PALETTE[v % Charts.PALETTE.length];
      double x = variable.discrimination(first);
      double y = variable.discrimination(second);
      XYSeries series = new XYSeries(v, false, true);
      series.add(x, y);
      dataset.addSeries(series);
      renderer.setSeriesPaint(v, colour);
      renderer.setSeriesShape(v, marker);
      renderer.setSeriesShapesFilled(v, variable.isActive());
      renderer.addAnnotation(new XYLineAnnotation(0, 0, x, y, new BasicStroke(1.2f),
          new Color(colour.getRed(), colour.getGreen(), colour.getBlue(), 150)));
      names.add(x, y, labels.plain(plot, variable.name()), colour.darker());
      if (Double.isFinite(x) && Double.isFinite(y)) {
        largest = Math.max(largest, Math.max(x, y));
      }
    }
    renderer.setUseOutlinePaint(false);
    renderer.setBaseStroke(new BasicStroke(1.2f));

    // Measures lie in [0, 1]; the axes reach a little past the largest so that labels fit.
    double top = largest > 0 ? Math.min(1.0, largest) * 1.15 : 1.0;
    NumberAxis xAxis = new NumberAxis(Charts.dimensionLabel(result, first));
    NumberAxis yAxis = new NumberAxis(Charts.dimensionLabel(result, second));
    xAxis.setRange(-0.03 * top, top);
    yAxis.setRange(-0.03 * top, top);
    XYPlot xy = new XYPlot(dataset, xAxis, yAxis, renderer);
    Charts.frame(xy);
    xy.addAnnotation(names);
    JFreeChart chart = Charts.chart(xy, "Discrimination measures", false);
    Charts.note(chart,
        "Each variable at its discrimination measures on the two dimensions; "
            + "hollow: passive");
    return chart;
  }
}
