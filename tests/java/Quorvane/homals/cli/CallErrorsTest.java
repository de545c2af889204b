package Quorvane.homals.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;

import Quorvane.homals.TestData;
import java.io.IOException;
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
 * Calls that cannot run: each says, in the lines a user reads, what is wrong in the user's own
 * terms (the option as typed, the column), and ends with status 2.
 */
class CallErrorsTest {
  @TempDir Path temp;

  static List<String> errLines(List<String> args) {
    CommandLineTest.Run run = CommandLineTest.run(args.toArray(new String[0]));
    assertEquals(2, run.status(), run.err());
    return run.err().lines().toList();
  }

  static Stream<Arguments> unparsable() {
    String vote = TestData.examples("vote.csv").toString();
    String error = "tallowmere: error: ";
    return Stream.of(Arguments.of(List.of(),
                         List.of("Usage: tallowmere analyse DATA.csv|TABLE-URL [OPTIONS]",
                             "       tallowmere project MODEL.json NEW.csv [OPTIONS]",
                             "       tallowmere --help | --version",
                             "'tallowmere analyse --help' lists the options.")),
        Arguments.of(List.of("analyse", vote, "--bogus"),
            List.of(error + "unknown option '--bogus' (see --help)")),
        Arguments.of(List.of("analyse", vote, "--tolerence", "1e-6"),
            List.of(
                error + "unknown option '--tolerence'; did you mean --tolerance? (see --help)")),
        Arguments.of(
            List.of("analyse"), List.of(error + "missing required parameter: 'DATA' (see --help)")),
        Arguments.of(List.of("analyse", vote, "-d", "two"),
            List.of(error + "invalid value for option '--dimensions': 'two' is not an int "
                + "(see --help)")));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("unparsable")
  void aCallThatCannotBeParsedIsShort(List<String> args, List<String> lines) {
    assertEquals(lines, errLines(args));
  }

  /** Each setting of the analysis is refused as the option it came from, before any reading. */
  static Stream<Arguments> optionValues() {
    String tolerance = "must be a finite number, 0 or more";
    return Stream.of(Arguments.of("--tolerance", "-1", tolerance),
        Arguments.of("--tolerance", "Infinity", tolerance),
        Arguments.of("--fit-tolerance", "-1e-3", tolerance),
        Arguments.of("--cosine-tolerance", "NaN", tolerance),
        Arguments.of("--dimensions", "0", "must be 1 or more"),
        Arguments.of("--max-iterations", "0", "must be 1 or more"),
        Arguments.of("--inner-iterations", "0", "must be 1 or more"),
        Arguments.of("--threads", "1025", "must be 1 to 1024"),
        Arguments.of("--plot-size", "100", "must be 200 to 10000 pixels"));
  }

  @ParameterizedTest(name = "{0} {1}")
  @MethodSource("optionValues")
  void anOptionValueIsRefusedByItsOptionName(String option, String value, String why) {
    // The file does not exist: the option is refused before the file is looked at.
    assertEquals(List.of("tallowmere: error: " + option + " " + value + ": " + why),
        errLines(List.of("analyse", temp.resolve("absent.csv").toString(), option, value)));
  }

  List<String> analyse(String data, String... options) throws IOException {
    Path file = Files.createTempFile(temp, "data", ".csv");
    Files.writeString(file, data);
    List<String> args = new ArrayList<>(List.of(
        "analyse", file.toString(), "-q", "--no-plot", "-o", temp.resolve("out").toString()));
    args.addAll(List.of(options));
    return errLines(args);
  }

  @Test
  void dimensionsTheDataCannotCarryAreBlamedOnTheOption() throws IOException {
    assertEquals(List.of("tallowmere: error: --dimensions 3: 3 dimensions asked, but the active "
                     + "variables span at most 2 (a multiple variable adds its observed "
                     + "categories less one, or all of them when it has missing values, and a "
                     + "single variable adds one)"),
        analyse("a,b\nx,y\nz,q\nx,q\nz,y\n", "-d", "3"));
  }

  /** Even under --quiet: without the warnings the error would not make sense. */
  @Test
  void theColumnsLeftOutAreToldBeforeTheFailureTheyCause() throws IOException {
    String left = " so it separates no objects; it is left out of the analysis";
    assertEquals(
        List.of("tallowmere: warning: column 'a' has a single observed category, 'x'," + left,
            "tallowmere: warning: column 'b' has a single observed category, 'y'," + left,
            "tallowmere: error: the analysis has no variables"),
        analyse("a,b\nx,y\n"));
  }

  @Test
  void weightsThatAreAllZeroAreNamedAsTheCause() throws IOException {
    assertEquals(List.of("tallowmere: error: weight column 'w': no object has a positive weight, "
                     + "so none takes part in the analysis"),
        analyse("a,b,w\nx,y,0\nz,q,0.0\nx,q,0\n", "-w", "w"));
    // Some positive weight: the weights are not all to blame, and the failure is told as it is.
    assertEquals(List.of("tallowmere: error: variable 'a' has no observed value on an object "
                     + "that takes part"),
        analyse("a,b,w\n,y,1\n,q,2\nz,q,0\nx,y,0\n", "-w", "w"));
  }
}
