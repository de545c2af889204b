package Quorvane.homals;

import java.util.List;

/**
 * The summaries statisticians read beside the quantifications: contributions of categories to
 * dimensions, qualities of representation, and the inertia of the analysis (see {@link Inertia}
 * and {@link VariableResult} for the definitions). Computed once per result from the codes and
 * the solution.
 */
final class Statistics {
  private Statistics() {}

  /**
   * cos2: the squared centroid on each dimension over the category's squared distance from the
   * origin in the space of all dimensions, (t / D<sup>2</sup>) &Sigma;<sub>i in c</sub>
   * w<sub>i</sub> / c<sub>i</sub> - 1 (W / D - 1 on complete data). NaN for a category without
   * weight or at the origin (a category that holds every object).
   */
  static double[][] qualities(
      double[][] centroids, double[] frequency, double[] inverseSums, double t) {
    double[][] quality = new double[centroids.length][];
    for (int c = 0; c < centroids.length; c++) {
      double distance = t / (frequency[c] * frequency[c]) * inverseSums[c] - 1;
      quality[c] = new double[centroids[c].length];
      for (int d = 0; d < quality[c].length; d++) {
        quality[c][d] = frequency[c] > 0 && distance > 0
            ? centroids[c][d] * centroids[c][d] / distance
            : Double.NaN;
      }
    }
    return quality;
  }

  /**
   * Contributions in per cent of every active category to every dimension, 100 D y<sup>2</sup>
   * over the sum of D y<sup>2</sup> of all active categories on that dimension; {@code null} for
   * passive variables. The argument holds, per variable, D<sub>jc</sub> y<sub>jcd</sub><sup>2
   * </sup> (null for passive ones).
   */
  static double[][][] contributions(List<double[][]> weightedSquares, int p) {
    double[] totals = new double[p];
    for (double[][] squares : weightedSquares) {
      if (squares != null) {
        for (double[] category : squares) {
          for (int d = 0; d < p; d++) {
            totals[d] += category[d];
          }
        }
      }
    }
    double[][][] contributions = new double[weightedSquares.size()][][];
    for (int v = 0; v < contributions.length; v++) {
      double[][] squares = weightedSquares.get(v);
      if (squares == null) {
        continue;
      }
      contributions[v] = new double[squares.length][p];
      for (int c = 0; c < squares.length; c++) {
        for (int d = 0; d < p; d++) {
          contributions[v][c][d] = 100 * squares[c][d] / totals[d];
        }
      }
    }
    return contributions;
  }

  /**
   * @param pairCounts the weighted counts of every pair of active categories as the library
   *     returns them, or null for the pairwise tables to be counted here
   * @param tableEigenvalues every non-trivial eigenvalue of the category table, or null when the
   *     library did not return them
   */
  static Inertia inertia(HomalsAnalysis analysis, double[] eigenvalues, List<double[]> inverseSums,
      double[] pairCounts, double[] tableEigenvalues) {
    List<Variable> variables = analysis.fitVariables();
    Participation participation = analysis.participation();
    double weight = participation.participatingWeight();
    double total = 0;
    int active = 0;
    boolean allMultiple = true;
    for (int v = 0; v < variables.size(); v++) {
      Variable variable = variables.get(v);
      if (!variable.isActive()) {
        continue;
      }
      active++;
      double[] frequency = participation.frequencies(v);
      double tau = 0;
      double omega = 0;
      for (int c = 0; c < frequency.length; c++) {
        omega += inverseSums.get(v)[c];
        tau += frequency[c] > 0 ? inverseSums.get(v)[c] / frequency[c] : 0;
      }
      omega /= weight;
      if (variable.quantification().isSingle()) {
        allMultiple = false;
        total += omega;
      } else {
        total += tau - omega;
      }
    }
    int p = eigenvalues.length;
    double[] percent = new double[p];
    for (int d = 0; d < p; d++) {
      percent[d] = 100 * eigenvalues[d] / total;
    }
    double adjustedTotal = Double.NaN;
    String adjustment;
    if (active < 2) {
      adjustment = "withheld: one active variable";
    } else if (!allMultiple) {
      adjustment = "withheld: single variables";
    } else if (!participation.anyMissing()) {
      adjustedTotal =
          pairCounts != null ? meanPairInertia(analysis, pairCounts) : meanPairInertia(analysis);
      adjustment = "greenacre";
    } else if (tableEigenvalues != null) {
      adjustedTotal = 0;
      for (double lambda : tableEigenvalues) {
        adjustedTotal += adjusted(lambda, active);
      }
      adjustment = "benzecri (missing values)";
    } else {
      adjustment = "withheld: missing values, and the eigenvalues of every dimension are unknown";
    }
    double[] adjustedEigenvalues = new double[p];
    double[] adjustedPercent = new double[p];
    for (int d = 0; d < p; d++) {
      adjustedEigenvalues[d] =
          Double.isNaN(adjustedTotal) ? Double.NaN : adjusted(eigenvalues[d], active);
      adjustedPercent[d] = 100 * adjustedEigenvalues[d] / adjustedTotal;
    }
    return new Inertia(
        total, percent, adjustedTotal, adjustedEigenvalues, adjustedPercent, adjustment);
  }

