package Quorvane.homals;

/**
 * How a numeric variable that took no part in the analysis goes with each dimension: its
 * weighted Pearson correlation with the object scores, over the participating objects on which
 * it is observed (pairwise: an object without a value leaves out that variable only). A
 * supplementary variable: it is placed in the solution, as an arrow in the joint plot, and does
 * not shape it. Immutable; made by {@link HomalsResult#correlation(String, double[])}.
 */
public final class NumericCorrelation {
  private final String name;
  private final double observedWeight;
  private final int observedCount;
  private final double[] correlations;

  private NumericCorrelation(
      String name, double observedWeight, int observedCount, double[] correlations) {
    this.name = name;
    this.observedWeight = observedWeight;
    this.observedCount = observedCount;
    this.correlations = correlations;
  }

  /**
   * r<sub>d</sub> = &Sigma; w<sub>i</sub> (v<sub>i</sub> - v&#772;) (x<sub>id</sub> - x&#772;)
   * / &radic;(&Sigma; w<sub>i</sub> (v<sub>i</sub> - v&#772;)<sup>2</sup> &Sigma; w<sub>i</sub>
   * (x<sub>id</sub> - x&#772;)<sup>2</sup>), the means weighted, over the participating objects
   * with a value.
   */
  static NumericCorrelation of(HomalsResult result, String name, double[] values) {
    if (name == null || name.isBlank()) {
      throw new IllegalArgumentException("a numeric variable needs a name");
    }
    if (values.length != result.objectCount()) {
      throw new IllegalArgumentException("numeric variable '" + name + "' has " + values.length
          + " values for " + result.objectCount() + " objects");
    }
    HomalsAnalysis analysis = result.analysis();
    double weight = 0;
    double valueSum = 0;
    int count = 0;
    for (int i = 0; i < values.length; i++) {
      if (Double.isInfinite(values[i])) {
        throw new IllegalArgumentException("numeric variable '" + name + "', object " + (i + 1)
            + ": " + values[i] + " is not a finite number (NaN marks a missing value)");
      }
      if (result.takesPart(i) && !Double.isNaN(values[i])) {
        weight += analysis.weight(i);
        valueSum += analysis.weight(i) * values[i];
        count++;
      }
    }
    double valueMean = valueSum / weight;
    double[] correlations = new double[result.dimensions()];
    for (int d = 0; d < correlations.length; d++) {
      double[] scores = result.dimensionScores(d);
      double scoreSum = 0;
      for (int i = 0; i < values.length; i++) {
        if (result.takesPart(i) && !Double.isNaN(values[i])) {
          scoreSum += analysis.weight(i) * scores[i];
        }
      }
      double scoreMean = scoreSum / weight;
      double product = 0;
      double valueSquares = 0;
      double scoreSquares = 0;
      for (int i = 0; i < values.length; i++) {
        if (result.takesPart(i) && !Double.isNaN(values[i])) {
          double w = analysis.weight(i);
          double v = values[i] - valueMean;
          double x = scores[i] - scoreMean;
          product += w * v * x;
          valueSquares += w * v * v;
          scoreSquares += w * x * x;
        }
      }
      // A constant variable, or fewer than two objects, correlates with nothing.
      double r = product / Math.sqrt(valueSquares * scoreSquares);
      correlations[d] =
          valueSquares > 0 && scoreSquares > 0 ? Math.max(-1, Math.min(1, r)) : Double.NaN;
    }
    return new NumericCorrelation(name, weight, count, correlations);
  }

  public String name() { return name; }

  /** The summed weight of the participating objects with a value (their number without weights). */
  public double observedWeight() { return observedWeight; }

  /** How many participating objects have a value. */
  public int observedCount() { return observedCount; }

  /** The correlation with dimension d (0-based); NaN when the variable is constant there. */
  public double correlation(int dimension) {
    HomalsResult.checkIndex("dimension", dimension, correlations.length);
    return correlations[dimension];
  }

  /** The correlations with every dimension (a copy). */
  public double[] correlations() { return correlations.clone(); }
}
