package Quorvane.homals.cli;

import java.math.BigDecimal;
import java.util.Arrays;

/**
 * Object weights: non-negative numbers, integers or decimals. Decimal weights are scaled to
 * integers by one power of ten, the smallest that makes every weight whole; scaling every
 * weight by one factor leaves the solution unchanged.
 */
final class WeightColumn extends CsvColumns.Column {
  private final String column;
  private double[][] blocks = new double[16][];
  private int size;
  private int decimals;
  private int largestRow;
  private double largest = -1;

  WeightColumn(String column) { this.column = column; }

  @Override
  void add(String cell, int row) {
    String text = cell == null ? "" : cell;
    double value;
    int places = 0;
    try {
      value = Integer.parseInt(text);
    } catch (NumberFormatException notAnInteger) {
      BigDecimal exact;
      try {
        exact = new BigDecimal(text);
      } catch (NumberFormatException e) {
        throw new CliException(
            "weight column '" + column + "', data row " + row + ": '" + text + "' is not a number");
      }
      places = Math.max(exact.stripTrailingZeros().scale(), 0);
      value = exact.doubleValue();
    }
    if (!(value >= 0) || Double.isInfinite(value)) {
      throw new CliException("weight column '" + column + "', data row " + row + ": '" + text
          + "' is negative; weights must be 0 or more");
    }
    decimals = Math.max(decimals, places);
    if (value > largest) {
      largest = value;
      largestRow = row;
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

  /** The power of ten the weights are multiplied by to make them integers. */
  int decimals() { return decimals; }

  /**
   * The weights times 10^{@link #decimals()}, into {@code into}; refuses weights that the
   * library's 32-bit integers cannot hold once scaled.
   */
  int[] values(int[] into) {
    double factor = Math.pow(10, decimals);
    if (largest * factor > Integer.MAX_VALUE) {
      throw new CliException("weight column '" + column + "', data row " + largestRow
          + ": the weight " + BigDecimal.valueOf(largest).toPlainString()
          + (decimals > 0 ? ", scaled by 10^" + decimals + " to make every weight whole," : "")
          + " exceeds 2147483647, the largest weight the analysis takes; use fewer decimal "
          + "places or smaller weights");
    }
    for (int i = 0; i < size; i++) {
      // Exact: a decimal with few places times its power of ten is within rounding of a whole
      // number far below 2^53.
      into[i] = (int) Math.round(blocks[i >>> 16][i & 0xFFFF] * factor);
    }
    return into;
  }
}
