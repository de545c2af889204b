package Quorvane.homals.plot;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.VariableResult;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.List;
import java.util.Locale;
import java.util.function.IntFunction;

/** Which categories a joint plot labels, in which order, and what its note says of them. */
final class LabelChoice {
  private LabelChoice() {}

  /**
   * Which categories to label, and in which order: the {@code count} with the largest frequency
   * &times; squared distance from the origin in the plane, D (y<sub>first</sub><sup>2</sup> +
   * y<sub>second</sub><sup>2</sup>), ranked 0, 1, ... from the largest (ties to the earlier
   * variable and category); -1 for the others. For an active category that is, up to a factor
   * common to all, its contribution to the plane: the mean of its contributions to the two
   * dimensions weighted by their eigenvalues. Passive categories contribute nothing and are
   * ranked by what they would contribute, so that a passive variable that the solution separates
   * well is labelled too.
   */
  static int[][] ranks(HomalsResult result, int first, int second, int count) {
    List<VariableResult> variables = result.variables();
    List<int[]> candidates = new ArrayList<>();
    List<Double> weights = new ArrayList<>();
    int[][] ranks = new int[variables.size()][];
    for (int v = 0; v < variables.size(); v++) {
      VariableResult variable = variables.get(v);
      ranks[v] = new int[variable.categories().size()];
      Arrays.fill(ranks[v], -1);
      for (int c = 0; c < ranks[v].length; c++) {
        double x = variable.quantification(c, first);
        double y = variable.quantification(c, second);
        if (Double.isFinite(x) && Double.isFinite(y)) {
          candidates.add(new int[] {v, c});
          weights.add(variable.frequency(c) * (x * x + y * y));
        }
      }
    }
    Integer[] order = new Integer[candidates.size()];
    Arrays.setAll(order, i -> i);
    Arrays.sort(order, Comparator.comparing((Integer i) -> weights.get(i)).reversed());
    for (int k = 0; k < Math.min(count, order.length); k++) {
      int[] at = candidates.get(order[k]);
      ranks[at[0]][at[1]] = k;
    }
    return ranks;
  }

  /**
   * What the note under the plot says of the labels, given how many found no room: nothing when
   * every category is labelled.
   */
  static IntFunction<String> note(int labelCount, int categoryCount) {
    return dropped -> {
      boolean all = labelCount == categoryCount;
      if (dropped == 0) {
        return all ? null
                   : format("Labelled: the %d of %d categories that contribute most to this plane",
                       labelCount, categoryCount);
      }
      String crowded = " had no room clear of markers and labels";
      if (all) {
        return format("Labelled: %d of %d categories (%d%s)", labelCount - dropped, categoryCount,
            dropped, crowded);
      }
      return format("Labelled: %d of %d categories, the %d that contribute most to this plane "
              + "less %d that%s",
          labelCount - dropped, categoryCount, labelCount, dropped, crowded);
    };
  }

  private static String format(String form, Object... values) {
    return String.format(Locale.ROOT, form, values);
  }
}
