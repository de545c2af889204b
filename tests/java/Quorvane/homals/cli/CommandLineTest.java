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
import java.util.function.Supplier;
import java.util.stream.Stream;
import javax.imageio.ImageIO;
import javax.xml.parsers.DocumentBuilderFactory;
import org.junit.jupiter.api.Named;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;

/** The command line end to end on the bundled data. */
class CommandLineTest {
  @TempDir Path temp;

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
    for (String phase : List.of("reading", "analysing", "writing tables", "drawing PNG",
             "drawing SVG", "writing report", "total")) {
      assertTrue(run.err().lines().anyMatch(
                     line -> line.matches("tallowmere: " + phase + " +\\d+\\.\\d\\d s.*")),
          run.err());
    }

    List<String> categories = lines(out.resolve("categories.csv"));
    assertEquals("variable,role,quantification,category,frequency,dim1,dim2,ctr1,ctr2,cos2_1,"
            + "cos2_2,centroid1,centroid2,v1,v2,p1,p2",
        categories.get(0));
    assertEquals(1 + 17 * 2, categories.size());
    assertTrue(categories.contains(
        categories.stream()
            .filter(l -> l.startsWith("Class,active,multiple nominal,democrat,267,"))
            .findFirst()
            .orElse("no democrat row")));
    List<String> objects = lines(out.resolve("objects.csv"));
    assertEquals("object,weight,dim1,dim2", objects.get(0));
    assertEquals(1 + 435, objects.size());
    assertTrue(objects.get(435).startsWith("435,1,"));

    String summary = Files.readString(out.resolve("summary.txt"));
    assertTrue(summary.contains("objects:     435 (435 take part, total weight 435)"), summary);
    assertTrue(summary.contains("aid-to-nicaraguan-contras"));
    assertTrue(summary.contains("Inertia: total"), summary);

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
    assertEquals(0,
        run("analyse", TestData.examples("vote-labelled.csv").toString(), "-q", "--no-plot", "-o",
            labelled.toString())
            .status());
    assertEquals(0,
        run("analyse", TestData.examples("vote.csv").toString(), "--codes", "-q", "--no-plot", "-o",
            coded.toString())
            .status());
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

  /**
   * The summary and the report count the objects that take part and their weight: a row with
   * every active cell empty takes no part, nor, with weights, a row of weight 0.
   */
  @ParameterizedTest(name = "{0}")
  @CsvSource(delimiter = ';', value = {
      "-p;7 (6 take part, total weight 6);7 (6 take part, total weight 6)",
      "-w;7 (5 take part, total weight 6.5);7 (5 take part, total weight 6.5000)"})
  void theObjectsThatTakePartAreCountedWithTheirWeight(
      String weightOption, String summaryCount, String reportCount) throws IOException {
    Path data = temp.resolve("part.csv");
    Files.writeString(data,
        "a,b,c,w\nx,p,u,1\ny,q,v,2\n,,,1\nx,q,u,0\ny,p,v,1.5\nx,p,v,1\ny,q,u,1\n");
    Path out = temp.resolve("part");
    Run run = run("analyse", data.toString(), weightOption, "w", "-d", "2", "--no-plot", "-o",
        out.toString());
    assertEquals(0, run.status(), run.err());
    String summary = Files.readString(out.resolve("summary.txt"));
    assertTrue(summary.contains("objects:     " + summaryCount + "\n"), summary);
    String report = Files.readString(out.resolve("report.html"));
    assertTrue(report.contains(reportCount), report);
  }

