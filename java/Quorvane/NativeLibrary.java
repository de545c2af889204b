package Quorvane;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;

/**
 * Loads the native library {@code libtallowmere.so} once per class loader, trying in order:
 *
 * <ol>
 *   <li>the file named by the system property {@value #PATH_PROPERTY}, when it is set;
 *   <li>{@code System.loadLibrary("tallowmere")}, which searches {@code java.library.path};
 *   <li>the copy packed in the jar under {@code native/<os>-<arch>/} for this JVM's
 *       {@code os.name} and {@code os.arch} (the jar packs {@code linux-x86_64} and
 *       {@code linux-aarch64}), extracted to a temporary file in the directory named by
 *       {@value #TMPDIR_PROPERTY} or, by default, {@code java.io.tmpdir}, loaded and deleted
 *       again (the loaded mapping stays valid).
 * </ol>
 *
 * <p>When every attempt fails, the {@link UnsatisfiedLinkError} lists each attempt and why it
 * failed, and names the platforms whose copies the class path holds.
 */
public final class NativeLibrary {
  /** System property naming the library file to load before anything else. */
  public static final String PATH_PROPERTY = "tallowmere.library";
  /** System property naming the directory to extract the packed library into. */
  public static final String TMPDIR_PROPERTY = "tallowmere.tmpdir";

  static final String NAME = "tallowmere";
  /** The platforms tallowmere.jar packs a library for. */
  static final List<String> PACKED_PLATFORMS = List.of("linux-x86_64", "linux-aarch64");

  private static volatile String loadedFrom;

  private NativeLibrary() {}

  /** Loads the library if this class loader has not loaded it yet. */
  public static void load() {
    if (loadedFrom != null) {
      return;
    }
    synchronized (NativeLibrary.class) {
      if (loadedFrom == null) {
        loadedFrom = loadFirstWorking();
      }
    }
  }

  /** Where the library was loaded from, or {@code null} before {@link #load()}. */
  public static String loadedFrom() { return loadedFrom; }

  /** The folder inside the jar for this machine, such as {@code native/linux-x86_64}. */
  public static String resourceFolder() {
    return "native/" + platform(System.getProperty("os.name"), System.getProperty("os.arch"));
  }

  static String platform(String osName, String osArch) {
    String os = osName.toLowerCase(Locale.ROOT);
    if (os.startsWith("linux")) {
      os = "linux";
    } else if (os.startsWith("mac") || os.startsWith("darwin")) {
      os = "darwin";
    } else if (os.startsWith("windows")) {
      os = "windows";
    } else {
      os = os.replaceAll("[^a-z0-9]+", "");
    }
    String arch = osArch.toLowerCase(Locale.ROOT);
    arch = switch (arch) {
      case "amd64", "x86_64", "x64" -> "x86_64";
      case "aarch64", "arm64" -> "aarch64";
      default -> arch.replaceAll("[^a-z0-9_]+", "");
    };
    return os + "-" + arch;
  }

  private static String loadFirstWorking() {
    List<String> attempts = new ArrayList<>();

    String explicit = System.getProperty(PATH_PROPERTY);
    if (explicit != null && !explicit.isBlank()) {
      File file = new File(explicit).getAbsoluteFile();
      try {
        System.load(file.getPath());
        return file.getPath();
      } catch (UnsatisfiedLinkError e) {
        attempts.add("-D" + PATH_PROPERTY + "=" + explicit + ": " + e.getMessage());
      }
    } else {
      attempts.add("-D" + PATH_PROPERTY + ": not set");
    }

    try {
      System.loadLibrary(NAME);
      return "java.library.path";
    } catch (UnsatisfiedLinkError e) {
      attempts.add("java.library.path=" + System.getProperty("java.library.path") + ": "
          + e.getMessage());
    }

    String resource = resourceFolder() + "/" + System.mapLibraryName(NAME);
    try {
      return loadPacked(resource);
    } catch (IOException | UnsatisfiedLinkError e) {
      attempts.add("packed copy " + resource + ": " + e.getMessage() + " (packed copies: "
          + packedPlatforms() + ")");
    }

    StringBuilder message = new StringBuilder("cannot load the native library '" + NAME
        + "'; tried, in order:");
    for (String attempt : attempts) {
      message.append("\n  - ").append(attempt);
    }
    message.append("\nSet -D").append(PATH_PROPERTY).append("=/path/to/")
        .append(System.mapLibraryName(NAME))
        .append(", or -D").append(TMPDIR_PROPERTY)
        .append("=DIR if the temporary directory is mounted noexec.");
    throw new UnsatisfiedLinkError(message.toString());
  }

  private static String packedPlatforms() {
    List<String> found = new ArrayList<>();
    for (String platform : PACKED_PLATFORMS) {
      String resource = "native/" + platform + "/" + System.mapLibraryName(NAME);
      if (classLoader().getResource(resource) != null) {
        found.add(platform);
      }
    }
    return found.isEmpty() ? "none" : String.join(", ", found);
  }

  private static ClassLoader classLoader() {
    ClassLoader loader = NativeLibrary.class.getClassLoader();
    return loader != null ? loader : ClassLoader.getSystemClassLoader();
  }

  private static String loadPacked(String resource) throws IOException {
    InputStream in = classLoader().getResourceAsStream(resource);
    if (in == null) {
      throw new IOException("not found on the class path");
    }
    String dir = System.getProperty(TMPDIR_PROPERTY, System.getProperty("java.io.tmpdir"));
    Path file;
    try (in) {
      file = Files.createTempFile(Path.of(dir), "lib" + NAME + "-", ".so");
      Files.copy(in, file, StandardCopyOption.REPLACE_EXISTING);
    }
    try {
      System.load(file.toAbsolutePath().toString());
      return "packed copy " + resource + " extracted to " + file;
    } finally {
      Files.deleteIfExists(file);
    }
  }
}
