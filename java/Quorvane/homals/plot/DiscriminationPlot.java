package Quorvane.homals.plot;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.VariableResult;
import java.awt.BasicStroke;
import java.awt.Color;
import java.awt.Shape;
import java.awt.geom.Ellipse2D;
import java.util.Arrays;
import java.util.Comparator;
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
  /** Pixels an axis title may take in the plot's 700. */
  private static final double AXIS_TITLE_ROOM = 480;

  private DiscriminationPlot() {}

  /** How far a variable's point lies from the origin. */
  private static double reach(VariableResult variable, int first, int second) {
    double distance = Math.hypot(variable.discrimination(first), variable.discrimination(second));
    return Double.isFinite(distance) ? distance : 0;
  }

  /** @param plot the plot's name, under which its shortened labels are recorded */
  static JFreeChart chart(
      HomalsResult result, int first, int second, String plot, ShortLabels labels) {
    List<VariableResult> variables = result.variables();
    XYSeriesCollection dataset = new XYSeriesCollection();
    XYLineAndShapeRenderer renderer = new XYLineAndShapeRenderer(false, true);
    // Every variable keeps its name, crowded or not: a nameless point here tells nothing.
    CategoryLabels names = new CategoryLabels(Charts.LABEL_FONT, MARKER_RADIUS, false);
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
      if (Double.isFinite(x) && Double.isFinite(y)) {
        largest = Math.max(largest, Math.max(x, y));
      }
    }
    // The variables that discriminate most choose their places first.
    Integer[] order = new Integer[variables.size()];
    Arrays.setAll(order, v -> v);
    Arrays.sort(order,
        Comparator.comparingDouble((Integer v) -> reach(variables.get(v), first, second))
            .reversed());
    for (int v : order) {
      VariableResult variable = variables.get(v);
      names.add(variable.discrimination(first), variable.discrimination(second),
          labels.plain(plot, variable.name()), Charts.PALETTE[v % Charts.PALETTE.length].darker());
    }
    renderer.setUseOutlinePaint(false);
    renderer.setBaseStroke(new BasicStroke(1.2f));

    // Measures above 1 (missing values) are shown as they are: the axes reach past the largest
    // measure, whatever it is, by room enough for its name.
    double top = largest > 0 ? largest * 1.15 : 1.0;
    NumberAxis xAxis = new NumberAxis();
    xAxis.setLabel(Charts.dimensionLabel(result, first, xAxis.getLabelFont(), AXIS_TITLE_ROOM));
    NumberAxis yAxis = new NumberAxis();
    yAxis.setLabel(Charts.dimensionLabel(result, second, yAxis.getLabelFont(), AXIS_TITLE_ROOM));
    xAxis.setRange(-0.03 * top, top);
    yAxis.setRange(-0.03 * top, top);
    XYPlot xy = new XYPlot(dataset, xAxis, yAxis, renderer);
    Charts.frame(xy);
    xy.addAnnotation(names);
    JFreeChart chart = Charts.chart(xy, "Discrimination measures", false);
    // Notes at the bottom stack upwards: the last added is read first.
    if (largest > 1) {
      Charts.note(chart,
          "Measures above 1: variables observed on more objects than the mean "
              + "active variable (the others have missing values)");
    }
    Charts.note(chart,
        "Each variable at its discrimination measures on the two dimensions; "
            + "hollow: passive");
    return chart;
  }
}
