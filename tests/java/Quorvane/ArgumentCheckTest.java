package Quorvane;

import static java.nio.charset.StandardCharsets.UTF_8;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Malformed calls are rejected with a Java exception that locates the fault, before anything is
 * printed or written, and leave the JVM able to run valid calls. All of them run in one child
 * JVM (MalformedCallProbe), whose standard output shows everything the library printed.
 */
class ArgumentCheckTest {
  /** The markers of the valid call, whose category table has six rows. */
  private static final String VALID_MARKERS =
      "2\n0:1\n0:5\n1:1\n1:5\n2:1\n2:5\n3:1\n3:5\n4:1\n4:5\n3\n6\n";

  private static ChildJvm child;
  private static final Map<String, String[]> outcomes = new HashMap<>();

  @BeforeAll
  static void runTheCallsInAChildJvm() throws Exception {
    Path report = Files.createTempFile("malformed-calls", ".tsv");
    try {
      child = ChildJvm.run(MalformedCallProbe.class, report.toString());
      for (String line : Files.readAllLines(report, UTF_8)) {
        String[] fields = line.split("\t", -1);
        for (int f = 0; f < fields.length; f++) {
          fields[f] = unescape(fields[f]);
        }
        outcomes.put(fields[0], fields);
      }
    } finally {
      Files.delete(report);
    }
  }

  static Stream<MalformedCalls.Case> cases() {
    return MalformedCalls.CASES.stream();
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("cases")
  void rejectedWithAMessageThatLocatesTheFaultAndNoTableTouched(MalformedCalls.Case c) {
    String[] outcome = outcomes.get(c.name());
    assertNotNull(outcome, "no outcome for " + c.name() + "; child stderr: " + child.stderr);
    String message = outcome[3];
    assertEquals(c.expected().getName(), outcome[1], message);
    for (String part : c.messageParts()) {
      assertTrue(message.contains(part), "\"" + part + "\" missing from: " + message);
    }
    assertEquals("true", outcome[2], "a table changed");
  }

  @Test
  void atLeastFortyDistinctCases() {
    assertTrue(MalformedCalls.CASES.size() >= 40);
    assertEquals(MalformedCalls.CASES.size(),
        new HashSet<>(MalformedCalls.CASES.stream().map(MalformedCalls.Case::name).toList())
            .size());
  }

  /** Only the two valid calls printed: their markers, in full, and nothing in between. */
  @Test
  void nothingPrintedByARejectedCall() {
    assertEquals(0, child.exitCode, child.stderr);
    assertEquals(VALID_MARKERS + VALID_MARKERS, child.stdout);
    assertFalse(child.stderr.toLowerCase().contains("warning"), child.stderr);
  }

  /**
   * The valid call after all the rejected ones gives the tables of the valid call before them
   * and of the same call in this JVM, and it did write results.
   */
  @Test
  void aValidCallAfterwardsRunsAsBefore() {
    String after = outcomes.get("valid after")[3];
    assertEquals(outcomes.get("valid before")[3], after);
    Call here = new Call();
    String untouched = here.tableBits();
    here.run();
    assertEquals(here.tableBits(), after);
    assertNotEquals(untouched, after);
  }

  /**
   * A call within every limit whose working buffers cannot be allocated (8 GiB of object scores
   * in a 3 GiB address space) raises OutOfMemoryError after the markers of the copy-in, leaves
   * both tables unchanged, and the valid call after it gives the result of the one before.
   */
  @Test
  void workingBuffersThatCannotBeAllocatedRaiseOutOfMemoryError() throws Exception {
    ChildJvm limited =
        ChildJvm.runWithAddressSpaceLimit(3L << 20, AllocationFailureProbe.class);
    assertEquals(0, limited.exitCode, limited.stderr);
    assertTrue(limited.stderr.contains("thrown java.lang.OutOfMemoryError: tallowmere: cannot "
        + "allocate the analysis's working buffers\n"), limited.stderr);
    assertTrue(limited.stderr.contains("unchanged true\n"), limited.stderr);
    assertTrue(limited.stderr.contains("valid calls agree true\n"), limited.stderr);
    assertEquals(VALID_MARKERS + "2\n0:1\n0:5\n3\n" + VALID_MARKERS, limited.stdout);
    assertFalse(limited.stderr.toLowerCase().contains("warning"), limited.stderr);
  }

  private static String unescape(String field) {
    StringBuilder out = new StringBuilder();
    for (int i = 0; i < field.length(); i++) {
      char ch = field.charAt(i);
      if (ch == '\\' && i + 1 < field.length()) {
        char next = field.charAt(++i);
        out.append(next == 't' ? '\t' : next == 'n' ? '\n' : next);
      } else {
        out.append(ch);
      }
    }
    return out.toString();
  }
}
