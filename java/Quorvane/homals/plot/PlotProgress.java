package Quorvane.homals.plot;

import java.nio.file.Path;
import java.util.List;
import java.util.concurrent.Callable;

/**
 * Runs the steps of drawing, so that a program can time them and report what they wrote; drawing
 * a large joint plot takes long enough to be worth a message.
 */
@FunctionalInterface
public interface PlotProgress {
  /** Reports nothing. */
  PlotProgress SILENT = (name, work) -> work.call();

  /** Runs one named step, which returns the files it wrote. */
  List<Path> step(String name, Callable<List<Path>> work) throws Exception;
}
