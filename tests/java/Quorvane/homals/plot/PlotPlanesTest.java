package Quorvane.homals.plot;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.TestData;
import Quorvane.homals.cli.Main;
import java.io.PrintWriter;
import java.io.StringWriter;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.stream.Stream;
import org.jsoup.Jsoup;
import org.jsoup.nodes.Document;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** Several planes on the command line: their files, the report, and the pairs refused. */
class PlotPlanesTest {
  @TempDir Path temp;

  record Run(int status, String err) {}

  Run run(String... options) {
    List<String> args = new ArrayList<>(List.of("analyse",
        TestData.examples("vote-labelled.csv").toString(), "-q", "-o", temp.toString(), "-d", "3"));
    args.addAll(List.of(options));
    StringWriter err = new StringWriter();
    int status = Main.execute(
        new PrintWriter(new StringWriter()), new PrintWriter(err), args.toArray(new String[0]));
    return new Run(status, err.toString());
  }

  @Test
  @Tag("plot")
  void everyPlaneHasItsPlotsAndTheFirstKeepsThePlainNames() throws Exception {
    Run run = run("--plot-dimensions", "2,3,1,3", "--plot-dimensions", "3,1");
    assertEquals(0, run.status(), run.err());
    Document report = Jsoup.parse(temp.resolve("report.html").toFile(), "UTF-8");
    String[][] planes = {{"", "2", "3"}, {"-1-3", "1", "3"}, {"-3-1", "3", "1"}};
    List<String> figures = new ArrayList<>();
    for (String[] plane : planes) {
      for (String kind : List.of("joint-plot", "discrimination")) {
        String name = kind + plane[0];
        figures.add("plot-" + name);
        assertTrue(Files.size(temp.resolve(name + ".png")) > 0, name);
        String svg = Files.readString(temp.resolve(name + ".svg"));
        assertTrue(svg.contains(">Dimension " + plane[1] + " (")
                && svg.contains(">Dimension " + plane[2] + " ("),
            name + " shows another plane");
        assertEquals(1, report.select("figure#plot-" + name + " > svg").size(), name);
      }
    }
    assertEquals(figures, report.select("figure[id~=joint|discrimination]").eachAttr("id"));
  }

  static Stream<Arguments> badPairs() {
    return Stream.of(Arguments.of("1,2,3", "--plot-dimensions 1,2,3: dimensions go in pairs"),
        Arguments.of("1,2,2,2", "--plot-dimensions 2,2: a plane needs two different dimensions"),
        Arguments.of("1,2,1,4", "--plot-dimensions 1,4: the solution has dimensions 1 to 3"),
        Arguments.of("0,1,1,2", "--plot-dimensions 0,1: the solution has dimensions 1 to 3"),
        Arguments.of("1,3,2,3,1,3", "--plot-dimensions 1,3: the plane is asked for twice"));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("badPairs")
  void aBadPairIsNamedInOneLine(String planes, String message) {
    Run run = run("--plot-dimensions", planes);
    assertEquals(2, run.status(), run.err());
    assertTrue(run.err().startsWith("tallowmere: error: " + message), run.err());
    assertEquals(1, run.err().lines().count(), run.err());
  }
}
