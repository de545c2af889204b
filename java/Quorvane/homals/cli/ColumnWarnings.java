package Quorvane.homals.cli;

import java.util.Arrays;
import java.util.HashSet;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;
import java.util.regex.Pattern;

/**
 * Columns that read as categorical variables but are likely something else: an identifier, with
 * about as many categories as objects, which only spreads the objects apart; or the counts of a
 * frequency table forgotten without -w, which would become one more variable.
 */
final class ColumnWarnings {
  private ColumnWarnings() {}

  /** Names that counts of a frequency table often have. */
  private static final Pattern COUNT_NAMES =
      Pattern.compile("(?i)n|count|counts|freq|frequency|frequencies|weight|wt|number|total|cases");

  /**
   * The warning for a column left out because a single category is observed in it, which is
   * also noted in {@code leftOut} by name for the summary.
   */
  static String leftOutAsConstant(String name, String category, Map<String, String> leftOut) {
    String reason = "a single observed category, '" + category + "'";
    leftOut.put(name, reason);
    return "column '" + name + "' has " + reason + ", so it separates no objects; it is left out "
        + "of the analysis";
  }

  /**
   * A warning for a column with at least 20 categories and as many as half the objects, or null.
   */
  static String identifierLike(String name, int categories, int objects) {
    if (categories < 20 || 2L * categories < objects) {
      return null;
    }
    return String.format(Locale.ROOT,
        "column '%s' has %d categories for %d objects: an "
            + "identifier? It would only spread the objects apart; --id %s names the objects by "
            + "it, -x %s leaves it out",
        name, categories, objects, name, name);
  }

  /**
   * A warning for a column of whole numbers, at least three of them, whose name is one that
   * counts have or beside which every row is a different combination of the other columns
   * (rowCodes: the codes of each row in the other analysed columns); or null.
   */
  static String countLike(String name, List<String> labels, List<int[]> otherColumns, int rows) {
    if (labels.size() < 3) {
      return null;
    }
    for (String label : labels) {
      if (!label.trim().matches("\\d+")) {
        return null;
      }
    }
    boolean named = COUNT_NAMES.matcher(name.trim()).matches();
    boolean distinctRows = !otherColumns.isEmpty() && rows > labels.size();
    if (distinctRows) {
      Set<String> seen = new HashSet<>();
      int[] row = new int[otherColumns.size()];
      for (int i = 0; i < rows && distinctRows; i++) {
        for (int v = 0; v < row.length; v++) {
          row[v] = otherColumns.get(v)[i];
        }
        distinctRows = seen.add(Arrays.toString(row));
      }
    }
    if (!named && !distinctRows) {
      return null;
    }
    return "column '" + name + "' holds whole numbers"
        + (distinctRows ? ", and every row is a different combination of the other columns" : "")
        + ": the counts of a frequency table? Analysed, they become one more variable; -w " + name
        + " weighs the objects by them";
  }
}
