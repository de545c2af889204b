package Quorvane.homals.cli;

import java.math.BigInteger;

/**
 * The shortest decimal text that {@link Double#parseDouble} reads back as the same double, laid
 * out as {@link Double#toString(double)} lays out its text: plain from 10^-3 up to 10^7
 * ({@code 0.0123}, {@code 267.0}), otherwise one digit before the point and an exponent
 * ({@code 1.5E-4}, {@code 2.0E9}). Java 17's {@code Double.toString} sometimes prints more
 * digits than needed, and is slow; a million objects' scores are a few million numbers.
 *
 * <p>The digits follow R. Giulietti's Schubfach method. A double is v = c 2^q, and every real
 * number in its rounding interval (the half-way points to its neighbours, included when c is
 * even) reads back as v. With k the largest integer such that 10^k is at most the interval's
 * length, the interval holds at most one multiple of 10^(k+1) and at least one of 10^k: the
 * first, when present, is the shortest; otherwise the multiple of 10^k nearest to v (the even
 * one of two at equal distance). Locating them needs v 10^-k to within its integer part and
 * whether it has a fraction, which a 126-bit approximation of 10^-k gives exactly for every
 * double.
 */
final class ShortestDecimal {
  private static final int SIGNIFICAND_BITS = 52;
  private static final long HIDDEN_BIT = 1L << SIGNIFICAND_BITS;
  private static final int EXPONENT_BIAS = 1075;
  private static final int MIN_EXPONENT = -1074;
  private static final long MASK_63 = (1L << 63) - 1;

  /** The smallest and largest k met over all doubles, and the tables of 10^-k per k. */
  private static final int MIN_K = floorLog10ThreeQuartersPow2(MIN_EXPONENT);
  private static final int MAX_K = floorLog10Pow2(2046 - EXPONENT_BIAS);
  private static final long[] POW10_HIGH = new long[MAX_K - MIN_K + 1];
  private static final long[] POW10_LOW = new long[MAX_K - MIN_K + 1];

  static {
    // g = floor(10^-k 2^-r) + 1 with r chosen so that 2^125 <= g < 2^126: an upper bound, the
    // direction in which the error of the products below stays on the safe side.
    for (int k = MIN_K; k <= MAX_K; k++) {
      int r = floorLog2Pow10(-k) - 125;
      BigInteger g;
      if (k <= 0) {
        BigInteger power = BigInteger.TEN.pow(-k);
        g = r >= 0 ? power.shiftRight(r) : power.shiftLeft(-r);
      } else {
        g = BigInteger.ONE.shiftLeft(-r).divide(BigInteger.TEN.pow(k));
      }
      g = g.add(BigInteger.ONE);
      POW10_HIGH[k - MIN_K] = g.shiftRight(63).longValueExact();
      POW10_LOW[k - MIN_K] = g.longValue() & MASK_63;
    }
  }

  private ShortestDecimal() {}

  /** floor(e log10 2), for |e| up to a few thousand. */
  static int floorLog10Pow2(int e) { return (int) (e * 661_971_961_083L >> 41); }

  /** floor(log10(3/4 2^e)), for |e| up to a few thousand. */
  static int floorLog10ThreeQuartersPow2(int e) {
    return (int) (e * 661_971_961_083L - 274_743_187_321L >> 41);
  }

  /** floor(e log2 10), for |e| up to a few hundred. */
  static int floorLog2Pow10(int e) { return (int) (e * 913_124_641_741L >> 38); }

  /** The text of a double; {@code NaN} and the infinities as Java writes them. */
  static String toString(double v) {
    byte[] buffer = new byte[MAX_LENGTH];
    return new String(buffer, 0, write(v, buffer, 0), java.nio.charset.StandardCharsets.US_ASCII);
  }

  /** The longest text written: sign, 17 digits, point, "E-324". */
  static final int MAX_LENGTH = 26;

