package Quorvane.homals;

import java.util.List;

/**
 * One variable of a {@link HomalsModel}: what the fit knew of it and found for it. Categories are
 * in the variable's order, numbered from 0 here (code c + 1 in the data); dimensions from 0.
 * Immutable; the array accessors return copies.
 */
public final class ModelVariable {
  private final String name;
  private final Role role;
  private final Quantification quantification;
  private final List<String> categories;
  private final double[] values;
  private final List<String> excluded;
  private final double[] frequencies;
  private final double[][] quantifications;
  private final double[][] centroids;

  /** Takes the arrays as they are: the callers made them for this variable alone. */
  ModelVariable(String name, Role role, Quantification quantification, List<String> categories,
      double[] values, List<String> excluded, double[] frequencies, double[][] quantifications,
      double[][] centroids) {
    this.name = name;
    this.role = role;
    this.quantification = quantification;
    this.categories = List.copyOf(categories);
    this.values = values;
    this.excluded = List.copyOf(excluded);
    this.frequencies = frequencies;
    this.quantifications = quantifications;
    this.centroids = centroids;
  }

  public String name() { return name; }

  public Role role() { return role; }

  public boolean isActive() { return role == Role.ACTIVE; }

  public Quantification quantification() { return quantification; }

  /** The category labels in order (unmodifiable). */
  public List<String> categories() { return categories; }

  public int categoryCount() { return categories.size(); }

  /**
   * The values the fit gave the categories (see {@link Variable#withValues}), or {@code null}
   * when they were the positions 1..k.
   */
  public double[] values() { return values == null ? null : values.clone(); }

  /**
   * The labels of the categories left out of the fit: their cells counted as missing, and they
   * count as missing in new objects too. Empty when none was.
   */
  public List<String> excludedCategories() { return excluded; }

  /** Whether category c (0-based) was left out of the fit. */
  public boolean isExcluded(int category) { return excluded.contains(categories.get(category)); }

  /** The summed weight of the objects that took part in the fit, per category. */
  public double[] frequencies() { return frequencies.clone(); }

  /**
   * The quantification of category c on dimension d: the centroid for a multiple variable, the
   * rank-one value for a single one. The transition formula adds these.
   */
  public double quantification(int category, int dimension) {
    return quantifications[category][dimension];
  }

  /** All quantifications, [category][dimension] (a copy). */
  public double[][] quantifications() { return copy(quantifications); }

  /** All centroids, [category][dimension] (a copy): the mean fitted score of each category. */
  public double[][] centroids() { return copy(centroids); }

  /** Package use: the values without copying. */
  double[] valuesView() { return values; }

  double[] frequenciesView() { return frequencies; }

  double[][] quantificationsView() { return quantifications; }

  double[][] centroidsView() { return centroids; }

  private static double[][] copy(double[][] rows) {
    double[][] copy = new double[rows.length][];
    for (int c = 0; c < rows.length; c++) {
      copy[c] = rows[c].clone();
    }
    return copy;
  }

  @Override
  public String toString() {
    return name + " (" + role.name().toLowerCase(java.util.Locale.ROOT) + ", "
        + quantification.describe() + ", " + categories.size() + " categories)";
  }
}
