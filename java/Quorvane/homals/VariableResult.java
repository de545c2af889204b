package Quorvane.homals;

import java.util.List;

/**
 * The results for one variable: its categories with their weighted frequencies, quantifications
 * and centroids, its loadings when it is single, and its discrimination measure on every
 * dimension. Dimensions are numbered from 0; categories are in the variable's order. Immutable.
 * See {@link HomalsResult} for the definitions.
 */
public final class VariableResult {
  private final String name;
  private final Role role;
  private final Quantification quantification;
  private final List<String> categories;
  private final double[] frequencies;
  private final double[][] quantifications;
  private final double[][] centroids;
  private final double[] loadings;
  private final double[] rankOneLoadings;
  private final double[] discrimination;
  private final double[][] contributions;
  private final double[][] qualities;
  private final boolean[] excluded; // null: none

  VariableResult(String name, Role role, Quantification quantification, List<String> categories,
      double[] frequencies, double[][] quantifications, double[][] centroids, double[] loadings,
      double[] rankOneLoadings, double[] discrimination, double[][] contributions,
      double[][] qualities, boolean[] excluded) {
    this.name = name;
    this.role = role;
    this.quantification = quantification;
    this.categories = categories;
    this.frequencies = frequencies.clone();
    this.quantifications = new double[quantifications.length][];
    for (int c = 0; c < quantifications.length; c++) {
      this.quantifications[c] = quantifications[c].clone();
    }
    this.centroids = centroids;
    this.loadings = loadings == null ? null : loadings.clone();
    this.rankOneLoadings = rankOneLoadings == null ? null : rankOneLoadings.clone();
    this.discrimination = discrimination.clone();
    this.contributions = contributions;
    this.qualities = qualities;
    this.excluded = excluded;
  }

  public String name() { return name; }

  public Role role() { return role; }

  public boolean isActive() { return role == Role.ACTIVE; }

  public Quantification quantification() { return quantification; }

  /** The categories in order (unmodifiable). */
  public List<String> categories() { return categories; }

  /** Index of a category label, or an exception naming the known labels. */
  public int categoryIndex(String label) {
    int c = categories.indexOf(label);
    if (c < 0) {
      throw new IllegalArgumentException("variable '" + name + "' has no category '" + label
          + "'; its categories are " + categories);
    }
    return c;
  }

  private int category(int index) {
    if (index < 0 || index >= categories.size()) {
      throw new IndexOutOfBoundsException("category " + index + " is not in 0 .. "
          + (categories.size() - 1) + " of variable '" + name + "'");
    }
    return index;
  }

  private int dimension(int index) {
    if (index < 0 || index >= discrimination.length) {
      throw new IndexOutOfBoundsException(
          "dimension " + index + " is not in 0 .. " + (discrimination.length - 1));
    }
    return index;
  }

  /**
   * Whether category c (0-based) was excluded from the fit ({@link Variable#excluding}): a
   * supplementary point whose quantification is the centroid of its objects, with no
   * contribution.
   */
  public boolean isExcluded(int category) {
    return excluded != null && excluded[category(category)];
  }

  /** Summed weight of the participating objects in category c (0-based). */
  public double frequency(int category) { return frequencies[category(category)]; }

  public double frequency(String label) { return frequencies[categoryIndex(label)]; }

  /** The quantification of category c (0-based) on dimension d (0-based). */
  public double quantification(int category, int dimension) {
    return quantifications[category(category)][dimension(dimension)];
  }

  /** The quantification of the labelled category on every dimension (a copy). */
  public double[] quantification(String label) {
    return quantifications[categoryIndex(label)].clone();
  }

  /** All quantifications, [category][dimension] (a copy). */
  public double[][] quantifications() {
    double[][] copy = new double[quantifications.length][];
    for (int c = 0; c < copy.length; c++) {
      copy[c] = quantifications[c].clone();
    }
    return copy;
  }

  /**
   * The centroid of category c (0-based) on dimension d: the weighted mean of the scores of the
   * participating objects in it. Equal to the quantification for a multiple variable.
   */
  public double centroid(int category, int dimension) {
    return centroids[category(category)][dimension(dimension)];
  }

  /** All centroids, [category][dimension] (a copy). */
  public double[][] centroids() {
    double[][] copy = new double[centroids.length][];
    for (int c = 0; c < copy.length; c++) {
      copy[c] = centroids[c].clone();
    }
    return copy;
  }

  /**
   * The component loadings of a single variable, one per dimension: the correlation between the
   * variable's quantified values (the score z<sub>c</sub> of each object's category) and the
   * object scores on dimension d, weighted by w<sub>i</sub>, over the participating objects
   * observed on the variable. Between -1 and 1; squared, the share of the dimension's variance
   * over those objects that the quantified variable accounts for. {@code null} for a multiple
   * variable.
   */
  public double[] loadings() { return loadings == null ? null : loadings.clone(); }

  /**
   * The factors a<sub>d</sub> of a single variable's rank-one quantifications: its
   * quantification on dimension d is a<sub>d</sub> z<sub>c</sub>, with category scores
   * z<sub>c</sub> centred and scaled so that &Sigma;<sub>c</sub> D<sub>c</sub>
   * z<sub>c</sub><sup>2</sup> = t. On complete data a<sub>d</sub> = loading / &radic;M.
   * {@code null} for a multiple variable.
   */
  public double[] rankOneLoadings() {
    return rankOneLoadings == null ? null : rankOneLoadings.clone();
  }

  /**
   * The contribution in per cent of category c to dimension d (see {@link HomalsResult}); NaN
   * for a passive variable or an excluded category, which contribute nothing.
   */
  public double contribution(int category, int dimension) {
    return contributions == null ? Double.NaN
                                 : contributions[category(category)][dimension(dimension)];
  }

  /** The quality of representation (cos2) of category c on dimension d; NaN without weight. */
  public double quality(int category, int dimension) {
    return qualities[category(category)][dimension(dimension)];
  }

  /** The discrimination measure on dimension d (0-based). */
  public double discrimination(int dimension) { return discrimination[dimension(dimension)]; }

  /** The discrimination measures of all dimensions (a copy). */
  public double[] discriminationMeasures() { return discrimination.clone(); }
}
