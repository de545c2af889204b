package Quorvane.homals.cli;

import java.math.BigDecimal;
import java.util.Arrays;
import java.util.Set;

/**
 * A column of numbers that is correlated with the dimensions rather than analysed: finite
 * decimal numbers, NaN for an empty cell or a missing text. Numbers are read as decimals, so
 * that Java's own forms (NaN, Infinity, hexadecimal, a trailing d or f) are refused as they would
 * be in any other program's column.
 */
final class NumericColumn extends CsvColumns.Column {
  private final String column;
  private final Set<String> missingTexts;
  private double[] values = new double[1024];
  private int size;

  NumericColumn(String column, Set<String> missingTexts) {
    this.column = column;
    this.missingTexts = missingTexts;
  }

  @Override
  void add(String cell, int row) {
    double value = Double.NaN;
    if (cell != null && !cell.isBlank() && !missingTexts.contains(cell)) {
      try {
        value = new BigDecimal(cell.trim()).doubleValue();
      } catch (NumberFormatException e) {
        throw new CliException("numeric column '" + column + "', data row " + row + ": '" + cell
            + "' is not a number (an empty cell or --missing text is a missing value)");
      }
      if (Double.isInfinite(value)) {
        throw new CliException(
            "numeric column '" + column + "', data row " + row + ": '" + cell + "' is too large");
      }
    }
    if (size == values.length) {
      values = Arrays.copyOf(values, 2 * size);
    }
    values[size++] = value;
  }

  /** The values as read, NaN where missing. */
  double[] values() { return Arrays.copyOf(values, size); }
}
