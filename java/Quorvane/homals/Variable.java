package Quorvane.homals;

import java.math.BigDecimal;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collection;
import java.util.Collections;
import java.util.Comparator;
import java.util.HashMap;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Map;
import java.util.Objects;
import java.util.Set;

/**
 * One categorical variable of an analysis: its name, its categories in order, the category of
 * every object (or none, when the value is missing), whether it is active or passive, and how it
 * is quantified.
 *
 * <p>Instances are immutable; {@link #passive()}, {@link #single(Quantification)} and the other
 * modifiers return a changed copy. The category order matters for ordinal and numerical
 * quantifications: the first category is the lowest.
 *
 * <pre>{@code
 * Variable party = Variable.ofLabels("party", List.of("dem", "rep", "dem", null));
 * Variable age = Variable.ofLabels("age", ages, List.of("young", "middle", "old"))
 *         .single(Quantification.SINGLE_ORDINAL);
 * Variable region = Variable.ofCodes("region", new int[] {1, 3, 0, 2}, List.of("N", "S", "E"))
 *         .passive();
 * }</pre>
 */
public final class Variable {
  private final String name;
  private final List<String> categories;
  private final CategoryCodes codes;
  private final Role role;
  private final Quantification quantification;
  private final double[] values; // null: the labels' numbers, or the positions
  private final boolean[] excluded; // null: none

  private Variable(String name, List<String> categories, CategoryCodes codes, Role role,
      Quantification quantification, double[] values, boolean[] excluded) {
    this.name = name;
    this.categories = categories;
    this.codes = codes;
    this.role = role;
    this.quantification = quantification;
    this.values = values;
    this.excluded = excluded;
  }

  /**
   * A variable given by one label per object; {@code null} or a blank label marks a missing
   * value. The categories are the distinct labels, in natural order: numerically when every
   * label is a number, otherwise alphabetically by their characters.
   */
  public static Variable ofLabels(String name, List<String> labels) {
    checkName(name);
    Objects.requireNonNull(labels, "labels");
    Set<String> distinct = new LinkedHashSet<>();
    for (String label : labels) {
      if (!isMissing(label)) {
        distinct.add(label);
      }
    }
    return ofLabels(name, labels, categoryOrder(distinct));
  }

  /**
   * The labels in the order that {@link #ofLabels(String, List)} gives its categories:
   * numerically when every label is a number, otherwise alphabetically by their characters.
   * With it, a reader that numbers each distinct label once, in any order, can renumber its
   * codes and build the same variable through {@link #ofCodes(String, int[], List)}, without a
   * string per object.
   */
  public static List<String> categoryOrder(Collection<String> labels) {
    List<String> order = new ArrayList<>(labels);
    order.sort(naturalOrder(order));
    return order;
  }

  /**
   * A variable given by one label per object and the order of its categories. Every label
   * that is not missing must be one of the categories; categories that no object has are
   * allowed and get a frequency of 0.
   */
  public static Variable ofLabels(String name, List<String> labels, List<String> categoryOrder) {
    checkName(name);
    Objects.requireNonNull(labels, "labels");
    List<String> categories = checkCategories(name, categoryOrder);
    Map<String, Integer> codeOf = new HashMap<>();
    for (int c = 0; c < categories.size(); c++) {
      codeOf.put(categories.get(c), c + 1);
    }
    CategoryCodes.Builder codes = new CategoryCodes.Builder(labels.size(), categories.size());
    for (int i = 0; i < labels.size(); i++) {
      String label = labels.get(i);
      if (isMissing(label)) {
        continue;
      }
      Integer code = codeOf.get(label);
      if (code == null) {
        throw new InvalidAnalysisException("variable '" + name + "', object " + (i + 1)
            + ": label '" + label + "' is not one of its categories " + categories);
      }
      codes.set(i, code);
    }
    return new Variable(
        name, categories, codes.build(), Role.ACTIVE, Quantification.MULTIPLE_NOMINAL, null, null);
  }

