package Quorvane;

import java.util.ArrayList;
import java.util.List;

/**
 * Every argument of one runHomals call, mutable, so that a test can break one limit of a valid
 * call. The valid call: eight objects in rows of four values (active variables in columns 0
 * and 1 with 3 and 2 categories, the first single ordinal; a passive single variable in column 2
 * with 2 categories; the weight in column 3), two dimensions, K = 3, object scores written, and
 * both tables exactly as large as the results need.
 */
final class Call {
  int dimensionCount = 2;
  int dataStride = 4;
  int objectCount = 8;
  int maxCategories = 3;
  int maxIterations = 30;
  int innerIterations = 1;
  int activeCount = 2;
  int passiveCount = 1;
  int weightColumn = 3;
  boolean timing = false;
  boolean useWeights = true;
  boolean writeObjectScores = true;
  int[] activeColumns = {0, 1};
  int[] passiveColumns = {2};
  int[] activeCategoryCounts = {3, 2};
  int[] passiveCategoryCounts = {2};
  int[] activeSingle = {1, 0};
  int[] passiveSingle = {1};
  int[] activeLevels = {1, 0};
  int[] passiveLevels = {0};
  int[] data = {
      1, 2, 1, 3,
      2, 1, 2, 1,
      3, 1, 1, 2,
      1, 2, 2, 1,
      2, 2, 1, 2,
      3, 1, 2, 1,
      0, 2, 1, 1,
      1, 1, 2, 2};
  double fitTolerance = 1e-10;
  double cosineTolerance = 1e-10;
  double[][] objectScoreTable = pattern(1, 8 + 1, 3);
  double[][] categoryQuantificationTable = pattern(2, 1 + 3 + 2, 3);

  void run() {
    Tallowmere.runHomals(dimensionCount, dataStride, objectCount, maxCategories, maxIterations,
        innerIterations, activeCount, passiveCount, weightColumn, timing, useWeights,
        writeObjectScores, activeColumns, passiveColumns, activeCategoryCounts,
        passiveCategoryCounts, activeSingle, passiveSingle, activeLevels, passiveLevels, data,
        fitTolerance, cosineTolerance, objectScoreTable, categoryQuantificationTable);
  }

  /** No variable has a category and every code is missing: the category table needs one row. */
  Call withoutCategories() {
    maxCategories = 0;
    activeCategoryCounts = new int[] {0, 0};
    passiveCategoryCounts = new int[] {0};
    for (int i = 0; i < data.length; i++) {
      if (i % dataStride != weightColumn) {
        data[i] = 0;
      }
    }
    categoryQuantificationTable = pattern(2, 1, 3);
    return this;
  }

  /** Object scores not written, so that the object-score table may be a single empty row. */
  Call withoutObjectScores() {
    writeObjectScores = false;
    objectScoreTable = new double[1][0];
    return this;
  }

  /** Both tables, every cell as its raw bits, so that "unchanged" covers NaN payloads and -0. */
  String tableBits() {
    return bits(objectScoreTable) + " | " + bits(categoryQuantificationTable);
  }

  private static String bits(double[][] table) {
    if (table == null) {
      return "null";
    }
    List<String> rows = new ArrayList<>();
    for (double[] row : table) {
      if (row == null) {
        rows.add("null");
        continue;
      }
      StringBuilder cells = new StringBuilder();
      for (double cell : row) {
        cells.append(Long.toHexString(Double.doubleToRawLongBits(cell))).append(' ');
      }
      rows.add(cells.toString().trim());
    }
    return String.join("; ", rows);
  }

  /** Distinct cells, with -0.0 and a NaN with a payload in every row's element 0. */
  static double[][] pattern(int id, int rows, int columns) {
    double[][] table = new double[rows][columns];
    for (int r = 0; r < rows; r++) {
      for (int k = 0; k < columns; k++) {
        table[r][k] = k == 0 ? (r % 2 == 0 ? -0.0 : Double.longBitsToDouble(0x7ff80000000abcdeL + r))
                             : id * 1000 + r + k / 8.0;
      }
    }
    return table;
  }
}