  /** Writes the text of a double as ASCII at {@code at}; returns the position after it. */
  static int write(double v, byte[] out, int at) {
    long bits = Double.doubleToRawLongBits(v);
    if (Double.isNaN(v)) {
      return ascii("NaN", out, at);
    }
    if (bits < 0) {
      out[at++] = '-';
    }
    if (Double.isInfinite(v)) {
      return ascii("Infinity", out, at);
    }
    long fraction = bits & (HIDDEN_BIT - 1);
    int biased = (int) (bits >>> SIGNIFICAND_BITS) & 0x7FF;
    if (biased == 0 && fraction == 0) {
      return ascii("0.0", out, at);
    }
    long c = biased == 0 ? fraction : fraction | HIDDEN_BIT;
    int q = biased == 0 ? MIN_EXPONENT : biased - EXPONENT_BIAS;
    // Units of 2^(q-2): the value, and the ends of its rounding interval; the lower neighbour
    // of a power of two is only half as far, unless the spacing below is the same (subnormals).
    boolean closerBelow = c == HIDDEN_BIT && biased > 1;
    long cb = c << 2;
    long cbl = closerBelow ? cb - 1 : cb - 2;
    long cbr = cb + 2;
    int out1 = (int) (c & 1);
    int k = closerBelow ? floorLog10ThreeQuartersPow2(q) : floorLog10Pow2(q);
    int h = q + floorLog2Pow10(-k) + 2;
    long gHigh = POW10_HIGH[k - MIN_K];
    long gLow = POW10_LOW[k - MIN_K];
    long vb = roundToOdd(gHigh, gLow, cb << h);
    long vbl = roundToOdd(gHigh, gLow, cbl << h) + out1;
    long vbr = roundToOdd(gHigh, gLow, cbr << h) - out1;

    long s = vb >> 2;
    long digits;
    int exponent;
    long sp10 = s / 10 * 10;
    long tp10 = sp10 + 10;
    boolean shortLow = vbl <= sp10 << 2;
    boolean shortHigh = tp10 << 2 <= vbr;
    if (shortLow != shortHigh) {
      digits = (shortLow ? sp10 : tp10) / 10;
      exponent = k + 1;
    } else {
      long t = s + 1;
      boolean low = vbl <= s << 2;
      boolean high = t << 2 <= vbr;
      if (low != high) {
        digits = low ? s : t;
      } else {
        long fromMiddle = vb - (s + t << 1);
        digits = fromMiddle < 0 || fromMiddle == 0 && (s & 1) == 0 ? s : t;
      }
      exponent = k;
    }
    while (digits % 10 == 0) {
      digits /= 10;
      exponent++;
    }
    return layout(digits, exponent, out, at);
  }

  /**
   * floor(g x / 2^127), with its lowest bit set when the quotient has a fraction: comparisons
   * with even integers then give the same answer as for the exact real quotient.
   */
  private static long roundToOdd(long gHigh, long gLow, long x) {
    long lowProductHigh = Math.multiplyHigh(gLow, x);
    long highProductLow = gHigh * x;
    long highProductHigh = Math.multiplyHigh(gHigh, x);
    long middle = (highProductLow >>> 1) + lowProductHigh;
    long quotient = highProductHigh + (middle >>> 63);
    return quotient | ((middle & MASK_63) + MASK_63) >>> 63;
  }

  /** digits 10^exponent, with digits free of trailing zeros, in Double.toString's layout. */
  private static int layout(long digits, int exponent, byte[] out, int at) {
    int length = decimalLength(digits);
    int scientific = exponent + length - 1;
    int start = at;
    if (scientific >= -3 && scientific < 7) {
      if (scientific < 0) {
        out[at++] = '0';
        out[at++] = '.';
        for (int i = -1; i > scientific; i--) {
          out[at++] = '0';
        }
        return writeDigits(digits, length, out, at);
      }
      int integerDigits = scientific + 1;
      if (length <= integerDigits) {
        at = writeDigits(digits, length, out, at);
        for (int i = length; i < integerDigits; i++) {
          out[at++] = '0';
        }
        out[at++] = '.';
        out[at++] = '0';
        return at;
      }
      at = writeDigits(digits, length, out, at + 1);
      System.arraycopy(out, start + 1, out, start, integerDigits);
      out[start + integerDigits] = '.';
      return at;
    }
    at = writeDigits(digits, length, out, at + 1);
    out[start] = out[start + 1];
    out[start + 1] = '.';
    if (length == 1) {
      out[at++] = '0';
    }
    out[at++] = 'E';
    if (scientific < 0) {
      out[at++] = '-';
      scientific = -scientific;
    }
    if (scientific >= 100) {
      out[at++] = (byte) ('0' + scientific / 100);
    }
    if (scientific >= 10) {
      out[at++] = (byte) ('0' + scientific / 10 % 10);
    }
    out[at++] = (byte) ('0' + scientific % 10);
    return at;
  }

