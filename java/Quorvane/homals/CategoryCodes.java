package Quorvane.homals;

import java.util.Arrays;
import java.util.Objects;

/**
 * The category codes of one variable, one per object (1 to k, 0 for a missing value), held as
 * compactly as the largest code allows: a byte per object below 256, two bytes below 65536, four
 * above. Immutable: a column built once is shared by every {@link Variable} made from it and
 * reaches the library as it is, so a file of ten million rows holds its codes once in Java.
 */
public final class CategoryCodes {
  private final byte[] bytes; // unsigned
  private final short[] shorts; // unsigned
  private final int[] ints;
  /** No code is above it: the largest code its builder allowed. */
  private final int bound;

  private CategoryCodes(byte[] bytes, short[] shorts, int[] ints, int bound) {
    this.bytes = bytes;
    this.shorts = shorts;
    this.ints = ints;
    this.bound = bound;
  }

  /** The codes of an array, copied; a code of 0 or below is missing and becomes 0. */
  public static CategoryCodes of(int[] codes) {
    Objects.requireNonNull(codes, "codes");
    int largest = 0;
    for (int code : codes) {
      largest = Math.max(largest, code);
    }
    Builder builder = new Builder(codes.length, largest);
    for (int i = 0; i < codes.length; i++) {
      builder.set(i, Math.max(codes[i], 0));
    }
    return builder.build();
  }

  /** The number of objects. */
  public int size() {
    return bytes != null ? bytes.length : shorts != null ? shorts.length : ints.length;
  }

  /** The code of object i: 1 to k, or 0 when its value is missing. */
  public int get(int object) {
    return bytes != null ? bytes[object] & 0xFF
        : shorts != null ? shorts[object] & 0xFFFF
                         : ints[object];
  }

  /** The largest code, 0 when every value is missing. */
  public int largest() {
    if (bound == 0) {
      return 0;
    }
    int largest = 0;
    for (int i = 0, n = size(); i < n; i++) {
      largest = Math.max(largest, get(i));
    }
    return largest;
  }

  /** The codes widened into a new array. */
  public int[] toArray() {
    int[] codes = new int[size()];
    for (int i = 0; i < codes.length; i++) {
      codes[i] = get(i);
    }
    return codes;
  }

  /**
   * Package use: the array the library reads, without a copy: a byte[] or short[] of unsigned
   * codes, or an int[].
   */
  Object array() { return bytes != null ? bytes : shorts != null ? shorts : ints; }

  /** Package use: a bound on the codes, known without reading them. */
  int bound() { return bound; }

  /**
   * Package use: adds 1 to {@code observed[i]} for every object i from {@code from} to {@code
   * to - 1} whose value is not missing.
   */
  void countObserved(int[] observed, int from, int to) {
    // One loop per width, each of which the compiler makes tight: a million objects' codes are
    // read several times over while an analysis is checked and its results assembled.
    if (bytes != null) {
      for (int i = from; i < to; i++) {
        observed[i] += bytes[i] != 0 ? 1 : 0;
      }
    } else if (shorts != null) {
      for (int i = from; i < to; i++) {
        observed[i] += shorts[i] != 0 ? 1 : 0;
      }
    } else {
      for (int i = from; i < to; i++) {
        observed[i] += ints[i] > 0 ? 1 : 0;
      }
    }
  }

  /**
   * Package use: adds each object's weight units to {@code units[c - 1][before + code]}, where c
   * is its count of observed active values, for the objects that take part; in object order.
   * {@code objectUnits} null: one unit each.
   */
  void addUnits(
      boolean[] takesPart, int[] observed, long[] objectUnits, long[][] units, int before) {
    if (bytes != null && objectUnits == null) {
      for (int i = 0; i < bytes.length; i++) {
        int code = bytes[i] & 0xFF;
        if (code > 0 && takesPart[i]) {
          units[observed[i] - 1][before + code]++;
        }
      }
      return;
    }
    for (int i = 0, n = size(); i < n; i++) {
      int code = get(i);
      if (code > 0 && takesPart[i]) {
        units[observed[i] - 1][before + code] += objectUnits == null ? 1 : objectUnits[i];
      }
    }
  }

