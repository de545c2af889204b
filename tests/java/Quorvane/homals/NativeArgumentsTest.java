package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** How a description becomes the 25 native arguments and two exactly sized tables. */
class NativeArgumentsTest {
  /** Codes 1..k cycling over n objects, so every category is observed. */
  static int[] cycle(int n, int k) {
    int[] codes = new int[n];
    for (int i = 0; i < n; i++) {
      codes[i] = i % k + 1;
    }
    return codes;
  }

  @Test
  void mixedDescriptionFillsEveryArgumentInItsPlace() {
    int n = 7;
    int[] a = cycle(n, 3);
    int[] b = cycle(n, 2);
    int[] c = cycle(n, 4);
    a[2] = 0; // a missing value stays 0 in the data matrix
    int[] weights = {1, 2, 0, 3, 1, 1, 5};
    HomalsAnalysis analysis = HomalsAnalysis.builder()
        .variable(Variable.ofCodes("a", a))
        .variable(Variable.ofCodes("b", b).passive().single(Quantification.SINGLE_ORDINAL))
        .variable(Variable.ofCodes("c", c).single(Quantification.SINGLE_NUMERICAL))
        .weights(weights)
        .dimensions(2)
        .maxIterations(17)
        .innerIterations(3)
        .fitTolerance(1e-7)
        .cosineTolerance(1e-5)
        .build();
    NativeArguments x = NativeArguments.of(analysis);

    assertEquals(2, x.dimensionCount());
    assertEquals(4, x.dataStride(), "three variables and the weight column");
    assertEquals(n, x.objectCount());
    assertEquals(4, x.maxCategories(), "the largest category count of all variables");
    assertEquals(17, x.maxIterations());
    assertEquals(3, x.innerIterations());
    assertEquals(2, x.activeCount());
    assertEquals(1, x.passiveCount());
    assertEquals(3, x.weightColumn());
    assertFalse(x.timing());
    assertTrue(x.useWeights());
    assertTrue(x.writeObjectScores());
    assertArrayEquals(new int[] {0, 2}, x.activeColumns());
    assertArrayEquals(new int[] {1}, x.passiveColumns());
    assertArrayEquals(new int[] {3, 4}, x.activeCategoryCounts());
    assertArrayEquals(new int[] {2}, x.passiveCategoryCounts());
    assertArrayEquals(new int[] {0, 1}, x.activeSingle());
    assertArrayEquals(new int[] {1}, x.passiveSingle());
    assertArrayEquals(new int[] {0, 2}, x.activeLevels());
    assertArrayEquals(new int[] {1}, x.passiveLevels());
    assertEquals(1e-7, x.fitTolerance());
    assertEquals(1e-5, x.cosineTolerance());
    for (int i = 0; i < n; i++) {
      int[] row = {a[i], b[i], c[i], weights[i]};
      for (int column = 0; column < 4; column++) {
        assertEquals(row[column], x.data()[i * 4 + column], "object " + i + ", column " + column);
      }
    }
    assertEquals(x.data().length, n * 4);
  }

  @ParameterizedTest(name = "{0} -> single {1}, level {2}")
  @CsvSource({
    "MULTIPLE_NOMINAL, 0, 0",
    "SINGLE_NOMINAL, 1, 0",
    "SINGLE_ORDINAL, 1, 1",
    "SINGLE_NUMERICAL, 1, 2",
  })
  void quantificationBecomesSingleFlagAndLevel(Quantification q, int single, int level) {
    for (boolean passive : new boolean[] {false, true}) {
      Variable v = Variable.ofCodes("v", cycle(9, 3)).single(q);
      HomalsAnalysis analysis = HomalsAnalysis.builder()
          .variable(Variable.ofCodes("other", cycle(9, 4)))
          .variable(passive ? v.passive() : v)
          .build();
      NativeArguments x = NativeArguments.of(analysis);
      int[] flags = passive ? x.passiveSingle() : x.activeSingle();
      int[] levels = passive ? x.passiveLevels() : x.activeLevels();
      assertEquals(single, flags[flags.length - 1]);
      assertEquals(level, levels[levels.length - 1]);
      // The rank-one step runs only when something is single; otherwise it is switched off.
      assertEquals(single == 1 ? HomalsAnalysis.DEFAULT_INNER_ITERATIONS : 0,
          x.innerIterations());
    }
  }

  @ParameterizedTest(name = "active k {0}, passive k {1}, n {2}, p {3}")
  @CsvSource({
    "'2',       '',    5, 1",
    "'2,3',     '',    9, 2",
    "'4,2,3',   '5',  12, 3",
    "'3',       '2,6', 8, 2",
  })
  void tablesAreSizedExactly(String activeK, String passiveK, int n, int p) {
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder().dimensions(p);
    int activeRows = 0;
    int index = 0;
    for (String k : activeK.split(",")) {
      builder.variable(Variable.ofCodes("a" + index++, cycle(n, Integer.parseInt(k))));
      activeRows += Integer.parseInt(k);
    }
    if (!passiveK.isEmpty()) {
      for (String k : passiveK.split(",")) {
        builder.variable(Variable.ofCodes("p" + index++, cycle(n, Integer.parseInt(k))).passive());
      }
    }
    NativeArguments x = NativeArguments.of(builder.build());
    assertEquals(n + 1, x.objectScoreTable().length);
    assertEquals(activeRows + 1, x.categoryQuantificationTable().length);
    for (double[][] table : List.of(x.objectScoreTable(), x.categoryQuantificationTable())) {
      for (double[] row : table) {
        assertEquals(p + 1, row.length);
      }
    }
    assertFalse(x.useWeights());
    assertEquals(x.activeColumns().length + x.passiveColumns().length, x.dataStride());
  }
}
