package Quorvane.homals.cli;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.AccessDeniedException;
import java.nio.file.DirectoryStream;
import java.nio.file.FileSystemException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.List;

/**
 * The files of one run, all or none: they are written into a staging folder inside the output
 * folder and moved into it only once every one is complete. A run that fails while writing (a
 * full disk, a plot that cannot be drawn) leaves the output folder as it was, the files of an
 * earlier run included, instead of a set of outputs that do not belong together. The staging
 * folder is on the same file system, so the moves are renames that need no space.
 */
final class OutputFolder implements AutoCloseable {
  /** Opens a file for writing; tests put a failing one in its place. */
  interface Opener {
    OutputStream open(Path file) throws IOException;
  }

  /** What goes into one file. */
  interface Content {
    void writeTo(OutputStream out) throws IOException;
  }

  private final Path target;
  private final Path staging;
  private final Opener opener;

  private OutputFolder(Path target, Path staging, Opener opener) {
    this.target = target;
    this.staging = staging;
    this.opener = opener;
  }

  /** A staging folder in {@code target}, which must exist. */
  static OutputFolder in(Path target, Opener opener) {
    try {
      return new OutputFolder(target, Files.createTempDirectory(target, ".tallowmere-"), opener);
    } catch (IOException e) {
      throw new CliException("cannot write into the output folder " + target + ": " + reason(e));
    }
  }

  /** Where the run's writers put their files. */
  Path staging() { return staging; }

  /** The place a staged file will have once the run is complete, for the messages. */
  Path shown(Path staged) {
    return staged.startsWith(staging) ? target.resolve(staging.relativize(staged)) : staged;
  }

  /**
   * Writes one file into the staging folder; a failure, of the last bytes at closing too, names
   * the file by the place it was to have.
   *
   * @return that place
   */
  Path write(String name, Content content) {
    Path file = staging.resolve(name);
    try (OutputStream out = opener.open(file)) {
      content.writeTo(out);
    } catch (IOException e) {
      throw new CliException("cannot write " + target.resolve(name) + ": " + reason(e));
    }
    return target.resolve(name);
  }

  /**
   * Moves every staged file into the output folder, replacing files of the same names. A rename
   * that fails stops there, and the message says which files were moved.
   */
  void commit() {
    List<Path> files = new ArrayList<>();
    try (DirectoryStream<Path> staged = Files.newDirectoryStream(staging)) {
      staged.forEach(files::add);
    } catch (IOException e) {
      throw new CliException("cannot list " + staging + ": " + reason(e));
    }
    files.sort(null);
    List<Path> moved = new ArrayList<>();
    for (Path file : files) {
      Path destination = target.resolve(file.getFileName());
      try {
        Files.move(file, destination, StandardCopyOption.ATOMIC_MOVE);
      } catch (IOException e) {
        throw new CliException("cannot move " + file + " to " + destination + ": " + reason(e)
            + (moved.isEmpty() ? "; no file of this run was moved"
                               : "; only these were: " + moved));
      }
      moved.add(destination);
    }
  }

  /**
   * Deletes the staging folder and whatever is still in it: all of it unless committed. Quietly:
   * after a failure, that failure is the one to tell; after a commit, the outputs are complete
   * and a hidden folder left behind does not make them less so.
   */
  @Override
  public void close() {
    try (DirectoryStream<Path> staged = Files.newDirectoryStream(staging)) {
      for (Path file : staged) {
        Files.deleteIfExists(file);
      }
      Files.deleteIfExists(staging);
    } catch (IOException e) {
      // As above.
    }
  }

  /** An I/O failure in words, without the class names of Java's exceptions. */
  static String reason(IOException e) {
    if (e instanceof AccessDeniedException) {
      return "permission denied";
    }
    if (e instanceof FileSystemException f && f.getReason() != null) {
      return f.getReason();
    }
    return e.getMessage() == null ? "input or output failed" : e.getMessage();
  }
}
