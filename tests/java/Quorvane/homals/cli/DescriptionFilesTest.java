package Quorvane.homals.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.TestData;
import com.google.gson.JsonArray;
import com.google.gson.JsonElement;
import com.google.gson.JsonObject;
import com.google.gson.JsonParser;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * What the command writes of the dimensions' description and of numeric columns, and the
 * ellipses it draws, on the vote data with two numeric columns added: a representative's number
 * of yes votes, and a value missing every seventh row (empty or NA) and odd otherwise.
 */
class DescriptionFilesTest {
  @TempDir Path temp;

  /** The vote data with the numeric columns yeses and odd. */
  Path votesWithNumbers() throws IOException {
    List<String> lines = Files.readAllLines(TestData.examples("vote-labelled.csv"));
    StringBuilder csv = new StringBuilder(lines.get(0)).append(",yeses,odd\n");
    for (int row = 1; row < lines.size(); row++) {
      String line = lines.get(row);
      long yeses = List.of(line.split(",", -1)).stream().filter("y" ::equals).count();
      String odd =
          row % 7 == 0 ? (row % 2 == 0 ? "" : "NA") : Double.toString((row * 37 % 11) / 4.0);
      csv.append(line).append(',').append(yeses).append(',').append(odd).append('\n');
    }
    Path file = temp.resolve("votes.csv");
    Files.writeString(file, csv);
    return file;
  }

  @Test
  void theTablesAndSummariesDescribeTheDimensions() throws IOException {
    Path data = votesWithNumbers();
    Path out = temp.resolve("out");
    CommandLineTest.Run run = CommandLineTest.run("analyse", data.toString(), "-q", "--no-plot",
        "-p", "Class", "--numeric", "yeses,odd", "--missing", "NA", "--exclude-category",
        "immigration=n", "-o", out.toString());
    assertEquals(0, run.status(), run.err());

    // An excluded category has its test values as every other category has.
    List<String> categories = CommandLineTest.lines(out.resolve("categories.csv"));
    assertTrue(categories.get(0).endsWith(",v1,v2,p1,p2"), categories.get(0));
    String excluded = categories.stream()
                          .filter(line -> line.startsWith("immigration,excluded,"))
                          .findFirst()
                          .orElseThrow();
    String[] excludedCells = excluded.split(",", -1);
    for (int at = excludedCells.length - 4; at < excludedCells.length; at++) {
      assertFalse(excludedCells[at].isEmpty(), excluded);
    }

    List<String> variables = CommandLineTest.lines(out.resolve("variables.csv"));
    assertEquals("variable,role,quantification,eta2_1,eta2_2,p_1,p_2", variables.get(0));
    assertEquals(1 + 17, variables.size(), "the numeric columns are not analysed");
    assertTrue(
        variables.get(17).startsWith("Class,passive,multiple nominal,0."), variables.get(17));

    // The correlations against the scores of objects.csv, unweighted Pearson over the rows that
    // have both a score and a value.
    List<String> objects = CommandLineTest.lines(out.resolve("objects.csv"));
    List<String> rows = Files.readAllLines(data);
    List<String> numeric = CommandLineTest.lines(out.resolve("numeric.csv"));
    assertEquals(List.of("variable,observed,r1,r2"), numeric.subList(0, 1));
    for (int column = 0; column < 2; column++) {
      String[] cells = numeric.get(1 + column).split(",");
      List<double[]> pairs = new ArrayList<>();
      for (int d = 0; d < 2; d++) {
        pairs.clear();
        for (int row = 1; row < rows.size(); row++) {
          String[] values = rows.get(row).split(",", -1);
          String value = values[values.length - 2 + column];
          String score = objects.get(row).split(",", -1)[2 + d];
          if (!score.isEmpty() && !value.isEmpty() && !value.equals("NA")) {
            pairs.add(new double[] {Double.parseDouble(value), Double.parseDouble(score)});
          }
        }
        assertEquals(pearson(pairs), Double.parseDouble(cells[2 + d]), 1e-12, cells[0]);
      }
      assertEquals(List.of("yeses", "odd").get(column), cells[0]);
      assertEquals(pairs.size(), Integer.parseInt(cells[1]), cells[0] + " observed");
    }

    JsonObject summary =
        JsonParser.parseString(Files.readString(out.resolve("summary.json"))).getAsJsonObject();
    JsonArray descriptions = summary.getAsJsonArray("dimensionDescription");
    assertEquals(2, descriptions.size());
    for (JsonElement element : descriptions) {
      JsonObject dimension = element.getAsJsonObject();
      assertEquals(17, dimension.getAsJsonArray("variables").size());
      double last = Double.POSITIVE_INFINITY;
      for (JsonElement category : dimension.getAsJsonArray("categories")) {
        double v = category.getAsJsonObject().get("v").getAsDouble();
        assertTrue(Math.abs(v) > 2 && v <= last, "v " + v + " after " + last);
        last = v;
      }
    }
    List<String> marked = new ArrayList<>();
    for (JsonElement category :
        descriptions.get(1).getAsJsonObject().getAsJsonArray("categories")) {
      JsonObject entry = category.getAsJsonObject();
      if (entry.get("excluded").getAsBoolean()) {
        marked.add(
            entry.get("variable").getAsString() + ": " + entry.get("category").getAsString());
      }
    }
    assertEquals(List.of("immigration: n"), marked, "dimension 2 characterised by the excluded n");
    assertEquals("yeses",
        summary.getAsJsonArray("numeric").get(0).getAsJsonObject().get("name").getAsString());
    String text = Files.readString(out.resolve("summary.txt"));
    assertTrue(text.contains("Dimension 2: the variables by correlation ratio (eta2)"), text);
    assertTrue(text.matches("(?s).*\n  immigration: n \\(excluded\\) +3\\.\\d\\d .*"), text);
    assertTrue(text.matches("(?s).*\n  yeses +434 .*"), text);

    Path plain = temp.resolve("plain");
    assertEquals(0,
        CommandLineTest
            .run("analyse", data.toString(), "-q", "--no-plot", "-x", "yeses,odd", "-o",
                plain.toString())
            .status());
    assertFalse(Files.exists(plain.resolve("numeric.csv")));
    assertEquals("[]",
        JsonParser.parseString(Files.readString(plain.resolve("summary.json")))
            .getAsJsonObject()
            .get("numeric")
            .toString());
  }