  /**
   * A variable given by integer codes: code c (1 &le; c &le; k) is category c, a code of 0 or
   * below is missing. The categories are named "1" to "k", where k is the largest code.
   */
  public static Variable ofCodes(String name, int[] codes) {
    checkName(name);
    Objects.requireNonNull(codes, "codes");
    int k = 0;
    for (int code : codes) {
      k = Math.max(k, code);
    }
    List<String> labels = new ArrayList<>(k);
    for (int c = 1; c <= k; c++) {
      labels.add(Integer.toString(c));
    }
    return ofCodes(name, codes, labels);
  }

  /**
   * A variable given by integer codes and the labels of its categories: code c is
   * {@code categories.get(c - 1)}, a code of 0 or below is missing, and a code above the number
   * of categories is an error.
   */
  public static Variable ofCodes(String name, int[] codes, List<String> categories) {
    checkName(name);
    Objects.requireNonNull(codes, "codes");
    List<String> checked = checkCategories(name, categories);
    for (int i = 0; i < codes.length; i++) {
      if (codes[i] > checked.size()) {
        throw new InvalidAnalysisException("variable '" + name + "', object " + (i + 1) + ": code "
            + codes[i] + " is above its " + checked.size() + " categories");
      }
    }
    return new Variable(name, checked, CategoryCodes.of(codes), Role.ACTIVE,
        Quantification.MULTIPLE_NOMINAL, null, null);
  }

  /**
   * A variable given by a column of codes and the labels of its categories, as {@link
   * #ofCodes(String, int[], List)} but without a copy: the column is immutable, and variables
   * made from it share it.
   */
  public static Variable ofCodes(String name, CategoryCodes codes, List<String> categories) {
    checkName(name);
    Objects.requireNonNull(codes, "codes");
    List<String> checked = checkCategories(name, categories);
    // A column built for at most this many categories needs no reading.
    if (codes.bound() > checked.size() && codes.largest() > checked.size()) {
      for (int i = 0;; i++) {
        if (codes.get(i) > checked.size()) {
          throw new InvalidAnalysisException("variable '" + name + "', object " + (i + 1)
              + ": code " + codes.get(i) + " is above its " + checked.size() + " categories");
        }
      }
    }
    return new Variable(
        name, checked, codes, Role.ACTIVE, Quantification.MULTIPLE_NOMINAL, null, null);
  }

  /**
   * A variable known by its categories alone, without objects: for an analysis from tables
   * summed elsewhere ({@link HomalsAnalysis.Builder#tables}). It describes 0 objects.
   */
  public static Variable ofCategories(String name, List<String> categories) {
    return ofCodes(name, new int[0], categories);
  }

  /** This variable as a passive one. */
  public Variable passive() {
    return new Variable(name, categories, codes, Role.PASSIVE, quantification, values, excluded);
  }

  /** This variable as an active one (the default). */
  public Variable active() {
    return new Variable(name, categories, codes, Role.ACTIVE, quantification, values, excluded);
  }

  /** This variable with the given role. */
  public Variable withRole(Role newRole) {
    return new Variable(name, categories, codes, Objects.requireNonNull(newRole, "role"),
        quantification, values, excluded);
  }

  /** This variable with multiple nominal quantification (the default). */
  public Variable multiple() {
    return new Variable(
        name, categories, codes, role, Quantification.MULTIPLE_NOMINAL, values, excluded);
  }

  /** This variable with the given quantification, single or multiple. */
  public Variable single(Quantification newQuantification) {
    return new Variable(name, categories, codes, role,
        Objects.requireNonNull(newQuantification, "quantification"), values, excluded);
  }

  /**
   * This variable with the given values of its categories, one per category in order: finite,
   * not all equal. A single variable starts from them, and a numerical one keeps them (centred
   * and scaled), so that its quantifications are spaced as the values are. {@code null} restores
   * the default: the categories' labels as numbers when every label is one, else their positions
   * 1 to k.
   */
  public Variable withValues(double... categoryValues) {
    if (categoryValues == null) {
      return new Variable(name, categories, codes, role, quantification, null, excluded);
    }
    if (categoryValues.length != categories.size()) {
      throw new InvalidAnalysisException("variable '" + name + "': " + categoryValues.length
          + " values for " + categories.size() + " categories");
    }
    boolean spread = false;
    for (double value : categoryValues) {
      if (!Double.isFinite(value)) {
        throw new InvalidAnalysisException(
            "variable '" + name + "': a category value of " + value + " is not finite");
      }
      spread |= value != categoryValues[0];
    }
    if (!spread && categoryValues.length > 1) {
      throw new InvalidAnalysisException(
          "variable '" + name + "': the category values are all " + categoryValues[0]);
    }
    return new Variable(
        name, categories, codes, role, quantification, categoryValues.clone(), excluded);
  }

