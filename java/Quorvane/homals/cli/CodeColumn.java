package Quorvane.homals.cli;

import java.util.Set;

/** Integer category codes, read with {@code --codes}: negative and missing cells become 0. */
final class CodeColumn extends CsvColumns.Column {
  private final String column;
  private final Set<String> missingTexts;
  private final CompactInts values = new CompactInts();

  CodeColumn(String column, Set<String> missingTexts) {
    this.column = column;
    this.missingTexts = missingTexts;
  }

  @Override
  void add(String cell, int row) {
    String text = cell == null ? "" : cell;
    if (text.isEmpty() || missingTexts.contains(text)) {
      values.add(0);
      return;
    }
    try {
      values.add(Math.max(Integer.parseInt(text), 0));
    } catch (NumberFormatException e) {
      throw new CliException("column '" + column + "', data row " + row + ": '" + text
          + "' is not an integer code (--codes is set)");
    }
  }

  int size() { return values.size(); }

  /** The values into {@code into}, which holds {@link #size()} of them; returns it. */
  int[] values(int[] into) {
    values.copyInto(into, 0, null);
    return into;
  }
}
