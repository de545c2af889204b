package Quorvane.homals.cli;

import java.math.BigDecimal;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * The order and the values of an ordinal or numerical column's categories where its labels do
 * not settle them: labels that are not numbers but begin with one, such as the intervals
 * "[1,18]", "(18,30]", "(30,63.25]", are ordered by that number, and values given with --values
 * are read. Numbers as labels need nothing of this: they are ordered and valued as numbers.
 */
final class CategoryOrder {
  private CategoryOrder() {}

  // A sign belongs to the number only at the start of the label or after an opening bracket or a
  // space: in "18-30" the minus joins two numbers.
  private static final Pattern FIRST_NUMBER = Pattern.compile(
      "(?:^|(?<=[\\[(\\s<>=≤≥~]))[-+]?\\d+(?:\\.\\d+)?(?:[eE][-+]?\\d+)?|\\d+(?:\\.\\d+)?");

  /** Whether every label is a number, as the library reads numbers from labels. */
  static boolean allNumbers(List<String> labels) {
    for (String label : labels) {
      try {
        new BigDecimal(label.trim());
      } catch (NumberFormatException e) {
        return false;
      }
    }
    return true;
  }

  /** The first number in a label, or null when it holds none. */
  static Double firstNumber(String label) {
    Matcher matcher = FIRST_NUMBER.matcher(label.trim());
    return matcher.find() ? Double.valueOf(matcher.group()) : null;
  }

  /**
   * The labels ordered by the numbers they begin with, when every label holds a number and no
   * two share their first; null otherwise.
   */
  static List<String> byFirstNumbers(List<String> labels) {
    Set<Double> seen = new HashSet<>();
    for (String label : labels) {
      Double number = firstNumber(label);
      if (number == null || !seen.add(number)) {
        return null;
      }
    }
    List<String> ordered = new ArrayList<>(labels);
    ordered.sort(Comparator.comparing(CategoryOrder::firstNumber));
    return ordered;
  }

  /** The values of --values COLUMN=V,V,...: one finite number per category, in their order. */
  static double[] values(String column, String text, int categories) {
    String[] parts = text.split(",", -1);
    if (parts.length != categories) {
      throw new CliException("--values " + column + "=" + text + ": " + parts.length
          + " values for the column's " + categories + " categories");
    }
    double[] values = new double[parts.length];
    for (int c = 0; c < parts.length; c++) {
      try {
        values[c] = Double.parseDouble(parts[c].trim());
      } catch (NumberFormatException e) {
        values[c] = Double.NaN;
      }
      if (!Double.isFinite(values[c])) {
        throw new CliException(
            "--values " + column + "=" + text + ": '" + parts[c] + "' is not a finite number");
      }
    }
    return values;
  }

  /** The labels joined for a message, at most the first eight. */
  static String shortList(List<String> labels) {
    StringBuilder text = new StringBuilder();
    for (int c = 0; c < Math.min(labels.size(), 8); c++) {
      text.append(c == 0 ? "" : ", ").append(labels.get(c));
    }
    return labels.size() > 8 ? text.append(", ...").toString() : text.toString();
  }
}
