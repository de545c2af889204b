package Quorvane.homals.plot;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.TestData;
import Quorvane.homals.Variable;
import Quorvane.homals.VariableResult;
import java.awt.Rectangle;
import java.awt.geom.Rectangle2D;
import java.awt.image.BufferedImage;
import java.util.List;
import java.util.Locale;
import java.util.SplittableRandom;
import org.jfree.chart.ChartRenderingInfo;
import org.jfree.chart.JFreeChart;
import org.jfree.chart.axis.ValueAxis;
import org.jfree.chart.plot.XYPlot;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/** What the axes of the joint and discrimination plots span, and what their titles say. */
@Tag("plot")
class AxesTest {
  /**
   * One complete variable and four with most values missing, all driven by one trait: the
   * complete one is observed on far more objects than the mean active variable, and its
   * discrimination measure on the first dimension exceeds 1.
   */
  static HomalsResult sparse() {
    SplittableRandom random = new SplittableRandom(11);
    int n = 300;
    int[][] codes = new int[5][n];
    for (int i = 0; i < n; i++) {
      double trait = random.nextGaussian();
      for (int j = 0; j < codes.length; j++) {
        double position = trait + 0.6 * random.nextGaussian();
        codes[j][i] = j > 0 && random.nextDouble() < 0.75 ? 0
            : position < -0.5                             ? 1
            : position < 0.5                              ? 2
                                                          : 3;
      }
    }
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder();
    for (int j = 0; j < codes.length; j++) {
      builder.variable(Variable.ofCodes("variable-" + j, codes[j], List.of("a", "b", "c")));
    }
    return builder.build().run();
  }

  static ChartRenderingInfo draw(JFreeChart chart, int size) {
    ChartRenderingInfo info = new ChartRenderingInfo();
    BufferedImage image = new BufferedImage(size, size, BufferedImage.TYPE_INT_RGB);
    chart.draw(image.createGraphics(), new Rectangle(0, 0, size, size), info);
    return info;
  }

  @Test
  void measuresAboveOneAndTheirNamesStayInsideTheDiscriminationPlot() {
    HomalsResult result = sparse();
    double largest = 0;
    for (VariableResult v : result.variables()) {
      largest = Math.max(largest, Math.max(v.discrimination(0), v.discrimination(1)));
    }
    assertTrue(largest > 1.2, "no measure far above 1: " + largest);
    JFreeChart chart = DiscriminationPlot.chart(result, 0, 1, "measures", new ShortLabels(32));
    Rectangle2D area = draw(chart, 700).getPlotInfo().getDataArea();
    XYPlot plot = chart.getXYPlot();
    CategoryLabels names = LabelPlacementTest.labels(chart);
    Rectangle2D[] boxes = names.boxes();
    List<double[]> points = names.points();
    assertEquals(result.variables().size(), boxes.length);
    for (int v = 0; v < boxes.length; v++) {
      double x = points.get(v)[0];
      double y = points.get(v)[1];
      assertTrue(plot.getDomainAxis().getRange().contains(x), "cut off at " + x);
      assertTrue(plot.getRangeAxis().getRange().contains(y), "cut off at " + y);
      // Each name is drawn, inside the plot and within reach of its own point.
      assertNotNull(boxes[v]);
      assertTrue(area.contains(boxes[v]), boxes[v].toString());
      double px = plot.getDomainAxis().valueToJava2D(x, area, plot.getDomainAxisEdge());
      double py = plot.getRangeAxis().valueToJava2D(y, area, plot.getRangeAxisEdge());
      assertTrue(Math.hypot(boxes[v].getCenterX() - px, boxes[v].getCenterY() - py) < 200,
          "name " + v + " far from its point");
    }
  }

  /** A small joint plot has shorter axis titles, which fit, and still give the share. */
  @ParameterizedTest(name = "{0} pixels")
  @ValueSource(ints = {200, 300, 450, 900})
  void axisTitlesFitTheJointPlot(int size) throws Exception {
    HomalsResult result = TestData.votes(3, null);
    JFreeChart chart = JointPlot.chart(
        result, PlotSettings.of(size, null).withDimensions(0, 2), "joint", new ShortLabels(32));
    Rectangle2D area = draw(chart, size).getPlotInfo().getDataArea();
    XYPlot plot = chart.getXYPlot();
    ValueAxis[] axes = {plot.getDomainAxis(), plot.getRangeAxis()};
    double[] lengths = {area.getWidth(), area.getHeight()};
    int[] dimensions = {0, 2};
    for (int a = 0; a < 2; a++) {
      String title = axes[a].getLabel();
      assertTrue(Charts.width(title, axes[a].getLabelFont()) <= lengths[a],
          title + " longer than " + lengths[a]);
      String share =
          String.format(Locale.ROOT, "%.1f %%", result.inertia().percent()[dimensions[a]]);
      assertTrue(title.contains("Dim") && title.contains(" " + (dimensions[a] + 1) + " (")
              && title.contains(share),
          title);
    }
    if (size >= 900) {
      assertEquals(full(result, 2), axes[1].getLabel());
    }
  }

  /** The title of a dimension's axis where there is room for all of it. */
  static String full(HomalsResult result, int dimension) {
    return String.format(Locale.ROOT, "Dimension %d (eigenvalue %.3f, %.1f %% of inertia)",
        dimension + 1, result.eigenvalue(dimension), result.inertia().percent()[dimension]);
  }
}
