package Quorvane.homals;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * Turns the native outputs into a {@link HomalsResult} and derives the summaries.
 *
 * <p>Notation: w<sub>i</sub> the weight of object i; m<sub>i</sub> = w<sub>i</sub> &times;
 * (number of active variables observed on object i) for the objects that take part, t =
 * &Sigma;<sub>i</sub> m<sub>i</sub>, M the number of active variables, W = t / M.
 * D<sub>jc</sub> is the summed weight of the participating objects in category c of variable j,
 * and y<sub>jcd</sub> its quantification on dimension d.
 */
final class ResultAssembler {
  private ResultAssembler() {}

  /**
   * Gives the objects that take no part NaN on one dimension (the values the library leaves for
   * them mean nothing), n scores from {@code start}; returns the first object that takes part
   * with a score that is not finite, or -1. A method of its own, so that the compiler takes
   * this loop over millions of objects on its own, early, and not the whole assembly.
   */
  private static int blankNonParticipants(
      double[] scores, int start, int n, Participation participation) {
    for (int i = 0; i < n; i++) {
      if (!participation.takesPart(i)) {
        scores[start + i] = Double.NaN;
      } else if (!Double.isFinite(scores[start + i])) {
        return i;
      }
    }
    return -1;
  }

  static HomalsResult assemble(HomalsAnalysis analysis, NativeArguments x) {
    List<Variable> variables = analysis.fitVariables();
    Participation participation = analysis.participation();
    int n = analysis.objectCount();
    int p = analysis.dimensions();
    StopReason stopReason = StopReason.ofCode(x.report(HomalsNative.REPORT_STOP_REASON));
    int iterations = x.report(HomalsNative.REPORT_ITERATIONS);

    double[] scores = x.objectScores();
    for (int d = 0; d < p; d++) {
      int unfit = blankNonParticipants(scores, d * n, n, participation);
      if (unfit >= 0) {
        throw new AnalysisFailedException("the native analysis returned a score of "
            + scores[d * n + unfit] + " for object " + (unfit + 1) + " on dimension " + (d + 1)
            + " (" + stopReason.key() + " after " + iterations + " iterations); the data may "
            + "leave no variation for that dimension");
      }
    }

    ScoreMoments moments = ScoreMoments.of(x.scoreMoments(), participation);
    long activeCount = variables.stream().filter(Variable::isActive).count();
    double t = participation.totalMarginal();
    double meanWeight = t / activeCount;
    List<double[][]> quantifications = new ArrayList<>();
    List<double[][]> centroids = new ArrayList<>();
    List<double[][]> weightedSquares = new ArrayList<>();
    List<double[]> inverseSums = new ArrayList<>();
    int[] slotStarts = x.slotStarts();
    for (int index = 0; index < variables.size(); index++) {
      Variable v = variables.get(index);
      int k = v.categoryCount();
      double[][] quantification =
          categories(x.quantifications(), slotStarts[index], k, p, v, "quantification");
      quantifications.add(quantification);
      centroids.add(categories(x.centroids(), slotStarts[index], k, p, v, "centroid"));
      double[] frequency = participation.frequencies(index);
      double[][] squares = new double[k][p];
      for (int c = 0; c < k; c++) {
        for (int d = 0; d < p; d++) {
          squares[c][d] = frequency[c] * quantification[c][d] * quantification[c][d];
        }
      }
      weightedSquares.add(v.isActive() ? squares : null);
      inverseSums.add(participation.inverseCountSums(index));
    }
    double[][][] contributions = Statistics.contributions(weightedSquares, p);

    List<VariableResult> results = new ArrayList<>(analysis.variables().size());
    double[] eigenvalues = x.eigenvalues().clone();
    for (int d = 0; d < p; d++) {
      if (!Double.isFinite(eigenvalues[d])) {
        throw new AnalysisFailedException("the native analysis returned an eigenvalue of "
            + eigenvalues[d] + " for dimension " + (d + 1));
      }
    }
    for (int index = 0; index < analysis.variables().size(); index++) {
      Variable v = variables.get(index);
      double[] rankOne = null;
      double[] loadings = null;
      if (v.quantification().isSingle()) {
        rankOne = new double[p];
        System.arraycopy(x.loadings(), index * p, rankOne, 0, p);
        loadings = correlations(frequencies(participation, index), quantifications.get(index),
            centroids.get(index), rankOne, moments);
      }
      double[] frequency = participation.frequencies(index);
      double[] discrimination = discrimination(frequency, quantifications.get(index), meanWeight);
      double[][] quality =
          Statistics.qualities(centroids.get(index), frequency, inverseSums.get(index), t);
      Variable described = analysis.variables().get(index);
      // A variable with excluded categories gets its test values once those are back in place.
      Association association =
          described == v ? Association.of(frequency, centroids.get(index), moments) : null;
      VariableResult fitted = new VariableResult(v.name(), v.role(), v.quantification(),
          v.categories(), frequency, quantifications.get(index), centroids.get(index), loadings,
          rankOne, discrimination, contributions[index], quality, null, association);
      int excludedIndex = analysis.excludedVariableIndex(index);
      results.add(excludedIndex < 0
              ? fitted
              : withExcluded(fitted, described, participation.frequencies(excludedIndex),
                  centroids.get(excludedIndex), participation.inverseCountSums(excludedIndex),
                  inverseSums.get(index), t, loadings, rankOne, discrimination, moments));
    }
    double[] pairCounts = x.report(HomalsNative.REPORT_PAIR_COUNTS) == 1 ? x.pairCounts() : null;
    int tableEigenvalueCount = x.report(HomalsNative.REPORT_TABLE_EIGENVALUES);
    double[] tableEigenvalues =
        tableEigenvalueCount > 0 ? Arrays.copyOf(x.tableEigenvalues(), tableEigenvalueCount) : null;
    Inertia inertia =
        Statistics.inertia(analysis, eigenvalues, inverseSums, pairCounts, tableEigenvalues);
    Solver solver = Solver.ofCode(x.report(HomalsNative.REPORT_SOLVER));
    HomalsResult result =
        new HomalsResult(analysis, results, scores, eigenvalues, inertia, iterations, stopReason,
            solver, tieGroups(x.ties()), x.report()[HomalsNative.REPORT_SUBSPACE_DISTANCE]);
    if (solver != Solver.OBJECTS) {
      result.setScoreCoefficients(scoreCoefficients(analysis, x));
    }
    return result;
  }

