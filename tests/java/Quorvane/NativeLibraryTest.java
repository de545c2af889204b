package Quorvane;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.TestData;
import java.io.ByteArrayOutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.concurrent.TimeUnit;
import java.util.jar.JarFile;
import org.junit.jupiter.api.Test;
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
  void platformFolderNames(String os, String arch, String folder) {
    assertEquals(folder, NativeLibrary.platform(os, arch));
  }

  /**
   * A JVM with a wrong explicit path, an empty library path and no packed copy (the classes
   * jar alone) fails with an error that lists all three attempts.
   */
  @Test
  void failureListsEveryAttempt() throws Exception {
    // The classes jar and the libraries that tallowmere.jar's manifest names.
    String classPath = TestData.classesJar().toString();
    try (JarFile jar = new JarFile(TestData.jar().toFile())) {
      String libraries = jar.getManifest().getMainAttributes().getValue("Class-Path");
      classPath += ":" + String.join(":", libraries.trim().split("\\s+"));
    }
    Process process = new ProcessBuilder(
        Path.of(System.getProperty("java.home"), "bin", "java").toString(),
        "-cp", classPath, "-Dtallowmere.library=/nonexistent/libtallowmere.so",
        "-Djava.library.path=/nonexistent", "Quorvane.homals.cli.Main", "analyse",
        TestData.examples("vote-labelled.csv").toString(), "-q", "--no-plot", "-o",
        System.getProperty("java.io.tmpdir"))
        .redirectErrorStream(true)
        .start();
    ByteArrayOutputStream output = new ByteArrayOutputStream();
    process.getInputStream().transferTo(output);
    assertTrue(process.waitFor(300, TimeUnit.SECONDS));
    String text = output.toString(StandardCharsets.UTF_8);
    assertEquals(1, process.exitValue(), text);
    assertTrue(text.contains("-Dtallowmere.library=/nonexistent/libtallowmere.so: "), text);
    assertTrue(text.contains("java.library.path=/nonexistent: "), text);
    assertTrue(text.contains("packed copy native/" + NativeLibrary.platform(
        System.getProperty("os.name"), System.getProperty("os.arch"))
        + "/libtallowmere.so: not found"), text);
  }
}
