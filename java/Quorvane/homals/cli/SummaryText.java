package Quorvane.homals.cli;

import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.Inertia;
import Quorvane.homals.NumericCorrelation;
import Quorvane.homals.Variable;
import Quorvane.homals.VariableResult;
import java.math.BigDecimal;
import java.nio.file.Path;
import java.util.List;
import java.util.Locale;
import java.util.Map;

/** summary.txt: the run for a reader, with a short guide to its numbers at the end. */
final class SummaryText {
  private SummaryText() {}

  // clang-format off
  /**
   * The guide at the end; %s takes the paragraph on adjusted shares, or nothing when there are
   * none. One literal a line rather than a text block, which clang-format reads as code.
   */
  private static final String HOW_TO_READ = String.join("\n",
      "",
      "How to read this",
      "  The iterations ran until the subspace spanned by the dimensions settled (see",
      "  \"iterations\" above); the solution was then rotated to principal axes, so that",
      "  each dimension is an eigenvector of the analysis, in decreasing order of",
      "  eigenvalue. The sign of a dimension is arbitrary; it is set so that the first",
      "  active category (in variable and category order) among those with the largest",
      "  absolute quantification on it is positive.",
      "  Inertia: the sum of the eigenvalues of all the dimensions the data could give",
      "  ((sum of the categories - number of variables) / number of variables when",
      "  nothing is missing); %% inertia: each retained eigenvalue's share of it.%s",
      "  Discrimination measure of variable j on dimension d: the sum over its",
      "  categories of (frequency x quantification^2), divided by the mean weight",
      "  observed on an active variable (the total object weight when nothing is",
      "  missing). Without missing values it is the share of the dimension's variance",
      "  that the variable's categories reproduce, between 0 (the variable does not",
      "  separate the objects on that dimension) and 1; a variable with missing values",
      "  is measured against the same mean weight, and can exceed 1.",
      "  Eigenvalue of a dimension: the mean discrimination measure of the active",
      "  variables; fit: the sum of the eigenvalues.",
      "  categories.csv also gives, per category and dimension, its contribution to the",
      "  dimension in per cent (ctr, active categories; they sum to 100) and the quality",
      "  of its representation (cos2: the share of its squared distance from the origin",
      "  that the dimension shows).",
      "  Passive variables are quantified from the object scores as weighted category",
      "  means; they do not enter the eigenvalues.",
      "  Dimension description: the correlation ratio eta2 of a variable is the share of",
      "  the variance of the scores of the objects observed on it that lies between its",
      "  categories, with the p-value of its F test; the test value v of a category is",
      "  how far the mean score of its objects lies from that of all objects, in",
      "  standard errors of the mean of as many objects drawn at random (|v| > 2: the",
      "  category characterises the dimension), with its two-sided normal p-value.",
      "  Weights count as frequencies in both. Numeric variables are not analysed: each",
      "  is correlated (weighted) with the scores of the objects on which it is observed.",
      "");

  private static final String GREENACRE = String.join("\n",
      "",
      "  Adjusted %: Greenacre's adjustment, which leaves out the variables' tables with",
      "  themselves that inflate the inertia of several variables: the eigenvalues",
      "  above 1 / Q, adjusted to (Q / (Q - 1))^2 (eigenvalue - 1 / Q)^2, over the mean",
      "  inertia of the two-way tables of the pairs of variables.");

  private static final String BENZECRI = String.join("\n",
      "",
      "  Adjusted %: with missing values the pairs' two-way tables no longer give the",
      "  total, so Benzecri's adjustment is used: the eigenvalues above 1 / Q, adjusted",
      "  to (Q / (Q - 1))^2 (eigenvalue - 1 / Q)^2, over the sum of the adjusted",
      "  eigenvalues of every dimension the data could give.");

  private static final String WITHHELD = String.join("\n",
      "",
      "  Adjusted %%: not given (%s).");
  // clang-format on