  static double pearson(List<double[]> pairs) {
    double[] mean = new double[2];
    for (double[] pair : pairs) {
      mean[0] += pair[0] / pairs.size();
      mean[1] += pair[1] / pairs.size();
    }
    double xy = 0;
    double xx = 0;
    double yy = 0;
    for (double[] pair : pairs) {
      xy += (pair[0] - mean[0]) * (pair[1] - mean[1]);
      xx += (pair[0] - mean[0]) * (pair[0] - mean[0]);
      yy += (pair[1] - mean[1]) * (pair[1] - mean[1]);
    }
    return xy / Math.sqrt(xx * yy);
  }

  /**
   * Ellipses of a column that is analysed and colours the objects share the objects' legend; of
   * a column that is not analysed, they have a legend of their own; the arrows of the numeric
   * columns are named and their scale stated.
   */
  @Test
  @Tag("plot")
  void ellipsesAndArrowsAreDrawnAndExplained() throws IOException {
    Path data = votesWithNumbers();
    for (List<String> options : List.of(List.of("-p", "Class", "--colour-by", "Class"),
             List.of("-x", "Class", "--colour-by", "immigration"))) {
      Path out = temp.resolve("plot-" + options.get(0));
      List<String> args = new ArrayList<>(List.of("analyse", data.toString(), "-q", "--ellipses",
          "Class", "--numeric", "yeses,odd", "--missing", "NA", "-o", out.toString()));
      args.addAll(options);
      CommandLineTest.Run run = CommandLineTest.run(args.toArray(new String[0]));
      assertEquals(0, run.status(), run.err());
      String svg = Files.readString(out.resolve("joint-plot.svg"));
      for (String text : List.of(">Class: democrat (267)<", ">Class: republican (167)<",
               "Ellipses: the objects of each category of Class", ">yeses<", ">odd<")) {
        assertTrue(svg.contains(text), options + ": no " + text);
      }
      assertTrue(svg.matches("(?s).*Arrows: the correlations of the numeric variables with the "
                     + "two dimensions, times [0-9.]+ \\(dashed circle: a correlation of 1\\).*"),
          options.toString());
      assertEquals(options.contains("immigration"), svg.contains(">immigration: n ("),
          "the objects' own legend");
      assertEquals(1, svg.split(">Class: democrat \\(267\\)<", -1).length - 1,
          options + ": the ellipses' legend repeats the objects'");
      assertTrue(Files.readString(out.resolve("report.html")).contains("Numeric variables"));
    }
  }
}
