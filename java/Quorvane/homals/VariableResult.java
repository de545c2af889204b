package Quorvane.homals;

import java.util.List;

/**
 * The results for one variable: its categories with their weighted frequencies, quantifications
 * and centroids, its loadings when it is single, its discrimination measure on every dimension,
 * and how its categories and the variable as a whole go with each dimension (test values and
 * correlation ratios). Dimensions are numbered from 0; categories are in the variable's order.
 * Immutable. See {@link HomalsResult} for the definitions.
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
  private final Association association;
  private final boolean[] excluded; // null: none

  VariableResult(String name, Role role, Quantification quantification, List<String> categories,
      double[] frequencies, double[][] quantifications, double[][] centroids, double[] loadings,
      double[] rankOneLoadings, double[] discrimination, double[][] contributions,
      double[][] qualities, boolean[] excluded, Association association) {
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
    this.association = association;
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
   * object scores on dimension d, weighted by w<sub>i</sub>, over the participating objects,
   * those missing on the variable taking its mean value (so that it follows from the categories'
   * frequencies and centroids, whatever holds the objects). Between -1 and 1; squared, the share
   * of the dimension's variance that the quantified variable accounts for. On complete data, the
   * ordinary weighted correlation. {@code null} for a multiple variable.
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

  /**
   * The test value of category c on dimension d: whether the category's objects lie further out
   * on the dimension than a random draw of as many objects would. With n = W<sub>+</sub> the
   * summed weight of the participating objects, n<sub>c</sub> = D<sub>c</sub> that of the
   * category's, y&#772;<sub>c</sub> their weighted mean score (the centroid), and x&#772; =
   * S1 / n and s<sup>2</sup> = S2 / n - x&#772;<sup>2</sup> the weighted mean and variance of
   * the scores of all participating objects on d (S1 = &Sigma; w<sub>i</sub> x<sub>id</sub>, S2
   * = &Sigma; w<sub>i</sub> x<sub>id</sub><sup>2</sup>):
   *
   * <p>v = (y&#772;<sub>c</sub> - x&#772;) / &radic;(s<sup>2</sup> / n<sub>c</sub> &middot; (n -
   * n<sub>c</sub>) / (n - 1)),
   *
   * <p>the standardised difference of the mean of a draw without replacement of n<sub>c</sub>
   * objects from the n. Weights count as frequencies: an object of weight 3 counts as three, so
   * multiplying every weight by a factor f multiplies v by about &radic;f. |v| &gt; 2 is the usual
   * mark of a category that characterises the dimension. For active, passive and excluded
   * categories alike; NaN for a category without weight or one that holds every participating
   * object.
   */
  public double vTest(int category, int dimension) {
    return association.vTests[category(category)][dimension(dimension)];
  }

  /** The two-sided p-value of {@link #vTest}: 2 (1 - &Phi;(|v|)), &Phi; the standard normal. */
  public double vTestP(int category, int dimension) {
    return association.vTestP[category(category)][dimension(dimension)];
  }

  /** All test values, [category][dimension] (a copy). */
  public double[][] vTests() {
    double[][] copy = new double[association.vTests.length][];
    for (int c = 0; c < copy.length; c++) {
      copy[c] = association.vTests[c].clone();
    }
    return copy;
  }

  /**
   * The correlation ratio &eta;<sup>2</sup> of the variable with dimension d: the share of the
   * variance of the scores of all participating objects that lies between the variable's groups,
   * &Sigma;<sub>g</sub> n<sub>g</sub> (y&#772;<sub>g</sub> - x&#772;)<sup>2</sup> / (S2 -
   * W<sub>+</sub> x&#772;<sup>2</sup>) (x&#772;, S2 and W<sub>+</sub> as in {@link #vTest}). The
   * groups are its categories (excluded ones included), of weights D<sub>c</sub> and means their
   * centroids, and, when some participating objects are missing on the variable, one more group
   * of them, of weight W<sub>+</sub> - &Sigma; D<sub>c</sub> and mean (S1 - &Sigma; D<sub>c</sub>
   * y&#772;<sub>c</sub>) / that weight. Between 0 and 1; on complete data it equals the
   * discrimination measure of a multiple variable, and for a single variable it says what the
   * categories' centroids show, whatever the quantification.
   */
  public double etaSquared(int dimension) { return association.etaSquared[dimension(dimension)]; }

  /**
   * The p-value of {@link #etaSquared}: P(F &ge; (&eta;<sup>2</sup> / (g - 1)) / ((1 -
   * &eta;<sup>2</sup>) / (n - g))) for F on g - 1 and n - g degrees of freedom, with g the groups
   * of positive weight and n = W<sub>+</sub> (weights count as frequencies). NaN for fewer than
   * two groups, or no more weight than groups.
   */
  public double etaSquaredP(int dimension) { return association.etaSquaredP[dimension(dimension)]; }
}