  /** The codes with code c replaced by {@code renumber[c]}, each below 1 << 31. */
  CategoryCodes renumbered(int[] renumber, int largest) {
    Builder builder = new Builder(size(), largest);
    for (int i = 0, n = size(); i < n; i++) {
      builder.set(i, renumber[get(i)]);
    }
    return builder.build();
  }

  @Override
  public boolean equals(Object other) {
    if (!(other instanceof CategoryCodes codes) || codes.size() != size()) {
      return false;
    }
    for (int i = 0, n = size(); i < n; i++) {
      if (codes.get(i) != get(i)) {
        return false;
      }
    }
    return true;
  }

  @Override
  public int hashCode() {
    return Arrays.hashCode(toArray());
  }

  /**
   * Fills a column of a known number of objects and largest code, then hands it over: after
   * {@link #build()} the builder takes no more codes, so the column needs no copy to stay
   * unchanged.
   */
  public static final class Builder {
    private final int largest;
    private byte[] bytes;
    private short[] shorts;
    private int[] ints;

    /**
     * @param size the number of objects; every code starts at 0 (missing)
     * @param largest the largest code that will be set, which chooses the width
     */
    public Builder(int size, int largest) {
      if (size < 0 || largest < 0) {
        throw new IllegalArgumentException(
            "a column of " + size + " objects and codes up to " + largest);
      }
      this.largest = largest;
      if (largest <= 0xFF) {
        bytes = new byte[size];
      } else if (largest <= 0xFFFF) {
        shorts = new short[size];
      } else {
        ints = new int[size];
      }
    }

    /** Sets the code of one object: 0 to the largest code given. */
    public Builder set(int object, int code) {
      if (code < 0 || code > largest) {
        throw new IllegalArgumentException(
            "code " + code + " of object " + (object + 1) + " is not within 0 .. " + largest);
      }
      if (bytes != null) {
        bytes[object] = (byte) code;
      } else if (shorts != null) {
        shorts[object] = (short) code;
      } else if (ints != null) {
        ints[object] = code;
      } else {
        throw new IllegalStateException("the column is built already");
      }
      return this;
    }

    /**
     * Sets {@code length} objects from {@code at} to {@code table[codes[from + j] & 0xFF]}: the
     * codes of a reader that numbered the labels its own way, translated in one pass.
     */
    public Builder translate(int at, byte[] codes, int from, int length, int[] table) {
      Objects.checkFromIndexSize(from, length, codes.length);
      Objects.checkFromIndexSize(at, length,
          bytes != null        ? bytes.length
              : shorts != null ? shorts.length
              : ints != null   ? ints.length
                               : 0);
      for (int c = 0; c < Math.min(table.length, 256); c++) {
        if (table[c] < 0 || table[c] > largest) {
          throw new IllegalArgumentException("code " + table[c] + " is not within 0 .. " + largest);
        }
      }
      if (bytes != null) {
        for (int j = 0; j < length; j++) {
          bytes[at + j] = (byte) table[codes[from + j] & 0xFF];
        }
      } else if (shorts != null) {
        for (int j = 0; j < length; j++) {
          shorts[at + j] = (short) table[codes[from + j] & 0xFF];
        }
      } else {
        for (int j = 0; j < length; j++) {
          ints[at + j] = table[codes[from + j] & 0xFF];
        }
      }
      return this;
    }

    /** As {@link #translate(int, byte[], int, int, int[])}, from codes of any size. */
    public Builder translate(int at, int[] codes, int from, int length, int[] table) {
      Objects.checkFromIndexSize(from, length, codes.length);
      for (int j = 0; j < length; j++) {
        set(at + j, table[codes[from + j]]);
      }
      return this;
    }

    /** The column; the builder is done with. */
    public CategoryCodes build() {
      if (bytes == null && shorts == null && ints == null) {
        throw new IllegalStateException("the column is built already");
      }
      CategoryCodes codes = new CategoryCodes(bytes, shorts, ints, largest);
      bytes = null;
      shorts = null;
      ints = null;
      return codes;
    }
  }
}
