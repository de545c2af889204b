package Quorvane.homals;

import java.util.HashSet;
import java.util.List;
import java.util.Set;

/**
 * The checks behind {@link HomalsAnalysis.Builder#build()}: everything that the native library
 * would accept but turn into meaningless numbers is refused here, with a message naming the
 * culprit.
 */
final class AnalysisValidation {
  private AnalysisValidation() {}

  /**
   * Checks the settings and returns the participation of the objects in all the variables the
   * library sees; the checks of the variables apply to the first {@code described} of them, the
   * ones the caller gave.
   */
  static Participation check(List<Variable> all, int described, double[] weights, int dimensions,
      int maxIterations, int innerIterations, double convergenceTolerance, double fitTolerance,
      double cosineTolerance, int threads) {
    List<Variable> variables = all.subList(0, described);
    if (variables.isEmpty()) {
      throw new InvalidAnalysisException("the analysis has no variables");
    }
    int n = variables.get(0).objectCount();
    checkVariables(variables, n);
    checkSettings(variables, dimensions, maxIterations, innerIterations, convergenceTolerance,
        fitTolerance, cosineTolerance);
    checkWeights(weights, n);
    checkSizes(variables, n, dimensions, weights != null);

    Participation participation = Participation.of(all, weights, n, threads);
    checkParticipation(variables, participation, dimensions);
    return participation;
  }

  private static void checkSettings(List<Variable> variables, int dimensions, int maxIterations,
      int innerIterations, double convergenceTolerance, double fitTolerance,
      double cosineTolerance) {
    if (dimensions < 1) {
      throw new InvalidAnalysisException("dimensions must be at least 1, not " + dimensions);
    }
    if (maxIterations < 1) {
      throw new InvalidAnalysisException("maxIterations must be at least 1, not " + maxIterations);
    }
    boolean anySingle = variables.stream().anyMatch(v -> v.quantification().isSingle());
    if (anySingle && innerIterations < 1) {
      throw new InvalidAnalysisException("innerIterations must be at least 1 when a variable is "
          + "single, not " + innerIterations);
    }
    if (!(convergenceTolerance >= 0) || Double.isInfinite(convergenceTolerance)) {
      throw new InvalidAnalysisException(
          "convergenceTolerance must be finite and not negative, not " + convergenceTolerance);
    }
    checkOptionalTolerance("fitTolerance", fitTolerance);
    checkOptionalTolerance("cosineTolerance", cosineTolerance);
  }

  /**
   * The checks of an analysis from tables: the variables without objects, the tables of their
   * layout ({@link HomalsAnalysis#tableVariables}), no weights beside them, a table solver.
   */
  static Participation checkTables(List<Variable> all, int described, CategoryTables tables,
      double[] weights, int dimensions, Solver solver, int maxIterations, int innerIterations,
      double convergenceTolerance, double fitTolerance, double cosineTolerance) {
    List<Variable> variables = all.subList(0, described);
    if (variables.isEmpty()) {
      throw new InvalidAnalysisException("the analysis has no variables");
    }
    checkVariables(variables, 0);
    if (weights != null) {
      throw new InvalidAnalysisException(
          "an analysis from tables takes its weights from the tables, not from weights(...)");
    }
    if (solver == Solver.OBJECTS) {
      throw new InvalidAnalysisException(
          "an analysis from tables has no objects to pass over: choose a table solver");
    }
    if (tables.variableCount() != all.size()) {
      throw new InvalidAnalysisException("the tables count " + tables.variableCount()
          + " variables; the analysis needs " + all.size() + " (see tableVariables)");
    }
    for (int v = 0; v < all.size(); v++) {
      Variable variable = all.get(v);
      if (tables.categoryCount(v) != variable.categoryCount()
          || tables.isActive(v) != variable.isActive()) {
        throw new InvalidAnalysisException("table variable " + v + " (of '" + variable.name()
            + "') has " + tables.categoryCount(v) + " categories, "
            + (tables.isActive(v) ? "active" : "passive") + "; the analysis needs "
            + variable.categoryCount() + ", " + (variable.isActive() ? "active" : "passive"));
      }
    }
    checkSettings(variables, dimensions, maxIterations, innerIterations, convergenceTolerance,
        fitTolerance, cosineTolerance);
    Participation participation = Participation.of(tables);
    checkParticipation(variables, participation, dimensions);
    return participation;
  }

