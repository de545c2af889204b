package Quorvane.homals.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.TestData;
import com.google.gson.JsonElement;
import com.google.gson.JsonNull;
import com.google.gson.JsonObject;
import com.google.gson.JsonParser;
import java.io.FilterOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintWriter;
import java.io.StringWriter;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.stream.Stream;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.ValueSource;

/** What the command writes: all the files of a run or none, and their contents. */
class OutputFilesTest {
  @TempDir Path temp;

  /** A disk that fills up while {@code victim} is written, after {@code room} bytes of it. */
  static OutputFolder.Opener fullDisk(String victim, int room) {
    return file -> {
      OutputStream out = Files.newOutputStream(file);
      if (!file.getFileName().toString().equals(victim)) {
        return out;
      }
      return new FilterOutputStream(out) {
        private long written;

        @Override
        public void write(byte[] bytes, int offset, int length) throws IOException {
          written += length;
          if (written > room) {
            throw new IOException("No space left on device");
          }
          out.write(bytes, offset, length);
        }

        @Override
        public void write(int b) throws IOException {
          write(new byte[] {(byte) b}, 0, 1);
        }
      };
    };
  }

  /** Every file in the folder, hidden ones too, by name with its bytes (one char each). */
  static Map<String, String> contents(Path folder) throws IOException {
    Map<String, String> files = new TreeMap<>();
    try (Stream<Path> listed = Files.list(folder)) {
      for (Path file : listed.toList()) {
        files.put(file.getFileName().toString(),
            Files.isDirectory(file)
                ? "(folder)"
                : new String(Files.readAllBytes(file), StandardCharsets.ISO_8859_1));
      }
    }
    return files;
  }

  static CommandLineTest.Run run(OutputFolder.Opener opener, Path out, String... options) {
    List<String> args = new ArrayList<>(List.of(
        "analyse", TestData.examples("vote-labelled.csv").toString(), "-q", "-o", out.toString()));
    args.addAll(List.of(options));
    StringWriter err = new StringWriter();
    int status = Main.execute(new PrintWriter(new StringWriter()), new PrintWriter(err), opener,
        args.toArray(new String[0]));
    return new CommandLineTest.Run(status, err.toString());
  }

  /**
   * A run that fails while writing leaves the folder as the last complete run left it: no
   * report or plots beside a missing table, no table of one run beside another of the last.
   * The message names the file. A failure in the first or the last table, while it is written
   * or as its last bytes go out at closing.
   */
  @ParameterizedTest(name = "{0} after {1} bytes")
  @CsvSource({"categories.csv, 0", "categories.csv, 3000", "summary.json, 100"})
  void aFailedWriteLeavesTheLastCompleteSet(String victim, int room) throws IOException {
    Path out = temp.resolve("out");
    assertEquals(0, run(Files::newOutputStream, out, "--no-plot").status());
    Map<String, String> before = contents(out);

    CommandLineTest.Run failed = run(fullDisk(victim, room), out, "--no-plot", "-d", "3");
    assertEquals(2, failed.status(), failed.err());
    assertEquals(List.of("tallowmere: error: cannot write " + out.resolve(victim)
                     + ": No space left on device"),
        failed.err().lines().toList());
    assertEquals(before, contents(out));
  }

  /** The case users met: the plots and the report of a run whose table could not be written. */
  @Test
  @Tag("plot")
  void noPlotsOrReportAreLeftBesideAMissingTable() throws IOException {
    Path out = temp.resolve("fresh");
    CommandLineTest.Run failed = run(fullDisk("categories.csv", 0), out, "--plot-size", "300");
    assertEquals(2, failed.status(), failed.err());
    assertEquals(Map.of(), contents(out));
  }

