package Quorvane.homals.plot;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.VariableResult;
import java.awt.BasicStroke;
import java.awt.Color;
import java.awt.geom.Ellipse2D;
import org.jfree.chart.JFreeChart;
import org.jfree.chart.axis.CategoryAxis;
import org.jfree.chart.axis.CategoryLabelPositions;
import org.jfree.chart.axis.NumberAxis;
import org.jfree.chart.plot.CategoryPlot;
import org.jfree.chart.renderer.category.LineAndShapeRenderer;
import org.jfree.data.category.DefaultCategoryDataset;

/**
 * The transformation of a single variable: its categories in order along the horizontal axis and
 * their quantifications on every dimension, one line per dimension. The lines are multiples of
 * the one category score (by the loadings), so they share their shape: flat stretches are
 * categories the solution merged; an ordinal variable's line never turns back, a numerical one's
 * follows the category values.
 */
final class TransformationPlot {
  /** More categories than this and their names are set at a slant, so that they do not meet. */
  private static final int UPRIGHT_LIMIT = 8;

  private TransformationPlot() {}

  /** @param plot the plot's name, under which its shortened labels are recorded */
  static JFreeChart chart(
      HomalsResult result, VariableResult variable, String plot, ShortLabels labels) {
    DefaultCategoryDataset dataset = new DefaultCategoryDataset();
    for (int d = 0; d < result.dimensions(); d++) {
      String line = "Dimension " + (d + 1);
      for (int c = 0; c < variable.categories().size(); c++) {
        double value = variable.quantification(c, d);
        dataset.addValue(Double.isFinite(value) ? value : null, line,
            new Category(c, labels.plain(plot, variable.categories().get(c))));
      }
    }
    LineAndShapeRenderer renderer = new LineAndShapeRenderer(true, true);
    for (int d = 0; d < result.dimensions(); d++) {
      renderer.setSeriesPaint(d, Charts.PALETTE[d % Charts.PALETTE.length]);
      renderer.setSeriesShape(d, new Ellipse2D.Double(-3.5, -3.5, 7, 7));
      renderer.setSeriesStroke(d, new BasicStroke(1.6f));
    }
    CategoryAxis categories = new CategoryAxis(variable.name() + " (categories in order)");
    if (variable.categories().size() > UPRIGHT_LIMIT) {
      categories.setCategoryLabelPositions(CategoryLabelPositions.UP_45);
    }
    NumberAxis values = new NumberAxis("Quantification");
    values.setAutoRangeIncludesZero(true);
    CategoryPlot chart = new CategoryPlot(dataset, categories, values, renderer);
    chart.setBackgroundPaint(Color.WHITE);
    chart.setRangeGridlinePaint(Charts.GRID);
    chart.setDomainGridlinesVisible(true);
    chart.setDomainGridlinePaint(Charts.GRID);
    chart.setRangeZeroBaselineVisible(true);
    chart.setRangeZeroBaselinePaint(Charts.BASELINE);
    chart.setOutlinePaint(new Color(160, 160, 160));
    return Charts.chart(chart,
        "Transformation of " + variable.name() + " (" + variable.quantification().describe() + ")",
        result.dimensions() > 1);
  }

  /**
   * A category on the axis: its position keeps apart two labels that are cut to the same text
   * and keeps the order.
   */
  private record Category(int index, String label) implements Comparable<Category> {
    @Override
    public int compareTo(Category other) {
      return Integer.compare(index, other.index);
    }

    @Override
    public String toString() {
      return label;
    }
  }
}
