package Quorvane.homals.plot;

import java.awt.geom.Line2D;
import java.awt.geom.Rectangle2D;
import java.util.ArrayList;
import java.util.List;

/**
 * Greedy placement of point labels in the pixels of one drawing. Labels are placed one at a time,
 * in the order of their importance, and each keeps what it took: a later label never moves an
 * earlier one.
 *
 * <p>A label tries the places around its point on rings of growing distance, twelve directions a
 * ring, and takes the nearest ring that has a place inside the plot clear of every marker and of
 * every label placed before it and its line, and whose own line to its point (if it is far
 * enough to need one) crosses no other marker; within that ring, the place that covers the
 * fewest object points, and among equals the first direction (right, left, above, below, then
 * the diagonals). Object points only steer the choice: in a cloud of hundreds there may be no
 * place free of them, and a label over a faint dot still reads. A label with no clear place
 * within the rings is either left out or, where every point needs its name, put where it covers
 * the least, markers counting far more than labels.
 */
final class LabelPlacement {
  /** Directions tried around a point, in order of preference. */
  private static final double[][] DIRECTIONS = {
      {1, 0},
      {-1, 0},
      {0, -1},
      {0, 1},
      {1, -1},
      {-1, -1},
      {1, 1},
      {-1, 1},
      {0.5, -1},
      {-0.5, -1},
      {0.5, 1},
      {-0.5, 1},
  };
  /**
   * Rings tried: past the eighth, about a hundred pixels out, a label is too far from its point
   * to be read as its own.
   */
  static final int RINGS = 8;
  /** Pixels between a label and its own marker on the nearest ring. */
  static final double GAP = 3;
  /** Pixels kept clear around every label, so that neighbours do not touch. */
  private static final double PAD = 1.5;
  /** How much worse covering a marker is than covering a label, when a label must go somewhere. */
  private static final double MARKER_COST = 10;

  private final Rectangle2D area;
  private final double[] dotX;
  private final double[] dotY;
  private final double dotRadius;
  private final List<Rectangle2D> markers = new ArrayList<>();
  private final List<Rectangle2D> labels = new ArrayList<>();
  private final List<Line2D> leaders = new ArrayList<>();

  /**
   * @param area the plot area, which every label stays inside
   * @param dotX the horizontal pixels of the object points that labels should rather not cover
   * @param dotY their vertical pixels
   * @param dotRadius the radius of an object point in pixels
   */
  LabelPlacement(Rectangle2D area, double[] dotX, double[] dotY, double dotRadius) {
    this.area = area;
    this.dotX = dotX;
    this.dotY = dotY;
    this.dotRadius = dotRadius;
  }

  /** A square marker of half side {@code half} centred at (x, y): no label covers it. */
  void marker(double x, double y, double half) {
    double h = half + 1;
    markers.add(new Rectangle2D.Double(x - h, y - h, 2 * h, 2 * h));
  }

  /**
   * The place of a label of the given size for the point (x, y), whose marker has half side
   * {@code half}, or {@code null} when no place near it is clear; the place is taken.
   */
  Rectangle2D place(double x, double y, double half, double width, double height) {
    for (int ring = 0; ring < RINGS; ring++) {
      Rectangle2D best = null;
      int fewest = Integer.MAX_VALUE;
      for (double[] direction : DIRECTIONS) {
        Rectangle2D box = candidate(x, y, half, ring, direction, width, height);
        Line2D leader = leader(x, y, half, box);
        if (area.contains(box) && covered(box, markers) == 0 && covered(box, labels) == 0
            && !crosses(leader, x, y) && !onLeader(box)) {
          int dots = dots(box);
          if (dots < fewest) {
            fewest = dots;
            best = box;
          }
        }
      }
      if (best != null) {
        labels.add(best);
        Line2D leader = leader(x, y, half, best);
        if (leader != null) {
          leaders.add(leader);
        }
        return best;
      }
    }
    return null;
  }

