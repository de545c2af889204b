package Quorvane.homals.cli;

import java.io.PrintWriter;
import java.util.Locale;
import java.util.concurrent.Callable;
import java.util.concurrent.Executors;
import java.util.concurrent.ScheduledExecutorService;
import java.util.concurrent.TimeUnit;

/**
 * Progress messages on standard error, prefixed with the program's name. A long step reports
 * that it is still running every few seconds, since the native analysis is one call that cannot
 * report its iterations.
 */
final class Progress {
  private static final long HEARTBEAT_SECONDS = 5;

  private final PrintWriter out;
  private final boolean quiet;

  Progress(PrintWriter out, boolean quiet) {
    this.out = out;
    this.quiet = quiet;
  }

  void say(String message) {
    if (!quiet) {
      out.println("tallowmere: " + message);
      out.flush();
    }
  }

  /** A warning, shown even when progress messages are not. */
  void warn(String message) {
    out.println("tallowmere: warning: " + message);
    out.flush();
  }

  /** Runs a step, announcing it, reporting while it runs long, and saying when it is done. */
  <T> T during(String step, Callable<T> work) throws Exception {
    say(step + " ...");
    long start = System.nanoTime();
    ScheduledExecutorService ticker = null;
    if (!quiet) {
      ticker = Executors.newSingleThreadScheduledExecutor(runnable -> {
        Thread thread = new Thread(runnable, "tallowmere-progress");
        thread.setDaemon(true);
        return thread;
      });
      ticker.scheduleAtFixedRate(() -> say(String.format(Locale.ROOT,
          "  still %s, %d s so far", step, elapsedSeconds(start))),
          HEARTBEAT_SECONDS, HEARTBEAT_SECONDS, TimeUnit.SECONDS);
    }
    try {
      T result = work.call();
      say(String.format(Locale.ROOT, "%s: done in %.1f s", step,
          (System.nanoTime() - start) / 1e9));
      return result;
    } finally {
      if (ticker != null) {
        ticker.shutdownNow();
      }
    }
  }

  private static long elapsedSeconds(long start) {
    return TimeUnit.NANOSECONDS.toSeconds(System.nanoTime() - start);
  }
}
