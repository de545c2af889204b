package Quorvane.homals.cli;

import Quorvane.homals.CategoryCodes;
import java.nio.charset.Charset;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.HashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;

/**
 * Labels numbered as they first appear in the file, from 1; 0 is a missing value: an empty or
 * blank cell, or one of the missing texts.
 *
 * <p>Parts of the file may be read side by side, each numbering its labels as they first appear
 * in it ({@link #open}); {@link #finish} then numbers them in file order, as one pass would have.
 */
final class LabelColumn extends CsvColumns.Column {
  private final Set<String> missingTexts;
  private final List<Part> parts = new ArrayList<>();
  private List<String> labels;
  private int[] firstRow;
  private int[][] toGlobal;

  LabelColumn(Set<String> missingTexts) { this.missingTexts = missingTexts; }

  /**
   * One part's labels: each distinct cell's bytes once, a string made only for a label seen for
   * the first time, and one small code per row.
   */
  final class Part implements CsvScanner.Sink {
    private final Charset charset;
    private final Map<String, Integer> codeOf = new HashMap<>();
    private final List<String> seen = new ArrayList<>();
    private int[] firstRows = new int[8];
    private final CompactInts codes = new CompactInts();
    private int missing;
    /** The code of each one-byte cell, -1 until met: most labelled columns are of such cells. */
    private final int[] oneByte = new int[256];
    /** An open-addressing table of the longer cells: entry + 1 in a slot, 0 for none. */
    private int[] slots = new int[64];
    private int[] keyStart = new int[32];
    private int[] keyLength = new int[32];
    private int[] keyCode = new int[32];
    private byte[] keys = new byte[256];
    private int keyCount;
    private int keyBytes;

    Part(Charset charset) {
      this.charset = charset;
      Arrays.fill(oneByte, -1);
    }

    @Override
    public void cell(byte[] bytes, int from, int to, int row) {
      int code;
      if (to - from == 1) {
        code = oneByte[bytes[from] & 0xFF];
        if (code < 0) {
          code = code(new String(bytes, from, 1, charset), row);
          oneByte[bytes[from] & 0xFF] = code;
        }
      } else if (from == to) {
        code = 0;
      } else {
        code = lookUp(bytes, from, to, row);
      }
      add(code);
    }

    private void add(int code) {
      codes.add(code);
      missing += code == 0 ? 1 : 0;
    }

    /** Adds {@code count} codes of {@code found}, from {@code first} on, {@code stride} apart. */
    void addCodes(int[] found, int first, int stride, int count) {
      missing += codes.addEvery(found, first, stride, count);
    }

    /**
     * The tables the cells are looked up in, as {@link PlainRecords} takes them: the codes of the
     * one-byte cells, then the slots, starts, lengths, codes and bytes of the longer ones.
     */
    Object[] tables() { return new Object[] {oneByte, slots, keyStart, keyLength, keyCode, keys}; }

    private int lookUp(byte[] bytes, int from, int to, int row) {
      int hash = 0;
      for (int i = from; i < to; i++) {
        hash = 31 * hash + bytes[i];
      }
      hash ^= hash >>> 16;
      int mask = slots.length - 1;
      for (int slot = hash & mask;; slot = (slot + 1) & mask) {
        int entry = slots[slot] - 1;
        if (entry < 0) {
          int code = code(new String(bytes, from, to - from, charset), row);
          remember(bytes, from, to, code, slot);
          return code;
        }
        if (keyLength[entry] == to - from
            && Arrays.equals(
                keys, keyStart[entry], keyStart[entry] + keyLength[entry], bytes, from, to)) {
          return keyCode[entry];
        }
      }
    }

    private void remember(byte[] bytes, int from, int to, int code, int slot) {
      int length = to - from;
      if (keyCount == keyCode.length) {
        keyStart = Arrays.copyOf(keyStart, 2 * keyCount);
        keyLength = Arrays.copyOf(keyLength, 2 * keyCount);
        keyCode = Arrays.copyOf(keyCode, 2 * keyCount);
      }
      if (keyBytes + length > keys.length) {
        keys = Arrays.copyOf(keys, Math.max(2 * keys.length, keyBytes + length));
      }
      System.arraycopy(bytes, from, keys, keyBytes, length);
      keyStart[keyCount] = keyBytes;
      keyLength[keyCount] = length;
      keyCode[keyCount] = code;
      keyBytes += length;
      slots[slot] = ++keyCount;
      if (2 * keyCount > slots.length) {
        rehash();
      }
    }

