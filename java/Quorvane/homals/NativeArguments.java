package Quorvane.homals;

import Quorvane.NativeLibrary;
import java.util.Arrays;
import java.util.List;

/**
 * The arguments of {@link HomalsNative#analyse}, built from a validated description, with every
 * output array sized exactly. The codes are each variable's own compact array (byte[], short[] or
 * int[]): the library copies them once, without widening. The outputs other than the object scores
 * start as NaN, so that a value the library failed to write is recognisable.
 */
record NativeArguments(int dimensionCount, int maxIterations, int innerIterations,
    double fitTolerance, double cosineTolerance, double convergenceTolerance, Solver solver,
    double categorySpaceWork, int threads, Object[] codes, int[] categoryCounts, boolean[] passive,
    int[] single, int[] levels, double[][] categoryValues, double[] weights, double[] objectScores,
    double[] quantifications, double[] centroids, double[] loadings, double[] eigenvalues,
    int[] ties, double[] tableEigenvalues, double[] pairCounts, double[] report,
    double[] scoreMoments, long[][] tables, double[] scoreCoefficients) {
  /** Room for the pair counts of at most this many active categories (a table of 32 MB). */
  static final int MAX_PAIR_CATEGORIES = 2048;
  /**
   * All the table's eigenvalues are asked for (to adjust the inertia of data with missing cells)
   * up to this many active categories; the library finds them densely.
   */
  static final int MAX_TABLE_EIGENVALUE_CATEGORIES = 1000;

  static NativeArguments of(HomalsAnalysis analysis) {
    List<Variable> variables = analysis.fitVariables();
    CategoryTables counts = analysis.tables();
    int count = variables.size();
    int p = analysis.dimensions();
    Object[] codes = new Object[count];
    int[] categoryCounts = new int[count];
    boolean[] passive = new boolean[count];
    int[] single = new int[count];
    int[] levels = new int[count];
    double[][] values = new double[count][];
    int slots = 0;
    int activeSlots = 0;
    boolean anySingle = false;
    boolean anyActiveSingle = false;
    for (int v = 0; v < count; v++) {
      Variable variable = variables.get(v);
      codes[v] = counts == null ? variable.codesView().array() : null;
      categoryCounts[v] = variable.categoryCount();
      passive[v] = !variable.isActive();
      single[v] = variable.quantification().nativeSingleFlag();
      levels[v] = variable.quantification().nativeLevel();
      // Only single variables read their values.
      values[v] = variable.quantification().isSingle() ? variable.valuesView() : null;
      slots += variable.categoryCount();
      activeSlots += variable.isActive() ? variable.categoryCount() : 0;
      anySingle |= variable.quantification().isSingle();
      anyActiveSingle |= variable.isActive() && variable.quantification().isSingle();
    }
    long activeCount = variables.stream().filter(Variable::isActive).count();
    boolean tableEigenvalues = !anyActiveSingle && activeSlots <= MAX_TABLE_EIGENVALUE_CATEGORIES
        && analysis.participation().anyMissing();
    return new NativeArguments(p, analysis.maxIterations(),
        anySingle ? analysis.innerIterations() : 0, analysis.fitTolerance(),
        analysis.cosineTolerance(), analysis.convergenceTolerance(), analysis.solver(),
        analysis.categorySpaceWork(), analysis.threads(), codes, categoryCounts, passive, single,
        levels, values, analysis.weightsView(),
        new double[Math.multiplyExact(analysis.objectCount(), p)], nan(slots * p), nan(slots * p),
        nan(count * p), nan(p), new int[p], new double[tableEigenvalues ? activeSlots : 0],
        new double[activeSlots <= MAX_PAIR_CATEGORIES ? activeSlots * activeSlots : 0],
        nan(HomalsNative.REPORT_LENGTH), nan(2 * p), counts == null ? null : tableViews(counts),
        counts == null ? null : nan(activeSlots * p));
  }

  private static long[][] tableViews(CategoryTables counts) {
    long[][] tables = new long[counts.activeCount()][];
    for (int c = 1; c <= tables.length; c++) {
      tables[c - 1] = counts.tableView(c);
    }
    return tables;
  }

  private static double[] nan(int length) {
    double[] values = new double[length];
    Arrays.fill(values, Double.NaN);
    return values;
  }

  /**
   * The first slot of each variable's categories in the library's layout: the active variables'
   * categories first, in order, then the passive ones'.
   */
  int[] slotStarts() {
    int[] starts = new int[categoryCounts.length];
    int next = 0;
    for (boolean passiveGroup : new boolean[] {false, true}) {
      for (int v = 0; v < starts.length; v++) {
        if (passive[v] == passiveGroup) {
          starts[v] = next;
          next += categoryCounts[v];
        }
      }
    }
    return starts;
  }

  int report(int index) {
    return (int) report[index];
  }

  /** Runs the analysis through the native library, filling the outputs. */
  void callNative() {
    NativeLibrary.load();
    if (tables != null) {
      HomalsNative.analyseTables(dimensionCount, maxIterations, innerIterations, fitTolerance,
          cosineTolerance, convergenceTolerance, solver.code(), categorySpaceWork, threads, tables,
          categoryCounts, passive, single, levels, categoryValues, quantifications, centroids,
          loadings, eigenvalues, ties, tableEigenvalues, pairCounts, report, scoreMoments,
          scoreCoefficients);
      return;
    }
    HomalsNative.analyse(dimensionCount, maxIterations, innerIterations, fitTolerance,
        cosineTolerance, convergenceTolerance, solver.code(), categorySpaceWork, threads, codes,
        categoryCounts, passive, single, levels, categoryValues, weights, objectScores,
        quantifications, centroids, loadings, eigenvalues, ties, tableEigenvalues, pairCounts,
        report, scoreMoments);
  }
}
