package Quorvane;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.TestData;
import java.io.ByteArrayOutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.jar.JarFile;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** Finding libtallowmere.so. */
class NativeLibraryTest {
  @ParameterizedTest
  @CsvSource({
      "Linux, amd64, linux-x86_64",
      "Linux, x86_64, linux-x86_64",
      "Linux, aarch64, linux-aarch64",
      "Mac OS X, arm64, darwin-aarch64",
      "Windows 11, amd64, windows-x86_64",
      "FreeBSD, ppc64le, freebsd-ppc64le",
  })
  void
  platformFolderNames(String os, String arch, String folder) {
    assertEquals(folder, NativeLibrary.platform(os, arch));
  }

  /**
   * A JVM with a wrong explicit path, an empty library path and a machine the jar packs no copy
   * for fails with an error that lists all three attempts and names the packed copies.
   */
  @Test
  void failureListsEveryAttempt(@TempDir Path output) throws Exception {
    String text = analyseWithTheJarAlone(
        1, output, "-Dos.arch=riscv64", "-Dtallowmere.library=/nonexistent/libtallowmere.so");
    assertTrue(text.contains("-Dtallowmere.library=/nonexistent/libtallowmere.so: "), text);
    assertTrue(text.contains("java.library.path=/nonexistent: "), text);
    List<String> packed = new ArrayList<>();
    try (JarFile jar = new JarFile(TestData.jar().toFile())) {
      for (String platform : NativeLibrary.PACKED_PLATFORMS) {
        if (jar.getEntry("native/" + platform + "/libtallowmere.so") != null) {
          packed.add(platform);
        }
      }
    }
    assertTrue(text.contains("packed copy native/linux-riscv64/libtallowmere.so: not found on the "
                   + "class path (packed copies: " + String.join(", ", packed) + ")"),
        text);
  }

  /** The jar alone runs an analysis with its copy for this JVM's machine. */
  @Test
  void theJarAloneLoadsItsCopyForThisMachine(@TempDir Path output) throws Exception {
    analyseWithTheJarAlone(0, output);
    assertTrue(Files.exists(output.resolve("summary.txt")));
  }

  /** Runs the command line in a child JVM with the jar alone and no library path. */
  private static String analyseWithTheJarAlone(int exitCode, Path output, String... options)
      throws Exception {
    List<String> command = new ArrayList<>(ChildJvm.jvm());
    command.addAll(List.of(options));
    command.addAll(List.of("-cp", TestData.jar().toString(), "-Djava.library.path=/nonexistent",
        "Quorvane.homals.cli.Main", "analyse", TestData.examples("vote-labelled.csv").toString(),
        "-q", "--no-plot", "-o", output.toString()));
    Process process = new ProcessBuilder(command).redirectErrorStream(true).start();
    ByteArrayOutputStream bytes = new ByteArrayOutputStream();
    process.getInputStream().transferTo(bytes);
    assertTrue(process.waitFor(300, TimeUnit.SECONDS));
    String text = bytes.toString(StandardCharsets.UTF_8);
    assertEquals(exitCode, process.exitValue(), text);
    return text;
  }
}
