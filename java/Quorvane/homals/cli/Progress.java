package Quorvane.homals.cli;

import java.io.PrintWriter;
import java.util.Locale;
import java.util.concurrent.Callable;
import java.util.concurrent.Executors;
import java.util.concurrent.ScheduledExecutorService;
import java.util.concurrent.TimeUnit;
import java.util.function.Function;
import java.util.function.Supplier;

/**
 * Progress messages on standard error, prefixed with the program's name: one line per phase
 * when it ends, with its time. A phase that runs long says so every few seconds, since some
 * (the native analysis above all) are one call that cannot report on its own.
 */
final class Progress {
  private static final long HEARTBEAT_SECONDS = 5;

  private final PrintWriter out;
  private final boolean quiet;
  private final long start = System.nanoTime();

  Progress(PrintWriter out, boolean quiet) {
    this.out = out;
    this.quiet = quiet;
  }

  void say(String message) {
    if (!quiet) {
      synchronized (out) {
        out.println("tallowmere: " + message);
        out.flush();
      }
    }
  }

  /** A warning, shown even when progress messages are not. */
  void warn(String message) {
    out.println("tallowmere: warning: " + message);
    out.flush();
  }

  /**
   * Runs a phase and reports it when done: its name, its time, and what {@code outcome} says
   * of its result.
   *
   * @param status what the phase has done so far, for the messages while it runs long; or
   *     {@code null}
   */
  <T> T phase(String name, Callable<T> work, Supplier<String> status,
      Function<? super T, String> outcome) throws Exception {
    long phaseStart = System.nanoTime();
    ScheduledExecutorService ticker = null;
    if (!quiet) {
      ticker = Executors.newSingleThreadScheduledExecutor(runnable -> {
        Thread thread = new Thread(runnable, "tallowmere-progress");
        thread.setDaemon(true);
        return thread;
      });
      Runnable heartbeat = () -> say(stillRunning(name, phaseStart, status));
      ticker.scheduleAtFixedRate(heartbeat, HEARTBEAT_SECONDS, HEARTBEAT_SECONDS, TimeUnit.SECONDS);
    }
    try {
      T result = work.call();
      say(String.format(
          Locale.ROOT, "%-16s %7.2f s  %s", name, seconds(phaseStart), outcome.apply(result)));
      return result;
    } finally {
      if (ticker != null) {
        ticker.shutdownNow();
      }
    }
  }

  private static String stillRunning(String name, long since, Supplier<String> status) {
    return String.format(Locale.ROOT, "  still %s, %d s so far%s", name,
        TimeUnit.NANOSECONDS.toSeconds(System.nanoTime() - since),
        status == null ? "" : " (" + status.get() + ")");
  }

  /** The closing line: the time since this object was made. */
  void total() { say(String.format(Locale.ROOT, "%-16s %7.2f s", "total", seconds(start))); }

  private static double seconds(long since) { return (System.nanoTime() - since) / 1e9; }
}
