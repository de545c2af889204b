package Quorvane.homals;

import java.util.List;

/**
 * Which objects take part in an analysis, and the weighted frequencies of every variable's
 * categories over them. An object takes part when its weight is positive and at least one active
 * variable is observed on it; only such objects have scores, and only they count in the
 * frequencies, passive variables included. Computed once per analysis.
 */
final class Participation {
  private final boolean[] takesPart;
  private final int[] observed;
  private final int count;
  private final double totalMarginal;
  private final double[][] frequencies;

  private Participation(boolean[] takesPart, int[] observed, int count, double totalMarginal,
      double[][] frequencies) {
    this.takesPart = takesPart;
    this.observed = observed;
    this.count = count;
    this.totalMarginal = totalMarginal;
    this.frequencies = frequencies;
  }

  static Participation of(List<Variable> variables, double[] weights, int objectCount) {
    boolean[] takesPart = new boolean[objectCount];
    int[] observed = new int[objectCount];
    for (Variable v : variables) {
      if (v.isActive()) {
        v.codesView().countObserved(observed);
      }
    }
    int count = 0;
    double total = 0;
    for (int i = 0; i < objectCount; i++) {
      double weight = weights == null ? 1 : weights[i];
      takesPart[i] = weight > 0 && observed[i] > 0;
      if (takesPart[i]) {
        count++;
        total += weight * observed[i];
      }
    }
    double[][] frequencies = new double[variables.size()][];
    for (int v = 0; v < variables.size(); v++) {
      double[] sums = new double[variables.get(v).categoryCount()];
      variables.get(v).codesView().addWeights(takesPart, weights, sums);
      frequencies[v] = sums;
    }
    return new Participation(takesPart, observed, count, total, frequencies);
  }

  boolean takesPart(int object) { return takesPart[object]; }

  /** Whether an active variable is missing on an object that takes part. */
  boolean anyMissing(int activeCount) {
    for (int i = 0; i < takesPart.length; i++) {
      if (takesPart[i] && observed[i] < activeCount) {
        return true;
      }
    }
    return false;
  }

  /** The number of active variables observed on object i. */
  int observed(int object) { return observed[object]; }

  /**
   * Adds w<sub>i</sub> / c<sub>i</sub> of the objects that take part to the sums of their
   * categories on a variable.
   */
  void addShares(CategoryCodes codes, double[] weights, double[] sums) {
    codes.addShares(takesPart, weights, observed, sums);
  }

  /** The number of objects that take part. */
  int count() { return count; }

  /** t: the sum over objects that take part of w_i times their number of observed actives. */
  double totalMarginal() { return totalMarginal; }

  /** D_jc of variable j (in the description's order), category c; not copied. */
  double[] frequencies(int variable) { return frequencies[variable]; }
}