  /**
   * This variable with the given categories excluded from the fit (a "specific" analysis):
   * answers such as "don't know" or "not applicable" that should not shape the solution. Their
   * cells count as missing for the fit, exactly as if they had been recoded so, and the
   * categories are still reported as supplementary points, at the centroids of their objects.
   * Replaces any earlier exclusion; no labels restores every category.
   *
   * @throws InvalidAnalysisException for a label that is not a category, or when every category
   *     would be excluded
   */
  public Variable excluding(String... labels) {
    Objects.requireNonNull(labels, "labels");
    if (labels.length == 0) {
      return new Variable(name, categories, codes, role, quantification, values, null);
    }
    boolean[] out = new boolean[categories.size()];
    for (String label : labels) {
      int c = categories.indexOf(label);
      if (c < 0) {
        throw new InvalidAnalysisException("variable '" + name + "': cannot exclude '" + label
            + "', which is not one of its categories " + categories);
      }
      out[c] = true;
    }
    int kept = 0;
    for (boolean e : out) {
      kept += e ? 0 : 1;
    }
    if (kept == 0) {
      throw new InvalidAnalysisException(
          "variable '" + name + "': every category is excluded; leave the variable out instead");
    }
    return new Variable(name, categories, codes, role, quantification, values, out);
  }

  /** The categories excluded from the fit, in category order (empty when none). */
  public List<String> excludedCategories() {
    List<String> out = new ArrayList<>();
    for (int c = 0; excluded != null && c < excluded.length; c++) {
      if (excluded[c]) {
        out.add(categories.get(c));
      }
    }
    return out;
  }

  /** Whether category c (0-based, in category order) is excluded from the fit. */
  public boolean isExcluded(int category) {
    Objects.checkIndex(category, categories.size());
    return excluded != null && excluded[category];
  }

  /**
   * Package use: the variable the fit sees. Without exclusions it is this one; otherwise the
   * kept categories in order, with the excluded ones' cells missing.
   */
  Variable fitVariable() {
    if (excluded == null) {
      return this;
    }
    int[] renumber = new int[categories.size() + 1];
    List<String> kept = new ArrayList<>();
    for (int c = 0; c < categories.size(); c++) {
      if (!excluded[c]) {
        kept.add(categories.get(c));
        renumber[c + 1] = kept.size();
      }
    }
    CategoryCodes fitCodes = codes.renumbered(renumber, kept.size());
    double[] fitValues = null;
    if (values != null) {
      fitValues = new double[kept.size()];
      for (int c = 0, next = 0; c < categories.size(); c++) {
        if (!excluded[c]) {
          fitValues[next++] = values[c];
        }
      }
    }
    return new Variable(
        name, Collections.unmodifiableList(kept), fitCodes, role, quantification, fitValues, null);
  }

  /**
   * Package use: with exclusions, a passive multiple variable of the excluded categories alone
   * (in order, the other cells missing), which the library places as it places every passive
   * category: its centroids are the excluded categories' supplementary points. Null without
   * exclusions.
   */
  Variable excludedVariable() {
    if (excluded == null) {
      return null;
    }
    int[] renumber = excludedCodes();
    List<String> shadowCategories = excludedCategories();
    CategoryCodes shadowCodes = codes.renumbered(renumber, shadowCategories.size());
    return new Variable(name, Collections.unmodifiableList(shadowCategories), shadowCodes,
        Role.PASSIVE, Quantification.MULTIPLE_NOMINAL, null, null);
  }

  /** For each code 0..k, its code among the excluded categories alone (0: not excluded). */
  int[] excludedCodes() {
    int[] renumber = new int[categories.size() + 1];
    for (int c = 0, next = 0; c < categories.size(); c++) {
      if (excluded != null && excluded[c]) {
        renumber[c + 1] = ++next;
      }
    }
    return renumber;
  }