  /**
   * Checks what the objects that take part can give: an observed value of every variable, two
   * categories of a single one, every category of an ordinal one, more objects than dimensions
   * and as many dimensions in the active variables.
   */
  static void checkParticipation(
      List<Variable> variables, Participation participation, int dimensions) {
    double takingWeight = participation.participatingWeight();
    // The dimensions the active variables can span: the columns of the multiple variables'
    // indicators, less the dependencies among the complete ones (whose columns each sum to the
    // constant) and less the constant itself, the trivial solution; plus one a single variable.
    int singles = 0;
    int columns = 0;
    int complete = 0;
    for (int index = 0; index < variables.size(); index++) {
      Variable v = variables.get(index);
      double[] frequency = participation.frequencies(index);
      int observed = 0;
      for (double f : frequency) {
        observed += f > 0 ? 1 : 0;
      }
      if (observed == 0) {
        throw new InvalidAnalysisException(
            "variable '" + v.name() + "' has no observed value on an object that takes part");
      }
      if (v.quantification().isSingle() && observed < 2) {
        throw new InvalidAnalysisException("variable '" + v.name() + "' is "
            + v.quantification().describe() + " but has fewer than two observed categories");
      }
      if (v.quantification() == Quantification.SINGLE_ORDINAL) {
        for (int c = 0; c < frequency.length; c++) {
          if (frequency[c] == 0) {
            throw new InvalidAnalysisException("variable '" + v.name() + "' is single ordinal, "
                + "but its category '" + v.categories().get(c) + "' has no observation; remove "
                + "the empty category from its category order");
          }
        }
      }
      if (v.isActive() && v.quantification().isSingle()) {
        singles++;
      } else if (v.isActive()) {
        columns += observed;
        double sum = 0;
        for (double f : frequency) {
          sum += f;
        }
        complete += sum == takingWeight ? 1 : 0;
      }
    }
    int rank = singles + (columns > 0 ? columns - Math.max(complete - 1, 0) - 1 : 0);
    if (participation.count() <= dimensions) {
      throw new InvalidAnalysisException(dimensions + " dimensions need more than " + dimensions
          + " objects with positive weight and an observed active value; there are "
          + participation.count());
    }
    if (rank < dimensions) {
      throw new InvalidAnalysisException(dimensions + " dimensions asked, but the active "
          + "variables span at most " + rank + " (a multiple variable adds its observed "
          + "categories less one, or all of them when it has missing values, and a single "
          + "variable adds one)");
    }
  }

  private static void checkVariables(List<Variable> variables, int n) {
    Set<String> names = new HashSet<>();
    for (Variable v : variables) {
      if (!names.add(v.name())) {
        throw new InvalidAnalysisException("two variables are named '" + v.name() + "'");
      }
      if (v.objectCount() != n) {
        throw new InvalidAnalysisException("variable '" + v.name() + "' describes "
            + v.objectCount() + " objects, but '" + variables.get(0).name() + "' describes " + n);
      }
    }
    if (variables.stream().noneMatch(Variable::isActive)) {
      throw new InvalidAnalysisException("the analysis needs at least one active variable");
    }
  }

  /** NaN switches the test off; otherwise a finite value that is not negative. */
  private static void checkOptionalTolerance(String name, double tolerance) {
    if (!Double.isNaN(tolerance) && (tolerance < 0 || Double.isInfinite(tolerance))) {
      throw new InvalidAnalysisException(
          name + " must be finite and not negative (or NaN for no such test), not " + tolerance);
    }
  }

  private static void checkWeights(double[] weights, int n) {
    if (weights == null) {
      return;
    }
    if (weights.length != n) {
      throw new InvalidAnalysisException(
          "there are " + weights.length + " weights for " + n + " objects");
    }
    boolean positive = false;
    for (int i = 0; i < n; i++) {
      if (!(weights[i] >= 0) || Double.isInfinite(weights[i])) {
        throw new InvalidAnalysisException("object " + (i + 1) + " has a weight of " + weights[i]
            + "; weights are finite numbers of 0 or more");
      }
      positive |= weights[i] > 0;
    }
    if (!positive) {
      throw new InvalidAnalysisException("no object has a positive weight");
    }
  }

  /** The native library computes its buffer sizes in 32-bit arithmetic. */
  private static void checkSizes(
      List<Variable> variables, int n, int dimensions, boolean weighted) {
    long limit = Integer.MAX_VALUE;
    long stride = variables.size() + (weighted ? 1L : 0L);
    long maxCategories = 1;
    long rows = 0;
    for (Variable v : variables) {
      maxCategories = Math.max(maxCategories, v.categoryCount());
      rows += v.categoryCount();
    }
    if ((long) n * stride > limit || (long) n * dimensions > limit
        || maxCategories * variables.size() * dimensions > limit || rows * dimensions > limit) {
      throw new InvalidAnalysisException(
          "the analysis is too large for the native library's 32-bit buffer sizes");
    }
  }
}
