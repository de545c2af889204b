package Quorvane.homals.cli;

import Quorvane.homals.DimensionDescription;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.NumericCorrelation;
import java.math.BigDecimal;
import java.util.List;
import java.util.Locale;

/**
 * The parts of summary.txt that say what the dimensions are made of: the correlations of the
 * numeric variables, and each dimension's description, kept short (the tables have it all).
 */
final class DescriptionText {
  /** Variables shown per dimension, and categories shown at each end of it. */
  private static final int SHOWN = 10;

  private DescriptionText() {}

  static void numeric(StringBuilder s, HomalsResult result, List<NumericCorrelation> numeric) {
    if (numeric.isEmpty()) {
      return;
    }
    int width = "variable".length();
    for (NumericCorrelation variable : numeric) {
      width = Math.max(width, variable.name().length());
    }
    s.append("\nNumeric variables (weighted correlations with the object scores; not analysed)\n");
    StringBuilder head = new StringBuilder(
        String.format(Locale.ROOT, "  %-" + width + "s %10s", "variable", "observed"));
    for (int d = 1; d <= result.dimensions(); d++) {
      head.append(String.format(Locale.ROOT, " %8s", "dim" + d));
    }
    s.append(head).append('\n');
    for (NumericCorrelation variable : numeric) {
      s.append(String.format(Locale.ROOT, "  %-" + width + "s %10s", variable.name(),
          new BigDecimal(Double.toString(variable.observedWeight()))
              .stripTrailingZeros()
              .toPlainString()));
      for (double r : variable.correlations()) {
        s.append(String.format(Locale.ROOT, " %8.4f", r));
      }
      s.append('\n');
    }
  }

  static void dimensions(StringBuilder s, HomalsResult result) {
    for (DimensionDescription description : result.describeDimensions()) {
      List<DimensionDescription.VariableEntry> variables = description.variables();
      List<DimensionDescription.CategoryEntry> categories = description.categories();
      int width = "category".length();
      for (var entry : variables.subList(0, Math.min(SHOWN, variables.size()))) {
        width = Math.max(width, entry.variable().length());
      }
      for (var entry : categories) {
        width = Math.max(width, label(entry).length());
      }
      s.append(String.format(Locale.ROOT,
          "%nDimension %d: the variables by correlation ratio (eta2), the categories with "
              + "|v| > 2 by test value%n",
          description.dimension() + 1));
      s.append(String.format(Locale.ROOT, "  %-" + width + "s %8s %9s%n", "variable", "eta2", "p"));
      for (var entry : variables.subList(0, Math.min(SHOWN, variables.size()))) {
        s.append(String.format(Locale.ROOT, "  %-" + width + "s %8.4f %9s%n", entry.variable(),
            entry.etaSquared(), DimensionDescription.formatP(entry.p())));
      }
      if (variables.size() > SHOWN) {
        s.append(
            String.format(Locale.ROOT, "  (%d more in variables.csv)%n", variables.size() - SHOWN));
      }
      if (categories.isEmpty()) {
        s.append("  no category has |v| > 2\n");
        continue;
      }
      s.append(String.format(Locale.ROOT, "  %-" + width + "s %8s %9s%n", "category", "v", "p"));
      for (int at = 0; at < categories.size(); at++) {
        // The two ends of a long list: the middle, nearest |v| = 2, says least.
        if (categories.size() > 2 * SHOWN && at == SHOWN) {
          s.append(String.format(
              Locale.ROOT, "  (%d more in categories.csv)%n", categories.size() - 2 * SHOWN));
          at = categories.size() - SHOWN;
        }
        var entry = categories.get(at);
        s.append(String.format(Locale.ROOT, "  %-" + width + "s %8.2f %9s%n", label(entry),
            entry.vTest(), DimensionDescription.formatP(entry.p())));
      }
    }
  }

  private static String label(DimensionDescription.CategoryEntry entry) {
    return entry.variable() + ": " + entry.category() + (entry.excluded() ? " (excluded)" : "");
  }
}
