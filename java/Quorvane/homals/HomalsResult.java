package Quorvane.homals;

import java.util.Collections;
import java.util.List;

/**
 * The result of one homogeneity analysis. Immutable; dimensions and objects are numbered from 0.
 *
 * <h2>What is reported and how the summaries are computed</h2>
 *
 * <p>Notation: w<sub>i</sub> is the weight of object i (1 without weights). An object <em>takes
 * part</em> when w<sub>i</sub> &gt; 0 and at least one active variable is observed on it.
 * m<sub>i</sub> = w<sub>i</sub> &times; (the number of active variables observed on object i),
 * t = &Sigma;<sub>i</sub> m<sub>i</sub>, M is the number of active variables, and
 * W = t / M: the mean over the active variables of the weight observed on them, which is the
 * total object weight when no active value is missing. For variable j, D<sub>jc</sub> is the
 * summed weight of the participating objects in category c and y<sub>jcd</sub> the category's
 * quantification on dimension d.
 *
 * <ul>
 *   <li><b>Object scores</b> x<sub>id</sub> are those exported by the native library: centred
 *       and orthogonal in the metric of m, with &Sigma;<sub>i</sub> m<sub>i</sub>
 *       x<sub>id</sub><sup>2</sup> = t. Objects that do not take part get NaN.
 *   <li><b>Category quantifications</b> of active variables are exported by the native
 *       library. Those of passive variables are computed here as weighted category means of
 *       the object scores, y<sub>jcd</sub> = &Sigma;<sub>i in c</sub> w<sub>i</sub>
 *       x<sub>id</sub> / D<sub>jc</sub> over the participating objects (0 when D<sub>jc</sub>
 *       = 0).
 *   <li><b>Discrimination measure</b> of variable j on dimension d:
 *       &eta;<sub>jd</sub> = &Sigma;<sub>c</sub> D<sub>jc</sub> y<sub>jcd</sub><sup>2</sup> / W,
 *       for active and passive variables alike.
 *   <li><b>Eigenvalue</b> (fit) of dimension d: &lambda;<sub>d</sub> = the mean of
 *       &eta;<sub>jd</sub> over the active variables = &Sigma;<sub>j active</sub>
 *       &Sigma;<sub>c</sub> D<sub>jc</sub> y<sub>jcd</sub><sup>2</sup> / t. For a converged run
 *       this is the eigenvalue that the iterations measure (the weighted inner product of
 *       successive object scores divided by t). {@link #fit()} is the sum over dimensions.
 * </ul>
 *
 * <p>The sign of each dimension is arbitrary: object scores and quantifications of a dimension
 * may all change sign between otherwise equivalent analyses.
 */
public final class HomalsResult {
  private final HomalsAnalysis analysis;
  private final List<VariableResult> variables;
  private final double[][] objectScores;
  private final double[] eigenvalues;

  HomalsResult(HomalsAnalysis analysis, List<VariableResult> variables,
      double[][] objectScores, double[] eigenvalues) {
    this.analysis = analysis;
    this.variables = Collections.unmodifiableList(variables);
    this.objectScores = new double[objectScores.length][];
    for (int i = 0; i < objectScores.length; i++) {
      this.objectScores[i] = objectScores[i].clone();
    }
    this.eigenvalues = eigenvalues.clone();
  }

  /** The description that produced this result. */
  public HomalsAnalysis analysis() {
    return analysis;
  }

  public int dimensions() {
    return eigenvalues.length;
  }

  public int objectCount() {
    return objectScores.length;
  }

  /** Results per variable, in the order of the description (unmodifiable). */
  public List<VariableResult> variables() {
    return variables;
  }

  /** The result of the named variable. */
  public VariableResult variable(String name) {
    for (VariableResult v : variables) {
      if (v.name().equals(name)) {
        return v;
      }
    }
    throw new IllegalArgumentException("no variable named '" + name + "'");
  }

  /** The score of object i on dimension d; NaN for an object that takes no part. */
  public double objectScore(int object, int dimension) {
    return objectScores[object][dimension];
  }

  /** The scores of object i on all dimensions (a copy). */
  public double[] objectScores(int object) {
    return objectScores[object].clone();
  }

  /** All object scores, [object][dimension] (a copy). */
  public double[][] objectScores() {
    double[][] copy = new double[objectScores.length][];
    for (int i = 0; i < copy.length; i++) {
      copy[i] = objectScores[i].clone();
    }
    return copy;
  }

  /** Whether object i takes part (positive weight and an observed active value). */
  public boolean takesPart(int object) {
    return !Double.isNaN(objectScores[object][0]);
  }

  /** The eigenvalue of dimension d. */
  public double eigenvalue(int dimension) {
    return eigenvalues[dimension];
  }

  /** The eigenvalues of all dimensions (a copy). */
  public double[] eigenvalues() {
    return eigenvalues.clone();
  }

  /** The total fit: the sum of the eigenvalues. */
  public double fit() {
    double sum = 0.0;
    for (double e : eigenvalues) {
      sum += e;
    }
    return sum;
  }
}
