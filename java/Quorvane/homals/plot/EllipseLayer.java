package Quorvane.homals.plot;

import Quorvane.homals.HomalsResult;
import java.awt.BasicStroke;
import java.awt.Color;
import java.util.List;
import org.jfree.chart.LegendItemCollection;
import org.jfree.chart.annotations.XYShapeAnnotation;
import org.jfree.chart.renderer.xy.XYItemRenderer;
import org.jfree.ui.Layer;

/**
 * The concentration ellipses of the categories of one column in a joint plot, drawn behind the
 * object dots, which are translucent, and in front of their density. Their colours are those of the
 * objects when the same column colours them; otherwise they follow the objects' rule (the nine
 * categories of the largest weight a colour each, the others one grey) in darker colours of their
 * own, so that an ellipse is not taken for objects of another column.
 */
final class EllipseLayer {
  /** Sides of the polygon that draws an ellipse: smooth at any plot size. */
  private static final int SEGMENTS = 120;
  private static final BasicStroke STROKE = new BasicStroke(1.8f);

  private final ObjectColours column;
  private final List<ConcentrationEllipse> ellipses;
  private final ObjectGroups groups;
  private final boolean sharedColours;

  /** @param objectGroups the colours of the objects, or {@code null} when they are grey */
  EllipseLayer(HomalsResult result, ObjectColours column, int first, int second,
      ObjectGroups objectGroups, ObjectColours objectColumn) {
    this.column = column;
    this.ellipses = ConcentrationEllipse.ofCategories(result, column, first, second);
    this.sharedColours = objectGroups != null && column.name().equals(objectColumn.name());
    this.groups = sharedColours
        ? objectGroups
        : new ObjectGroups(result, column, first, second,
            objectGroups == null ? ObjectGroups.GROUP_COLOURS : ObjectGroups.DARK_COLOURS);
  }

  /** The ellipses that can be drawn, in the column's order; others are null. */
  List<ConcentrationEllipse> ellipses() { return ellipses; }

  /**
   * The corners of the box around every ellipse, as {x, y} pairs: the axes must hold the
   * ellipses whole, which reach past their objects.
   */
  double[][] corners() {
    double[][] corners = new double[2 * ellipses.size()][];
    for (int c = 0; c < ellipses.size(); c++) {
      ConcentrationEllipse e = ellipses.get(c);
      corners[2 * c] = e == null
          ? new double[] {Double.NaN, Double.NaN}
          : new double[] {e.centreX() - e.halfWidth(), e.centreY() - e.halfHeight()};
      corners[2 * c + 1] = e == null
          ? new double[] {Double.NaN, Double.NaN}
          : new double[] {e.centreX() + e.halfWidth(), e.centreY() + e.halfHeight()};
    }
    return corners;
  }

  /** Adds the ellipses to the objects' renderer, after the objects' density if any. */
  void addTo(XYItemRenderer objects) {
    for (int c = 0; c < ellipses.size(); c++) {
      ConcentrationEllipse e = ellipses.get(c);
      if (e != null && !e.isEmpty()) {
        objects.addAnnotation(new XYShapeAnnotation(e.path(SEGMENTS), STROKE, groups.colour(c + 1)),
            Layer.BACKGROUND);
      }
    }
  }

  /** The legend's entries for the ellipses: none when the objects' entries already say it. */
  LegendItemCollection legend() {
    return sharedColours ? new LegendItemCollection() : groups.legend(true);
  }

  String note() {
    return "Ellipses: the objects of each category of " + column.name() + ", two standard "
        + "deviations about their weighted mean along the principal axes of their weighted "
        + "covariance" + (sharedColours ? ", in the colours of the objects" : "");
  }
}
