package Quorvane;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.file.Files;
import java.nio.file.Path;

/**
 * One case written by write_expected_tables: the arguments of runHomals, both result tables
 * before the call, and both tables as a direct C++ call of the engine left them.
 */
final class BridgeCase {
  final String name;
  final int dimensionCount, dataStride, objectCount, maxCategories, maxIterations;
  final int innerIterations, activeCount, passiveCount, weightColumn;
  final boolean timing, useWeights, writeObjectScores;
  final int[] activeColumns, passiveColumns, activeCategoryCounts, passiveCategoryCounts;
  final int[] activeSingle, passiveSingle, activeLevels, passiveLevels, data;
  final double fitTolerance, cosineTolerance;
  final double[][] scoresBefore, categoriesBefore, scoresExpected, categoriesExpected;

  BridgeCase(Path file) throws IOException {
    String fileName = file.getFileName().toString();
    name = fileName.substring(0, fileName.length() - ".case".length());
    ByteBuffer in = ByteBuffer.wrap(Files.readAllBytes(file)).order(ByteOrder.LITTLE_ENDIAN);
    dimensionCount = in.getInt();
    dataStride = in.getInt();
    objectCount = in.getInt();
    maxCategories = in.getInt();
    maxIterations = in.getInt();
    innerIterations = in.getInt();
    activeCount = in.getInt();
    passiveCount = in.getInt();
    weightColumn = in.getInt();
    timing = in.getInt() != 0;
    useWeights = in.getInt() != 0;
    writeObjectScores = in.getInt() != 0;
    activeColumns = ints(in);
    passiveColumns = ints(in);
    activeCategoryCounts = ints(in);
    passiveCategoryCounts = ints(in);
    activeSingle = ints(in);
    passiveSingle = ints(in);
    activeLevels = ints(in);
    passiveLevels = ints(in);
    data = ints(in);
    fitTolerance = in.getDouble();
    cosineTolerance = in.getDouble();
    scoresBefore = table(in);
    categoriesBefore = table(in);
    scoresExpected = table(in);
    categoriesExpected = table(in);
    if (in.hasRemaining()) {
      throw new IOException(file + ": " + in.remaining() + " bytes left over");
    }
  }

  /** Runs the case through the JNI library on fresh copies of the tables: {scores, categories}. */
  double[][][] run() {
    double[][] scores = copy(scoresBefore);
    double[][] categories = copy(categoriesBefore);
    Tallowmere.runHomals(dimensionCount, dataStride, objectCount, maxCategories, maxIterations,
        innerIterations, activeCount, passiveCount, weightColumn, timing, useWeights,
        writeObjectScores, activeColumns, passiveColumns, activeCategoryCounts,
        passiveCategoryCounts, activeSingle, passiveSingle, activeLevels, passiveLevels, data,
        fitTolerance, cosineTolerance, scores, categories);
    return new double[][][] {scores, categories};
  }

  /** Rows 1 .. this bound - 1 of the category table receive results. */
  int categoryRowsEnd() {
    int rows = 1;
    for (int k : activeCategoryCounts) {
      rows += Math.max(k, 0);
    }
    return rows;
  }

  /** Rows 1 .. this bound - 1 of the object-score table receive results. */
  int scoreRowsEnd() {
    return writeObjectScores ? 1 + objectCount : 1;
  }

  @Override
  public String toString() {
    return name;
  }

  static double[][] copy(double[][] table) {
    double[][] copy = new double[table.length][];
    for (int r = 0; r < table.length; r++) {
      copy[r] = table[r].clone();
    }
    return copy;
  }

  private static int[] ints(ByteBuffer in) {
    int[] values = new int[in.getInt()];
    for (int i = 0; i < values.length; i++) {
      values[i] = in.getInt();
    }
    return values;
  }

  private static double[][] table(ByteBuffer in) {
    double[][] rows = new double[in.getInt()][];
    for (int r = 0; r < rows.length; r++) {
      rows[r] = new double[in.getInt()];
      for (int k = 0; k < rows[r].length; k++) {
        rows[r][k] = in.getDouble();
      }
    }
    return rows;
  }
}
