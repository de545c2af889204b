package Quorvane.homals;

import java.util.ArrayList;
import java.util.List;

/**
 * Turns the two filled native tables into a {@link HomalsResult} and derives the summaries.
 *
 * <p>Notation: w<sub>i</sub> the weight of object i; an object <em>takes part</em> when
 * w<sub>i</sub> &gt; 0 and it has an observed value on at least one active variable;
 * m<sub>i</sub> = w<sub>i</sub> &times; (number of active variables observed on object i);
 * t = &Sigma;<sub>i</sub> m<sub>i</sub>; M the number of active variables; W = t / M, the
 * total object weight when no active value is missing. D<sub>jc</sub> is the summed weight of
 * the participating objects in category c of variable j, and y<sub>jcd</sub> its quantification
 * on dimension d.
 */
final class ResultAssembler {
  private ResultAssembler() {
  }

  static HomalsResult assemble(HomalsAnalysis analysis, NativeArguments arguments) {
    List<Variable> variables = analysis.variables();
    int n = analysis.objectCount();
    int p = analysis.dimensions();

    double[] weight = new double[n];
    double[] marginal = new double[n];
    boolean[] takesPart = new boolean[n];
    int activeCount = 0;
    for (Variable v : variables) {
      activeCount += v.isActive() ? 1 : 0;
    }
    double total = 0.0;
    for (int i = 0; i < n; i++) {
      weight[i] = analysis.weight(i);
      int observed = 0;
      for (Variable v : variables) {
        if (v.isActive() && v.code(i) > 0) {
          observed++;
        }
      }
      marginal[i] = weight[i] * observed;
      takesPart[i] = marginal[i] > 0;
      total += marginal[i];
    }
    double meanWeight = total / activeCount;

    // Object scores: row 1 + i, element 1 + d. Objects that take no part get NaN, since the
    // values the native method leaves for them carry no meaning.
    double[][] scores = new double[n][p];
    double[][] objectTable = arguments.objectScoreTable();
    for (int i = 0; i < n; i++) {
      for (int d = 0; d < p; d++) {
        double value = objectTable[i + 1][d + 1];
        if (takesPart[i] && !Double.isFinite(value)) {
          throw new AnalysisFailedException("the native analysis returned a score of "
              + value + " for object " + (i + 1) + " on dimension " + (d + 1)
              + "; the data may leave no variation for that dimension");
        }
        scores[i][d] = takesPart[i] ? value : Double.NaN;
      }
    }

    double[][] categoryTable = arguments.categoryQuantificationTable();
    List<VariableResult> results = new ArrayList<>(variables.size());
    double[] eigenvalues = new double[p];
    int row = 1;
    for (Variable v : variables) {
      int k = v.categoryCount();
      double[] frequency = new double[k];
      for (int i = 0; i < n; i++) {
        if (takesPart[i] && v.code(i) > 0) {
          frequency[v.code(i) - 1] += weight[i];
        }
      }
      double[][] quantification = new double[k][p];
      if (v.isActive()) {
        for (int c = 0; c < k; c++, row++) {
          for (int d = 0; d < p; d++) {
            double value = categoryTable[row][d + 1];
            if (!Double.isFinite(value)) {
              throw new AnalysisFailedException("the native analysis returned a "
                  + "quantification of " + value + " for category '"
                  + v.categories().get(c) + "' of variable '" + v.name()
                  + "' on dimension " + (d + 1));
            }
            quantification[c][d] = value;
          }
        }
      } else {
        passiveMeans(v, weight, takesPart, scores, frequency, quantification);
      }
      double[] discrimination = discrimination(frequency, quantification, meanWeight);
      if (v.isActive()) {
        for (int d = 0; d < p; d++) {
          eigenvalues[d] += discrimination[d];
        }
      }
      results.add(new VariableResult(v.name(), v.role(), v.quantification(),
          v.categories(), frequency, quantification, discrimination));
    }
    for (int d = 0; d < p; d++) {
      eigenvalues[d] /= activeCount;
    }
    return new HomalsResult(analysis, results, scores, eigenvalues);
  }

  /** y_jcd = (sum of w_i x_id over the participating objects in c) / D_jc; 0 when D_jc = 0. */
  static void passiveMeans(Variable v, double[] weight, boolean[] takesPart, double[][] scores,
      double[] frequency, double[][] quantification) {
    int p = quantification.length == 0 ? 0 : quantification[0].length;
    for (int i = 0; i < weight.length; i++) {
      int code = v.code(i);
      if (takesPart[i] && code > 0) {
        for (int d = 0; d < p; d++) {
          quantification[code - 1][d] += weight[i] * scores[i][d];
        }
      }
    }
    for (int c = 0; c < frequency.length; c++) {
      for (int d = 0; d < p; d++) {
        quantification[c][d] = frequency[c] > 0 ? quantification[c][d] / frequency[c] : 0.0;
      }
    }
  }

  /** eta_jd = sum_c D_jc y_jcd^2 / W. */
  static double[] discrimination(double[] frequency, double[][] quantification,
      double meanWeight) {
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
