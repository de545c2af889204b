package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.NativeLibrary;
import java.util.ArrayList;
import java.util.List;
import java.util.Random;
import java.util.function.Consumer;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * An analysis from tables summed elsewhere gives the result of the same objects in memory, bit
 * for bit, in everything but the object scores, which its score coefficients give instead.
 */
class TablesAnalysisTest {
  @BeforeAll
  static void load() {
    NativeLibrary.load();
  }

  private static final List<String> LABELS = List.of("a", "b", "c", "d");

  /** Variables and weights of a case; which features it has is in its name. */
  record Case(String name, List<Variable> variables, double[] weights, Solver solver) {
    @Override
    public String toString() {
      return name;
    }
  }

  private static Case randomCase(String name, long seed, boolean missing, boolean realWeights,
      boolean single, boolean excluded, boolean passive) {
    Random random = new Random(seed);
    int n = 300;
    List<Variable> variables = new ArrayList<>();
    int[] latent = new int[n];
    for (int i = 0; i < n; i++) {
      latent[i] = random.nextInt(4);
    }
    for (int v = 0; v < 5; v++) {
      int k = 3 + v % 2;
      int[] codes = new int[n];
      for (int i = 0; i < n; i++) {
        double u = random.nextDouble();
        codes[i] = missing && u < 0.08 ? 0
            : u < 0.6                  ? Math.min(latent[i], k - 1) + 1
                                       : random.nextInt(k) + 1;
      }
      Variable variable = Variable.ofCodes("v" + v, codes, LABELS.subList(0, k));
      if (single && v == 1) {
        variable = variable.single(Quantification.SINGLE_ORDINAL);
      }
      if (single && v == 2) {
        variable = variable.single(Quantification.SINGLE_NOMINAL);
      }
      if (excluded && v == 3) {
        variable = variable.excluding("b");
      }
      if (passive && v == 4) {
        variable = variable.passive();
      }
      variables.add(variable);
    }
    double[] weights = null;
    if (realWeights) {
      weights = new double[n];
      for (int i = 0; i < n; i++) {
        weights[i] = random.nextInt(20) == 0 ? 0 : 0.2 + 3 * random.nextDouble();
      }
    }
    return new Case(name, variables, weights, single ? Solver.CROSS_TABLE : Solver.DIRECT);
  }

  static Stream<Case> cases() {
    return Stream.of(randomCase("complete, direct", 1, false, false, false, false, false),
        randomCase("missing, passive, direct", 2, true, false, false, false, true),
        randomCase("real weights, excluded category", 3, true, true, false, true, true),
        randomCase("single variables, cross-table", 4, false, false, true, false, false),
        randomCase("everything", 5, true, true, true, true, true));
  }

  private static HomalsAnalysis inMemory(Case c) {
    return HomalsAnalysis.builder()
        .variables(c.variables())
        .weights(c.weights())
        .dimensions(2)
        .solver(c.solver())
        .convergenceTolerance(1e-10)
        .threads(1)
        .build();
  }

  /** The same variables without objects: names, categories, roles, levels, exclusions. */
  private static List<Variable> described(List<Variable> variables) {
    List<Variable> out = new ArrayList<>();
    for (Variable v : variables) {
      Variable d = Variable.ofCategories(v.name(), v.categories()).single(v.quantification());
      d = v.isActive() ? d : d.passive();
      List<String> excluded = v.excludedCategories();
      out.add(excluded.isEmpty() ? d : d.excluding(excluded.toArray(String[] ::new)));
    }
    return out;
  }

