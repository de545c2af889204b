package Quorvane.homals;

import Quorvane.NativeLibrary;
import Quorvane.Tallowmere;
import java.util.Arrays;
import java.util.List;

/**
 * The 25 arguments of {@link Tallowmere#runHomals}, in its order, built from an analysis
 * description with both result tables sized exactly.
 *
 * <p>Layout chosen here: the data matrix has one column per variable in the order of the
 * description (active and passive mixed as the caller listed them), followed by the weight
 * column when there are weights. Both tables are 1-based and pre-filled with NaN, so a cell
 * that the native method fails to write is recognisable afterwards.
 */
record NativeArguments(
    int dimensionCount,
    int dataStride,
    int objectCount,
    int maxCategories,
    int maxIterations,
    int innerIterations,
    int activeCount,
    int passiveCount,
    int weightColumn,
    boolean timing,
    boolean useWeights,
    boolean writeObjectScores,
    int[] activeColumns,
    int[] passiveColumns,
    int[] activeCategoryCounts,
    int[] passiveCategoryCounts,
    int[] activeSingle,
    int[] passiveSingle,
    int[] activeLevels,
    int[] passiveLevels,
    int[] data,
    double fitTolerance,
    double cosineTolerance,
    double[][] objectScoreTable,
    double[][] categoryQuantificationTable) {

  /** Builds the arguments for a validated description. */
  static NativeArguments of(HomalsAnalysis analysis) {
    List<Variable> variables = analysis.variables();
    int variableCount = variables.size();
    int n = analysis.objectCount();
    int p = analysis.dimensions();
    int[] weights = analysis.weightsView();
    boolean useWeights = weights != null;
    int stride = variableCount + (useWeights ? 1 : 0);

    int activeCount = 0;
    int maxCategories = 1;
    boolean anySingle = false;
    for (Variable v : variables) {
      activeCount += v.isActive() ? 1 : 0;
      maxCategories = Math.max(maxCategories, v.categoryCount());
      anySingle |= v.quantification().isSingle();
    }
    int passiveCount = variableCount - activeCount;

    int[] activeColumns = new int[activeCount];
    int[] passiveColumns = new int[passiveCount];
    int[] activeCounts = new int[activeCount];
    int[] passiveCounts = new int[passiveCount];
    int[] activeSingle = new int[activeCount];
    int[] passiveSingle = new int[passiveCount];
    int[] activeLevels = new int[activeCount];
    int[] passiveLevels = new int[passiveCount];
    int activeRows = 0;
    int a = 0;
    int q = 0;
    for (int column = 0; column < variableCount; column++) {
      Variable v = variables.get(column);
      if (v.isActive()) {
        activeColumns[a] = column;
        activeCounts[a] = v.categoryCount();
        activeSingle[a] = v.quantification().nativeSingleFlag();
        activeLevels[a] = v.quantification().nativeLevel();
        activeRows += v.categoryCount();
        a++;
      } else {
        passiveColumns[q] = column;
        passiveCounts[q] = v.categoryCount();
        passiveSingle[q] = v.quantification().nativeSingleFlag();
        passiveLevels[q] = v.quantification().nativeLevel();
        q++;
      }
    }

    int[] data = new int[Math.multiplyExact(n, stride)];
    for (int column = 0; column < variableCount; column++) {
      int[] codes = variables.get(column).codesView();
      for (int i = 0; i < n; i++) {
        data[i * stride + column] = codes[i];
      }
    }
    if (useWeights) {
      for (int i = 0; i < n; i++) {
        data[i * stride + variableCount] = weights[i];
      }
    }

    return new NativeArguments(p, stride, n, maxCategories, analysis.maxIterations(),
        anySingle ? analysis.innerIterations() : 0, activeCount, passiveCount,
        useWeights ? variableCount : 0, false, useWeights, true,
        activeColumns, passiveColumns, activeCounts, passiveCounts, activeSingle,
        passiveSingle, activeLevels, passiveLevels, data, analysis.fitTolerance(),
        analysis.cosineTolerance(), nanTable(n + 1, p + 1), nanTable(activeRows + 1, p + 1));
  }

  private static double[][] nanTable(int rows, int columns) {
    double[][] table = new double[rows][columns];
    for (double[] row : table) {
      Arrays.fill(row, Double.NaN);
    }
    return table;
  }

  /**
   * Runs the analysis through the native method, filling both tables. The library is loaded
   * first, so that a failure reports every place tried, on every call.
   */
  void callNative() {
    NativeLibrary.load();
    Tallowmere.runHomals(dimensionCount, dataStride, objectCount, maxCategories,
        maxIterations, innerIterations, activeCount, passiveCount, weightColumn, timing,
        useWeights, writeObjectScores, activeColumns, passiveColumns,
        activeCategoryCounts, passiveCategoryCounts, activeSingle, passiveSingle,
        activeLevels, passiveLevels, data, fitTolerance, cosineTolerance,
        objectScoreTable, categoryQuantificationTable);
  }
}
