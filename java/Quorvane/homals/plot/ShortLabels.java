package Quorvane.homals.plot;

import java.util.Collections;
import java.util.HashMap;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.Set;
import java.util.function.UnaryOperator;

/**
 * Labels cut to a length that fits beside a point, each still unique among the labels of its
 * plot, and the full text of every label that was cut. A "variable: category" label gives up
 * letters of the variable first, since the category tells the points of one variable apart.
 */
final class ShortLabels {
  private static final String ELLIPSIS = "\u2026";

  private final int length;
  private final Map<String, Scope> scopes = new HashMap<>();
  private final Map<String, Map<String, String>> shortened = new LinkedHashMap<>();

  ShortLabels(int length) { this.length = length; }

  /** The label of a category of a variable in the plot named {@code plot}. */
  String category(String plot, String variable, String category) {
    return register(plot, variable + ": " + category, suffix -> cut(variable, category, suffix));
  }

  /** A label of one part, such as a variable's name, in the plot named {@code plot}. */
  String plain(String plot, String text) {
    return register(plot, text, suffix -> cut(text, length - suffix.length()) + suffix);
  }

  /** "variable: category" in the length, with {@code suffix} after the variable if not empty. */
  private String cut(String variable, String category, String suffix) {
    String full = variable + ": " + category;
    if (full.length() <= length && suffix.isEmpty()) {
      return full;
    }
    int room = length - 2;
    int categoryRoom = full.length() <= length
        ? category.length()
        : Math.min(category.length(), Math.max(room - variable.length(), room / 2));
    return cut(variable, room - categoryRoom - suffix.length()) + suffix + ": "
        + cut(category, categoryRoom);
  }

  /**
   * Per plot, in order of first use, the full text of every label that was shortened, by its
   * short form.
   */
  Map<String, Map<String, String>> shortened() { return Collections.unmodifiableMap(shortened); }

  /**
   * The label of {@code full}: {@code form} applied to "", or, when that is taken in the plot
   * (two texts cut to the same letters), to "~2", "~3", ... until one is free.
   */
  private String register(String plot, String full, UnaryOperator<String> form) {
    Scope scope = scopes.computeIfAbsent(plot, name -> new Scope());
    String known = scope.shortOf.get(full);
    if (known != null) {
      return known;
    }
    String label = form.apply("");
    for (int n = 2; !scope.used.add(label); n++) {
      label = form.apply("~" + n);
    }
    scope.shortOf.put(full, label);
    if (!label.equals(full)) {
      shortened.computeIfAbsent(plot, name -> new LinkedHashMap<>()).put(label, full);
    }
    return label;
  }

  private static String cut(String text, int room) {
    if (text.length() <= room) {
      return text;
    }
    // Surrogate pairs stay whole.
    int end = Math.max(0, room - 1);
    if (end > 0 && Character.isHighSurrogate(text.charAt(end - 1))) {
      end--;
    }
    return text.substring(0, end) + ELLIPSIS;
  }

  private static final class Scope {
    final Map<String, String> shortOf = new HashMap<>();
    final Set<String> used = new HashSet<>();
  }
}