  /** Writes a whole number as ASCII at {@code at}; returns the position after it. */
  static int writeInteger(long value, byte[] out, int at) {
    if (value < 0) {
      out[at++] = '-';
      if (value == Long.MIN_VALUE) {
        // Its magnitude is no long: all but the last digit, then the last.
        at = writeInteger(-(value / 10), out, at);
        out[at++] = (byte) ('0' - value % 10);
        return at;
      }
      value = -value;
    }
    return writeDigits(value, value == 0 ? 1 : decimalLength(value), out, at);
  }

  /**
   * Writes the digits from the right, two at a time from a table, in int arithmetic below 10^8:
   * a double's 17 digits take a few multiplications instead of a division each.
   */
  private static int writeDigits(long digits, int length, byte[] out, int at) {
    int i = at + length;
    while (digits >= 100_000_000L) {
      long upper = digits / 100_000_000L;
      i = writeEight((int) (digits - upper * 100_000_000L), out, i);
      digits = upper;
    }
    int rest = (int) digits;
    while (rest >= 100) {
      int upper = rest / 100;
      int pair = (rest - upper * 100) << 1;
      out[--i] = DIGIT_PAIRS[pair + 1];
      out[--i] = DIGIT_PAIRS[pair];
      rest = upper;
    }
    if (rest >= 10) {
      out[--i] = DIGIT_PAIRS[(rest << 1) + 1];
      out[--i] = DIGIT_PAIRS[rest << 1];
    } else {
      out[--i] = (byte) ('0' + rest);
    }
    return at + length;
  }

  /** Eight digits, leading zeros included, ending before {@code end}; returns where they begin. */
  private static int writeEight(int value, byte[] out, int end) {
    int i = end;
    for (int k = 0; k < 4; k++) {
      int upper = value / 100;
      int pair = (value - upper * 100) << 1;
      out[--i] = DIGIT_PAIRS[pair + 1];
      out[--i] = DIGIT_PAIRS[pair];
      value = upper;
    }
    return i;
  }

  /** "00", "01", ..., "99" as ASCII, two bytes each. */
  private static final byte[] DIGIT_PAIRS = new byte[200];

  static {
    for (int n = 0; n < 100; n++) {
      DIGIT_PAIRS[2 * n] = (byte) ('0' + n / 10);
      DIGIT_PAIRS[2 * n + 1] = (byte) ('0' + n % 10);
    }
  }

  /** 10^0 .. 10^18. */
  private static final long[] POWERS_OF_TEN = new long[19];

  static {
    POWERS_OF_TEN[0] = 1;
    for (int n = 1; n < POWERS_OF_TEN.length; n++) {
      POWERS_OF_TEN[n] = 10 * POWERS_OF_TEN[n - 1];
    }
  }

  /** The digits of a positive long. */
  private static int decimalLength(long digits) {
    // A number of b bits has floor(b log10 2) digits or one more (1233 / 4096 is log10 2 within
    // what b up to 63 needs); one comparison tells which.
    int guess = (64 - Long.numberOfLeadingZeros(digits)) * 1233 >>> 12;
    return digits >= POWERS_OF_TEN[guess] ? guess + 1 : guess;
  }

  private static int ascii(String text, byte[] out, int at) {
    for (int i = 0; i < text.length(); i++) {
      out[at++] = (byte) text.charAt(i);
    }
    return at;
  }
}
