package Quorvane.homals.plot;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.Inertia;
import java.awt.Color;
import java.util.Locale;
import org.jfree.chart.JFreeChart;
import org.jfree.chart.axis.CategoryAxis;
import org.jfree.chart.axis.NumberAxis;
import org.jfree.chart.labels.ItemLabelAnchor;
import org.jfree.chart.labels.ItemLabelPosition;
import org.jfree.chart.labels.StandardCategoryItemLabelGenerator;
import org.jfree.chart.plot.CategoryPlot;
import org.jfree.chart.renderer.category.BarRenderer;
import org.jfree.chart.renderer.category.StandardBarPainter;
import org.jfree.data.category.CategoryDataset;
import org.jfree.data.category.DefaultCategoryDataset;
import org.jfree.ui.TextAnchor;

/**
 * The eigenvalues of the retained dimensions as bars, each labelled with its share of the total
 * inertia: where the bars stop falling steeply, further dimensions add little.
 */
final class ScreePlot {
  private static final Color BAR = new Color(0x1f77b4);

  private ScreePlot() {}

  static JFreeChart chart(HomalsResult result) {
    Inertia inertia = result.inertia();
    double[] percent = inertia.percent();
    DefaultCategoryDataset dataset = new DefaultCategoryDataset();
    for (int d = 0; d < result.dimensions(); d++) {
      dataset.addValue(result.eigenvalue(d), "eigenvalue", Integer.valueOf(d + 1));
    }
    BarRenderer renderer = new BarRenderer();
    renderer.setBarPainter(new StandardBarPainter());
    renderer.setShadowVisible(false);
    renderer.setSeriesPaint(0, BAR);
    renderer.setMaximumBarWidth(0.12);
    renderer.setBaseItemLabelGenerator(new StandardCategoryItemLabelGenerator() {
      private static final long serialVersionUID = 1L;

      @Override
      public String generateLabel(CategoryDataset data, int row, int column) {
        return String.format(Locale.ROOT, "%.3f (%.1f %%)",
            data.getValue(row, column).doubleValue(), percent[column]);
      }
    });
    renderer.setBaseItemLabelsVisible(true);
    renderer.setBaseItemLabelFont(Charts.LABEL_FONT);
    renderer.setBasePositiveItemLabelPosition(
        new ItemLabelPosition(ItemLabelAnchor.OUTSIDE12, TextAnchor.BOTTOM_CENTER));

    NumberAxis values = new NumberAxis("Eigenvalue");
    double largest = result.dimensions() > 0 ? result.eigenvalue(0) : 0;
    values.setRange(0, Double.isFinite(largest) && largest > 0 ? largest * 1.15 : 1);
    CategoryPlot plot = new CategoryPlot(dataset, new CategoryAxis("Dimension"), values, renderer);
    plot.setBackgroundPaint(Color.WHITE);
    plot.setRangeGridlinePaint(Charts.GRID);
    plot.setOutlinePaint(new Color(160, 160, 160));
    JFreeChart chart = Charts.chart(plot, "Eigenvalues", false);
    Charts.note(chart,
        String.format(Locale.ROOT, "Labels: eigenvalue (per cent of the total inertia, %.4f)",
            inertia.total()));
    return chart;
  }
}
