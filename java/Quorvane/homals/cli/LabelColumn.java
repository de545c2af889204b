package Quorvane.homals.cli;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;

/**
 * Labels numbered as they first appear, from 1; 0 is a missing value: an empty or blank cell,
 * or one of the missing texts.
 */
final class LabelColumn extends CsvColumns.Column {
  private final Set<String> missingTexts;
  private final Map<String, Integer> codeOf = new HashMap<>();
  private final List<String> labels = new ArrayList<>();
  private int[] firstRow = new int[8];
  private final CompactInts codes = new CompactInts();

  LabelColumn(Set<String> missingTexts) { this.missingTexts = missingTexts; }

  @Override
  void add(String cell, int row) {
    Integer code = cell == null ? null : codeOf.get(cell);
    if (code != null) {
      codes.add(code);
    } else if (cell == null || cell.isBlank() || missingTexts.contains(cell)) {
      codes.add(0);
    } else {
      labels.add(cell);
      codeOf.put(cell, labels.size());
      if (labels.size() == firstRow.length) {
        firstRow = Arrays.copyOf(firstRow, 2 * firstRow.length);
      }
      firstRow[labels.size()] = row;
      codes.add(labels.size());
    }
  }

  /** The distinct labels in order of first appearance: label c has code c + 1. */
  List<String> labels() { return Collections.unmodifiableList(labels); }

  /** The first data row with label c (0-based). */
  int firstRow(int label) { return firstRow[label + 1]; }

  int size() { return codes.size(); }

  /**
   * The codes renumbered (code c becomes {@code renumber[c]}) into {@code into}, which holds
   * {@link #size()} of them; returns it.
   */
  int[] codes(int[] renumber, int[] into) {
    codes.copyInto(into, 0, renumber);
    return into;
  }
}
