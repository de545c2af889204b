package Quorvane.homals.cli;

import Quorvane.homals.CategoryCodes;
import java.util.Arrays;

/**
 * A growing sequence of ints in blocks, a byte each while every value is in 0..255: no block is
 * ever copied to grow, and a column of a few labels takes a byte per object.
 */
final class CompactInts {
  private static final int BLOCK_BITS = 16;
  private static final int BLOCK = 1 << BLOCK_BITS;

  private byte[][] narrow = new byte[16][];
  private int[][] wide;
  private int size;
  /** The narrow block being filled and its room left: the usual case takes one test. */
  private byte[] last;
  private int room;

  void add(int value) {
    if (room > 0 && (value & ~0xFF) == 0) {
      last[BLOCK - room--] = (byte) value;
      size++;
      return;
    }
    addSlowly(value);
  }

  /**
   * Adds {@code count} values of {@code values}, from {@code first} on, {@code stride} apart, as
   * {@link #add} would one by one; returns how many of them are 0.
   */
  int addEvery(int[] values, int first, int stride, int count) {
    int zeros = 0;
    int at = first;
    for (int done = 0; done < count;) {
      // A run into the block being filled, in locals, while the values fit a byte.
      int run = Math.min(room, count - done);
      int start = BLOCK - room;
      int i = 0;
      for (; i < run; i++, at += stride) {
        int value = values[at];
        if ((value & ~0xFF) != 0) {
          break;
        }
        last[start + i] = (byte) value;
        zeros += value == 0 ? 1 : 0;
      }
      room -= i;
      size += i;
      done += i;
      // Left: a value past a byte, or the first of a new block.
      if (done < count) {
        int value = values[at];
        addSlowly(value);
        zeros += value == 0 ? 1 : 0;
        at += stride;
        done++;
      }
    }
    return zeros;
  }

  private void addSlowly(int value) {
    int block = size >>> BLOCK_BITS;
    int at = size & (BLOCK - 1);
    if (wide == null) {
      if ((value & ~0xFF) == 0) {
        if (at == 0) {
          if (block == narrow.length) {
            narrow = Arrays.copyOf(narrow, 2 * block);
          }
          narrow[block] = new byte[BLOCK];
          last = narrow[block];
          room = BLOCK;
        }
        narrow[block][at] = (byte) value;
        room--;
        size++;
        return;
      }
      last = null;
      room = 0;
      widen();
    }
    if (at == 0) {
      if (block == wide.length) {
        wide = Arrays.copyOf(wide, 2 * block);
      }
      wide[block] = new int[BLOCK];
    }
    wide[block][at] = value;
    size++;
  }

  private void widen() {
    wide = new int[narrow.length][];
    for (int b = 0; b < narrow.length && narrow[b] != null; b++) {
      wide[b] = new int[BLOCK];
      for (int i = 0; i < BLOCK; i++) {
        wide[b][i] = narrow[b][i] & 0xFF;
      }
      narrow[b] = null;
    }
    narrow = null;
  }

  int size() { return size; }

  /**
   * Sets the values, each replaced by {@code table[value]}, into {@code into} from {@code at};
   * returns the position after them. Each block is let go once copied: the values are read
   * once.
   */
  int translateInto(CategoryCodes.Builder into, int at, int[] table) {
    for (int start = 0; start < size; start += BLOCK) {
      int length = Math.min(BLOCK, size - start);
      int block = start >>> BLOCK_BITS;
      if (wide != null) {
        into.translate(at, wide[block], 0, length, table);
        wide[block] = null;
      } else {
        into.translate(at, narrow[block], 0, length, table);
        narrow[block] = null;
      }
      at += length;
    }
    return at;
  }

  /**
   * Copies the values into {@code into} from {@code at}, each replaced by {@code
   * renumber[value]} unless that is {@code null}; returns the position after them.
   */
  int copyInto(int[] into, int at, int[] renumber) {
    for (int start = 0; start < size; start += BLOCK) {
      int length = Math.min(BLOCK, size - start);
      int block = start >>> BLOCK_BITS;
      if (wide != null && renumber == null) {
        System.arraycopy(wide[block], 0, into, at, length);
      } else if (wide != null) {
        int[] values = wide[block];
        for (int i = 0; i < length; i++) {
          into[at + i] = renumber[values[i]];
        }
      } else if (renumber == null) {
        byte[] values = narrow[block];
        for (int i = 0; i < length; i++) {
          into[at + i] = values[i] & 0xFF;
        }
      } else {
        byte[] values = narrow[block];
        for (int i = 0; i < length; i++) {
          into[at + i] = renumber[values[i] & 0xFF];
        }
      }
      at += length;
    }
    return at;
  }
}