  /**
   * The human-readable summary: input, settings, convergence, inertia, the variables, the
   * numeric variables and what each dimension is made of.
   */
  static String of(
      HomalsResult result, List<NumericCorrelation> numeric, Path source, InputNotes notes) {
    StringBuilder s = new StringBuilder();
    run(s, result, source, notes);
    inertia(s, result);
    int width = "variable".length();
    for (VariableResult v : result.variables()) {
      width = Math.max(width, v.name().length());
    }
    discrimination(s, result, notes, width);
    loadings(s, result, width);
    DescriptionText.numeric(s, result, numeric);
    DescriptionText.dimensions(s, result);
    s.append(String.format(Locale.ROOT, HOW_TO_READ, adjustment(result.inertia())));
    return s.toString();
  }

  /** The guide's paragraph on the adjusted shares, for the adjustment the run used. */
  private static String adjustment(Inertia inertia) {
    return switch (inertia.adjustment()) {
      case "greenacre" -> GREENACRE;
      case "benzecri (missing values)" -> BENZECRI;
      default -> String.format(Locale.ROOT, WITHHELD,
          inertia.adjustment().replaceFirst("^withheld: ", ""));
    };
  }

  /**
   * The weights of the objects that take part as written, summed exactly, so that whole weights
   * print whole: whole ones below 2^31 (every weight of most files) in a long, which 2^31 of them
   * cannot overflow. Without weights every object weighs 1.
   */
  private static BigDecimal participatingWeight(HomalsResult result) {
    HomalsAnalysis analysis = result.analysis();
    if (!analysis.hasWeights()) {
      return BigDecimal.valueOf(result.objectsTakingPart());
    }
    long wholeWeight = 0;
    BigDecimal otherWeight = BigDecimal.ZERO;
    for (int i = 0; i < result.objectCount(); i++) {
      if (result.takesPart(i)) {
        double w = analysis.weight(i);
        if (w == Math.rint(w) && Math.abs(w) < 0x1p31) {
          wholeWeight += (long) w;
        } else {
          otherWeight = otherWeight.add(new BigDecimal(Double.toString(w)));
        }
      }
    }
    return otherWeight.add(BigDecimal.valueOf(wholeWeight));
  }

  private static void run(StringBuilder s, HomalsResult result, Path source, InputNotes notes) {
    HomalsAnalysis analysis = result.analysis();
    int taking = result.objectsTakingPart();
    long active = result.variables().stream().filter(VariableResult::isActive).count();
    s.append(notes.head(source, result.objectCount(), taking, participatingWeight(result)));
        s.append(String.format(Locale.ROOT, "variables:   %d active, %d passive%n", active,
            result.variables().size() - active));
        s.append(String.format(Locale.ROOT, "dimensions:  %d%n", result.dimensions()));
        s.append(String.format(Locale.ROOT,
            "settings:    %s; inner iterations %d; convergence tolerance %s%s%s%n",
            analysis.describeIterationBound(), analysis.innerIterations(),
            analysis.convergenceTolerance(),
            Double.isNaN(analysis.fitTolerance()) ? ""
                                                  : "; fit tolerance " + analysis.fitTolerance(),
            Double.isNaN(analysis.cosineTolerance())
                ? ""
                : "; cosine tolerance " + analysis.cosineTolerance()));
        s.append(String.format(
            Locale.ROOT, "iterations:  %d, %s%n", result.iterations(), convergence(result)));
        s.append(String.format(Locale.ROOT, "solver:      %s%n", result.solver().describe()));
        for (String tie : result.describeTies()) {
          s.append(String.format(Locale.ROOT, "tie:         %s%n", tie));
        }
        for (Map.Entry<String, String> left : notes.leftOut().entrySet()) {
          s.append(String.format(
              Locale.ROOT, "left out:    column '%s': %s%n", left.getKey(), left.getValue()));
        }
        for (Variable v : result.analysis().variables()) {
          if (!v.excludedCategories().isEmpty()) {
            s.append(String.format(Locale.ROOT,
                "excluded:    column '%s': %s (missing for the fit, shown as supplementary "
                    + "points)%n",
                v.name(), InputReader.quoted(v.excludedCategories())));
          }
        }
    }

