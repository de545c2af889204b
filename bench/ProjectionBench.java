import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsModel;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.Projection;
import Quorvane.homals.Solver;
import Quorvane.homals.Variable;
import java.lang.management.ManagementFactory;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;
import java.util.Random;
import java.util.function.Supplier;

/**
 * Scoring new rows with a saved model through the typed API: N rows of M = 20 variables of K = 6
 * categories (3 % missing), P = 3, against the analysis of the same rows and against one plain
 * pass over the same codes in Java (every code read once and summed), the least any scoring of
 * them must do. Times are medians of R repetitions after R warm-up calls, of the wall clock and
 * of the processor time of the whole process (every thread, the JVM's own included): on a machine
 * shared with other work the second is the steadier figure. The projection by label (new variables
 * matched by name and label, the codes renumbered) and by codes in the model's numbering, on one
 * thread and on T.
 *
 * <p>Arguments (all optional): N (default 1000000), R (default 7), T (default: the processors).
 *
 * <pre>
 * java -cp build/tallowmere.jar:build/bench/projection-bench.jar ProjectionBench
 * </pre>
 */
public final class ProjectionBench {
  private static final int M = 20;
  private static final int K = 6;
  private static final int P = 3;

  public static void main(String[] args) {
    int n = args.length > 0 ? Integer.parseInt(args[0]) : 1_000_000;
    int rounds = args.length > 1 ? Integer.parseInt(args[1]) : 7;
    int threads =
        args.length > 2 ? Integer.parseInt(args[2]) : Runtime.getRuntime().availableProcessors();
    int[][] codes = syntheticCodes(n);
    List<String> labels = new ArrayList<>();
    for (int c = 1; c <= K; c++) {
      labels.add("answer " + c);
    }
    List<Variable> variables = new ArrayList<>();
    for (int j = 0; j < M; j++) {
      variables.add(Variable.ofCodes("v" + j, codes[j], labels));
    }
    System.out.printf(
        Locale.ROOT, "N = %d, M = %d, K = %d, P = %d; medians of %d%n", n, M, K, P, rounds);
    System.out.printf(Locale.ROOT, "%-40s %9s %9s%n", "", "wall ms", "cpu ms");

    HomalsResult[] fitted = new HomalsResult[1];
    for (Solver solver : new Solver[] {Solver.DIRECT, Solver.CROSS_TABLE}) {
      HomalsAnalysis analysis = HomalsAnalysis.builder()
                                    .variables(variables)
                                    .dimensions(P)
                                    .solver(solver)
                                    .threads(1)
                                    .build();
      row("analysis, " + solver.key() + ", 1 thread", rounds, () -> fitted[0] = analysis.run());
    }
    HomalsModel model = HomalsModel.of(fitted[0]);

    long[] sink = new long[1];
    row("plain pass over the codes (Java)", rounds, () -> sink[0] += plainPass(codes));
    for (int t : threads == 1 ? new int[] {1} : new int[] {1, threads}) {
      String on = t == 1 ? ", 1 thread" : ", " + t + " threads";
      row("projection by codes" + on, rounds, () -> model.projectCodes(codes, t));
      row("projection by labels" + on, rounds, () -> model.project(variables, t));
    }

    Projection projection = model.projectCodes(codes);
    double error = 0;
    double largest = 0;
    for (int i = 0; i < n; i++) {
      for (int d = 0; d < P; d++) {
        if (fitted[0].takesPart(i)) {
          largest = Math.max(largest, Math.abs(fitted[0].objectScore(i, d)));
          error = Math.max(error, Math.abs(projection.score(i, d) - fitted[0].objectScore(i, d)));
        }
      }
    }
    System.out.printf(Locale.ROOT,
        "projection of the fitted rows: largest error %.2e of %.3f "
            + "(%s, %d iterations)%n",
        error, largest, fitted[0].solver().key(), fitted[0].iterations());
    if (sink[0] == 42) {
      System.out.println();
    }
  }

  /** Every code read once, as a scoring must at least. */
  private static long plainPass(int[][] codes) {
    long sum = 0;
    for (int[] column : codes) {
      for (int code : column) {
        sum += code;
      }
    }
    return sum;
  }

  private static final com.sun.management.OperatingSystemMXBean PROCESS =
      (com.sun.management.OperatingSystemMXBean) ManagementFactory.getOperatingSystemMXBean();

  /** One line: the medians of the wall clock and of the process's processor time, in ms. */
  private static void row(String name, int rounds, Supplier<Object> work) {
    for (int warm = 0; warm < rounds; warm++) {
      work.get();
    }
    double[] wall = new double[rounds];
    double[] cpu = new double[rounds];
    for (int r = 0; r < rounds; r++) {
      long cpuStart = PROCESS.getProcessCpuTime();
      long start = System.nanoTime();
      work.get();
      wall[r] = (System.nanoTime() - start) / 1e6;
      cpu[r] = (PROCESS.getProcessCpuTime() - cpuStart) / 1e6;
    }
    Arrays.sort(wall);
    Arrays.sort(cpu);
    System.out.printf(Locale.ROOT, "%-40s %9.1f %9.1f%n", name, wall[rounds / 2], cpu[rounds / 2]);
  }

  /** Survey-like codes: a latent trait links the variables; about 3 % are missing. */
  private static int[][] syntheticCodes(int n) {
    Random random = new Random(12345);
    int[][] codes = new int[M][n];
    for (int i = 0; i < n; i++) {
      double trait = random.nextGaussian();
      for (int j = 0; j < M; j++) {
        if (random.nextDouble() < 0.03) {
          continue;
        }
        double position = 0.5 * trait + random.nextGaussian();
        codes[j][i] = Math.max(1, Math.min(K, 1 + (int) ((position + 2.5) / 5.0 * K)));
      }
    }
    return codes;
  }
}
