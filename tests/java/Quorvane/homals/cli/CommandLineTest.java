package Quorvane.homals.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.TestData;
import com.google.gson.JsonArray;
import com.google.gson.JsonObject;
import com.google.gson.JsonParser;
import java.awt.image.BufferedImage;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.PrintWriter;
import java.io.StringWriter;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;
import javax.imageio.ImageIO;
import javax.xml.parsers.DocumentBuilderFactory;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** The command line end to end on the bundled data. */
class CommandLineTest {
  @TempDir
  Path temp;

  record Run(int status, String err) {}

  static Run run(String... args) {
    StringWriter err = new StringWriter();
    int status = Main.execute(new PrintWriter(new StringWriter()), new PrintWriter(err), args);
    return new Run(status, err.toString());
  }

  static List<String> lines(Path file) throws IOException {
    return Files.readAllLines(file, StandardCharsets.UTF_8);
  }

  /** Tagged: the JDK's font rasteriser trips -Xcheck:jni, so ctest runs this without it. */
  @Test
  @Tag("plot")
  void analysingTheVoteDataWritesTablesSummaryAndPlots() throws Exception {
    Path out = temp.resolve("vote");
    Run run = run("analyse", TestData.examples("vote-labelled.csv").toString(), "-o",
        out.toString(), "--plot-size", "640");
    assertEquals(0, run.status(), run.err());
    for (String phase :
        List.of("reading", "analysing", "writing tables", "drawing PNG", "drawing SVG",
            "writing report", "total")) {
      assertTrue(run.err().lines().anyMatch(
                     line -> line.matches("tallowmere: " + phase + " +\\d+\\.\\d\\d s.*")),
          run.err());
    }

    List<String> categories = lines(out.resolve("categories.csv"));
    assertEquals("variable,role,quantification,category,frequency,dim1,dim2",
        categories.get(0));
    assertEquals(1 + 17 * 2, categories.size());
    assertTrue(categories.contains(categories.stream()
        .filter(l -> l.startsWith("Class,active,multiple nominal,democrat,267.0,")).findFirst()
        .orElse("no democrat row")));
    List<String> objects = lines(out.resolve("objects.csv"));
    assertEquals("object,weight,dim1,dim2", objects.get(0));
    assertEquals(1 + 435, objects.size());
    assertTrue(objects.get(435).startsWith("435,1,"));

    String summary = Files.readString(out.resolve("summary.txt"));
    assertTrue(summary.contains("objects:     435 (435 take part, total weight 435)"), summary);
    assertTrue(summary.contains("aid-to-nicaraguan-contras"));
    assertTrue(summary.contains("Eigenvalues"));

    BufferedImage png = ImageIO.read(out.resolve("joint-plot.png").toFile());
    assertEquals(640, png.getWidth());
    assertEquals(640, png.getHeight());
    Set<Integer> colours = new HashSet<>();
    int notWhite = 0;
    for (int x = 0; x < png.getWidth(); x++) {
      for (int y = 0; y < png.getHeight(); y++) {
        int rgb = png.getRGB(x, y) & 0xFFFFFF;
        colours.add(rgb);
        notWhite += rgb == 0xFFFFFF ? 0 : 1;
      }
    }
    assertTrue(notWhite > png.getWidth() * png.getHeight() / 50, "the plot is nearly blank");
    assertTrue(colours.size() > 17, "expected a colour per variable and grey objects");

    DocumentBuilderFactory xml = DocumentBuilderFactory.newInstance();
    xml.setFeature("http://apache.org/xml/features/nonvalidating/load-external-dtd", false);
    var svg = xml.newDocumentBuilder().parse(out.resolve("joint-plot.svg").toFile());
    assertEquals("svg", svg.getDocumentElement().getNodeName());
    assertTrue(Files.readString(out.resolve("joint-plot.svg")).contains("Class: democrat"));
    for (String file : List.of("discrimination.png", "eigenvalues.svg", "report.html")) {
      assertTrue(Files.size(out.resolve(file)) > 0, file);
    }
  }

  @Test
  void aCodeFileGivesTheSameSolutionAsItsLabelledCopy() throws IOException {
    Path labelled = temp.resolve("labelled");
    Path coded = temp.resolve("coded");
    assertEquals(0, run("analyse", TestData.examples("vote-labelled.csv").toString(), "-q",
        "--no-plot", "-o", labelled.toString()).status());
    assertEquals(0, run("analyse", TestData.examples("vote.csv").toString(), "--codes", "-q",
        "--no-plot", "-o", coded.toString()).status());
    // The labels n < y and democrat < republican sort like the codes 1 < 2.
    assertEquals(numbers(lines(labelled.resolve("categories.csv"))),
        numbers(lines(coded.resolve("categories.csv"))));
    assertEquals(lines(labelled.resolve("objects.csv")), lines(coded.resolve("objects.csv")));
  }

  /** Every row of categories.csv without its category label. */
  static List<String> numbers(List<String> rows) {
    List<String> result = new ArrayList<>();
    for (String row : rows.subList(1, rows.size())) {
      String[] cells = row.split(",");
      cells[3] = "";
      result.add(String.join(",", cells));
    }
    return result;
  }