  /**
   * [variable][category][dimension] from the library's P * S1 coefficients of the fit's active
   * slots (the table solvers' Z), which a run from tables returns; null otherwise.
   */
  private static double[][][] scoreCoefficients(HomalsAnalysis analysis, NativeArguments x) {
    List<Variable> described = analysis.variables();
    int p = analysis.dimensions();
    int[] slotStarts = x.slotStarts();
    double[] z = x.scoreCoefficients();
    if (z == null) {
      return null;
    }
    int activeSlots = z.length / Math.max(p, 1);
    double[][][] coefficients = new double[described.size()][][];
    for (int v = 0; v < described.size(); v++) {
      Variable variable = described.get(v);
      coefficients[v] = new double[variable.categoryCount()][p];
      for (int c = 0, kept = 0; c < variable.categoryCount(); c++) {
        boolean counted = variable.isActive() && !variable.isExcluded(c);
        for (int d = 0; d < p; d++) {
          coefficients[v][c][d] = counted ? z[d * activeSlots + slotStarts[v] + kept] : Double.NaN;
        }
        kept += variable.isExcluded(c) ? 0 : 1;
      }
    }
    return coefficients;
  }

  /**
   * The result of a variable with excluded categories, in all its categories: the kept ones as
   * fitted, the excluded ones as supplementary points at the centroids of their participating
   * objects, with no contribution, and test values like those of any other category.
   */
  private static VariableResult withExcluded(VariableResult fitted, Variable v,
      double[] excludedFrequency, double[][] excludedCentroids, double[] excludedInverseSums,
      double[] keptInverseSums, double t, double[] loadings, double[] rankOne,
      double[] discrimination, ScoreMoments moments) {
    int k = v.categoryCount();
    int p = discrimination.length;
    double[] frequency = new double[k];
    double[] inverseSums = new double[k];
    double[][] quantifications = new double[k][];
    double[][] centroids = new double[k][];
    double[][] contributions = new double[k][];
    boolean[] excluded = new boolean[k];
    double[][] fittedQuantifications = fitted.quantifications();
    double[][] fittedCentroids = fitted.centroids();
    for (int c = 0, kept = 0, excludedIndex = 0; c < k; c++) {
      excluded[c] = v.isExcluded(c);
      if (excluded[c]) {
        frequency[c] = excludedFrequency[excludedIndex];
        inverseSums[c] = excludedInverseSums[excludedIndex];
        centroids[c] = new double[p];
        for (int d = 0; d < p; d++) {
          centroids[c][d] = frequency[c] > 0 ? excludedCentroids[excludedIndex][d] : Double.NaN;
        }
        excludedIndex++;
        quantifications[c] = centroids[c];
        contributions[c] = new double[p];
        Arrays.fill(contributions[c], Double.NaN);
      } else {
        frequency[c] = fitted.frequency(kept);
        inverseSums[c] = keptInverseSums[kept];
        quantifications[c] = fittedQuantifications[kept];
        centroids[c] = fittedCentroids[kept];
        contributions[c] = new double[p];
        for (int d = 0; d < p; d++) {
          contributions[c][d] = fitted.contribution(kept, d);
        }
        kept++;
      }
    }
    double[][] quality = Statistics.qualities(centroids, frequency, inverseSums, t);
    return new VariableResult(v.name(), v.role(), v.quantification(), v.categories(), frequency,
        quantifications, centroids, loadings, rankOne, discrimination,
        v.isActive() ? contributions : null, quality, excluded,
        Association.of(frequency, centroids, moments));
  }