  @Test
  void aRunStoppedByItsBoundWarnsAndSaysSo() throws IOException {
    Path out = temp.resolve("bound");
    Run run = run("analyse", TestData.examples("vote.csv").toString(), "--codes", "-q",
        "--no-plot", "--solver", "cross-table", "--max-iterations", "4", "-o", out.toString());
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

  /**
   * Every combination of three yes/no answers once: the three pairs are independent, so the three
   * eigenvalues are equal and any axes of their space fit as well. The direct solution says so,
   * and runs no iterations.
   */
  @Test
  void aSharedEigenvalueIsReportedAsATie() throws IOException {
    StringBuilder csv = new StringBuilder("a,b,c\n");
    for (int i = 0; i < 8; i++) {
      csv.append(i % 2 == 0 ? "no" : "yes").append(',').append(i / 2 % 2 == 0 ? "no" : "yes")
          .append(',').append(i / 4 == 0 ? "no" : "yes").append('\n');
      }
      Path data = file("factorial.csv", csv.toString().getBytes(StandardCharsets.UTF_8));
      Path out = temp.resolve("factorial");
      Run run = run("analyse", data.toString(), "-q", "--no-plot", "-o", out.toString());
      assertEquals(0, run.status(), run.err());
      JsonObject summary =
          JsonParser.parseString(Files.readString(out.resolve("summary.json"))).getAsJsonObject();
      assertEquals("[[1,2,3]]", summary.get("tiedDimensions").toString());
      assertEquals("direct", summary.get("solver").getAsString());
      assertEquals("direct", summary.get("stopReason").getAsString());
      assertEquals(0, summary.get("iterations").getAsInt());
      assertTrue(summary.get("converged").getAsBoolean());
      assertTrue(Files.readString(out.resolve("summary.txt"))
                     .contains("tie:         dimensions 1, 2, 3 share one eigenvalue; any rotation "
                         + "of their axes fits as well (1 of them not in the solution)"));

      Path vote = temp.resolve("vote-ties");
      assertEquals(0,
          run("analyse", TestData.examples("vote.csv").toString(), "--codes", "-q", "--no-plot",
              "--solver", "direct", "-o", vote.toString())
              .status());
      assertEquals("[]",
          JsonParser.parseString(Files.readString(vote.resolve("summary.json")))
              .getAsJsonObject()
              .get("tiedDimensions")
              .toString());
    }

    /** A file in the test's folder with the given bytes. */
    Path file(String name, byte[] bytes) throws IOException {
      Path path = temp.resolve(name);
      Files.write(path, bytes);
      return path;
    }

    Path file(String name, String text) throws IOException {
      return file(name, text.getBytes(StandardCharsets.UTF_8));
    }

    /** A bad call: the command line after "analyse", given the test's folder. */
    interface BadCall {
      List<String> args(CommandLineTest test) throws IOException;
    }

    static Arguments bad(String message, BadCall call) {
      return Arguments.of(message, call);
    }

    static List<String> vote(String... options) {
      List<String> args =
          new ArrayList<>(List.of(TestData.examples("vote-labelled.csv").toString()));
      args.addAll(List.of(options));
      return args;
    }

    static Stream<Arguments> badInput() {
      return Stream.of(bad("no column named 'Party'", t -> vote("-p", "Party")),
          bad("cannot be used with --codes", t -> vote("--codes", "--order", "Class=a,b")),
          bad("label 'republican' is not one of the categories of --order 'democrat', "
                  + "'repub,lican'",
              t -> vote("--order", "Class=democrat,\"repub,lican\"")),
          bad("unknown measurement level", t -> vote("-s", "Class=interval")),
          bad("40 dimensions asked", t -> vote("-d", "40")),
          bad("'republican' is not a number", t -> vote("-w", "Class")),
          bad("which is not analysed", t -> vote("-w", "Class", "-p", "Class")),
          bad("'n' is not an integer code", t -> vote("--codes")),
          bad("data row 2: '-1.5' is negative",
              t -> List.of(t.file("w.csv", "a,w\nx,1\ny,-1.5\n").toString(), "-w", "w")),
          bad("data row 2: '1e400' is too large",
              t -> List.of(t.file("w.csv", "a,w\nx,1.5\ny,1e400\n").toString(), "-w", "w")),
          bad("no such file: ", t -> List.of(t.temp.resolve("absent.csv").toString())),
          bad("is a folder, not a CSV file", t -> List.of(t.temp.toString())),
          bad("no data rows", t -> List.of(t.file("h.csv", "a,b\n").toString())),
          bad("line 3: the text is not valid UTF-8; if it is in another encoding, name it with "
                  + "--encoding",
              t
              -> List.of(t.file("latin.csv",
                              "a,b\nx,y\nd\u00e9j\u00e0,z\n".getBytes(StandardCharsets.ISO_8859_1))
                             .toString())),
          bad("--encoding klingon: not an encoding", t -> vote("--encoding", "klingon")),
          bad("is a file", t -> vote("-o", t.file("taken", "").toString())),
          bad("cannot create the output folder",
              t -> vote("-o", t.file("parent", "").resolve("child").toString())),
          bad("the solution has dimensions 1 to 2", t -> vote("--plot-dimensions", "1,3")),
          bad("two different dimensions", t -> vote("--plot-dimensions", "2,2")),
          bad("--label-top must be 0 or more", t -> vote("--label-top", "-1")),
          bad("no column named 'Party'", t -> vote("--colour-by", "Party")),
          bad("no column named 'Party'", t -> vote("--ellipses", "Party")),
          bad("no column named 'Age'", t -> vote("--numeric", "Age")),
          bad("column 'Class' is given to both --numeric and --passive",
              t -> vote("--numeric", "Class", "-p", "Class")),
          bad("numeric column 'n', data row 2: 'abc' is not a number",
              t
              -> List.of(
                  t.file("n.csv", "a,b,n\nx,y,1\ny,x,abc\nx,x,\n").toString(), "--numeric", "n")),
          bad("numeric column 'n', data row 1: 'NaN' is not a number",
              t
              -> List.of(t.file("n.csv", "a,b,n\nx,y,NaN\ny,x,2\n").toString(), "--numeric", "n")),
          bad("numeric column 'n', data row 2: '-1e999' is too large",
              t
              -> List.of(
                  t.file("n.csv", "a,b,n\nx,y,1\ny,x,-1e999\n").toString(), "--numeric", "n")));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("badInput")
    void badInputIsReportedInOneLineWithStatusTwo(String message, BadCall call) throws IOException {
      List<String> args = new ArrayList<>(List.of("analyse", "-q"));
      args.addAll(call.args(this));
      if (!args.contains("-o")) {
        args.addAll(List.of("-o", temp.resolve("out").toString()));
      }
      Run run = run(args.toArray(new String[0]));
      assertEquals(2, run.status(), run.err());
      assertTrue(
          run.err().startsWith("tallowmere: error: ") && run.err().contains(message), run.err());
      assertEquals(1, run.err().lines().count(), run.err());
      assertFalse(run.err().contains("Exception"), run.err());
    }

    /**
     * The lines of categories.csv without the frequency column and the test values and their
     * p-values (the last four columns), which count weights as frequencies.
     */
    private static List<String> withoutFrequency(List<String> lines) {
      return lines.stream()
          .map(l
              -> l.replaceFirst("^(a|b),([^,]*),([^,]*),(x|y|z|\"[^\"]*\"|\\(missing\\)),[^,]*,",
                      "$1,$2,$3,$4,")
                     .replaceFirst("(,[^,]*){4}$", ""))
          .toList();
    }

    /**
     * Decimal weights give the scores of the same weights times four, bit for bit; missing cells
     * become a category of their own; a column with one observed category is left out with a
     * warning; a label with a comma can be ordered; a semicolon-separated file is read as such.
     */
    @Test
    void decimalWeightsMissingCategoriesConstantColumnsAndQuotedOrder() throws IOException {
      StringBuilder decimals = new StringBuilder("a;b;same;w\n");
      StringBuilder integers = new StringBuilder("a,b,same,w\n");
      String[] a = {"x", "y", "z"};
      String[] b = {"$0-$2,999", "$3,000+", ""};
      for (int i = 0; i < 30; i++) {
        String row = a[i % 3] + ";\"" + b[(i * 7 / 3) % 3] + "\";k";
        decimals.append(row).append(';').append(1 + i % 4).append(".25\n");
        integers.append(row.replace(';', ',')).append(',').append(4 * (1 + i % 4) + 1).append('\n');
      }
      Path weighted = temp.resolve("decimal");
      Path scaled = temp.resolve("integer");
      Run first = run("analyse", file("d.csv", decimals.toString()).toString(), "-w", "w",
          "--missing-as-category", "--order", "b=\"$0-$2,999\",\"$3,000+\"", "--no-plot", "-o",
          weighted.toString());
      assertEquals(0, first.status(), first.err());
      assertTrue(first.err().contains("tallowmere: warning: column 'same' has a single observed "
                     + "category, 'k'"),
          first.err());
      Run second = run("analyse", file("i.csv", integers.toString()).toString(), "-w", "w",
          "--missing-as-category", "--order", "b=\"$0-$2,999\",\"$3,000+\"", "--no-plot", "-q",
          "-o", scaled.toString());
      assertEquals(0, second.status(), second.err());
      // 1.25 .. 4.25 give the solution of 5 .. 17; only the weighted frequencies differ.
      List<String> categories = lines(weighted.resolve("categories.csv"));
      assertEquals(
          withoutFrequency(categories), withoutFrequency(lines(scaled.resolve("categories.csv"))));
      assertTrue(categories.get(1).contains(",x,27.5,"), categories.get(1));
      assertEquals(lines(weighted.resolve("objects.csv"))
                       .subList(1, 31)
                       .stream()
                       .map(l -> l.substring(l.indexOf(',', l.indexOf(',') + 1)))
                       .toList(),
          lines(scaled.resolve("objects.csv"))
              .subList(1, 31)
              .stream()
              .map(l -> l.substring(l.indexOf(',', l.indexOf(',') + 1)))
              .toList());
      assertTrue(
          categories.stream().anyMatch(l -> l.startsWith("b,active,multiple nominal,(missing),")));
      assertTrue(categories.stream().anyMatch(
          l -> l.startsWith("b,active,multiple nominal,\"$0-$2,999\",")));
      String summary = Files.readString(weighted.resolve("summary.txt"));
      assertTrue(summary.contains("fields separated by semicolon (detected)"), summary);
      assertTrue(summary.matches("(?s).*total weight \\d+\\.\\d+\\).*"), summary);
      assertTrue(
          summary.contains("left out:    column 'same': a single observed category, 'k'"), summary);
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
          Path.of(System.getProperty("java.home"), "bin", "java").toString(), "-jar",
          TestData.jar().toString(), "analyse", TestData.examples("vote-labelled.csv").toString(),
          "-o", out.toString(), "-x", "Class", "--colour-by", "Class")
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

    /**
     * Standard error that fails once, when the run reports its analysis: a fault inside the run
     * that no part of the command line expects. Every other line is kept.
     */
    static final class FailingErr extends PrintWriter {
      private Supplier<Throwable> failure;

      FailingErr(StringWriter text, Supplier<Throwable> failure) {
        super(text);
        this.failure = failure;
      }

      @Override
      public void println(String line) {
        if (failure != null && line.startsWith("tallowmere: analysing")) {
          Throwable fault = failure.get();
          failure = null;
          if (fault instanceof Error error) {
            throw error;
          }
          throw(RuntimeException) fault;
        }
        super.println(line);
      }
    }

    static Stream<Arguments> internalFailures() {
      List<Arguments> cases = new ArrayList<>();
      for (boolean debug : List.of(false, true)) {
        cases.add(Arguments.of(
            Named.of("a runtime exception",
                (Supplier<Throwable>) () -> new IllegalStateException("the scores went missing")),
            "IllegalStateException: the scores went missing", debug));
        cases.add(Arguments.of(Named.of("an exception without a message",
                                   (Supplier<Throwable>) NullPointerException::new),
            "NullPointerException", debug));
        cases.add(Arguments.of(
            Named.of("a message of two lines",
                (Supplier<Throwable>) () -> new IllegalArgumentException("first\nsecond")),
            "IllegalArgumentException: first", debug));
        cases.add(Arguments.of(
            Named.of("an error", (Supplier<Throwable>) () -> new AssertionError("the fit went up")),
            "AssertionError: the fit went up", debug));
      }
      return cases.stream();
    }

    /**
     * A fault (a bug, not bad input) ends the run with status 1 and one line that names it; with
     * --debug, its stack trace follows.
     */
    @ParameterizedTest(name = "{0}, --debug {2}")
    @MethodSource("internalFailures")
    void anInternalFailureIsOneLineWithStatusOneAndItsTraceUnderDebug(
        Supplier<Throwable> failure, String named, boolean debug) {
      List<String> args =
          new ArrayList<>(List.of("analyse", TestData.examples("vote.csv").toString(), "--codes",
              "--no-plot", "-o", temp.resolve("out").toString()));
      if (debug) {
        args.add("--debug");
      }
      StringWriter out = new StringWriter();
      StringWriter err = new StringWriter();
      int status = Main.execute(
          new PrintWriter(out), new FailingErr(err, failure), args.toArray(new String[0]));
      List<String> lines = err.toString().lines().toList();
      assertEquals(1, status, err.toString());
      assertEquals("", out.toString());
      // The fault struck after the reading had reported; that line stays, and one more follows.
      assertTrue(lines.get(0).startsWith("tallowmere: reading "), err.toString());
      assertEquals("tallowmere: internal error: " + named + (debug ? "" : " (--debug shows where)"),
          lines.get(1));
      if (debug) {
        assertTrue(lines.size() > 3, err.toString());
        assertTrue(lines.get(2).endsWith(named), err.toString());
        String thrower = "\tat " + FailingErr.class.getName() + ".println";
        assertTrue(lines.stream().anyMatch(line -> line.startsWith(thrower)), err.toString());
      } else {
        assertEquals(2, lines.size(), err.toString());
      }
    }
  }
