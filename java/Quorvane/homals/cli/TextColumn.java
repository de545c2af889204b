package Quorvane.homals.cli;

import java.util.AbstractList;
import java.util.List;

/** The cells as text, kept in one buffer; for the column that names the objects. */
final class TextColumn extends CsvColumns.Column {
  private final StringBuilder chars = new StringBuilder();
  private final CompactInts ends = new CompactInts();

  @Override
  void add(String cell, int row) {
    if (cell != null) {
      chars.append(cell);
    }
    ends.add(chars.length());
  }

  /** All cells, fetched one at a time. */
  List<String> cells() {
    int[] end = new int[ends.size()];
    ends.copyInto(end, 0, null);
    return new AbstractList<>() {
      @Override
      public String get(int i) {
        return chars.substring(i == 0 ? 0 : end[i - 1], end[i]);
      }

      @Override
      public int size() {
        return end.length;
      }
    };
  }
}
