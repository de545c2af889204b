package Quorvane.homals.plot;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.TestData;
import java.awt.Rectangle;
import java.awt.geom.Line2D;
import java.awt.geom.Rectangle2D;
import java.awt.image.BufferedImage;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.jfree.chart.ChartRenderingInfo;
import org.jfree.chart.JFreeChart;
import org.jfree.chart.plot.XYPlot;
import org.jfree.data.xy.XYDataset;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.ValueSource;

/** Labels beside their markers, clear of the others, and the note that counts those left out. */
class LabelPlacementTest {
  private static final double HALF = 4;
  private static final Rectangle2D AREA = new Rectangle2D.Double(0, 0, 300, 300);

  @TempDir Path temp;

  /** A crowd of 36 markers 9 pixels apart in the middle, each with a long label. */
  static List<double[]> crowd() {
    List<double[]> points = new ArrayList<>();
    for (int row = 0; row < 6; row++) {
      for (int column = 0; column < 6; column++) {
        points.add(new double[] {128 + 9 * column, 128 + 9 * row});
      }
    }
    return points;
  }

  @ParameterizedTest(name = "left out when crowded: {0}")
  @ValueSource(booleans = {true, false})
  void aCrowdIsLabelledClearOfMarkersOrEveryLabelIsKept(boolean drop) {
    List<double[]> points = crowd();
    LabelPlacement placement = new LabelPlacement(AREA, new double[0], new double[0], 2.5);
    points.forEach(p -> placement.marker(p[0], p[1], HALF));
    Rectangle2D[] boxes = new Rectangle2D[points.size()];
    for (int i = 0; i < boxes.length; i++) {
      double[] p = points.get(i);
      boxes[i] = drop ? placement.place(p[0], p[1], HALF, 70, 13)
                      : placement.force(p[0], p[1], HALF, 70, 13);
    }
    long left = Arrays.stream(boxes).filter(b -> b == null).count();
    if (drop) {
      assertNotNull(boxes[0], "the first label chooses first");
      assertTrue(left > 0 && left < boxes.length, left + " left out");
      assertClear(AREA, points, points, boxes);
    } else {
      assertEquals(0, left);
      Arrays.stream(boxes).forEach(b -> assertTrue(AREA.contains(b), b.toString()));
    }
  }

  @Test
  void objectPointsSteerALabelToTheFreeSide() {
    // Dots fill the right of the marker; left of it is empty.
    double[] x = new double[200];
    double[] y = new double[200];
    for (int i = 0; i < x.length; i++) {
      x[i] = 155 + (i % 20) * 4;
      y[i] = 130 + (i / 20) * 4;
    }
    LabelPlacement placement = new LabelPlacement(AREA, x, y, 2.5);
    placement.marker(150, 150, HALF);
    Rectangle2D box = placement.place(150, 150, HALF, 40, 13);
    assertTrue(box.getMaxX() < 150 - HALF, box.toString());
  }

  /** The vote data's 34 categories, crowded at 450 pixels; some of them unlabelled. */
  @ParameterizedTest(name = "{0} pixels, {1} labels")
  @CsvSource({"450, 40", "900, 40", "600, 12"})
  @Tag("plot")
  void theJointPlotsLabelsAvoidEveryMarkerAndTheNoteCountsThem(int size, int top) throws Exception {
    HomalsResult result = TestData.votes(2, null);
    JFreeChart chart = JointPlot.chart(
        result, PlotSettings.of(size, null).withLabelTop(top), "joint", new ShortLabels(32));
    ChartRenderingInfo info = new ChartRenderingInfo();
    BufferedImage image = new BufferedImage(size, size, BufferedImage.TYPE_INT_RGB);
    chart.draw(image.createGraphics(), new Rectangle(0, 0, size, size), info);
    Rectangle2D area = info.getPlotInfo().getDataArea();
    XYPlot plot = chart.getXYPlot();
    XYDataset categories = plot.getDataset(0);
    List<double[]> markers = new ArrayList<>();
    for (int s = 0; s < categories.getSeriesCount(); s++) {
      for (int i = 0; i < categories.getItemCount(s); i++) {
        markers.add(pixels(plot, area, categories.getXValue(s, i), categories.getYValue(s, i)));
      }
    }
    CategoryLabels labels = labels(chart);
    List<double[]> anchors = new ArrayList<>();
    for (double[] point : labels.points()) {
      anchors.add(pixels(plot, area, point[0], point[1]));
    }
    int asked = Math.min(top, 34);
    assertEquals(asked, anchors.size());
    assertClear(area, markers, anchors, labels.boxes());
    assertTrue(size > 450 || labels.dropped() > 0, "room for every label at " + size);

    Path svg = temp.resolve("joint.svg");
    JointPlot.writeSvg(chart, svg, size, size);
    String text = Files.readString(svg);
    Matcher label = Pattern.compile(">[^<>]+: [ny]<|>Class: [a-z]+<").matcher(text);
    int drawn = 0;
    while (label.find()) {
      drawn++;
    }
    int placed = asked - labels.dropped();
    assertEquals(placed, drawn, "the SVG is laid out unlike the PNG");
    String note = ((LabelledChart) chart).note();
    if (placed == 34) {
      assertEquals(null, note);
    } else {
      String told = "Labelled: " + (placed == asked ? "the " : "") + placed + " of 34 categories";
      assertTrue(note.startsWith(told), note);
      assertEquals(placed < asked, note.contains(" had no room"), note);
      assertTrue(text.contains(">" + told), "the SVG has another note");
    }
  }

  /**
   * Every label inside the area, off every marker and every other label, and its line to its
   * point ({@code anchors}, in the order of the boxes) through no marker but those on the point.
   */
  static void assertClear(
      Rectangle2D area, List<double[]> markers, List<double[]> anchors, Rectangle2D[] boxes) {
    for (int i = 0; i < boxes.length; i++) {
      Rectangle2D box = boxes[i];
      if (box == null) {
        continue;
      }
      assertTrue(area.contains(box), "outside: " + box);
      double[] anchor = anchors.get(i);
      Line2D leader = LabelPlacement.leader(anchor[0], anchor[1], HALF, box);
      for (double[] m : markers) {
        Rectangle2D marker = new Rectangle2D.Double(m[0] - HALF, m[1] - HALF, 2 * HALF, 2 * HALF);
        assertFalse(box.intersects(marker), "label " + i + " on a marker at " + m[0] + ", " + m[1]);
        // A marker on top of the point's own is crossed wherever the line goes.
        boolean onTop =
            Math.abs(m[0] - anchor[0]) < 2 * HALF && Math.abs(m[1] - anchor[1]) < 2 * HALF;
        assertFalse(!onTop && leader != null && leader.intersects(marker),
            "the line of label " + i + " through a marker at " + m[0] + ", " + m[1]);
      }
      for (int j = 0; j < i; j++) {
        assertFalse(boxes[j] != null && box.intersects(boxes[j]), "labels " + j + ", " + i);
      }
    }
  }

  /** Where a point of the data is drawn. */
  static double[] pixels(XYPlot plot, Rectangle2D area, double x, double y) {
    return new double[] {plot.getDomainAxis().valueToJava2D(x, area, plot.getDomainAxisEdge()),
        plot.getRangeAxis().valueToJava2D(y, area, plot.getRangeAxisEdge())};
  }

  static CategoryLabels labels(JFreeChart chart) {
    for (Object annotation : chart.getXYPlot().getAnnotations()) {
      if (annotation instanceof CategoryLabels labels) {
        return labels;
      }
    }
    throw new AssertionError("no labels in the chart");
  }
}
