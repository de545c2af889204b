import Quorvane.Tallowmere;
import java.util.Arrays;
import java.util.Random;

/**
 * Times whole runHomals calls from Java, the way a user waits for them, and separates a call's
 * fixed cost (argument checks, copies, setup, export) from its iterations: with both tolerances
 * at -1 only the iteration bound stops a run, so a call of two iterations costs one iteration
 * more than a call of one, and the fixed cost is the one-iteration call minus that iteration.
 *
 * <p>Arguments (all optional): N (default 1000000), the number of timed calls of each kind
 * (default 11). M = 20 variables of K = 6 categories with integer weights, P = 3. The report goes
 * to standard error, since the library's progress markers fill standard output:
 *
 * <pre>
 * java -Dtallowmere.library=build/libtallowmere.so \
 *     -cp build/tallowmere.jar:build/bench/fixed-cost-harness.jar FixedCostHarness \
 *     2>&amp;1 >/dev/null
 * </pre>
 */
public final class FixedCostHarness {
  private static final int M = 20;
  private static final int K = 6;
  private static final int P = 3;

  private final int objects;
  private final int[] data;
  private final int[] columns = new int[M];
  private final int[] categoryCounts = new int[M];
  private final int[] zeros = new int[M];
  private final double[][] categoryTable = new double[1 + M * K][P + 1];
  private final double[][] scoreTable;
  private final double[][] noScoreTable = new double[1][0];

  private FixedCostHarness(int objects) {
    this.objects = objects;
    // Survey-like codes: a latent trait links the variables, categories have unequal
    // frequencies and about 3% of the codes are missing; the weight is 1, 2 or 3.
    Random random = new Random(12345);
    int stride = M + 1;
    data = new int[Math.multiplyExact(objects, stride)];
    for (int i = 0; i < objects; i++) {
      double trait = random.nextGaussian();
      for (int j = 0; j < M; j++) {
        if (random.nextDouble() < 0.03) {
          continue;
        }
        double position = 0.5 * trait + random.nextGaussian();
        int code = 1 + (int) ((position + 2.5) / 5.0 * K);
        data[i * stride + j] = Math.max(1, Math.min(K, code));
      }
      data[i * stride + M] = 1 + random.nextInt(3);
    }
    for (int j = 0; j < M; j++) {
      columns[j] = j;
      categoryCounts[j] = K;
    }
    scoreTable = new double[objects + 1][P + 1];
  }

  /** Seconds of one call with the given iteration bound. */
  private double call(int maxIterations, boolean writeObjectScores) {
    long start = System.nanoTime();
    Tallowmere.runHomals(P, M + 1, objects, K, maxIterations, 0, M, 0, M, false, true,
        writeObjectScores, columns, new int[0], categoryCounts, new int[0], zeros, new int[0],
        zeros, new int[0], data, -1.0, -1.0, writeObjectScores ? scoreTable : noScoreTable,
        categoryTable);
    return (System.nanoTime() - start) * 1e-9;
  }

  private static double median(double[] values) {
    double[] sorted = values.clone();
    Arrays.sort(sorted);
    int n = sorted.length;
    return n % 2 == 1 ? sorted[n / 2] : 0.5 * (sorted[n / 2 - 1] + sorted[n / 2]);
  }

  private void report(boolean writeObjectScores, int calls) {
    call(1, writeObjectScores);
    call(2, writeObjectScores);
    double[] one = new double[calls];
    double[] two = new double[calls];
    double[] differences = new double[calls];
    // In pairs, so that a change of the machine's load affects both kinds alike: the median of
    // the pairs' differences is the iteration, the rest of a one-iteration call the fixed cost.
    for (int c = 0; c < calls; c++) {
      one[c] = call(1, writeObjectScores);
      two[c] = call(2, writeObjectScores);
      differences[c] = two[c] - one[c];
    }
    double iteration = median(differences);
    double fixed = median(one) - iteration;
    System.err.printf("%-22s call(1) %7.1f ms  call(2) %7.1f ms  iteration %5.1f ms"
            + "  fixed %6.1f ms = %4.1f iterations%n",
        writeObjectScores ? "with object scores" : "without object scores", median(one) * 1e3,
        median(two) * 1e3, iteration * 1e3, fixed * 1e3, fixed / iteration);
  }

  public static void main(String[] args) {
    int objects = args.length > 0 ? Integer.parseInt(args[0]) : 1_000_000;
    int calls = args.length > 1 ? Integer.parseInt(args[1]) : 11;
    FixedCostHarness harness = new FixedCostHarness(objects);
    System.err.printf("N = %d, M = %d, K = %d, P = %d, medians of %d calls of each kind%n", objects,
        M, K, P, calls);
    harness.report(false, calls);
    harness.report(true, calls);
  }
}
