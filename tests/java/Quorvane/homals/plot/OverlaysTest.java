package Quorvane.homals.plot;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.TestData;
import Quorvane.homals.VariableResult;
import java.awt.geom.PathIterator;
import java.io.IOException;
import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** The geometry of the joint plot's concentration ellipses and the scale of its arrows. */
class OverlaysTest {
  /**
   * Four points at (&plusmn;3, 0) and (0, &plusmn;1) of weights w and u, turned by an angle and
   * moved to (1, -2): their covariance has principal variances 9 w / (w + u) and u / (w + u)
   * along the turned axes, and the ellipse reaches twice their roots.
   */
  @ParameterizedTest(name = "turned {0} degrees, weights {1} and {2}")
  @CsvSource({
      "0, 1, 1, 4.242640687119285, 1.4142135623730951",
      "30, 1, 1, 4.242640687119285, 1.4142135623730951",
      "90, 1, 1, 4.242640687119285, 1.4142135623730951",
      "-60, 1, 1, 4.242640687119285, 1.4142135623730951",
      "135, 1, 2, 3.4641016151377544, 1.632993161855452",
      "20, 0.5, 4, 1.9999999999999998, 1.8856180831641267",
  })
  void
  anEllipseReachesTwoStandardDeviationsAlongThePrincipalAxes(
      double degrees, double w, double u, double major, double minor) {
    double turn = Math.toRadians(degrees);
    double[][] local = {{3, 0}, {-3, 0}, {0, 1}, {0, -1}};
    double[] x = new double[4];
    double[] y = new double[4];
    for (int i = 0; i < 4; i++) {
      x[i] = 1 + Math.cos(turn) * local[i][0] - Math.sin(turn) * local[i][1];
      y[i] = -2 + Math.sin(turn) * local[i][0] + Math.cos(turn) * local[i][1];
    }
    ConcentrationEllipse e = ConcentrationEllipse.of(x, y, new double[] {w, w, u, u});
    assertEquals(1, e.centreX(), 1e-12);
    assertEquals(-2, e.centreY(), 1e-12);
    assertEquals(major, e.majorSemiAxis(), 1e-12);
    assertEquals(minor, e.minorSemiAxis(), 1e-12);
    // The longer axis lies along the turned horizontal when 9 w > u, as in every case here.
    double expected = Math.atan(Math.tan(turn));
    double angle = e.angle();
    assertEquals(0, Math.sin(angle - expected), 1e-12, "angle " + Math.toDegrees(angle));

    // Every vertex of the drawn polygon lies on the curve (p - m)' S^-1 (p - m) = 4.
    double sxx = w * 9 / (w + u) * Math.cos(turn) * Math.cos(turn)
        + u / (w + u) * Math.sin(turn) * Math.sin(turn);
    double syy = w * 9 / (w + u) * Math.sin(turn) * Math.sin(turn)
        + u / (w + u) * Math.cos(turn) * Math.cos(turn);
    double sxy = (w * 9 - u) / (w + u) * Math.sin(turn) * Math.cos(turn);
    double det = sxx * syy - sxy * sxy;
    double widest = 0;
    double[] point = new double[6];
    int vertices = 0;
    for (PathIterator it = e.path(120).getPathIterator(null); !it.isDone(); it.next()) {
      if (it.currentSegment(point) == PathIterator.SEG_CLOSE) {
        continue;
      }
      double dx = point[0] - 1;
      double dy = point[1] + 2;
      assertEquals(4, (syy * dx * dx - 2 * sxy * dx * dy + sxx * dy * dy) / det, 1e-9);
      widest = Math.max(widest, Math.abs(dx));
      vertices++;
    }
    assertEquals(120, vertices);
    // The box that the axes must hold: 2 s_x wide either side, which the polygon nearly reaches.
    assertEquals(2 * Math.sqrt(sxx), e.halfWidth(), 1e-12);
    assertEquals(2 * Math.sqrt(syy), e.halfHeight(), 1e-12);
    assertTrue(widest <= e.halfWidth() + 1e-12 && widest > 0.999 * e.halfWidth());
  }

  /**
   * A category's ellipse is centred on the weighted mean of its objects in the plane, which for
   * an active multiple variable is its centroid; a category without objects has none.
   */
  @Test
  void aCategorysEllipseIsCentredOnItsCentroid() throws IOException {
    HomalsResult result = TestData.votes(3, null);
    VariableResult party = result.variable("Class");
    ObjectColours column = new ObjectColours("party", List.of("democrat", "republican", "other"),
        result.analysis().variable("Class").codes());
    List<ConcentrationEllipse> ellipses = ConcentrationEllipse.ofCategories(result, column, 2, 0);
    for (int c = 0; c < 2; c++) {
      assertEquals(party.centroid(c, 2), ellipses.get(c).centreX(), 1e-9);
      assertEquals(party.centroid(c, 0), ellipses.get(c).centreY(), 1e-9);
      assertTrue(ellipses.get(c).minorSemiAxis() > 0);
    }
    assertNull(ellipses.get(2));
  }

  /** The arrows' scale: the largest of 1, 1.5, 2, 2.5, 3, 4, 5, 6, 8 times a power of ten. */
  @ParameterizedTest(name = "{0} -> {1}")
  @CsvSource({"1.44, 1", "1.5, 1.5", "2.7, 2.5", "7.9, 6", "12, 10", "0.031, 0.03", "0.3, 0.3",
      "0.99, 0.8", "0, 1"})
  void
  theArrowScaleIsARoundNumber(double room, double scale) {
    assertEquals(scale, NumericArrows.roundBelow(room));
  }
}
