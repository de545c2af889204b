package Quorvane.homals.cli;

import Quorvane.homals.AnalysisFailedException;
import Quorvane.homals.InvalidAnalysisException;
import Quorvane.homals.source.SourceException;
import java.io.IOException;
import java.io.PrintWriter;
import java.nio.file.AccessDeniedException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.FileSystemException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.util.List;
import java.util.Locale;
import java.util.concurrent.Callable;
import picocli.CommandLine;
import picocli.CommandLine.Command;

/**
 * The command line: {@code java -jar tallowmere.jar analyse DATA.csv [options]}, and {@code
 * project MODEL.json NEW.csv [options]} to score new rows with the model an analysis saved.
 */
@Command(name = "tallowmere", mixinStandardHelpOptions = true, versionProvider = Main.Version.class,
    subcommands = {AnalyseCommand.class, ProjectCommand.class, CommandLine.HelpCommand.class},
    description = "Homogeneity analysis (multiple correspondence analysis by alternating "
        + "least squares) of categorical data.")
public final class Main implements Callable<Integer> {
  /** Exit status for bad input: options, data, or an analysis that cannot be run. */
  public static final int EXIT_INPUT = 2;
  /** Exit status for a failed run: the native library, files that cannot be written. */
  public static final int EXIT_FAILURE = 1;

  @CommandLine.Spec CommandLine.Model.CommandSpec commandSpec;

  /** Without a command: how to call the program, in a few lines; a call that did nothing. */
  @Override
  public Integer call() {
    PrintWriter err = commandSpec.commandLine().getErr();
    err.println("Usage: tallowmere analyse DATA.csv|TABLE-URL [OPTIONS]");
    err.println("       tallowmere project MODEL.json NEW.csv [OPTIONS]");
    err.println("       tallowmere --help | --version");
    err.println("'tallowmere analyse --help' lists the options.");
    err.flush();
    return EXIT_INPUT;
  }

  public static void main(String[] args) {
    System.setProperty("java.awt.headless", "true");
    System.exit(execute(args));
  }

  /** Runs the command line and returns its exit status instead of exiting. */
  public static int execute(String... args) {
    return run(commandLine(Files::newOutputStream), args);
  }

  /** Runs the command line with its output and messages sent to the given writers. */
  public static int execute(PrintWriter out, PrintWriter err, String... args) {
    return execute(out, err, Files::newOutputStream, args);
  }

  /** As {@link #execute(PrintWriter, PrintWriter, String...)}, with files opened by opener. */
  static int execute(PrintWriter out, PrintWriter err, OutputFolder.Opener opener, String... args) {
    CommandLine commandLine = commandLine(opener);
    commandLine.setOut(out);
    commandLine.setErr(err);
    return run(commandLine, args);
  }

  /**
   * picocli hands only an Exception to {@link #report}; an Error that escapes the run (a failed
   * assertion, a stack overflow, a class missing from the class path) is reported the same way
   * instead of as Java's trace of an uncaught throwable.
   */
  private static int run(CommandLine commandLine, String... args) {
    try {
      return commandLine.execute(args);
    } catch (Error e) {
      return internalError(e, commandLine.getErr(), debug(commandLine.getParseResult()));
    }
  }

  private static CommandLine commandLine(OutputFolder.Opener opener) {
    CommandLine.IFactory defaults = CommandLine.defaultFactory();
    CommandLine commandLine = new CommandLine(new Main(), new CommandLine.IFactory() {
      @Override
      @SuppressWarnings("unchecked")
      public <K> K create(Class<K> type) throws Exception {
        return type == AnalyseCommand.class ? (K) new AnalyseCommand(opener)
            : type == ProjectCommand.class  ? (K) new ProjectCommand(opener)
                                            : defaults.create(type);
      }
    });
    commandLine.setExecutionExceptionHandler(Main::report);
    commandLine.setParameterExceptionHandler(Main::badArguments);
    return commandLine;
  }

