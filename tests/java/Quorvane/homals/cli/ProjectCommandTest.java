package Quorvane.homals.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.HomalsModel;
import Quorvane.homals.Projection;
import Quorvane.homals.TestData;
import Quorvane.homals.Variable;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** model.json from analyse, and project scoring rows with it. */
class ProjectCommandTest {
  static final String SMALL = "a,b,c\nx,p,u\ny,q,v\nx,q,u\ny,p,v\nx,p,v\ny,q,u\nz,p,u\nz,q,v\n";

  @TempDir Path temp;

  Path file(String name, String text) throws IOException {
    return Files.writeString(temp.resolve(name), text);
  }

  /** Analyses and returns the output folder, which holds model.json. */
  Path analyse(String data, String... options) {
    Path out = temp.resolve("fit");
    List<String> args =
        new ArrayList<>(List.of("analyse", data, "-q", "--no-plot", "-o", out.toString()));
    args.addAll(List.of(options));
    CommandLineTest.Run run = CommandLineTest.run(args.toArray(new String[0]));
    assertEquals(0, run.status(), run.err());
    return out;
  }

  static Stream<Arguments> analysed() {
    return Stream.of(Arguments.of("vote-labelled.csv",
                         List.of("--passive", "Class", "--missing-as-category", "--missing", "?")),
        Arguments.of("vote.csv", List.of("--codes", "-x", "Class")),
        Arguments.of("vote-labelled.csv",
            List.of(
                "-s", "Class=nominal", "--solver", "objects", "--tolerance", "1e-13", "-d", "3")));
  }

  /** The rows of the analysed file itself are scored as the analysis scored them. */
  @ParameterizedTest(name = "{0} {1}")
  @MethodSource("analysed")
  void theAnalysedRowsGetTheirScoresBack(String data, List<String> options) throws IOException {
    String csv = TestData.examples(data).toString();
    Path fit = analyse(csv, options.toArray(new String[0]));
    Path out = temp.resolve("scores");
    CommandLineTest.Run run = CommandLineTest.run(
        "project", fit.resolve("model.json").toString(), csv, "-q", "-o", out.toString());
    assertEquals(0, run.status(), run.err());
    List<String> objects = CommandLineTest.lines(fit.resolve("objects.csv"));
    List<String> scores = CommandLineTest.lines(out.resolve("scores.csv"));
    assertEquals(objects.size(), scores.size());
    assertTrue(scores.get(0).matches("object(,dim\\d)+"), scores.get(0));
    for (int row = 1; row < objects.size(); row++) {
      String[] fitted = objects.get(row).split(",", -1);
      String[] scored = scores.get(row).split(",", -1);
      assertEquals(fitted[0], scored[0]);
      for (int d = 1; d < scored.length; d++) {
        String expected = fitted[d + 1];
        assertEquals(expected.isEmpty(), scored[d].isEmpty(), "row " + row);
        if (!expected.isEmpty()) {
          assertEquals(Double.parseDouble(expected), Double.parseDouble(scored[d]), 1e-12);
        }
      }
    }
  }

