package Quorvane.homals;

import java.util.Locale;

/**
 * How much of the data's variation the retained dimensions show: the total inertia of the
 * analysis, each dimension's share of it, and for analyses of two or more active variables, all
 * multiple, the adjusted eigenvalues and shares. Immutable.
 *
 * <p>Notation as in {@link HomalsResult}; further c<sub>i</sub> is the number of active
 * variables observed on object i, W<sub>+</sub> = &Sigma;<sub>i</sub> w<sub>i</sub> the weight
 * of the objects that take part, and Q the number of active variables.
 *
 * <ul>
 *   <li><b>Total inertia</b>: the sum of the eigenvalues of all the dimensions the analysis could
 *       have. For a multiple variable j that is &tau;<sub>j</sub> - &omega;<sub>j</sub>, with
 *       &tau;<sub>j</sub> = &Sigma;<sub>c</sub> (&Sigma;<sub>i in c</sub> w<sub>i</sub> /
 *       c<sub>i</sub>) / D<sub>jc</sub> and &omega;<sub>j</sub> = &Sigma;<sub>i observed on j</sub>
 *       w<sub>i</sub> / c<sub>i</sub> / W<sub>+</sub>; summed over the variables this is the trace
 *       of the averaging operator less its trivial eigenvalue 1. On complete data it is (k<sub>j
 *       </sub> - 1) / Q, and the total is (&Sigma; k - Q) / Q. A single variable has one
 *       dimension's worth, &omega;<sub>j</sub> (1 / Q on complete data): the most it can add
 *       over all dimensions on complete data.
 *   <li><b>Percentage</b> of dimension d: 100 &lambda;<sub>d</sub> / total.
 *   <li><b>Adjusted percentage</b> (Greenacre's adjustment): the inertia of an analysis of Q
 *       variables includes the Q diagonal blocks of the Burt matrix, each variable with itself,
 *       which inflate the total and make the percentages look small. The adjusted eigenvalue is
 *       (Q / (Q - 1))<sup>2</sup> (&lambda;<sub>d</sub> - 1 / Q)<sup>2</sup> when &lambda;<sub>d
 *       </sub> &gt; 1 / Q and 0 otherwise, and the adjusted total is the mean, over the pairs of
 *       different active variables, of the inertia (&phi;<sup>2</sup>) of their two-way table,
 *       counted over the objects that take part and are observed on both. Unlike Benzécri's
 *       adjustment, these percentages do not sum to 100 over the dimensions above 1 / Q, which
 *       would overstate them. With two variables the adjusted eigenvalues (2 &lambda; -
 *       1)<sup>2</sup> are the principal inertias of the simple correspondence analysis of their
 *       two-way table, and the adjusted total its inertia &phi;<sup>2</sup>.
 *   <li><b>With missing values</b> the eigenvalues no longer come from the Burt matrix that
 *       Greenacre's total describes, and the percentages can sum past 100. The adjusted total is
 *       then the sum of the adjusted eigenvalues of all the dimensions of the analysis (Benzécri's
 *       normalisation, from every eigenvalue of the category table), so that the adjusted
 *       percentages sum to 100 over all dimensions and never past it. Where those eigenvalues are
 *       not known (single variables, a table of more than 1000 active categories, or no
 *       cross-table), the adjustment is withheld, and {@link #adjustment()} says why.
 * </ul>
 */
public final class Inertia {
  private final double total;
  private final double[] percent;
  private final double adjustedTotal;
  private final double[] adjustedEigenvalues;
  private final double[] adjustedPercent;
  private final String adjustment;

  Inertia(double total, double[] percent, double adjustedTotal, double[] adjustedEigenvalues,
      double[] adjustedPercent, String adjustment) {
    this.total = total;
    this.percent = percent.clone();
    this.adjustedTotal = adjustedTotal;
    this.adjustedEigenvalues = adjustedEigenvalues.clone();
    this.adjustedPercent = adjustedPercent.clone();
    this.adjustment = adjustment;
  }

  /** The total inertia. */
  public double total() { return total; }

  /** 100 eigenvalue / total, per retained dimension (a copy). */
  public double[] percent() { return percent.clone(); }

  /** The adjusted total inertia, or NaN where no adjustment is defined. */
  public double adjustedTotal() { return adjustedTotal; }

  /**
   * The adjusted eigenvalues (Q / (Q - 1))<sup>2</sup> (&lambda; - 1 / Q)<sup>2</sup> per retained
   * dimension, 0 for eigenvalues of 1 / Q or less; NaN where no adjustment is defined (a copy).
   */
  public double[] adjustedEigenvalues() { return adjustedEigenvalues.clone(); }

  /**
   * How the percentages were adjusted, or why they were not: "greenacre", "benzecri (missing
   * values)", or why not, as "withheld: single variables".
   */
  public String adjustment() { return adjustment; }

  /** The adjusted percentages per retained dimension, NaN where not defined (a copy). */
  public double[] adjustedPercent() { return adjustedPercent.clone(); }

  /** Whether the adjusted percentages are defined for this analysis. */
  public boolean isAdjusted() { return !Double.isNaN(adjustedTotal); }

  /** One line: the total, each dimension's share and, where defined, the adjusted shares. */
  @Override
  public String toString() {
    StringBuilder text = new StringBuilder(String.format(Locale.ROOT, "Inertia[total %.4f", total));
    shares(text, "; per cent", percent);
    if (isAdjusted()) {
      text.append(String.format(Locale.ROOT, "; adjusted total %.4f", adjustedTotal));
      shares(text, ", per cent", adjustedPercent);
    } else {
      text.append("; no adjusted shares");
    }
    return text.append(']').toString();
  }

  private static void shares(StringBuilder text, String label, double[] values) {
    text.append(label);
    for (double value : values) {
      text.append(String.format(Locale.ROOT, " %.1f", value));
    }
  }
}
