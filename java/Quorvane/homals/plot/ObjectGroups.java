package Quorvane.homals.plot;

import java.awt.BasicStroke;
import java.awt.Color;
import java.awt.geom.Ellipse2D;
import java.nio.DoubleBuffer;
import java.text.DecimalFormat;
import java.text.DecimalFormatSymbols;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.List;
import java.util.Locale;
import org.jfree.chart.LegendItem;
import org.jfree.chart.LegendItemCollection;

/**
 * The colour groups of the objects: the most frequent categories of the colouring column
 * (among the objects drawn, by their summed weights) get a colour each, in the column's order;
 * the rest share one, and objects without a category another. The legend gives each group's
 * summed weight, which is its number of objects when there are no weights.
 */
final class ObjectGroups {
  /** Colours of the most frequent categories of a colouring column. */
  static final Color[] GROUP_COLOURS = {
      new Color(0x1f77b4),
      new Color(0xd62728),
      new Color(0x2ca02c),
      new Color(0xff7f0e),
      new Color(0x9467bd),
      new Color(0x17becf),
      new Color(0x8c564b),
      new Color(0xe377c2),
      new Color(0xbcbd22),
  };
  /**
   * Colours of the ellipses of a column other than the one that colours the objects: darker, so
   * that an ellipse is not taken for the objects of the same colour.
   */
  static final Color[] DARK_COLOURS = {
      new Color(0x393b79),
      new Color(0x843c39),
      new Color(0x637939),
      new Color(0x8c6d31),
      new Color(0x7b4173),
      new Color(0x3182bd),
      new Color(0xbd9e39),
      new Color(0xad494a),
      new Color(0x5254a3),
  };
  private static final Color OTHER_GROUP = new Color(110, 110, 110);
  private static final Color MISSING_GROUP = new Color(205, 205, 205);
  private static final int GROUP_ALPHA = 130;

  private final int[] groupOfCode;
  private final int[] codes;
  private final List<Color> colours = new ArrayList<>();
  private final List<String> names = new ArrayList<>();

  /** @param palette the colours of the most frequent categories, most frequent first */
  ObjectGroups(ObjectCloud cloud, ObjectColours column, int first, int second, Color[] palette) {
    codes = column.codes();
    if (codes.length != cloud.count()) {
      throw new IllegalArgumentException("colour column '" + column.name() + "' has " + codes.length
          + " objects, the analysis " + cloud.count());
    }
    int k = column.categories().size();
    // Weights, not rows: a row of a weighted table stands for as many objects as its weight.
    double[] weights = new double[k + 1];
    DoubleBuffer xs = cloud.scoreView(first);
    DoubleBuffer ys = cloud.scoreView(second);
    for (int i = 0; i < codes.length; i++) {
      if (cloud.takesPart(i) && Double.isFinite(xs.get(i)) && Double.isFinite(ys.get(i))) {
        weights[Math.max(codes[i], 0)] += cloud.weight(i);
      }
    }
    Integer[] byWeight = new Integer[k];
    Arrays.setAll(byWeight, c -> c + 1);
    Arrays.sort(byWeight, Comparator.comparingDouble((Integer c) -> weights[c]).reversed());
    boolean[] own = new boolean[k + 1];
    for (int r = 0; r < Math.min(palette.length, k); r++) {
      own[byWeight[r]] = weights[byWeight[r]] > 0;
    }
    groupOfCode = new int[k + 1];
    double other = 0;
    int otherCategories = 0;
    for (int c = 1; c <= k; c++) {
      if (own[c]) {
        groupOfCode[c] = colours.size();
        names.add(String.format(Locale.ROOT, "%s: %s (%s)", column.name(),
            column.categories().get(c - 1), amount(weights[c])));
        colours.add(palette[colours.size()]);
      } else if (weights[c] > 0) {
        other += weights[c];
        otherCategories++;
      }
    }
    int otherGroup = colours.size();
    if (other > 0) {
      names.add(String.format(Locale.ROOT, "%s: %d other categories (%s)", column.name(),
          otherCategories, amount(other)));
      colours.add(OTHER_GROUP);
    }
    for (int c = 1; c <= k; c++) {
      groupOfCode[c] = own[c] ? groupOfCode[c] : otherGroup;
    }
    groupOfCode[0] = colours.size();
    if (weights[0] > 0) {
      names.add(String.format(Locale.ROOT, "%s missing (%s)", column.name(), amount(weights[0])));
      colours.add(MISSING_GROUP);
    }
  }

  /**
   * A summed weight as people write a count: whole numbers without decimals and with thousands
   * separated, others with up to two decimals.
   */
  static String amount(double weight) {
    if (weight == Math.rint(weight) && Math.abs(weight) < 1e15) {
      return String.format(Locale.ROOT, "%,d", (long) weight);
    }
    return new DecimalFormat("#,##0.##", DecimalFormatSymbols.getInstance(Locale.ROOT))
        .format(weight);
  }

  int count() { return Math.max(1, colours.size()); }

  int of(int object) { return groupOfCode[Math.max(codes[object], 0)]; }

  Color[] colours() { return colours.toArray(new Color[0]); }

  /** The colour of the objects with the given code (1 .. k; 0 or less: missing). */
  Color colour(int code) {
    int group = groupOfCode[Math.max(code, 0)];
    return group < colours.size() ? colours.get(group) : OTHER_GROUP;
  }

  Color translucent(Comparable<?> group) {
    Color colour = colours.isEmpty() ? JointPlot.OBJECT_COLOUR : colours.get((Integer) group);
    return new Color(colour.getRed(), colour.getGreen(), colour.getBlue(), GROUP_ALPHA);
  }

  /**
   * A dot of each group's colour with its name and weight; or, for the groups of ellipses, a
   * ring, leaving out the objects without a category, which have no ellipse.
   */
  LegendItemCollection legend(boolean rings) {
    LegendItemCollection items = new LegendItemCollection();
    Ellipse2D dot = new Ellipse2D.Double(-4, -4, 8, 8);
    for (int g = 0; g < colours.size(); g++) {
      Color colour = colours.get(g);
      if (!rings) {
        items.add(new LegendItem(names.get(g), null, null, null, dot, colour));
      } else if (colour != MISSING_GROUP) {
        items.add(new LegendItem(names.get(g), null, null, null, true, dot, false, colour, true,
            colour, new BasicStroke(1.5f), false, dot, new BasicStroke(1.5f), colour));
      }
    }
    return items;
  }
}