  /** Rows named by --id; unknown labels, an absent column and a row without scores told. */
  @Test
  void whatCannotBeScoredIsToldAndLeftEmpty() throws IOException {
    Path fit = analyse(file("small.csv", SMALL).toString());
    Path data = file("new.csv", "id,a,b,extra\nr1,x,p,1\nr2,zz,q,2\nr3,,,3\nr4,y,zz,4\n");
    Path out = temp.resolve("new");
    CommandLineTest.Run run = CommandLineTest.run("project", fit.resolve("model.json").toString(),
        data.toString(), "--id", "id", "-q", "-o", out.toString());
    assertEquals(0, run.status(), run.err());
    String warning = "tallowmere: warning: ";
    assertEquals(List.of(warning + "the model's active variable 'c' is not a column of new.csv; "
                         + "it counts as missing on every row",
                     warning + "column 'a': 1 cell has a label the model does not know ('zz'); "
                         + "read as missing",
                     warning + "column 'b': 1 cell has a label the model does not know ('zz'); "
                         + "read as missing",
                     warning + "1 row has no known value of an active variable of the model, so "
                         + "no scores (empty cells)"),
        run.err().lines().toList());

    Projection expected =
        HomalsModel.load(fit.resolve("model.json"))
            .project(List.of(Variable.ofLabels("a", Arrays.asList("x", null, null, "y")),
                Variable.ofLabels("b", Arrays.asList("p", "q", null, null))));
    List<String> rows = CommandLineTest.lines(out.resolve("scores.csv"));
    assertEquals("object,dim1,dim2", rows.get(0));
    assertEquals("r3,,", rows.get(3));
    for (int i : new int[] {0, 1, 3}) {
      String[] cells = rows.get(i + 1).split(",");
      assertEquals("r" + (i + 1), cells[0]);
      for (int d = 0; d < 2; d++) {
        assertEquals(expected.score(i, d), Double.parseDouble(cells[d + 1]), 0.0);
      }
    }
  }

  interface Call {
    List<String> args(Path model, Path data);
  }

  static Stream<Arguments> refused() {
    return Stream.of(Arguments.of("no active column",
                         (Call) (m, d)
                             -> List.of(m.toString(), d.resolveSibling("other.csv").toString()),
                         "none of the model's active variables ('a', 'b', 'c') is a column of "
                             + "OTHER; its columns are [x, y]"),
        Arguments.of("no model",
            (Call) (m, d) -> List.of(m + ".gone", d.toString()), "no such file: MODEL.gone"),
        Arguments.of("not a model",
            (Call) (m, d)
                -> List.of(d.toString(), d.toString()),
            "DATA: not a JSON document: a syntax error at line 1 column 1"),
        Arguments.of("unknown id column",
            (Call) (m, d)
                -> List.of(m.toString(), d.toString(), "--id", "name"),
            "no column named 'name'; the columns are [a, b, c]"),
        Arguments.of("threads",
            (Call) (m, d)
                -> List.of(m.toString(), d.toString(), "--threads", "0"),
            "--threads 0: must be 1 to 1024"));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("refused")
  void aCallThatCannotBeScoredSaysWhyInOneLine(String name, Call call, String message)
      throws IOException {
    Path data = file("small.csv", SMALL);
    Path other = file("other.csv", "x,y\n1,2\n");
    Path model = analyse(data.toString()).resolve("model.json");
    List<String> args = new ArrayList<>(List.of("project"));
    args.addAll(call.args(model, data));
    args.addAll(List.of("-q", "-o", temp.resolve("out").toString()));
    CommandLineTest.Run run = CommandLineTest.run(args.toArray(new String[0]));
    assertEquals(2, run.status(), run.err());
    assertEquals(List.of("tallowmere: error: "
                     + message.replace("OTHER", other.toString())
                           .replace("MODEL", model.toString())
                           .replace("DATA", data.toString())),
        run.err().lines().toList());
  }

  /** model.json is one of the run's files: a failure to write it leaves the last complete set. */
  @Test
  void aModelThatCannotBeWrittenLeavesTheLastCompleteSet() throws IOException {
    Path out = temp.resolve("out");
    assertEquals(0, OutputFilesTest.run(Files::newOutputStream, out, "--no-plot").status());
    var before = OutputFilesTest.contents(out);
    assertTrue(before.containsKey("model.json"));
    CommandLineTest.Run failed = OutputFilesTest.run(
        OutputFilesTest.fullDisk("model.json", 100), out, "--no-plot", "-d", "3");
    assertEquals(List.of("tallowmere: error: cannot write " + out.resolve("model.json")
                     + ": No space left on device"),
        failed.err().lines().toList());
    assertEquals(before, OutputFilesTest.contents(out));
  }
}
