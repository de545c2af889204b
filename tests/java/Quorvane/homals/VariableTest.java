package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.Arrays;
import java.util.List;
import java.util.function.Supplier;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** Label-to-code mapping of variables, and the descriptions that must be refused. */
class VariableTest {
  static Stream<Arguments> labelledVariables() {
    return Stream.of(
        // labels, explicit order or null, expected categories, expected codes
        Arguments.of(Arrays.asList("b", "a", null, "c", "a"), null, List.of("a", "b", "c"),
            new int[] {2, 1, 0, 3, 1}),
        Arguments.of(Arrays.asList("10", "9", " ", "2.5"), null, List.of("2.5", "9", "10"),
            new int[] {3, 2, 0, 1}),
        Arguments.of(
            Arrays.asList("10", "9", "x"), null, List.of("10", "9", "x"), new int[] {1, 2, 3}),
        Arguments.of(Arrays.asList("low", "", "high", "mid"), List.of("low", "mid", "high", "top"),
            List.of("low", "mid", "high", "top"), new int[] {1, 0, 3, 2}));
  }

  @ParameterizedTest
  @MethodSource("labelledVariables")
  void labelsMapToCodesInCategoryOrder(
      List<String> labels, List<String> order, List<String> categories, int[] codes) {
    Variable v =
        order == null ? Variable.ofLabels("v", labels) : Variable.ofLabels("v", labels, order);
    assertEquals(categories, v.categories());
    assertArrayEquals(codes, v.codes());
    for (int i = 0; i < codes.length; i++) {
      String expected = codes[i] == 0 ? null : labels.get(i);
      assertEquals(expected, v.label(i));
    }
  }

  static int[] cycle(int n, int k) { return NativeArgumentsTest.cycle(n, k); }

  static HomalsAnalysis.Builder twoVariables() {
    return HomalsAnalysis.builder()
        .variable(Variable.ofCodes("a", cycle(6, 3)))
        .variable(Variable.ofCodes("b", cycle(6, 2)));
  }

  static Stream<Arguments> refusedDescriptions() {
    List<Supplier<Object>> cases = List.of(
        ()
            -> Variable.ofLabels("v", List.of("a", "z"), List.of("a", "b")),
        ()
            -> Variable.ofCodes("v", new int[] {1, 4}, List.of("a", "b")),
        ()
            -> Variable.ofLabels("v", List.of("a"), List.of("a", "a")),
        ()
            -> Variable.ofLabels(" ", List.of("a")),
        ()
            -> HomalsAnalysis.builder().build(),
        ()
            -> twoVariables().variable(Variable.ofCodes("a", cycle(6, 2))).build(),
        ()
            -> twoVariables().variable(Variable.ofCodes("c", cycle(5, 2))).build(),
        ()
            -> HomalsAnalysis.builder()
                   .variable(Variable.ofCodes("a", cycle(6, 3)).passive())
                   .build(),
        ()
            -> twoVariables().dimensions(0).build(),
        ()
            -> twoVariables().dimensions(4).build(),
        ()
            -> twoVariables().maxIterations(0).build(),
        ()
            -> twoVariables().fitTolerance(Double.POSITIVE_INFINITY).build(),
        ()
            -> twoVariables().cosineTolerance(-1).build(),
        ()
            -> twoVariables().convergenceTolerance(Double.NaN).build(),
        ()
            -> twoVariables().weights(new int[] {1, 1, 1}).build(),
        ()
            -> twoVariables().weights(new int[] {1, 1, -1, 1, 1, 1}).build(),
        ()
            -> twoVariables().weights(new int[] {1, 1, 0, 0, 0, 0}).dimensions(2).build(),
        ()
            -> twoVariables().variable(Variable.ofCodes("c", new int[6], List.of("x"))).build(),
        ()
            -> twoVariables()
                   .variable(Variable.ofCodes("c", new int[] {1, 1, 1, 1, 1, 1})
                                 .single(Quantification.SINGLE_NOMINAL))
                   .build(),
        ()
            -> twoVariables()
                   .variable(Variable.ofCodes("c", cycle(6, 2), List.of("x", "y", "z"))
                                 .single(Quantification.SINGLE_ORDINAL))
                   .build(),
        ()
            -> twoVariables()
                   .variable(
                       Variable.ofCodes("c", cycle(6, 2)).single(Quantification.SINGLE_NUMERICAL))
                   .innerIterations(0)
                   .build());
    List<String> messages = List.of("label 'z' is not one of its categories",
        "code 4 is above its 2 categories", "category 'a' is listed twice", "non-blank name",
        "no variables", "two variables are named 'a'", "'c' describes 5 objects",
        "at least one active variable", "dimensions must be at least 1",
        "the active variables span at most 3", "maxIterations must be at least 1",
        "fitTolerance must be finite", "cosineTolerance must be finite",
        "convergenceTolerance must be finite", "3 weights for 6 objects",
        "object 3 has a weight of -1.0", "there are 2", "'c' has no observed value",
        "fewer than two observed categories", "category 'z' has no observation",
        "innerIterations must be at least 1");
    return java.util.stream.IntStream.range(0, cases.size())
        .mapToObj(i -> Arguments.of(messages.get(i), cases.get(i)));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("refusedDescriptions")
  void badDescriptionsAreRefusedWithAPreciseMessage(String message, Supplier<Object> attempt) {
    InvalidAnalysisException e = assertThrows(InvalidAnalysisException.class, attempt::get);
    assertTrue(e.getMessage().contains(message), () -> "message was: " + e.getMessage());
  }
}