  /**
   * A single variable among the active ones: no adjusted shares, which summary.json writes as null
   * and summary.txt leaves out of its inertia table; frequencies are whole numbers.
   */
  @Test
  void undefinedValuesAreNullAndWholeNumbersPlain() throws IOException {
    Path out = temp.resolve("two");
    CommandLineTest.Run run = CommandLineTest.run("analyse",
        TestData.data("haireyecolor.csv").toString(), "--codes", "-w", "weight", "-x", "Sex", "-s",
        "Eye=nominal", "-q", "--no-plot", "-o", out.toString());
    assertEquals(0, run.status(), run.err());
    JsonObject json =
        JsonParser.parseString(Files.readString(out.resolve("summary.json"))).getAsJsonObject();
    // Present and null, not left out.
    JsonObject inertia = json.getAsJsonObject("inertia");
    JsonObject settings = json.getAsJsonObject("settings");
    for (JsonElement value :
        Arrays.asList(inertia.get("adjustedTotal"), inertia.get("adjustedPercent"),
            settings.get("fitTolerance"), settings.get("cosineTolerance"),
            json.getAsJsonArray("variables").get(0).getAsJsonObject().get("loadings"))) {
      assertEquals(JsonNull.INSTANCE, value, json.toString());
    }

    List<String> text = Files.readAllLines(out.resolve("summary.txt"));
    // A single variable leaves the adjustment undefined.
    int inertiaLine = 0;
    while (!text.get(inertiaLine).startsWith("Inertia: total")) {
      inertiaLine++;
    }
    assertEquals("  dimension  eigenvalue    % inertia", text.get(inertiaLine + 1));
    assertTrue(Files.readString(out.resolve("categories.csv"))
                   .contains("\nHair,active,multiple nominal,1,108,"));
  }

  /** Labels and names from the data that a spreadsheet would run; --raw-cells keeps them. */
  @ParameterizedTest(name = "--raw-cells {0}")
  @ValueSource(booleans = {false, true})
  void formulasInTheDataAreWrittenAsText(boolean raw) throws IOException {
    Path data = temp.resolve("formulas.csv");
    Files.writeString(data, "id,a,b\n@SUM(1),=cmd|' /C calc'!A00,-1\n-3,x,-0.5\nq,x,-1\n");
    Path out = temp.resolve("formulas");
    List<String> args = new ArrayList<>(List.of("analyse", data.toString(), "--id", "id", "-d", "1",
        "-q", "--no-plot", "-o", out.toString()));
    if (raw) {
      args.add("--raw-cells");
    }
    CommandLineTest.Run run = CommandLineTest.run(args.toArray(new String[0]));
    assertEquals(0, run.status(), run.err());
    String q = raw ? "" : "'";
    String categories = Files.readString(out.resolve("categories.csv"));
    assertTrue(categories.contains("\na,active,multiple nominal," + q + "=cmd|' /C calc'!A00,1,")
            && categories.contains("\nb,active,multiple nominal,-1,2,"),
        categories);
    // A negative score is ours and stays as it is; so does a plain number as a name.
    String objects = Files.readString(out.resolve("objects.csv"));
    assertTrue(
        objects.matches("(?s)object,weight,dim1\n" + q + "@SUM\\(1\\),1,-?[0-9][^']*"), objects);
    assertTrue(objects.contains("\n-3,1,"), objects);
  }

  /**
   * The summaries name the adjustment the shares had: Greenacre's on complete data, Benzécri's
   * with missing values, none with a single variable.
   */
  @ParameterizedTest
  @CsvSource(delimiter = '|',
      value =
          {"haireyecolor.csv --codes -w weight | greenacre | Adjusted %: Greenacre's adjustment",
              "vote-labelled.csv | benzecri (missing values) | so Benzecri's adjustment is used",
              "vote-labelled.csv -s crime=ordinal | withheld: single variables "
                  + "| Adjusted %: not given (single variables)."})
  void
  theSummariesNameTheAdjustment(String call, String adjustment, String guide) throws IOException {
    String[] words = call.trim().split(" ");
    List<String> args = new ArrayList<>(List.of("analyse", TestData.examples(words[0]).toString(),
        "--no-plot", "-q", "-o", temp.toString()));
    args.addAll(Arrays.asList(words).subList(1, words.length));
    assertEquals(0, CommandLineTest.run(args.toArray(new String[0])).status());
    JsonObject json =
        JsonParser.parseString(Files.readString(temp.resolve("summary.json"))).getAsJsonObject();
    assertEquals(adjustment, json.getAsJsonObject("inertia").get("adjustment").getAsString());
    String summary = Files.readString(temp.resolve("summary.txt"));
    assertTrue(summary.contains(guide.trim()), summary);
  }
}