    private static void inertia(StringBuilder s, HomalsResult result) {
      Inertia inertia = result.inertia();
      s.append(String.format(Locale.ROOT, "%nInertia: total %.4f%n", inertia.total()));
      // Without adjusted shares (two active variables or fewer, or a single one) the table has
      // no such column, rather than a column without a heading.
      String head = String.format(Locale.ROOT, "  %-10s %10s %12s %12s", "dimension", "eigenvalue",
          "% inertia", inertia.isAdjusted() ? "adjusted %" : "");
      s.append(head.stripTrailing()).append('\n');
      double[] percent = inertia.percent();
      double[] adjusted = inertia.adjustedPercent();
      for (int d = 0; d < result.dimensions(); d++) {
        String line = String.format(Locale.ROOT, "  %-10d %10.4f %11.1f%% %s", d + 1,
            result.eigenvalue(d), percent[d],
            inertia.isAdjusted() ? String.format(Locale.ROOT, "%11.1f%%", adjusted[d]) : "");
        s.append(line.stripTrailing()).append('\n');
      }
      s.append(String.format(Locale.ROOT, "  %-10s %10.4f %11.1f%%%n", "fit", result.fit(),
          100 * result.fit() / inertia.total()));
    }

    private static void discrimination(
        StringBuilder s, HomalsResult result, InputNotes notes, int width) {
      s.append("\nDiscrimination measures\n");
      StringBuilder head = new StringBuilder(String.format(Locale.ROOT,
          "  %-" + width + "s  %-8s %-19s %9s", "variable", "role", "quantification", "missing"));
      for (int d = 1; d <= result.dimensions(); d++) {
        head.append(String.format(Locale.ROOT, " %8s", "dim" + d));
      }
      s.append(head.toString().stripTrailing()).append('\n');
      for (VariableResult v : result.variables()) {
        s.append(String.format(Locale.ROOT, "  %-" + width + "s  %-8s %-19s %9s", v.name(),
            v.isActive() ? "active" : "passive", v.quantification().describe(),
            notes.missingCells().getOrDefault(v.name(), 0)));
        for (int d = 0; d < result.dimensions(); d++) {
          s.append(String.format(Locale.ROOT, " %8.4f", v.discrimination(d)));
        }
        s.append('\n');
      }
    }

    private static void loadings(StringBuilder s, HomalsResult result, int width) {
      boolean anySingle = false;
      for (VariableResult v : result.variables()) {
        if (v.loadings() != null) {
          if (!anySingle) {
            s.append("\nLoadings of the single variables (the correlations of the quantified "
                + "variable with the object scores)\n");
            anySingle = true;
          }
          s.append(String.format(Locale.ROOT, "  %-" + width + "s", v.name()));
          for (double loading : v.loadings()) {
            s.append(String.format(Locale.ROOT, " %8.4f", loading));
          }
          s.append('\n');
        }
      }
    }

    /**
     * How the run ended, in words. Last in the file: clang-format 14 misreads a switch expression
     * and indents everything after it wrongly.
     */
    static String convergence(HomalsResult result) {
      return switch (result.stopReason()) {
      case DIRECT -> "none needed (the exact eigensolution of the category cross-table)";
      case SUBSPACE -> "converged (the subspace of the solution settled)";
      case FIT_CHANGE -> "converged (the fit changed by less than its tolerance)";
      case COSINE -> "converged (successive scores agreed within the cosine tolerance)";
      case ITERATION_BOUND -> "NOT converged: the iteration bound was reached first";
      case NAN_FIT -> "NOT converged: the fit became NaN";
    };
  }
}
