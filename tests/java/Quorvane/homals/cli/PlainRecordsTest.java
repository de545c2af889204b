package Quorvane.homals.cli;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import Quorvane.NativeLibrary;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import java.util.function.Consumer;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * The library's reading of plain records stops where the reader must read on itself, and checks
 * every argument, naming it, as a caller that skips the reader would find.
 */
class PlainRecordsTest {
  @BeforeAll
  static void load() {
    NativeLibrary.load();
  }

  /**
   * Two columns, the first kept, of labels a (code 1) and "bb" (code 2): a table of four slots
   * with "bb" in the slot its hash names.
   */
  static final class Call {
    byte[] buffer;
    int at = 0;
    int filled;
    int startLimit;
    int[] columnTable = {0, -1};
    int[] oneByte = new int[256];
    int[] slots = new int[4];
    int[] keyStart = {0};
    int[] keyLength = {2};
    int[] keyCode = {2};
    byte[] keys = {'b', 'b'};
    int capacity = 8;
    int[] codes = new int[8];
    int[] result = new int[2];

    Call(String text) {
      buffer = text.getBytes(StandardCharsets.UTF_8);
      filled = buffer.length;
      startLimit = buffer.length;
      Arrays.fill(oneByte, -1);
      oneByte['a'] = 1;
      int hash = 31 * 'b' + 'b';
      hash ^= hash >>> 16;
      slots[hash & 3] = 1;
    }

    void run() {
      PlainRecords.read(buffer, at, filled, startLimit, (byte) ',', false, columnTable,
          new Object[] {oneByte, slots, keyStart, keyLength, keyCode, keys}, capacity, codes,
          result);
    }
  }

  /** The records read and where the first one left begins, for a text; the codes read. */
  static Stream<Arguments> runs() {
    return Stream.of(Arguments.of("a,x\n bb ,y\na,z\n", 3, 15, new int[] {1, 2, 1}),
        Arguments.of("a,x\nc,y\n", 1, 4, new int[] {1}), // c is new: the reader's
        Arguments.of("a,x\n\"a\",y\n", 1, 4, new int[] {1}), // a quote
        Arguments.of("a,x\na\nbb,y\n", 1, 4, new int[] {1}), // a short line
        Arguments.of("a,x\na,y,z\n", 1, 4, new int[] {1}), // a long one
        Arguments.of("a,x\n\n", 1, 4, new int[] {1}), // a blank line
        Arguments.of("a,x\na,y", 1, 4, new int[] {1}), // no line break at the end
        Arguments.of(",x\n", 1, 3, new int[] {0}), // an empty cell
        Arguments.of("", 0, 0, new int[] {})); // nothing
  }

  @ParameterizedTest
  @MethodSource("runs")
  void readsUpToTheFirstRecordTheReaderMustRead(
      String text, int records, int end, int[] expected) {
    Call call = new Call(text);
    call.run();
    assertEquals(records, call.result[1]);
    assertEquals(end, call.result[0]);
    assertArrayEquals(expected, Arrays.copyOf(call.codes, records));
  }

  @Test
  void stopsAtTheCapacityAndAtTheStartLimit() {
    Call full = new Call("a,x\na,x\na,x\n");
    full.capacity = 2;
    full.run();
    assertArrayEquals(new int[] {8, 2}, full.result);
    Call limited = new Call("a,x\na,x\na,x\n");
    limited.startLimit = 5;
    limited.run();
    assertArrayEquals(new int[] {8, 2}, limited.result);
  }

  static Arguments refused(
      String name, Class<? extends Throwable> type, String message, Consumer<Call> change) {
    return Arguments.of(name, type, message, change);
  }

  static Stream<Arguments> malformed() {
    Class<IllegalArgumentException> illegal = IllegalArgumentException.class;
    Class<NullPointerException> nul = NullPointerException.class;
    return Stream.of(refused("null buffer", nul, "buffer is null", c -> c.buffer = null),
        refused("filled past the buffer", illegal,
            "at 0, filled 5 and startLimit 4 do not fit a buffer of 4", c -> c.filled = 5),
        refused("negative at", illegal,
            "at -1, filled 4 and startLimit 4 do not fit a buffer of 4", c -> c.at = -1),
        refused("no columns", illegal, "columnTable needs a column and tables six arrays a table",
            c -> c.columnTable = new int[0]),
        refused("table out of range", illegal, "columnTable names table 1 of 1",
            c -> c.columnTable = new int[] {1, -1}),
        refused("small codes", illegal, "codes has no room for 8 records",
            c -> c.codes = new int[7]),
        refused("short one-byte codes", illegal,
            "table 0 needs 256 one-byte codes and a power of two of slots",
            c -> c.oneByte = new int[255]),
        refused("slots not a power of two", illegal,
            "table 0 needs 256 one-byte codes and a power of two of slots",
            c -> c.slots = new int[3]),
        refused("slot past the entries", illegal,
            "table 0 does not hold together: a slot names no entry, an entry's bytes lie "
                + "outside its keys, or no slot is free",
            c -> c.slots = new int[] {0, 0, 0, 2}),
        refused("key past the bytes", illegal,
            "table 0 does not hold together: a slot names no entry, an entry's bytes lie "
                + "outside its keys, or no slot is free",
            c -> c.keyLength = new int[] {3}),
        refused("no free slot", illegal,
            "table 0 does not hold together: a slot names no entry, an entry's bytes lie "
                + "outside its keys, or no slot is free",
            c -> c.slots = new int[] {1, 1, 1, 1}),
        refused("null result", nul, "result is null", c -> c.result = null));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("malformed")
  void refusesWhatDoesNotFitAndRunsAfterwards(
      String name, Class<? extends Throwable> type, String message, Consumer<Call> change) {
    Call call = new Call("a,x\n");
    change.accept(call);
    assertEquals(message, assertThrows(type, call::run).getMessage());
    Call good = new Call("a,x\n");
    good.run();
    assertArrayEquals(new int[] {4, 1}, good.result);
  }
}