  /**
   * A call that picocli cannot parse: one line that says what is wrong, with picocli's guess at
   * a mistyped option, and where the options are listed; not the whole usage, whose length hides
   * the one line that matters.
   */
  private static int badArguments(CommandLine.ParameterException e, String[] args) {
    String message = e.getMessage() == null ? "" : e.getMessage().lines().findFirst().orElse("");
    if (!message.isEmpty()) {
      message = message.substring(0, 1).toLowerCase(Locale.ROOT) + message.substring(1);
    }
    if (e instanceof CommandLine.UnmatchedArgumentException unmatched
        && unmatched.isUnknownOption()) {
      // picocli counts the value after an unknown option as unknown too; the option is the news.
      String option = unmatched.getUnmatched()
                          .stream()
                          .filter(arg -> arg.startsWith("-"))
                          .findFirst()
                          .orElse(unmatched.getUnmatched().get(0));
      message = "unknown option '" + option + "'";
      List<String> guesses = unmatched.getSuggestions();
      if (!guesses.isEmpty()) {
        message += "; did you mean " + String.join(" or ", guesses) + "?";
      }
    }
    PrintWriter err = e.getCommandLine().getErr();
    err.println("tallowmere: error: " + message + " (see --help)");
    err.flush();
    return EXIT_INPUT;
  }

  /**
   * One line on standard error for every failure: status 2 for bad input or output (options,
   * data, files and folders), status 1 for a failed or broken run. Only a fault of the program
   * itself names its Java class, which is what a bug report needs; under --debug its stack trace
   * follows.
   */
  private static int report(
      Exception e, CommandLine commandLine, CommandLine.ParseResult parseResult) {
    PrintWriter err = commandLine.getErr();
    int status;
    if (e instanceof CliException || e instanceof InvalidAnalysisException
        || e instanceof SourceException) {
      err.println("tallowmere: error: " + e.getMessage());
      status = EXIT_INPUT;
    } else if (e instanceof IOException io) {
      err.println("tallowmere: error: " + inWords(io));
      status = EXIT_INPUT;
    } else if (e instanceof AnalysisFailedException) {
      err.println("tallowmere: failed: " + e.getMessage());
      status = EXIT_FAILURE;
    } else {
      return internalError(e, err, debug(parseResult));
    }
    err.flush();
    return status;
  }

  private static int internalError(Throwable e, PrintWriter err, boolean debug) {
    err.println(
        "tallowmere: internal error: " + named(e) + (debug ? "" : " (--debug shows where)"));
    if (debug) {
      e.printStackTrace(err);
    }
    err.flush();
    return EXIT_FAILURE;
  }

  /** The failure's class and the first line of its message, if it has one. */
  static String named(Throwable e) {
    Class<?> type = e.getClass();
    String name = type.getSimpleName().isEmpty() ? type.getName() : type.getSimpleName();
    String message = e.getMessage() == null ? "" : e.getMessage().lines().findFirst().orElse("");
    return message.isBlank() ? name : name + ": " + message;
  }

  /** A failed read or write, named by its file and what went wrong. */
  static String inWords(IOException e) {
    String file = e instanceof FileSystemException f && f.getFile() != null ? f.getFile() : null;
    String what = e instanceof AccessDeniedException ? "permission denied"
        : e instanceof NoSuchFileException           ? "no such file or folder"
        : e instanceof FileAlreadyExistsException    ? "a file of that name is in the way"
        : e instanceof FileSystemException f         ? f.getReason()
                                                     : e.getMessage();
    return (file == null ? "" : "cannot read or write " + file + ": ")
        + (what == null ? "input or output failed" : what);
  }

  private static boolean debug(CommandLine.ParseResult parseResult) {
    CommandLine.ParseResult sub = parseResult == null ? null : parseResult.subcommand();
    return sub != null && sub.hasMatchedOption("--debug");
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
