package Quorvane.homals.cli;

import Quorvane.homals.AnalysisFailedException;
import Quorvane.homals.InvalidAnalysisException;
import java.io.IOException;
import java.io.PrintWriter;
import picocli.CommandLine;
import picocli.CommandLine.Command;

/** The command line: {@code java -jar tallowmere.jar analyse DATA.csv [options]}. */
@Command(name = "tallowmere", mixinStandardHelpOptions = true,
    versionProvider = Main.Version.class,
    subcommands = {AnalyseCommand.class, CommandLine.HelpCommand.class},
    description = "Homogeneity analysis (multiple correspondence analysis by alternating "
        + "least squares) of categorical data.")
public final class Main implements Runnable {
  /** Exit status for bad input: options, data, or an analysis that cannot be run. */
  public static final int EXIT_INPUT = 2;
  /** Exit status for a failed run: the native library, files that cannot be written. */
  public static final int EXIT_FAILURE = 1;

  @CommandLine.Spec
  CommandLine.Model.CommandSpec commandSpec;

  @Override
  public void run() {
    commandSpec.commandLine().usage(commandSpec.commandLine().getErr());
  }

  public static void main(String[] args) {
    System.setProperty("java.awt.headless", "true");
    System.exit(execute(args));
  }

  /** Runs the command line and returns its exit status instead of exiting. */
  public static int execute(String... args) {
    return commandLine().execute(args);
  }

  /** Runs the command line with its output and messages sent to the given writers. */
  public static int execute(PrintWriter out, PrintWriter err, String... args) {
    CommandLine commandLine = commandLine();
    commandLine.setOut(out);
    commandLine.setErr(err);
    return commandLine.execute(args);
  }

  private static CommandLine commandLine() {
    CommandLine commandLine = new CommandLine(new Main());
    commandLine.setExecutionExceptionHandler(Main::report);
    return commandLine;
  }

  private static int report(Exception e, CommandLine commandLine,
      CommandLine.ParseResult parseResult) {
    PrintWriter err = commandLine.getErr();
    if (e instanceof CliException || e instanceof InvalidAnalysisException) {
      err.println("tallowmere: error: " + e.getMessage());
      err.flush();
      return EXIT_INPUT;
    }
    if (e instanceof AnalysisFailedException) {
      err.println("tallowmere: failed: " + e.getMessage());
      err.flush();
      return EXIT_FAILURE;
    }
    if (e instanceof IOException) {
      // NIO's messages are often just the path; the class names the problem.
      err.println("tallowmere: failed: " + e.getClass().getSimpleName() + ": " + e.getMessage());
      err.flush();
      return EXIT_FAILURE;
    }
    throw new IllegalStateException(e);
  }

  /** The version from the jar's manifest. */
  static final class Version implements CommandLine.IVersionProvider {
    @Override
    public String[] getVersion() {
      String version = Main.class.getPackage().getImplementationVersion();
      return new String[] {"tallowmere " + (version == null ? "(development build)" : version)};
    }
  }
}