  /** The groups of tied dimensions from, for each, the last dimension it is tied with. */
  static List<List<Integer>> tieGroups(int[] tiedThrough) {
    List<List<Integer>> groups = new ArrayList<>();
    int d = 0;
    while (d < tiedThrough.length) {
      int last = tiedThrough[d];
      if (last > d) {
        List<Integer> group = new ArrayList<>();
        for (int e = d; e <= last; e++) {
          group.add(e);
        }
        groups.add(group);
      }
      d = Math.max(d, last) + 1;
    }
    return groups;
  }

  /**
   * The values of k categories from slot {@code first} on, [category][dimension], from the
   * library's dimension-major layout of P * S values; checked to be finite.
   */
  private static double[][] categories(
      double[] slots, int first, int k, int p, Variable v, String what) {
    int s = slots.length / Math.max(p, 1);
    double[][] values = new double[k][p];
    for (int c = 0; c < k; c++) {
      for (int d = 0; d < p; d++) {
        double value = slots[d * s + first + c];
        if (!Double.isFinite(value)) {
          throw new AnalysisFailedException("the native analysis returned a " + what + " of "
              + value + " for category '" + v.categories().get(c) + "' of variable '" + v.name()
              + "' on dimension " + (d + 1));
        }
        values[c][d] = value;
      }
    }
    return values;
  }

  private static double[] frequencies(Participation participation, int variable) {
    return participation.frequencies(variable);
  }

  /**
   * The correlations between a single variable's quantified values and the object scores, per
   * dimension, weighted, over the participating objects, those missing on the variable taking
   * its mean value. Its category scores are its quantifications on the dimension of the largest
   * factor, divided by that factor. From the categories' frequencies and centroids and the
   * moments of the scores alone: the covariance is &Sigma;<sub>c</sub> D<sub>c</sub>
   * (z<sub>c</sub> - z&#772;) y&#772;<sub>cd</sub>.
   */
  static double[] correlations(double[] frequency, double[][] quantification, double[][] centroids,
      double[] factors, ScoreMoments moments) {
    int p = factors.length;
    int largest = 0;
    for (int d = 1; d < p; d++) {
      largest = Math.abs(factors[d]) > Math.abs(factors[largest]) ? d : largest;
    }
    double[] z = new double[quantification.length];
    double weight = 0;
    double meanZ = 0;
    for (int c = 0; c < z.length; c++) {
      z[c] = quantification[c][largest] / factors[largest];
      weight += frequency[c];
      meanZ += frequency[c] * z[c];
    }
    meanZ /= weight;
    double zSquares = 0;
    for (int c = 0; c < z.length; c++) {
      zSquares += frequency[c] * (z[c] - meanZ) * (z[c] - meanZ);
    }
    double[] correlations = new double[p];
    for (int d = 0; d < p; d++) {
      double product = 0;
      for (int c = 0; c < z.length; c++) {
        product += frequency[c] * (z[c] - meanZ) * centroids[c][d];
      }
      correlations[d] = product / Math.sqrt(zSquares * moments.squares(d));
    }
    return correlations;
  }

  /** eta_jd = sum_c D_jc y_jcd^2 / W. */
  static double[] discrimination(double[] frequency, double[][] quantification, double meanWeight) {
    int p = quantification.length == 0 ? 0 : quantification[0].length;
    double[] eta = new double[p];
    for (int d = 0; d < p; d++) {
      double sum = 0.0;
      for (int c = 0; c < frequency.length; c++) {
        sum += frequency[c] * quantification[c][d] * quantification[c][d];
      }
      eta[d] = sum / meanWeight;
    }
    return eta;
  }
}