  @Test
  void weightsPassiveAndSingleColumnsReachTheAnalysis() throws IOException {
    Path out = temp.resolve("hair");
    Run run = run("analyse", TestData.data("haireyecolor.csv").toString(), "--codes", "-w",
        "weight", "-p", "Sex", "-s", "Eye=ordinal,Hair=nominal", "-d", "2", "--no-plot", "-o",
        out.toString());
    assertEquals(0, run.status(), run.err());
    List<String> categories = lines(out.resolve("categories.csv"));
    assertEquals(1 + 4 + 4 + 2, categories.size());
    double sexTotal = 0;
    for (String row : categories) {
      String[] cells = row.split(",");
      switch (cells[0]) {
        case "Hair" -> assertEquals("active,single nominal", cells[1] + "," + cells[2]);
        case "Eye" -> assertEquals("active,single ordinal", cells[1] + "," + cells[2]);
        case "Sex" -> {
          assertEquals("passive,multiple nominal", cells[1] + "," + cells[2]);
          sexTotal += Double.parseDouble(cells[4]);
        }
        default -> assertEquals("variable", cells[0]);
      }
    }
    assertEquals(592, sexTotal, "frequencies are weighted counts");
    assertEquals(1 + 32, lines(out.resolve("objects.csv")).size());

    JsonObject summary = JsonParser.parseString(Files.readString(out.resolve("summary.json")))
        .getAsJsonObject();
    assertTrue(summary.get("converged").getAsBoolean());
    assertEquals("subspace", summary.get("stopReason").getAsString());
    assertTrue(summary.get("iterations").getAsInt() > 1);
    JsonArray eigenvalues = summary.getAsJsonArray("eigenvalues");
    assertEquals(2, eigenvalues.size());
    assertTrue(eigenvalues.get(0).getAsDouble() >= eigenvalues.get(1).getAsDouble());
    assertEquals(eigenvalues.get(0).getAsDouble() + eigenvalues.get(1).getAsDouble(),
        summary.get("fit").getAsDouble(), 1e-12);
    JsonArray variables = summary.getAsJsonArray("variables");
    assertEquals(3, variables.size());
    assertEquals(2, variables.get(2).getAsJsonObject().getAsJsonArray("discrimination").size());
  }

  @Test
  void aRunStoppedByItsBoundWarnsAndSaysSo() throws IOException {
    Path out = temp.resolve("bound");
    Run run = run("analyse", TestData.examples("vote.csv").toString(), "--codes", "-q",
        "--no-plot", "--max-iterations", "4", "-o", out.toString());
    assertEquals(0, run.status(), run.err());
    assertEquals(List.of("tallowmere: warning: the run did not converge within 4 iterations "
        + "(--max-iterations); the results are written, but their dimensions may not be settled "
        + "yet"), run.err().lines().toList());
    assertTrue(Files.readString(out.resolve("summary.txt")).contains(
        "iterations:  4, NOT converged: the iteration bound was reached first"));
    JsonObject summary = JsonParser.parseString(Files.readString(out.resolve("summary.json")))
        .getAsJsonObject();
    assertFalse(summary.get("converged").getAsBoolean());
    assertEquals("iterationBound", summary.get("stopReason").getAsString());
  }

  static Stream<Arguments> badInput() {
    return Stream.of(
        Arguments.of(List.of("-p", "Party"), "no column named 'Party'"),
        Arguments.of(List.of("--codes", "--order", "Class=a,b"), "cannot be used with --codes"),
        Arguments.of(List.of("--order", "Class=democrat"), "label 'republican' is not one of"),
        Arguments.of(List.of("-s", "Class=interval"), "unknown measurement level"),
        Arguments.of(List.of("-d", "40"), "40 dimensions asked"),
        Arguments.of(List.of("-w", "Class"), "'republican' is not an integer"),
        Arguments.of(List.of("-w", "Class", "-p", "Class"), "which is not analysed"),
        Arguments.of(List.of("--codes"), "'n' is not an integer code"),
        Arguments.of(List.of("--plot-dimensions", "1,3"), "the solution has dimensions 1 to 2"),
        Arguments.of(List.of("--plot-dimensions", "2,2"), "two different dimensions"),
        Arguments.of(List.of("--label-top", "-1"), "--label-top must be 0 or more"),
        Arguments.of(List.of("--colour-by", "Party"), "no column named 'Party'"));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("badInput")
  void badInputIsReportedInOneLineWithStatusTwo(List<String> options, String message) {
    List<String> args = new ArrayList<>(List.of("analyse",
        TestData.examples("vote-labelled.csv").toString(), "-q", "-o", temp.toString()));
    args.addAll(options);
    Run run = run(args.toArray(new String[0]));
    assertEquals(2, run.status(), run.err());
    assertTrue(run.err().startsWith("tallowmere: error: ") && run.err().contains(message),
        run.err());
    assertEquals(1, run.err().lines().count(), run.err());
  }

  /**
   * {@code java -jar}: the manifest's class path and the packed library, in a fresh JVM. The
   * command line prints nothing on standard output: the library's markers belong to runHomals
   * alone. The objects are coloured by a column that is not analysed.
   */
  @Test
  void theJarRunsOnItsOwnAndKeepsStandardOutputClean() throws Exception {
    Path out = temp.resolve("jar");
    Path stdout = temp.resolve("stdout.txt");
    Process process = new ProcessBuilder(
        Path.of(System.getProperty("java.home"), "bin", "java").toString(),
        "-jar", TestData.jar().toString(), "analyse",
        TestData.examples("vote-labelled.csv").toString(), "-o", out.toString(), "-x", "Class",
        "--colour-by", "Class")
        .redirectOutput(stdout.toFile())
        .start();
    ByteArrayOutputStream err = new ByteArrayOutputStream();
    process.getErrorStream().transferTo(err);
    assertTrue(process.waitFor(300, TimeUnit.SECONDS));
    String text = err.toString(StandardCharsets.UTF_8);
    assertEquals(0, process.exitValue(), text);
    assertTrue(text.contains("wrote " + out.resolve("joint-plot.png")), text);
    assertTrue(Files.readString(out.resolve("joint-plot.svg")).contains("Class: democrat (267)"));
    assertEquals("", Files.readString(stdout));
  }
}
