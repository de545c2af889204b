package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import Quorvane.NativeLibrary;
import java.lang.reflect.Method;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import java.util.SplittableRandom;
import java.util.function.Consumer;
import java.util.stream.DoubleStream;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * The native text of objects.csv's numbers is byte for byte the Java writer's, and the native
 * method refuses what does not fit, naming the argument.
 */
class ScoreRowsNativeTest {
  private static Method javaShortest;

  @BeforeAll
  static void load() throws ReflectiveOperationException {
    NativeLibrary.load();
    javaShortest = Class.forName("Quorvane.homals.cli.ShortestDecimal")
                       .getDeclaredMethod("toString", double.class);
    javaShortest.setAccessible(true);
  }

  /** A cell as the command line's Java writer writes it (CsvOutput.numberOrEmpty). */
  static String javaCell(double v) throws ReflectiveOperationException {
    if (Double.isNaN(v)) {
      return "";
    }
    if (v == Math.rint(v) && Math.abs(v) < 1e15) {
      return Long.toString((long) v);
    }
    return (String) javaShortest.invoke(null, v);
  }

  /**
   * Random bit patterns (NaN, infinities and subnormals among them), scores as an analysis gives
   * them, every power of two and of ten, and the edges of the layouts and of the integer rule.
   */
  static double[] values() {
    SplittableRandom random = new SplittableRandom(11);
    return Stream
        .of(random.longs(200_000).mapToDouble(Double::longBitsToDouble),
            random.doubles(100_000).map(u -> (u - 0.5) * Math.pow(10, random.nextInt(-4, 4))),
            random.ints(1000, -2000, 2000).mapToDouble(k -> k / 8.0),
            IntStream.rangeClosed(-1074, 1023).mapToDouble(e -> Math.scalb(1.0, e)),
            IntStream.rangeClosed(-323, 308).mapToDouble(e -> Double.parseDouble("1e" + e)),
            DoubleStream.of(0.0, -0.0, 1e-3, Math.nextDown(1e-3), 1e7, Math.nextDown(1e7), 1e15,
                Math.nextDown(1e15), -1e15, Math.nextUp(-1e15), 999_999_999_999_999.0,
                Double.MAX_VALUE, Double.MIN_VALUE, Double.MIN_NORMAL,
                Math.nextDown(Double.MIN_NORMAL), Double.NaN, Double.POSITIVE_INFINITY,
                Double.NEGATIVE_INFINITY, 2.82879384806159E17, 1.0E23, 4.35E-7))
        .flatMapToDouble(s -> s)
        .toArray();
  }

  @ParameterizedTest
  @MethodSource("shapes")
  void textIsTheJavaWritersByteForByte(int dimensions, boolean weighted, int first)
      throws ReflectiveOperationException {
    double[] values = values();
    int n = values.length / (dimensions + 1);
    double[] scores = Arrays.copyOf(values, n * dimensions);
    double[] weights =
        weighted ? Arrays.copyOfRange(values, n * dimensions, n * (dimensions + 1)) : null;
    int rows = n - first;
    for (boolean numbered : new boolean[] {false, true}) {
      byte[] text = new byte[rows
          * ((dimensions + 1) * (HomalsNative.MAX_NUMBER_TEXT + 1)
              + (numbered ? HomalsNative.NUMBERED_ROW_EXTRA : 0))];
      int[] rowEnds = new int[rows];
      int length =
          HomalsNative.scoreRows(scores, n, dimensions, weights, first, n, text, rowEnds, numbered);

      // Numbered, a row is the command line's: the object's number, the cells, a line break.
      StringBuilder expected = new StringBuilder();
      int[] expectedEnds = new int[rows];
      for (int i = first; i < n; i++) {
        expected.append(numbered ? (i + 1) + "," : "");
        expected.append(weights == null ? "1" : javaCell(weights[i]));
        for (int d = 0; d < dimensions; d++) {
          expected.append(',').append(javaCell(scores[d * n + i]));
        }
        expected.append(numbered ? "\n" : "");
        expectedEnds[i - first] = expected.length();
      }
      assertEquals(expected.toString(), new String(text, 0, length, StandardCharsets.US_ASCII));
      assertArrayEquals(expectedEnds, rowEnds);
    }
  }