  /**
   * The values of the categories (see {@link #withValues}): those given, else the labels as
   * numbers when every label is one, else the positions 1 to k.
   */
  public double[] values() {
    double[] own = valuesView();
    if (own != null) {
      return own.clone();
    }
    double[] positions = new double[categories.size()];
    for (int c = 0; c < positions.length; c++) {
      positions[c] = c + 1;
    }
    return positions;
  }

  /** Whether the values are the positions: none given, and a label that is not a number. */
  public boolean valuesArePositions() { return valuesView() == null; }

  /** Package use: the values given or read from the labels, or null for the positions. */
  double[] valuesView() {
    if (values != null) {
      return values;
    }
    double[] numbers = new double[categories.size()];
    for (int c = 0; c < numbers.length; c++) {
      BigDecimal number = parseNumber(categories.get(c));
      if (number == null) {
        return null;
      }
      numbers[c] = number.doubleValue();
    }
    return numbers;
  }

  /** The variable's name. */
  public String name() { return name; }

  /** The categories in order; category c (1-based code) is element c - 1. */
  public List<String> categories() { return categories; }

  /** The number of categories, k. */
  public int categoryCount() { return categories.size(); }

  /** The number of objects described. */
  public int objectCount() { return codes.size(); }

  /** The code of object i: 1 to k, or 0 when its value is missing. */
  public int code(int object) { return codes.get(object); }

  /** A copy of all codes, 0 for missing values. */
  public int[] codes() { return codes.toArray(); }

  /** The label of object i, or {@code null} when its value is missing. */
  public String label(int object) {
    int code = codes.get(object);
    return code == 0 ? null : categories.get(code - 1);
  }

  public Role role() { return role; }

  public boolean isActive() { return role == Role.ACTIVE; }

  public Quantification quantification() { return quantification; }

  /** The codes as held, without a copy; the column is immutable. */
  public CategoryCodes compactCodes() { return codes; }

  /** Package use: the codes without copying. */
  CategoryCodes codesView() { return codes; }

  @Override
  public String toString() {
    return name + " (" + role.name().toLowerCase(java.util.Locale.ROOT) + ", "
        + quantification.describe() + ", " + categories.size() + " categories"
        + (excluded == null ? "" : ", " + excludedCategories().size() + " excluded") + ")";
  }

  static boolean isMissing(String label) { return label == null || label.isBlank(); }

  private static void checkName(String name) {
    if (name == null || name.isBlank()) {
      throw new InvalidAnalysisException("a variable needs a non-blank name");
    }
  }

  private static List<String> checkCategories(String name, List<String> categories) {
    Objects.requireNonNull(categories, "categories");
    Set<String> seen = new LinkedHashSet<>();
    for (String category : categories) {
      if (isMissing(category)) {
        throw new InvalidAnalysisException(
            "variable '" + name + "': a category label is null or blank");
      }
      if (!seen.add(category)) {
        throw new InvalidAnalysisException(
            "variable '" + name + "': category '" + category + "' is listed twice");
      }
    }
    return Collections.unmodifiableList(new ArrayList<>(categories));
  }

  /** Numeric order when every label is a number, otherwise the order of String.compareTo. */
  private static Comparator<String> naturalOrder(List<String> labels) {
    for (String label : labels) {
      if (parseNumber(label) == null) {
        return Comparator.naturalOrder();
      }
    }
    return Comparator.comparing(Variable::parseNumber);
  }

  private static BigDecimal parseNumber(String label) {
    try {
      return new BigDecimal(label.trim());
    } catch (NumberFormatException e) {
      return null;
    }
  }

  @Override
  public boolean equals(Object other) {
    return other instanceof Variable v && name.equals(v.name) && categories.equals(v.categories)
        && codes.equals(v.codes) && role == v.role && quantification == v.quantification
        && Arrays.equals(values, v.values) && Arrays.equals(excluded, v.excluded);
  }

  @Override
  public int hashCode() {
    return Objects.hash(name, categories, codes, role, quantification, Arrays.hashCode(values),
        Arrays.hashCode(excluded));
  }
}
