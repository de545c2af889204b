package Quorvane.homals;

import java.util.ArrayList;
import java.util.Comparator;
import java.util.List;
import java.util.Locale;

/**
 * What one dimension is made of, in the terms of the data: every variable ordered by its
 * correlation ratio &eta;<sup>2</sup> with the dimension, and the categories whose test values
 * pass {@value #V_TEST_THRESHOLD} in absolute value, from the largest positive to the most
 * negative, so that the list reads from one end of the dimension to the other. Passive
 * variables are described as the active ones are: a passive variable high in the list is one
 * that the solution separates without having been shaped by it. Immutable; see {@link
 * VariableResult#vTest} and {@link VariableResult#etaSquared} for the definitions.
 */
public final class DimensionDescription {
  /** |v| above this marks a category that characterises a dimension. */
  public static final double V_TEST_THRESHOLD = 2;

  /** A variable with its correlation ratio on the dimension and that ratio's p-value. */
  public record VariableEntry(String variable, Role role, double etaSquared, double p) {}

  /**
   * A category with its weighted frequency, its test value on the dimension and the test
   * value's two-sided p-value; {@code excluded} for a category excluded from the fit ({@link
   * Variable#excluding}).
   */
  public record CategoryEntry(String variable, String category, boolean excluded, double frequency,
      double vTest, double p) {}

  private final int dimension;
  private final List<VariableEntry> variables;
  private final List<CategoryEntry> categories;

  private DimensionDescription(
      int dimension, List<VariableEntry> variables, List<CategoryEntry> categories) {
    this.dimension = dimension;
    this.variables = List.copyOf(variables);
    this.categories = List.copyOf(categories);
  }

  static DimensionDescription of(HomalsResult result, int dimension) {
    List<VariableEntry> variables = new ArrayList<>();
    List<CategoryEntry> categories = new ArrayList<>();
    for (VariableResult v : result.variables()) {
      variables.add(
          new VariableEntry(v.name(), v.role(), v.etaSquared(dimension), v.etaSquaredP(dimension)));
      for (int c = 0; c < v.categories().size(); c++) {
        double value = v.vTest(c, dimension);
        if (Math.abs(value) > V_TEST_THRESHOLD) {
          categories.add(new CategoryEntry(v.name(), v.categories().get(c), v.isExcluded(c),
              v.frequency(c), value, v.vTestP(c, dimension)));
        }
      }
    }
    // Stable sorts: equal values keep the order of the variables and their categories. A ratio
    // that is not defined goes last.
    variables.sort(
        Comparator
            .comparingDouble(
                (VariableEntry e)
                    -> Double.isNaN(e.etaSquared()) ? Double.NEGATIVE_INFINITY : e.etaSquared())
            .reversed());
    categories.sort(Comparator.comparingDouble(CategoryEntry::vTest).reversed());
    return new DimensionDescription(dimension, variables, categories);
  }

  /**
   * A p-value in a few characters: three decimals down to 0.001, then two digits and an
   * exponent ("3.1e-12"); "<1e-300" for one too small for a double, "-" for none.
   */
  public static String formatP(double p) {
    if (Double.isNaN(p)) {
      return "-";
    }
    if (p < 1e-300) {
      return "<1e-300";
    }
    return String.format(Locale.ROOT, p >= 0.001 ? "%.3f" : "%.1e", p);
  }

  /** The dimension described, numbered from 0. */
  public int dimension() { return dimension; }

  /** Every variable, by decreasing &eta;<sup>2</sup> (unmodifiable). */
  public List<VariableEntry> variables() { return variables; }

  /**
   * The categories with |v| &gt; {@value #V_TEST_THRESHOLD}, by decreasing v: those of the
   * positive end of the dimension first, then those of the negative end (unmodifiable).
   */
  public List<CategoryEntry> categories() { return categories; }
}