  static Stream<Arguments> shapes() {
    return Stream.of(Arguments.of(1, true, 0), Arguments.of(3, false, 5), Arguments.of(0, true, 17),
        Arguments.of(4, true, 100));
  }

  /** Three objects on two dimensions, all three rows asked for. */
  static final class Call {
    double[] scores = {1, 2, 3, 0.5, 0.25, Double.NaN};
    int objectCount = 3;
    int dimensions = 2;
    double[] weights = {1, 2.5, 0};
    int first = 0;
    int last = 3;
    byte[] text = new byte[3 * 3 * 27];
    int[] rowEnds = new int[3];
    boolean numbered = false;

    int run() {
      return HomalsNative.scoreRows(
          scores, objectCount, dimensions, weights, first, last, text, rowEnds, numbered);
    }
  }

  @Test
  void theCallThatTheRefusalsChangeIsAccepted() {
    Call call = new Call();
    int length = call.run();
    assertEquals("1,1,0.5\n2.5,2,0.25\n0,3,",
        String.join("\n",
            rowsOf(new String(call.text, 0, length, StandardCharsets.US_ASCII), call.rowEnds)));
    Call numbered = new Call();
    numbered.numbered = true;
    numbered.first = 1;
    numbered.text = new byte[2 * (3 * 27 + 12)];
    length = numbered.run();
    assertEquals(
        "2,2.5,2,0.25\n3,0,3,\n", new String(numbered.text, 0, length, StandardCharsets.US_ASCII));
    assertEquals(length, numbered.rowEnds[1]);
  }

  private static String[] rowsOf(String text, int[] ends) {
    String[] rows = new String[ends.length];
    for (int k = 0, start = 0; k < ends.length; start = ends[k++]) {
      rows[k] = text.substring(start, ends[k]);
    }
    return rows;
  }

  static Arguments refused(
      String name, Class<? extends Throwable> type, String message, Consumer<Call> change) {
    return Arguments.of(name, type, message, change);
  }

  static Stream<Arguments> malformed() {
    Class<IllegalArgumentException> illegal = IllegalArgumentException.class;
    Class<NullPointerException> nul = NullPointerException.class;
    return Stream.of(refused("null scores", nul, "scores is null", c -> c.scores = null),
        refused(
            "scores length", illegal, "scores has length 5, not 6", c -> c.scores = new double[5]),
        refused("negative dimensions", illegal,
            "objectCount 3 and dimensions -1 must not be negative", c -> c.dimensions = -1),
        refused("weights length", illegal, "weights has length 2, not 3",
            c -> c.weights = new double[2]),
        refused("first after last", illegal, "rows 2 to 1 are not within 0 to 3",
            c -> {
              c.first = 2;
              c.last = 1;
            }),
        refused(
            "last past the objects", illegal, "rows 0 to 4 are not within 0 to 3", c -> c.last = 4),
        refused("negative first", illegal, "rows -1 to 3 are not within 0 to 3", c -> c.first = -1),
        refused("null text", nul, "text is null", c -> c.text = null),
        refused("small text", illegal, "text has room for 242 bytes; 3 rows need up to 243",
            c -> c.text = new byte[242]),
        refused("small text for numbered rows", illegal,
            "text has room for 243 bytes; 3 rows need up to 279", c -> c.numbered = true),
        refused("null ends", nul, "rowEnds is null", c -> c.rowEnds = null),
        refused("few ends", illegal, "rowEnds has room for 2 rows, not 3",
            c -> c.rowEnds = new int[2]));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("malformed")
  void refusesWhatDoesNotFitAndRunsAfterwards(
      String name, Class<? extends Throwable> type, String message, Consumer<Call> change) {
    Call call = new Call();
    change.accept(call);
    assertEquals(message, assertThrows(type, call::run).getMessage());
    assertEquals(21, new Call().run());
  }
}