  /** (Q / (Q - 1))^2 (lambda - 1 / Q)^2 above 1 / Q, else 0. */
  static double adjusted(double lambda, int active) {
    double q = active;
    double excess = Math.max(lambda - 1 / q, 0);
    return q / (q - 1) * (q / (q - 1)) * excess * excess;
  }

  /** The same mean from the library's counts of every pair of active categories. */
  static double meanPairInertia(HomalsAnalysis analysis, double[] pairCounts) {
    List<Variable> active = analysis.fitVariables().stream().filter(Variable::isActive).toList();
    int rows = (int) Math.round(Math.sqrt(pairCounts.length));
    int[] first = new int[active.size() + 1];
    for (int a = 0; a < active.size(); a++) {
      first[a + 1] = first[a] + active.get(a).categoryCount();
    }
    double sum = 0;
    int pairs = 0;
    for (int a = 0; a < active.size(); a++) {
      for (int b = a + 1; b < active.size(); b++) {
        int ka = first[a + 1] - first[a];
        int kb = first[b + 1] - first[b];
        double[] table = new double[ka * kb];
        for (int r = 0; r < ka; r++) {
          for (int c = 0; c < kb; c++) {
            table[r * kb + c] = pairCounts[(first[a] + r) * rows + first[b] + c];
          }
        }
        sum += phiSquared(table, ka, kb);
        pairs++;
      }
    }
    return sum / pairs;
  }

  /** &phi;<sup>2</sup> of a weighted two-way table: &Sigma; n<sup>2</sup> / (row col) - 1. */
  static double phiSquared(double[] table, int rows, int columns) {
    double[] rowSums = new double[rows];
    double[] columnSums = new double[columns];
    for (int r = 0; r < rows; r++) {
      for (int c = 0; c < columns; c++) {
        rowSums[r] += table[r * columns + c];
        columnSums[c] += table[r * columns + c];
      }
    }
    double phi = 0;
    for (int r = 0; r < rows; r++) {
      for (int c = 0; c < columns; c++) {
        double cell = table[r * columns + c];
        phi += cell > 0 ? cell * cell / (rowSums[r] * columnSums[c]) : 0;
      }
    }
    return phi - 1;
  }

  /**
   * The mean over the pairs of different active variables of &phi;<sup>2</sup> = &Sigma;
   * n<sub>ab</sub><sup>2</sup> / (n<sub>a</sub> n<sub>b</sub>) - 1 of their weighted two-way
   * table, over the objects that take part and are observed on both.
   */
  static double meanPairInertia(HomalsAnalysis analysis) {
    List<Variable> active = analysis.fitVariables().stream().filter(Variable::isActive).toList();
    Participation participation = analysis.participation();
    int n = analysis.objectCount();
    double sum = 0;
    int pairs = 0;
    for (int a = 0; a < active.size(); a++) {
      for (int b = a + 1; b < active.size(); b++) {
        CategoryCodes first = active.get(a).codesView();
        CategoryCodes second = active.get(b).codesView();
        int ka = active.get(a).categoryCount();
        int kb = active.get(b).categoryCount();
        double[] table = new double[ka * kb];
        for (int i = 0; i < n; i++) {
          int x = first.get(i);
          int y = second.get(i);
          if (x > 0 && y > 0 && participation.takesPart(i)) {
            table[(x - 1) * kb + y - 1] += analysis.weight(i);
          }
        }
        sum += phiSquared(table, ka, kb);
        pairs++;
      }
    }
    // Each unordered pair stands for both of its ordered pairs.
    return sum / pairs;
  }
}
