import Quorvane.Tallowmere;
import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;
import java.util.SplittableRandom;
import java.util.stream.Stream;

/**
 * The command line at scale: generates a labelled CSV file of N objects and M columns of K
 * labels (2% empty cells, a fixed seed), runs {@code java -jar tallowmere.jar analyse} on it in
 * a child JVM with a chosen heap, and reports the time of every phase from the command's own
 * progress lines, the wall time, the peak resident memory and the size of every output; and
 * times the bare native call on the same codes with the same settings, which converges in the
 * same iterations, as the yardstick for the rest.
 *
 * <pre>
 * java -cp build/bench/command-line-bench.jar:build/tallowmere.jar CommandLineBench \
 *     generate FILE N [M [K]]
 * java -cp ... CommandLineBench command [-Xmx2g] FILE [analyse options]
 * java -Xmx4g -cp ... CommandLineBench native N [M [K]] [-d P] [-i ITERATIONS]
 * </pre>
 */
public final class CommandLineBench {
  private static final long SEED = 20240611L;
  private static final double EMPTY_SHARE = 0.02;
  /**
   * In alphabetical order, so label c - 1 is the category the command line numbers c. One letter
   * each: N = 10^6 with 20 columns then makes a file of about 40 MB.
   */
  private static final String[] LABELS = {"a", "b", "c", "d", "e", "f", "g", "h", "i"};

  private CommandLineBench() {}

  public static void main(String[] args) throws Exception {
    if (args.length < 2) {
      usage();
    }
    List<String> rest = List.of(args).subList(1, args.length);
    if (args[0].equals("generate")) {
      generate(Path.of(rest.get(0)), sizes(rest.subList(1, rest.size())));
    } else if (args[0].equals("command")) {
      command(rest);
    } else if (args[0].equals("native")) {
      bareNative(rest);
    } else {
      usage();
    }
  }

  private static void usage() {
    System.err.println("usage: CommandLineBench generate FILE N [M [K]]\n"
        + "       CommandLineBench command [-XmxSIZE] FILE [analyse options]\n"
        + "       CommandLineBench native N [M [K]] [-d P] [-i ITERATIONS]");
    System.exit(2);
  }

  /** N, M (default 20) and K (default 6) from the leading numeric arguments. */
  private static int[] sizes(List<String> args) {
    int[] sizes = {0, 20, 6};
    for (int i = 0; i < Math.min(3, args.size()) && args.get(i).matches("\\d+(e\\d+)?"); i++) {
      sizes[i] = (int) Double.parseDouble(args.get(i));
    }
    if (sizes[0] < 1 || sizes[2] < 2 || sizes[2] > LABELS.length) {
      throw new IllegalArgumentException("need N >= 1 and 2 <= K <= " + LABELS.length);
    }
    return sizes;
  }

  /**
   * The codes of object after object, row by row: a latent trait shared by the columns makes
   * the data carry a structure, as survey answers do; 0 is an empty cell.
   */
  private static final class Codes {
    private final SplittableRandom random = new SplittableRandom(SEED);
    private final int columns;
    private final int categories;

    Codes(int columns, int categories) {
      this.columns = columns;
      this.categories = categories;
    }

    void nextRow(int[] row) {
      double trait = random.nextGaussian();
      for (int j = 0; j < columns; j++) {
        double position = 0.6 * trait + random.nextGaussian();
        int code = 1 + (int) Math.floor((position + 2.5) / 5.0 * categories);
        code = Math.max(1, Math.min(categories, code));
        row[j] = random.nextDouble() < EMPTY_SHARE ? 0 : code;
      }
    }
  }

  static void generate(Path file, int[] sizes) throws IOException {
    int n = sizes[0];
    int m = sizes[1];
    int k = sizes[2];
    Codes codes = new Codes(m, k);
    int[] row = new int[m];
    byte[][] labels = new byte[k + 1][];
    labels[0] = new byte[0];
    for (int c = 1; c <= k; c++) {
      labels[c] = LABELS[c - 1].getBytes(StandardCharsets.US_ASCII);
    }
    long start = System.nanoTime();
    try (
        OutputStream out = new java.io.BufferedOutputStream(Files.newOutputStream(file), 1 << 16)) {
      StringBuilder header = new StringBuilder();
      for (int j = 1; j <= m; j++) {
        header.append(j == 1 ? "" : ",").append(String.format(Locale.ROOT, "q%02d", j));
      }
      out.write(header.append('\n').toString().getBytes(StandardCharsets.US_ASCII));
      for (int i = 0; i < n; i++) {
        codes.nextRow(row);
        for (int j = 0; j < m; j++) {
          if (j > 0) {
            out.write(',');
          }
          out.write(labels[row[j]]);
        }
        out.write('\n');
      }
    }
    System.out.printf(Locale.ROOT,
        "wrote %s: %d objects, %d columns of %d labels, %.1f MB in "
            + "%.1f s%n",
        file, n, m, k, Files.size(file) / 1e6, (System.nanoTime() - start) / 1e9);
  }

