package Quorvane.homals.cli;

import java.math.BigDecimal;
import java.util.Arrays;

/**
 * Object weights: finite numbers of 0 or more, whole or not, which the library sums exactly on
 * a fixed-point scale of its own.
 */
final class WeightColumn extends CsvColumns.Column {
  private final String column;
  private double[][] blocks = new double[16][];
  private int size;

  WeightColumn(String column) { this.column = column; }

  @Override
  void add(String cell, int row) {
    String text = cell == null ? "" : cell;
    double value;
    try {
      value = new BigDecimal(text.trim()).doubleValue();
    } catch (NumberFormatException e) {
      throw new CliException(
          "weight column '" + column + "', data row " + row + ": '" + text + "' is not a number");
    }
    if (!(value >= 0) || Double.isInfinite(value)) {
      throw new CliException("weight column '" + column + "', data row " + row + ": '" + text
          + "' is " + (value < 0 ? "negative" : "too large") + "; weights must be finite numbers "
          + "of 0 or more");
    }
    int block = size >>> 16;
    if (block == blocks.length) {
      blocks = Arrays.copyOf(blocks, 2 * block);
    }
    if (blocks[block] == null) {
      blocks[block] = new double[1 << 16];
    }
    blocks[block][size & 0xFFFF] = value;
    size++;
  }

  /** The weights, as read. */
  double[] values() {
    double[] weights = new double[size];
    for (int i = 0; i < size; i++) {
      weights[i] = blocks[i >>> 16][i & 0xFFFF];
    }
    return weights;
  }
}
