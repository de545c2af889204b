package Quorvane;

import static java.nio.charset.StandardCharsets.UTF_8;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/**
 * Child program of ArgumentCheckTest: the valid call, every malformed call, and the valid call
 * again, in one JVM. Nothing is written to standard output from Java, so that the process's
 * standard output holds exactly what the library printed. The outcome goes to the report file
 * (the only argument), one tab-separated line per call: the name, the class of the exception
 * ("none" without one), whether both tables kept every bit, and the message or, for the valid
 * calls, the tables' bits.
 */
public final class MalformedCallProbe {
  public static void main(String[] args) throws Exception {
    List<String> report = new ArrayList<>();
    report.add(validCall("valid before"));
    for (MalformedCalls.Case c : MalformedCalls.CASES) {
      Call call = new Call();
      c.change().accept(call);
      String before = call.tableBits();
      String thrown = "none";
      String message = "";
      try {
        call.run();
      } catch (Throwable e) {
        thrown = e.getClass().getName();
        message = String.valueOf(e.getMessage());
      }
      report.add(line(c.name(), thrown, Boolean.toString(before.equals(call.tableBits())),
          message));
    }
    report.add(validCall("valid after"));
    Files.write(Path.of(args[0]), report, UTF_8);
  }

  private static String validCall(String name) {
    Call call = new Call();
    call.run();
    return line(name, "none", "", call.tableBits());
  }

  private static String line(String... fields) {
    List<String> escaped = new ArrayList<>();
    for (String field : fields) {
      escaped.add(field.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n"));
    }
    return String.join("\t", escaped);
  }
}
