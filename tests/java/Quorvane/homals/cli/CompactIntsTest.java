package Quorvane.homals.cli;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.SplittableRandom;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** Values added a run at a time are those added one by one, across blocks and widening. */
class CompactIntsTest {
  @ParameterizedTest(name = "{0} values below {1}, wide from {2}, runs of up to {3}")
  @CsvSource({"200000, 256, -1, 5000", "200000, 256, 70000, 5000", "150000, 300, -1, 7", "150000, 300, 0, 1",
      "140000, 7, 65536, 65536", "70000, 256, 65535, 100000"})
  void
  runsAddWhatOneByOneAdds(int n, int bound, int wideAt, int longestRun) {
    SplittableRandom random = new SplittableRandom(n + bound);
    int stride = 3;
    int[] values = new int[n * stride];
    for (int i = 0; i < n; i++) {
      values[i * stride + 1] = i == wideAt ? 1000 : random.nextInt(bound);
    }
    CompactInts one = new CompactInts();
    CompactInts runs = new CompactInts();
    int zeros = 0;
    int expectedZeros = 0;
    for (int i = 0; i < n;) {
      int run = Math.min(n - i, 1 + random.nextInt(longestRun));
      zeros += runs.addEvery(values, i * stride + 1, stride, run);
      for (int k = i; k < i + run; k++) {
        one.add(values[k * stride + 1]);
        expectedZeros += values[k * stride + 1] == 0 ? 1 : 0;
      }
      i += run;
    }
    assertEquals(n, runs.size());
    assertEquals(expectedZeros, zeros);
    int[] expected = new int[n];
    int[] actual = new int[n];
    one.copyInto(expected, 0, null);
    runs.copyInto(actual, 0, null);
    assertArrayEquals(expected, actual);
  }
}