  private static HomalsResult fromTables(Case c, CategoryTables tables) {
    return HomalsAnalysis.builder()
        .variables(described(c.variables()))
        .tables(tables)
        .dimensions(2)
        .solver(c.solver())
        .convergenceTolerance(1e-10)
        .threads(2)
        .build()
        .run();
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("cases")
  void tablesGiveTheResultOfTheObjectsBitForBit(Case c) {
    HomalsAnalysis analysis = inMemory(c);
    HomalsResult expected = analysis.run();
    HomalsResult actual = fromTables(c, CategoryTables.of(analysis));
    assertEquals(expected.solver(), actual.solver());
    assertEquals(expected.iterations(), actual.iterations());
    assertEquals(expected.tiedDimensions(), actual.tiedDimensions());
    assertArrayEquals(expected.eigenvalues(), actual.eigenvalues());
    assertEquals(expected.inertia().toString(), actual.inertia().toString());
    assertEquals(expected.inertia().total(), actual.inertia().total());
    for (int v = 0; v < expected.variables().size(); v++) {
      VariableResult e = expected.variables().get(v);
      VariableResult a = actual.variables().get(v);
      String name = e.name();
      for (int k = 0; k < e.categories().size(); k++) {
        assertEquals(e.frequency(k), a.frequency(k), name);
        assertEquals(e.isExcluded(k), a.isExcluded(k), name);
        for (int d = 0; d < 2; d++) {
          assertEquals(e.quantification(k, d), a.quantification(k, d), name);
          assertEquals(e.centroid(k, d), a.centroid(k, d), name);
          assertEquals(e.quality(k, d), a.quality(k, d), name);
          assertEquals(e.vTest(k, d), a.vTest(k, d), name);
          assertEquals(e.vTestP(k, d), a.vTestP(k, d), name);
          if (e.role() == Role.ACTIVE) {
            assertEquals(e.contribution(k, d), a.contribution(k, d), name);
          }
        }
      }
      for (int d = 0; d < 2; d++) {
        assertEquals(e.discrimination(d), a.discrimination(d), name);
        assertEquals(e.etaSquared(d), a.etaSquared(d), name);
        assertEquals(e.etaSquaredP(d), a.etaSquaredP(d), name);
        if (e.quantification().isSingle()) {
          assertEquals(e.loadings()[d], a.loadings()[d], name);
        }
      }
    }
    assertFalse(actual.hasObjectScores());
    assertTrue(actual.hasScoreCoefficients());
  }

  /** The coefficients give every object the score it has in memory. */
  @ParameterizedTest(name = "{0}")
  @MethodSource("cases")
  void coefficientsGiveTheObjectsTheirScores(Case c) {
    HomalsAnalysis analysis = inMemory(c);
    HomalsResult expected = analysis.run();
    HomalsResult actual = fromTables(c, CategoryTables.of(analysis));
    List<Variable> variables = c.variables();
    double largest = 0;
    for (int i = 0; i < analysis.objectCount(); i++) {
      for (int d = 0; d < 2; d++) {
        double x = expected.objectScore(i, d);
        largest = Double.isNaN(x) ? largest : Math.max(largest, Math.abs(x));
      }
    }
    for (int i = 0; i < analysis.objectCount(); i++) {
      for (int d = 0; d < 2; d++) {
        double sum = 0;
        int cells = 0;
        for (int v = 0; v < variables.size(); v++) {
          int code = variables.get(v).code(i);
          double coefficient = code == 0 ? Double.NaN : actual.scoreCoefficient(v, code - 1, d);
          if (!Double.isNaN(coefficient)) {
            sum += coefficient;
            cells++;
          }
        }
        double x = expected.objectScore(i, d);
        if (Double.isNaN(x)) {
          assertTrue(cells == 0 || c.weights()[i] == 0, "object " + i);
        } else {
          assertEquals(x, sum / cells, 1e-12 * largest, "object " + i);
        }
      }
    }
  }

  /** Parts of the objects summed apart add up to the tables of all of them. */
  @Test
  void tablesOfPartsAddUpToTheWhole() {
    Case c = randomCase("parts", 9, true, false, true, true, true);
    HomalsAnalysis whole = inMemory(c);
    CategoryTables sum = null;
    for (int part = 0; part < 3; part++) {
      int first = part * 100;
      List<Variable> slice = new ArrayList<>();
      for (Variable v : c.variables()) {
        int[] codes = java.util.Arrays.copyOfRange(v.codes(), first, first + 100);
        Variable s = Variable.ofCodes(v.name(), codes, v.categories()).single(v.quantification());
        s = v.isActive() ? s : s.passive();
        List<String> excluded = v.excludedCategories();
        slice.add(excluded.isEmpty() ? s : s.excluding(excluded.toArray(String[] ::new)));
      }
      CategoryTables tables =
          CategoryTables.of(HomalsAnalysis.builder().variables(slice).dimensions(1).build());
      if (sum == null) {
        sum = tables;
      } else {
        sum.addAll(tables);
      }
    }
    assertEquals(CategoryTables.of(whole), sum);
  }

  static Stream<Arguments> refusedTables() {
    Case c = randomCase("refused", 6, true, false, false, true, true);
    HomalsAnalysis analysis = inMemory(c);
    CategoryTables good = CategoryTables.of(analysis);
    return Stream.of(Arguments.of("another shape", "the tables count 1 variables",
                         (Consumer<HomalsAnalysis.Builder>) b
                         -> b.tables(new CategoryTables(new int[] {3}, new boolean[] {true}, 0))),
        Arguments.of("weights beside them", "takes its weights from the tables",
            (Consumer<HomalsAnalysis.Builder>) b -> b.tables(good).weights(new double[] {1})),
        Arguments.of("the objects solver", "no objects to pass over",
            (Consumer<HomalsAnalysis.Builder>) b -> b.tables(good).solver(Solver.OBJECTS)),
        Arguments.of("no object takes part", "has no observed value on an object that takes part",
            (Consumer<HomalsAnalysis.Builder>) b -> b.tables(emptyTables(c))));
  }

  private static CategoryTables emptyTables(Case c) {
    List<Variable> variables = described(c.variables());
    int[][] codes = HomalsAnalysis.tableVariables(variables);
    int[] counts = new int[codes.length];
    for (int v = 0; v < codes.length; v++) {
      for (int code : codes[v]) {
        counts[v] = Math.max(counts[v], code);
      }
    }
    return new CategoryTables(counts, HomalsAnalysis.tableVariablesActive(variables), 0);
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("refusedTables")
  void tablesThatDoNotFitAreRefused(
      String name, String message, Consumer<HomalsAnalysis.Builder> change) {
    Case c = randomCase("refused", 6, true, false, false, true, true);
    HomalsAnalysis.Builder builder =
        HomalsAnalysis.builder().variables(described(c.variables())).dimensions(2);
    change.accept(builder);
    InvalidAnalysisException e = assertThrows(InvalidAnalysisException.class, builder::build);
    assertTrue(e.getMessage().contains(message), e.getMessage());
  }
}