    private void rehash() {
      slots = new int[2 * slots.length];
      int mask = slots.length - 1;
      for (int entry = 0; entry < keyCount; entry++) {
        int hash = 0;
        for (int i = keyStart[entry]; i < keyStart[entry] + keyLength[entry]; i++) {
          hash = 31 * hash + keys[i];
        }
        hash ^= hash >>> 16;
        int slot = hash & mask;
        while (slots[slot] != 0) {
          slot = (slot + 1) & mask;
        }
        slots[slot] = entry + 1;
      }
    }

    /** The code of a cell's text; a new label gets the next one. */
    private int code(String cell, int row) {
      Integer code = cell == null ? null : codeOf.get(cell);
      if (code != null) {
        return code;
      }
      if (cell == null || cell.isBlank() || missingTexts.contains(cell)) {
        return 0;
      }
      seen.add(cell);
      codeOf.put(cell, seen.size());
      if (seen.size() == firstRows.length) {
        firstRows = Arrays.copyOf(firstRows, 2 * firstRows.length);
      }
      firstRows[seen.size()] = row;
      return seen.size();
    }
  }

  @Override
  void add(String cell, int row) {
    if (parts.isEmpty()) {
      parts.add(new Part(null));
    }
    Part part = parts.get(0);
    part.add(part.code(cell, row));
  }

  @Override
  boolean takesParts() {
    return true;
  }

  @Override
  CsvScanner.Sink open(int part, Charset charset) {
    parts.subList(Math.min(part, parts.size()), parts.size()).clear();
    Part opened = new Part(charset);
    parts.add(opened);
    return opened;
  }

  @Override
  void finish(long[] rowsBefore) {
    Map<String, Integer> global = new LinkedHashMap<>();
    List<Integer> rows = new ArrayList<>();
    toGlobal = new int[parts.size()][];
    for (int p = 0; p < parts.size(); p++) {
      Part part = parts.get(p);
      int[] map = new int[part.seen.size() + 1];
      for (int c = 0; c < part.seen.size(); c++) {
        String label = part.seen.get(c);
        Integer code = global.get(label);
        if (code == null) {
          code = global.size() + 1;
          global.put(label, code);
          rows.add((int) (rowsBefore[p] + part.firstRows[c + 1]));
        }
        map[c + 1] = code;
      }
      toGlobal[p] = map;
    }
    labels = List.copyOf(global.keySet());
    firstRow = rows.stream().mapToInt(Integer::intValue).toArray();
  }

  private void finishOnce() {
    if (labels == null) {
      finish(new long[] {0});
    }
  }

  /** The distinct labels in order of first appearance: label c has code c + 1. */
  List<String> labels() {
    finishOnce();
    return Collections.unmodifiableList(labels);
  }

  /** The first data row with label c (0-based). */
  int firstRow(int label) {
    finishOnce();
    return firstRow[label];
  }

  int size() {
    int size = 0;
    for (Part part : parts) {
      size += part.codes.size();
    }
    return size;
  }

  /** The cells that are missing values. */
  int missing() {
    int missing = 0;
    for (Part part : parts) {
      missing += part.missing;
    }
    return missing;
  }

  /**
   * The codes renumbered: code c (in order of first appearance, 0 for a missing value) becomes
   * {@code renumber[c]}, at most {@code largest}.
   */
  CategoryCodes codes(int[] renumber, int largest) {
    finishOnce();
    CategoryCodes.Builder builder = new CategoryCodes.Builder(size(), largest);
    int at = 0;
    for (int p = 0; p < parts.size(); p++) {
      int[] map = toGlobal[p];
      int[] table = new int[map.length];
      for (int c = 0; c < map.length; c++) {
        table[c] = renumber[map[c]];
      }
      at = parts.get(p).codes.translateInto(builder, at, table);
    }
    return builder.build();
  }
}