  /**
   * The place of a label that must be drawn: clear if there is one, else where it covers the
   * least; the place is taken.
   */
  Rectangle2D force(double x, double y, double half, double width, double height) {
    Rectangle2D clear = place(x, y, half, width, height);
    if (clear != null) {
      return clear;
    }
    Rectangle2D best = null;
    double least = Double.POSITIVE_INFINITY;
    for (int ring = 0; ring < RINGS; ring++) {
      for (double[] direction : DIRECTIONS) {
        Rectangle2D box = candidate(x, y, half, ring, direction, width, height);
        double cost = MARKER_COST * covered(box, markers) + covered(box, labels);
        if (area.contains(box) && cost < least) {
          least = cost;
          best = box;
        }
      }
    }
    if (best == null) {
      // Larger than the plot allows anywhere near: the nearest place that keeps it inside.
      Rectangle2D right = candidate(x, y, half, 0, DIRECTIONS[0], width, height);
      double left = Math.max(area.getMinX(), Math.min(right.getX(), area.getMaxX() - width));
      double top = Math.max(area.getMinY(), Math.min(right.getY(), area.getMaxY() - height));
      best = new Rectangle2D.Double(left, top, width, height);
    }
    labels.add(best);
    return best;
  }

  /**
   * The line that ties a label to its point when the label is not right beside it, or {@code
   * null}: from the point to the nearest point of the label's box.
   */
  static Line2D leader(double x, double y, double half, Rectangle2D box) {
    double tx = Math.max(box.getMinX(), Math.min(x, box.getMaxX()));
    double ty = Math.max(box.getMinY(), Math.min(y, box.getMaxY()));
    return Math.hypot(tx - x, ty - y) > half + GAP + 2 ? new Line2D.Double(x, y, tx, ty) : null;
  }

  /**
   * Whether a leader line runs through a label or a marker other than its own point's, which
   * would tie the label to the wrong point to the eye.
   */
  private boolean crosses(Line2D line, double x, double y) {
    if (line == null) {
      return false;
    }
    for (Rectangle2D marker : markers) {
      if (!marker.contains(x, y) && line.intersects(marker)) {
        return true;
      }
    }
    return false;
  }

  /** Whether a label box, with its margin, would lie on the line of a label placed before. */
  private boolean onLeader(Rectangle2D box) {
    Rectangle2D padded = new Rectangle2D.Double(
        box.getX() - PAD, box.getY() - PAD, box.getWidth() + 2 * PAD, box.getHeight() + 2 * PAD);
    for (Line2D line : leaders) {
      if (line.intersects(padded)) {
        return true;
      }
    }
    return false;
  }

  /** The label box in a direction from the point, on the given ring. */
  private static Rectangle2D candidate(
      double x, double y, double half, int ring, double[] direction, double width, double height) {
    double reach = half + GAP + ring * height;
    double centreX = x + direction[0] * (reach + width / 2);
    double centreY = y + direction[1] * (reach + height / 2);
    return new Rectangle2D.Double(centreX - width / 2, centreY - height / 2, width, height);
  }

  /** The area of the boxes that the label, with its margin, covers. */
  private static double covered(Rectangle2D label, List<Rectangle2D> boxes) {
    Rectangle2D padded = new Rectangle2D.Double(label.getX() - PAD, label.getY() - PAD,
        label.getWidth() + 2 * PAD, label.getHeight() + 2 * PAD);
    double sum = 0;
    for (Rectangle2D box : boxes) {
      double w = Math.min(padded.getMaxX(), box.getMaxX()) - Math.max(padded.getX(), box.getX());
      double h = Math.min(padded.getMaxY(), box.getMaxY()) - Math.max(padded.getY(), box.getY());
      if (w > 0 && h > 0) {
        sum += w * h;
      }
    }
    return sum;
  }

  /** The object points that a label box touches. */
  private int dots(Rectangle2D box) {
    double minX = box.getMinX() - dotRadius;
    double maxX = box.getMaxX() + dotRadius;
    double minY = box.getMinY() - dotRadius;
    double maxY = box.getMaxY() + dotRadius;
    int count = 0;
    for (int i = 0; i < dotX.length; i++) {
      if (dotX[i] > minX && dotX[i] < maxX && dotY[i] > minY && dotY[i] < maxY) {
        count++;
      }
    }
    return count;
  }
}
