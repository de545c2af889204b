package Quorvane.homals.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.math.BigDecimal;
import java.math.MathContext;
import java.math.RoundingMode;
import java.util.SplittableRandom;
import java.util.stream.DoubleStream;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** The number texts of the tables: shortest, read back exactly, laid out as Java lays them. */
class ShortestDecimalTest {
  /**
   * The decimal of fewest significant digits that reads back as v, the nearest to v of those
   * (the even one of two at equal distance): a search over every digit count.
   */
  static BigDecimal shortest(double v) {
    BigDecimal exact = new BigDecimal(v);
    for (int digits = 1;; digits++) {
      BigDecimal down = exact.round(new MathContext(digits, RoundingMode.FLOOR));
      BigDecimal up = exact.round(new MathContext(digits, RoundingMode.CEILING));
      boolean downReads = Double.parseDouble(down.toString()) == v;
      boolean upReads = Double.parseDouble(up.toString()) == v;
      if (downReads && upReads) {
        int nearer = exact.subtract(down).compareTo(up.subtract(exact));
        return nearer < 0 || nearer == 0 && !down.unscaledValue().testBit(0) ? down : up;
      }
      if (downReads || upReads) {
        return downReads ? down : up;
      }
    }
  }

  /** Random bit patterns, scores as an analysis gives them, every power of two and of ten. */
  static DoubleStream doubles() {
    SplittableRandom random = new SplittableRandom(7);
    return Stream
        .of(random.longs(20000).mapToDouble(Double::longBitsToDouble),
            random.doubles(20000).map(u -> (u - 0.5) * Math.pow(10, random.nextInt(-4, 4))),
            IntStream.rangeClosed(-1074, 1023).mapToDouble(e -> Math.scalb(1.0, e)),
            IntStream.rangeClosed(-323, 308).mapToDouble(e -> Double.parseDouble("1e" + e)),
            DoubleStream.of(Double.MAX_VALUE, Double.MIN_NORMAL, Math.nextDown(Double.MIN_NORMAL),
                2.82879384806159E17, 1.0E23, 4.35E-7))
        .flatMapToDouble(s -> s)
        .filter(Double::isFinite);
  }

  @Test
  void everyTextIsTheShortestThatReadsBack() {
    doubles().filter(v -> v != 0).forEach(v -> {
      String text = ShortestDecimal.toString(v);
      assertEquals(v, Double.parseDouble(text), text);
      assertEquals(
          0, shortest(Math.abs(v)).compareTo(new BigDecimal(text).abs()), () -> text + " for " + v);
    });
  }

  @ParameterizedTest
  @CsvSource({"267, 267.0", "-0.0, -0.0", "1e7, 1.0E7", "9999999.5, 9999999.5", "0.001, 0.001",
      "0.00099, 9.9E-4", "123.45, 123.45", "-1.5e-300, -1.5E-300", "4.9e-324, 5.0E-324",
      "2.82879384806159E17, 2.82879384806159E17", "1e21, 1.0E21", "NaN, NaN",
      "-Infinity, -Infinity"})
  void
  layoutIsThatOfDoubleToString(double value, String text) {
    assertEquals(text, ShortestDecimal.toString(value));
  }
}
