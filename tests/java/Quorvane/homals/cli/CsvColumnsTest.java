package Quorvane.homals.cli;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.TestData;
import Quorvane.homals.Variable;
import Quorvane.homals.VariableResult;
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
import picocli.CommandLine;

/** The streaming reader: the same analysis as one string per object, and awkward files. */
class CsvColumnsTest {
  @TempDir Path temp;

  /** What the command line reads from a file with these options. */
  static AnalyseCommand.Input read(Path file, String... options) throws IOException {
    AnalyseCommand command = new AnalyseCommand();
    List<String> args = new ArrayList<>(List.of(file.toString()));
    args.addAll(List.of(options));
    new CommandLine(command).parseArgs(args.toArray(new String[0]));
    return command.read();
  }

  /**
   * The analysis as it was built before the streaming reader: every column a list of strings,
   * given to {@link Variable#ofLabels(String, List)}.
   */
  static HomalsAnalysis fromStrings(Path file, String passive) throws IOException {
    List<String> lines = Files.readAllLines(file, StandardCharsets.UTF_8);
    String[] names = lines.get(0).split(",");
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder();
    for (int c = 0; c < names.length; c++) {
      List<String> cells = new ArrayList<>();
      for (String line : lines.subList(1, lines.size())) {
        cells.add(line.split(",", -1)[c].trim());
      }
      Variable v = Variable.ofLabels(names[c], cells);
      builder.variable(names[c].equals(passive) ? v.passive() : v);
    }
    return builder.build();
  }

  static Stream<Arguments> bundledData() {
    return Stream.of(Arguments.of(TestData.examples("vote-labelled.csv"), "Class"),
        Arguments.of(TestData.data("haireyecolor-persons.csv"), "Sex"));
  }

  @ParameterizedTest
  @MethodSource("bundledData")
  void theAnalysisIsBitForBitThatOfOneStringPerObject(Path file, String passive)
      throws IOException {
    HomalsAnalysis before = fromStrings(file, passive);
    HomalsAnalysis after = read(file, "-p", passive).analysis();
    assertEquals(before.variables(), after.variables());
    HomalsResult expected = before.run();
    HomalsResult actual = after.run();
    assertArrayEquals(expected.eigenvalues(), actual.eigenvalues());
    assertArrayEquals(expected.objectScores(), actual.objectScores());
    for (VariableResult v : expected.variables()) {
      assertArrayEquals(v.quantifications(), actual.variable(v.name()).quantifications());
    }
  }

  /** One small table in the forms a CSV file may take. */
  static Stream<Arguments> awkwardFiles() {
    String table = "id,answer, score \n"
        + "\"Smith, J\", yes ,1\n"
        + "\"two\nlines\",\"no, never\",2\n"
        + "\n"
        + "\"say \"\"hi\"\"\",NA,\n"
        + "#4,,-3\n"
        + "5,\" yes\",7\n";
    return Stream.of(Arguments.of("LF", table.getBytes(StandardCharsets.UTF_8)),
        Arguments.of("CRLF", table.replace("\n", "\r\n").getBytes(StandardCharsets.UTF_8)),
        Arguments.of("BOM", ("\uFEFF" + table).getBytes(StandardCharsets.UTF_8)),
        Arguments.of("BOM, CRLF",
            ("\uFEFF" + table.replace("\n", "\r\n")).getBytes(StandardCharsets.UTF_8)));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("awkwardFiles")
  void quotedCellsLineBreaksAndByteOrderMarksAreRead(String form, byte[] content)
      throws IOException {
    Path file = temp.resolve("awkward.csv");
    Files.write(file, content);
    AnalyseCommand.Input labels = read(file, "--id", "id", "--missing", "NA");
    Variable answer = labels.analysis().variable("answer");
    assertEquals(List.of("no, never", "yes"), answer.categories());
    assertArrayEquals(new int[] {2, 1, 0, 0, 2}, answer.codes());
    assertEquals(List.of("Smith, J", form.contains("CRLF") ? "two\r\nlines" : "two\nlines",
                     "say \"hi\"", "#4", "5"),
        labels.ids());
    Variable score = read(file, "--codes", "--columns", "score").analysis().variable("score");
    assertArrayEquals(new int[] {1, 2, 0, 0, 7}, score.codes());
  }

  /** objects.csv with names that need quotes reads back through the reader. */
  @Test
  void objectNamesReadBackFromObjectsCsv() throws IOException {
    Path file = temp.resolve("names.csv");
    List<String> names = List.of("a, b", "quote \"q\"", "line\nbreak", "plain", "é", "#", "x");
    StringBuilder csv = new StringBuilder("name,u,v\n");
    for (int i = 0; i < names.size(); i++) {
      String quoted = '"' + names.get(i).replace("\"", "\"\"") + '"';
      csv.append(quoted).append(',').append(i % 3).append(',').append(i % 2).append('\n');
    }
    Files.writeString(file, csv);
    Path out = temp.resolve("out");
    assertEquals(0,
        Main.execute(new java.io.PrintWriter(new java.io.StringWriter()),
            new java.io.PrintWriter(new java.io.StringWriter()), "analyse", file.toString(), "-q",
            "--no-plot", "--id", "name", "-d", "1", "-o", out.toString()));
    assertEquals(names, read(out.resolve("objects.csv"), "--id", "object", "-x", "weight").ids());
  }
}
