import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.Solver;
import Quorvane.homals.Variable;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.Random;

/**
 * Throughput of typed analyses run side by side: the same analysis (N objects, M = 20 variables
 * of K = 6 categories, P = 3, one thread each) run R times on one Java thread, then R times on
 * each of T Java threads at once, for every solver. With no lock in the library, T threads on T
 * processors get through T times as many analyses in the same time; every result is checked
 * against the first, bit for bit.
 *
 * <p>Arguments (all optional): N (default 100000), R (default 40), T (default 2).
 *
 * <pre>
 * java -cp build/tallowmere.jar:build/bench/concurrent-analyses-bench.jar ConcurrentAnalysesBench
 * </pre>
 */
public final class ConcurrentAnalysesBench {
  private static final int M = 20;
  private static final int K = 6;

  public static void main(String[] args) throws Exception {
    int n = args.length > 0 ? Integer.parseInt(args[0]) : 100_000;
    int rounds = args.length > 1 ? Integer.parseInt(args[1]) : 40;
    int threads = args.length > 2 ? Integer.parseInt(args[2]) : 2;
    List<Variable> variables = syntheticVariables(n);
    System.out.printf(Locale.ROOT, "N = %d, M = %d, K = %d, P = 3, %d analyses a thread%n", n, M,
        K, rounds);
    for (Solver solver : new Solver[] {Solver.DIRECT, Solver.CROSS_TABLE, Solver.OBJECTS}) {
      HomalsAnalysis analysis = HomalsAnalysis.builder()
                                    .variables(variables)
                                    .dimensions(3)
                                    .solver(solver)
                                    .threads(1)
                                    .build();
      HomalsResult reference = analysis.run();
      for (int warm = 0; warm < 3; warm++) {
        analysis.run();
      }
      double alone = analysesPerSecond(analysis, reference, 1, rounds);
      double together = analysesPerSecond(analysis, reference, threads, rounds);
      System.out.printf(Locale.ROOT,
          "%-12s %5d iterations  1 thread: %7.2f analyses/s  %d threads: %7.2f analyses/s  x%.2f%n",
          solver.key(), reference.iterations(), alone, threads, together, together / alone);
    }
  }

  private static double analysesPerSecond(
      HomalsAnalysis analysis, HomalsResult reference, int threads, int rounds) throws Exception {
    List<Thread> running = new ArrayList<>();
    Throwable[] failure = new Throwable[1];
    long start = System.nanoTime();
    for (int t = 0; t < threads; t++) {
      Thread thread = new Thread(() -> {
        try {
          for (int r = 0; r < rounds; r++) {
            check(analysis.run(), reference);
          }
        } catch (Throwable e) {
          failure[0] = e;
        }
      });
      thread.start();
      running.add(thread);
    }
    for (Thread thread : running) {
      thread.join();
    }
    if (failure[0] != null) {
      throw new AssertionError(failure[0]);
    }
    return threads * rounds / ((System.nanoTime() - start) * 1e-9);
  }

  private static void check(HomalsResult result, HomalsResult reference) {
    for (int d = 0; d < reference.dimensions(); d++) {
      double[] a = result.dimensionScores(d);
      double[] b = reference.dimensionScores(d);
      for (int i = 0; i < a.length; i++) {
        if (Double.doubleToRawLongBits(a[i]) != Double.doubleToRawLongBits(b[i])) {
          throw new AssertionError("object " + i + " dimension " + d + " differs");
        }
      }
    }
  }

  /** Survey-like codes: a latent trait links the variables; about 3 % are missing. */
  private static List<Variable> syntheticVariables(int n) {
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
    List<Variable> variables = new ArrayList<>();
    for (int j = 0; j < M; j++) {
      variables.add(Variable.ofCodes("v" + j, codes[j]));
    }
    return variables;
  }
}
