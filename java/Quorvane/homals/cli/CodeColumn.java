package Quorvane.homals.cli;

import Quorvane.homals.CategoryCodes;
import java.util.Set;

/** Integer category codes, read with {@code --codes}: negative and missing cells become 0. */
final class CodeColumn extends CsvColumns.Column {
  private final String column;
  private final Set<String> missingTexts;
  private final CompactInts values = new CompactInts();
  private int largest;
  private int missing;

  CodeColumn(String column, Set<String> missingTexts) {
    this.column = column;
    this.missingTexts = missingTexts;
  }

  @Override
  void add(String cell, int row) {
    String text = cell == null ? "" : cell;
    if (text.isEmpty() || missingTexts.contains(text)) {
      values.add(0);
      missing++;
      return;
    }
    try {
      int value = Math.max(Integer.parseInt(text), 0);
      values.add(value);
      largest = Math.max(largest, value);
      missing += value == 0 ? 1 : 0;
    } catch (NumberFormatException e) {
      throw new CliException("column '" + column + "', data row " + row + ": '" + text
          + "' is not an integer code (--codes is set)");
    }
  }

  int size() { return values.size(); }

  /** The largest code read, 0 when none. */
  int largest() { return largest; }

  /** The cells that are missing values (codes of 0). */
  int missing() { return missing; }

  /** The codes, with 0 (missing) replaced by {@code missingCode}; at most once. */
  CategoryCodes codes(int missingCode) {
    int[] table = new int[largest + 1];
    for (int c = 1; c <= largest; c++) {
      table[c] = c;
    }
    table[0] = missingCode;
    CategoryCodes.Builder builder =
        new CategoryCodes.Builder(values.size(), Math.max(largest, missingCode));
    values.translateInto(builder, 0, table);
    return builder.build();
  }
}
