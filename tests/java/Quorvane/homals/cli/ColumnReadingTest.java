package Quorvane.homals.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * How the command line reads what a column's labels leave open: the order and values of an
 * ordinal or numerical column, and columns that are likely not categorical variables at all.
 */
class ColumnReadingTest {
  @TempDir Path temp;

  /**
   * 60 objects: a and b agree on most of them; age holds intervals, grade words; id is unique
   * per object; n holds whole numbers.
   */
  private Path data() throws IOException {
    String[] ages = {"[1,18]", "(18,30]", "(30,63.25]", "(63.25,99]"};
    String[] grades = {"low", "mid", "high"};
    StringBuilder csv = new StringBuilder("a,b,age,grade,id,n\n");
    for (int i = 0; i < 60; i++) {
      int a = i % 4;
      int b = i % 7 == 0 ? (a + 1) % 4 : a;
      csv.append("a")
          .append(a)
          .append(",b")
          .append(b)
          .append(',')
          .append('"')
          .append(ages[(a + i / 17) % 4])
          .append("\",")
          .append(grades[(a + i % 2) % 3])
          .append(",id")
          .append(i)
          .append(',')
          .append(1 + i % 5)
          .append('\n');
    }
    Path file = temp.resolve("columns.csv");
    Files.writeString(file, csv, StandardCharsets.UTF_8);
    return file;
  }

  private CommandLineTest.Run analyse(String... options) throws IOException {
    List<String> args = new ArrayList<>(
        List.of("analyse", data().toString(), "--no-plot", "-o", temp.resolve("out").toString()));
    args.addAll(List.of(options));
    return CommandLineTest.run(args.toArray(new String[0]));
  }

  static Stream<Arguments> warnings() {
    return Stream.of(
        Arguments.of(List.of("-x", "id,n", "--single", "age=ordinal"),
            "column 'age' is ordinal and its labels are not numbers; its categories are ordered "
                + "by the numbers they begin with: [1,18], (18,30], (30,63.25], (63.25,99]"),
        Arguments.of(List.of("-x", "id,n", "--single", "grade=ordinal"),
            "column 'grade' is ordinal but its categories are ordered alphabetically: high, low, "
                + "mid; --order grade=LABEL,LABEL,... gives their order"),
        Arguments.of(
            List.of("-x", "id,n", "--single", "grade=numerical", "--order", "grade=low,mid,high"),
            "column 'grade' is numerical but its labels are not all numbers, so its categories "
                + "are spaced as their ranks 1 .. 3; --values grade=V,V,..."),
        Arguments.of(List.of("-x", "n"),
            "column 'id' has 60 categories for 60 objects: an "
                + "identifier?"),
        Arguments.of(List.of("-x", "id"),
            "column 'n' holds whole numbers: the counts of a "
                + "frequency table? Analysed, they become one more variable; -w n"));
  }

  @ParameterizedTest
  @MethodSource
  void warnings(List<String> options, String warning) throws IOException {
    CommandLineTest.Run run = analyse(options.toArray(new String[0]));
    assertEquals(0, run.status(), run.err());
    assertTrue(run.err().contains("tallowmere: warning: " + warning), run.err());
  }

  /** Nothing to warn of where the options settle it. */
  @Test
  void noWarningWhenTheOptionsSayIt() throws IOException {
    CommandLineTest.Run run = analyse("-x", "id", "-w", "n", "--single", "age=ordinal", "--single",
        "grade=numerical", "--order", "age=\"[1,18]\",\"(18,30]\",\"(30,63.25]\",\"(63.25,99]\"",
        "--order", "grade=low,mid,high", "--values", "grade=0,1,5");
    assertEquals(0, run.status(), run.err());
    assertFalse(run.err().contains("warning"), run.err());
  }

  /**
   * A numerical column's quantifications are spaced as its --values are: the gaps between the
   * three categories stand as 1 to 4.
   */
  @Test
  void valuesSpaceANumericalColumn() throws IOException {
    CommandLineTest.Run run = analyse("-x", "id,n", "--single", "grade=numerical", "--order",
        "grade=low,mid,high", "--values", "grade=0,1,5");
    assertEquals(0, run.status(), run.err());
    double[] q = new double[3];
    for (String line : Files.readAllLines(temp.resolve("out").resolve("categories.csv"))) {
      String[] cells = line.split(",");
      if (cells[0].equals("grade")) {
        q[List.of("low", "mid", "high").indexOf(cells[3])] = Double.parseDouble(cells[5]);
      }
    }
    assertEquals(4.0, (q[2] - q[1]) / (q[1] - q[0]), 1e-9);
  }

  /** Survey weights with all their digits are taken as they are, and summed exactly. */
  @Test
  void surveyWeightsWithManyDecimals() throws IOException {
    StringBuilder csv = new StringBuilder("a,b,w\n");
    for (int i = 0; i < 40; i++) {
      csv.append("x")
          .append(i % 3)
          .append(",y")
          .append((i + i / 5) % 3)
          .append(',')
          .append(i % 2 == 0 ? "2.764645472846747" : "0.5")
          .append('\n');
    }
    Path file = temp.resolve("survey.csv");
    Files.writeString(file, csv);
    Path out = temp.resolve("survey");
    CommandLineTest.Run run = CommandLineTest.run(
        "analyse", file.toString(), "-w", "w", "--no-plot", "-o", out.toString());
    assertEquals(0, run.status(), run.err());
    assertTrue(
        Files.readString(out.resolve("summary.txt")).contains("total weight 65.29290945693494)"),
        Files.readString(out.resolve("summary.txt")));
  }

  /** An excluded category is marked as such in every table and summary. */
  @Test
  void excludedCategoriesAreMarked() throws IOException {
    CommandLineTest.Run run = analyse("-x", "id,n", "--exclude-category", "grade=mid");
    assertEquals(0, run.status(), run.err());
    Path out = temp.resolve("out");
    List<String> rows = Files.readAllLines(out.resolve("categories.csv"));
    assertTrue(rows.stream().anyMatch(r -> r.startsWith("grade,excluded,multiple nominal,mid,")),
        rows.toString());
    assertTrue(rows.stream().anyMatch(r -> r.startsWith("grade,active,multiple nominal,low,")));
    assertTrue(Files.readString(out.resolve("summary.txt"))
                   .contains("excluded:    column 'grade': 'mid' (missing for the fit"));
    assertTrue(Files.readString(out.resolve("summary.json"))
                   .matches("(?s).*\"excludedCategories\": \\[\\s*\"mid\"\\s*\\].*"));
    CommandLineTest.Run bad = analyse("-x", "id,n", "--exclude-category", "grade=middle");
    assertEquals(2, bad.status(), bad.err());
    assertTrue(bad.err().contains("--exclude-category grade=middle: variable 'grade': cannot "
                   + "exclude 'middle'"),
        bad.err());
  }

  static Stream<Arguments> badValues() {
    return Stream.of(Arguments.of("grade=1,2", "2 values for the column's 3 categories"),
        Arguments.of("grade=1,x,3", "'x' is not a finite number"),
        Arguments.of("grade=2,2,2", "the category values are all 2.0"),
        Arguments.of("id=1,2", "names column 'id', which is not analysed"));
  }

  @ParameterizedTest
  @MethodSource
  void badValues(String values, String message) throws IOException {
    CommandLineTest.Run run = analyse("-x", "id,n", "--values", values);
    assertEquals(2, run.status(), run.err());
    assertTrue(run.err().contains(message), run.err());
  }
}
