package Quorvane;

import static java.nio.charset.StandardCharsets.UTF_8;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.lang.management.ManagementFactory;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CompletableFuture;

/**
 * Runs a main class of the test jar in a child JVM with this JVM's class path and library, and
 * with -Xcheck:jni when this JVM has it. The library's printf writes to the process's standard
 * output, apart from Java's System.out, so only a child's whole stdout shows what it printed.
 */
final class ChildJvm {
  final int exitCode;
  final String stdout;
  final String stderr;

  private ChildJvm(int exitCode, String stdout, String stderr) {
    this.exitCode = exitCode;
    this.stdout = stdout;
    this.stderr = stderr;
  }

  /** Runs {@code main} with {@code arguments}; the child's stderr is copied to this stderr. */
  static ChildJvm run(Class<?> main, String... arguments) throws Exception {
    return start(new ArrayList<>(javaCommand()), main, arguments);
  }

  /**
   * As {@link #run}, in an address space of {@code kibibytes} (the shell's ulimit -v), with a
   * JVM whose own reservations fit into it, so that large native allocations fail at once.
   */
  static ChildJvm runWithAddressSpaceLimit(long kibibytes, Class<?> main, String... arguments)
      throws Exception {
    List<String> command = new ArrayList<>(List.of(
        "/bin/sh", "-c", "ulimit -v " + kibibytes + " && MALLOC_ARENA_MAX=2 exec \"$@\"", "sh"));
    command.addAll(javaCommand());
    command.addAll(List.of("-Xmx128m", "-XX:CompressedClassSpaceSize=64m",
        "-XX:ReservedCodeCacheSize=64m", "-XX:MaxMetaspaceSize=128m"));
    return start(command, main, arguments);
  }

  /**
   * The command that starts a JVM of this machine: the words of -Dtallowmere.test.jvm when set
   * (another machine's JVM under its emulator, which the kernel cannot start by itself), else
   * this JVM's own launcher.
   */
  static List<String> jvm() {
    String emulated = System.getProperty("tallowmere.test.jvm");
    return emulated != null
        ? List.of(emulated.trim().split("\\s+"))
        : List.of(Path.of(System.getProperty("java.home"), "bin", "java").toString());
  }

  private static List<String> javaCommand() {
    List<String> command = new ArrayList<>(jvm());
    if (ManagementFactory.getRuntimeMXBean().getInputArguments().contains("-Xcheck:jni")) {
      command.add("-Xcheck:jni");
    }
    for (String property : new String[] {Tallowmere.LIBRARY_PROPERTY, "tallowmere.test.cases"}) {
      if (System.getProperty(property) != null) {
        command.add("-D" + property + "=" + System.getProperty(property));
      }
    }
    command.add("-cp");
    command.add(System.getProperty("java.class.path"));
    return command;
  }

  private static ChildJvm start(List<String> command, Class<?> main, String... arguments)
      throws Exception {
    command.add(main.getName());
    command.addAll(List.of(arguments));
    Process child = new ProcessBuilder(command).start();
    child.getOutputStream().close();
    CompletableFuture<String> stderr = CompletableFuture.supplyAsync(() -> {
      try {
        return new String(child.getErrorStream().readAllBytes(), UTF_8);
      } catch (IOException e) {
        throw new UncheckedIOException(e);
      }
    });
    String stdout = new String(child.getInputStream().readAllBytes(), UTF_8);
    int exitCode = child.waitFor();
    String errors = stderr.get();
    System.err.print(errors); // where ctest's check of the -Xcheck:jni run sees it too
    return new ChildJvm(exitCode, stdout, errors);
  }
}