  /**
   * Runs the command line in a child JVM and reports its progress lines with the time each
   * arrived, its wall time and its peak resident memory (the kernel's high-water mark, read
   * from /proc while it runs: nothing in the child is changed to measure it).
   */
  static void command(List<String> args) throws Exception {
    List<String> jvm = new ArrayList<>();
    int first = 0;
    while (first < args.size() && args.get(first).startsWith("-X")) {
      jvm.add(args.get(first++));
    }
    Path data = Path.of(args.get(first));
    List<String> options = new ArrayList<>(args.subList(first + 1, args.size()));
    Path output = Path.of(optionValue(options, "-o", "bench-output"));
    if (!options.contains("-o")) {
      options.addAll(List.of("-o", output.toString()));
    }
    Path jar =
        Path.of(Tallowmere.class.getProtectionDomain().getCodeSource().getLocation().toURI());

    List<String> command = new ArrayList<>();
    command.add(Path.of(System.getProperty("java.home"), "bin", "java").toString());
    command.addAll(jvm);
    command.addAll(List.of("-jar", jar.toString(), "analyse", data.toString()));
    command.addAll(options);
    System.out.println("$ " + String.join(" ", command.subList(1, command.size())));

    long start = System.nanoTime();
    Process process = new ProcessBuilder(command).start();
    // The library's progress markers on standard output are not wanted, but must be drained.
    Thread drain = new Thread(() -> {
      try (InputStream in = process.getInputStream()) {
        in.transferTo(OutputStream.nullOutputStream());
      } catch (IOException e) {
        // The child is gone.
      }
    });
    drain.start();
    // Peak resident memory (kB) and processor time (ns), as last seen before the child ended.
    long[] seen = {0, 0};
    Thread watch = new Thread(() -> {
      Path status = Path.of("/proc", Long.toString(process.pid()), "status");
      while (process.isAlive()) {
        try {
          process.info().totalCpuDuration().ifPresent(cpu -> seen[1] = cpu.toNanos());
          for (String line : Files.readAllLines(status)) {
            if (line.startsWith("VmHWM:")) {
              seen[0] = Math.max(seen[0], Long.parseLong(line.replaceAll("\\D", "")));
            }
          }
          Thread.sleep(5);
        } catch (IOException | InterruptedException e) {
          return;
        }
      }
    });
    watch.start();
    try (BufferedReader err = new BufferedReader(
             new InputStreamReader(process.getErrorStream(), StandardCharsets.UTF_8))) {
      for (String line = err.readLine(); line != null; line = err.readLine()) {
        System.out.printf(Locale.ROOT, "%7.2f s  %s%n", (System.nanoTime() - start) / 1e9, line);
      }
    }
    int status = process.waitFor();
    double wall = (System.nanoTime() - start) / 1e9;
    watch.join();
    drain.join();
    System.out.printf(Locale.ROOT,
        "exit status %d; wall %.2f s; processor %.2f s; peak resident memory %.0f MB%n", status,
        wall, seen[1] / 1e9, seen[0] / 1024.0);
    if (Files.isDirectory(output)) {
      try (Stream<Path> files = Files.list(output)) {
        for (Path file : files.sorted().toList()) {
          System.out.printf(
              Locale.ROOT, "  %-18s %10.2f MB%n", file.getFileName(), Files.size(file) / 1e6);
        }
      }
    }
  }

  private static String optionValue(List<String> options, String name, String fallback) {
    int at = options.indexOf(name);
    return at >= 0 && at + 1 < options.size() ? options.get(at + 1) : fallback;
  }

  /**
   * The native call alone on the codes the command line reads from the generated file (the
   * labels' alphabetical order is the generator's code order), with the command line's default
   * settings, so that it runs the same iterations.
   */
  static void bareNative(List<String> args) {
    int[] sizes = sizes(args);
    int dimensions = Integer.parseInt(optionValue(args, "-d", "2"));
    // The iterations the command line reported; by default the fit tests of runHomals decide.
    int iterations = Integer.parseInt(optionValue(args, "-i", "0"));
    double tolerance = iterations > 0 ? -1 : 1e-10;
    int n = sizes[0];
    int m = sizes[1];
    int k = sizes[2];
    int[] data = new int[Math.multiplyExact(n, m)];
    Codes codes = new Codes(m, k);
    int[] row = new int[m];
    for (int i = 0; i < n; i++) {
      codes.nextRow(row);
      System.arraycopy(row, 0, data, i * m, m);
    }
    int[] columns = new int[m];
    int[] counts = new int[m];
    for (int j = 0; j < m; j++) {
      columns[j] = j;
      counts[j] = k;
    }
    int[] none = new int[0];
    int[] zeros = new int[m];
    for (int repeat = 0; repeat < 3; repeat++) {
      double[][] scores = table(n + 1, dimensions + 1);
      double[][] categories = table(m * k + 1, dimensions + 1);
      long start = System.nanoTime();
      Tallowmere.runHomals(dimensions, m, n, k, iterations > 0 ? iterations : 1000, 0, m, 0, 0,
          false, false, true, columns, none, counts, none, zeros, none, zeros, none, data,
          tolerance, tolerance, scores, categories);
      System.err.printf(Locale.ROOT, "native run, N = %d, M = %d, K = %d, P = %d: %.2f s%n", n, m,
          k, dimensions, (System.nanoTime() - start) / 1e9);
    }
  }

  private static double[][] table(int rows, int columns) {
    double[][] table = new double[rows][columns];
    for (double[] r : table) {
      Arrays.fill(r, Double.NaN);
    }
    return table;
  }
}
