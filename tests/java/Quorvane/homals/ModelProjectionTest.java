package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.io.StringReader;
import java.io.StringWriter;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Random;
import java.util.function.Function;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Scoring by the transition formula: the objects of a fit get their own scores back, a saved
 * model scores bit for bit as the one it was saved from, and new objects are read by label.
 */
class ModelProjectionTest {
  static final List<String> ANSWERS = List.of("low", "mid", "high", "don't know");

  /** Five related variables of four answers, about 5 % of the cells missing. */
  static int[][] survey(int n, long seed) {
    Random random = new Random(seed);
    int[][] codes = new int[5][n];
    for (int i = 0; i < n; i++) {
      int latent = random.nextInt(3);
      for (int v = 0; v < 5; v++) {
        double u = random.nextDouble();
        codes[v][i] = u < 0.05 ? 0 : u < 0.15 ? 4 : u < 0.7 ? latent + 1 : 1 + random.nextInt(3);
      }
    }
    return codes;
  }

  static double[] weights(int n) {
    Random random = new Random(3);
    double[] weights = new double[n];
    for (int i = 0; i < n; i++) {
      weights[i] = i % 50 == 7 ? 0 : 0.2 + 3 * random.nextDouble();
    }
    return weights;
  }

  static List<Variable> votes() throws IOException {
    TestData.Coded coded = TestData.readCoded(TestData.examples("vote.csv"));
    List<Variable> variables = new ArrayList<>();
    for (String name : coded.names()) {
      Variable v = Variable.ofCodes(name, coded.column(name), List.of("n", "y"));
      variables.add(name.equals("Class") ? v.passive() : v);
    }
    return variables;
  }

  /** The survey's variables, v4 passive, each changed by the case. */
  static List<Variable> survey(Function<Variable, Variable>[] change) {
    int[][] codes = survey(400, 11);
    List<Variable> variables = new ArrayList<>();
    for (int v = 0; v < 5; v++) {
      Variable plain = Variable.ofCodes("v" + v, codes[v], ANSWERS);
      variables.add(change[v].apply(v == 4 ? plain.passive() : plain));
    }
    return variables;
  }

  @SafeVarargs
  static Function<Variable, Variable>[] changes(Function<Variable, Variable>... each) {
    return each;
  }

  static Stream<Arguments> fits() throws IOException {
    Function<Variable, Variable> same = v -> v;
    Function<Variable, Variable> dontKnow = v -> v.excluding("don't know");
    List<Arguments> cases = new ArrayList<>();
    for (Solver solver : Solver.values()) {
      cases.add(Arguments.of("vote data, multiple, missing cells", solver, votes(), null));
      cases.add(Arguments.of("single nominal, ordinal, numerical, real weights", solver,
          survey(changes(v
              -> v.single(Quantification.SINGLE_NOMINAL),
              v
              -> v.single(Quantification.SINGLE_ORDINAL),
              v -> v.single(Quantification.SINGLE_NUMERICAL), same, same)),
          weights(400)));
      cases.add(Arguments.of("excluded categories, weights", solver,
          survey(changes(dontKnow, dontKnow, same, same, dontKnow)), weights(400)));
      cases.add(Arguments.of("single ordinal with an excluded category", solver,
          survey(changes(v
              -> dontKnow.apply(v).single(Quantification.SINGLE_ORDINAL),
              same, same, same, same)),
          null));
    }
    return cases.stream();
  }

  static HomalsResult fit(Solver solver, List<Variable> variables, double[] weights) {
    // Tight enough that the solution is settled to rounding: the formula is exact at the limit.
    return HomalsAnalysis.builder()
        .variables(variables)
        .weights(weights)
        .dimensions(3)
        .solver(solver)
        .convergenceTolerance(1e-13)
        .maxIterations(100_000)
        .threads(2)
        .build()
        .run();
  }

  static int[][] codes(HomalsResult result) {
    return result.analysis().variables().stream().map(Variable::codes).toArray(int[][] ::new);
  }

  @ParameterizedTest(name = "{1}: {0}")
  @MethodSource("fits")
  void theObjectsOfAFitGetTheirScoresBack(
      String name, Solver solver, List<Variable> variables, double[] weights) {
    HomalsResult result = fit(solver, variables, weights);
    assertTrue(result.converged(), result.toString());
    Projection projection = HomalsModel.of(result).projectCodes(codes(result));
    double largest = 0;
    double error = 0;
    for (int i = 0; i < result.objectCount(); i++) {
      for (int d = 0; d < 3; d++) {
        if (result.takesPart(i)) {
          largest = Math.max(largest, Math.abs(result.objectScore(i, d)));
          error = Math.max(error, Math.abs(projection.score(i, d) - result.objectScore(i, d)));
        }
      }
      // An object of weight 0 takes no part in the fit but is scored like any new one.
      assertEquals(result.analysis().participation().observed(i) > 0, projection.isScored(i));
    }
    assertTrue(error <= 1e-12 * largest, "largest error " + error + " of " + largest);
  }

  static Stream<Arguments> tableFits() throws IOException {
    return fits().filter(a -> a.get()[1] == Solver.CROSS_TABLE || a.get()[1] == Solver.DIRECT);
  }

  /**
   * An analysis from tables summed elsewhere has no object scores, but its model is the one of
   * the same objects in memory: it scores them bit for bit alike.
   */
  @ParameterizedTest(name = "{1}: {0}")
  @MethodSource("tableFits")
  void aModelFromTablesScoresAsTheOneFromTheObjects(
      String name, Solver solver, List<Variable> variables, double[] weights) {
    HomalsResult inMemory = fit(solver, variables, weights);
    List<Variable> described = new ArrayList<>();
    for (Variable v : variables) {
      Variable d = Variable.ofCategories(v.name(), v.categories()).single(v.quantification());
      d = v.isActive() ? d : d.passive();
      described.add(v.excludedCategories().isEmpty()
              ? d
              : d.excluding(v.excludedCategories().toArray(String[] ::new)));
    }
    HomalsResult fromTables = HomalsAnalysis.builder()
                                  .variables(described)
                                  .tables(CategoryTables.of(inMemory.analysis()))
                                  .dimensions(3)
                                  .solver(solver)
                                  .convergenceTolerance(1e-13)
                                  .maxIterations(100_000)
                                  .threads(2)
                                  .build()
                                  .run();
    HomalsModel model = HomalsModel.of(fromTables);
    HomalsModel expected = HomalsModel.of(inMemory);
    assertEquals(expected.fit().objectsTakingPart(), model.fit().objectsTakingPart());
    int[][] codes = codes(inMemory);
    assertBits(expected.projectCodes(codes), model.projectCodes(codes));
  }

  @Test
  void aSavedModelScoresBitForBitAsTheOneSaved() throws IOException {
    for (Arguments fit : fits().limit(3).toList()) {
      Object[] a = fit.get();
      @SuppressWarnings("unchecked")
      HomalsResult result = fit((Solver) a[1], (List<Variable>) a[2], (double[]) a[3]);
      HomalsModel model = HomalsModel.of(result);
      StringWriter saved = new StringWriter();
      model.write(saved);
      HomalsModel loaded = HomalsModel.read(new StringReader(saved.toString()));
      StringWriter again = new StringWriter();
      loaded.write(again);
      assertEquals(saved.toString(), again.toString());

      int[][] codes = codes(result);
      assertBits(model.projectCodes(codes), loaded.projectCodes(codes));
      for (int v = 0; v < model.variables().size(); v++) {
        assertEquals(Arrays.deepToString(model.variables().get(v).quantifications()),
            Arrays.deepToString(loaded.variables().get(v).quantifications()));
      }
      assertEquals(model.fit(), loaded.fit());
      assertEquals(LibraryVersion.VERSION, loaded.libraryVersion());
    }
  }

  static void assertBits(Projection expected, Projection actual) {
    assertEquals(expected.objectCount(), actual.objectCount());
    for (int d = 0; d < expected.dimensions(); d++) {
      double[] a = expected.dimensionScores(d);
      double[] b = actual.dimensionScores(d);
      for (int i = 0; i < a.length; i++) {
        assertEquals(Double.doubleToRawLongBits(a[i]), Double.doubleToRawLongBits(b[i]),
            "object " + i + ", dimension " + d);
      }
    }
  }

  /**
   * New objects by label, their categories in an order of their own: an unknown label counts as
   * missing and is counted, a missing value goes to the model's missing category, a variable not
   * given is missing everywhere, and a row with nothing usable gets no scores.
   */
  @Test
  void newObjectsAreMatchedByNameAndLabel() {
    int[][] fitted = survey(400, 5);
    fitted[0][3] = 0;
    List<String> withMissing = new ArrayList<>(ANSWERS);
    withMissing.add("(missing)");
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder().dimensions(2);
    for (int v = 0; v < 4; v++) {
      int[] codes = fitted[v].clone();
      for (int i = 0; i < codes.length; i++) {
        codes[i] = codes[i] == 0 ? 5 : codes[i];
      }
      Variable variable = Variable.ofCodes("v" + v, codes, withMissing);
      builder.variable(v == 1 ? variable.excluding("don't know") : variable);
    }
    HomalsModel model =
        HomalsModel.of(builder.build().run(), new MissingCells(List.of("NA"), false, "(missing)"));

    List<Variable> given =
        List.of(Variable.ofLabels("v2", Arrays.asList("high", "perhaps", "perhaps", null, "low")),
            Variable.ofLabels("v1", Arrays.asList("low", "don't know", "mid", null, "mid")),
            Variable.ofLabels("v0", Arrays.asList("mid", "?", "high", null, "low")),
            Variable.ofLabels("unused", Arrays.asList("a", "b", "c", "d", "e")));
    Projection projection = model.project(given, 1);
    // v0..v3 in the model's numbering; v1's "don't know" (4) is excluded, v3 absent (0).
    int[][] expected = {{2, 0, 3, 5, 1}, {1, 4, 2, 5, 2}, {3, 0, 0, 5, 1}, null};
    assertBits(model.projectCodes(expected, 1), projection);
    assertEquals(List.of("v3"), projection.absentVariables());
    assertEquals(List.of("perhaps"), projection.unknownLabels("v2"));
    assertEquals(2, projection.unknownLabelCount("v2"));
    assertEquals(1, projection.unknownLabelCount("v0"));
    assertEquals(0, projection.unknownLabelCount("v1"));
    assertTrue(projection.isScored(3), "missing cells are the model's category (missing)");

    Projection nothing =
        model.project(List.of(Variable.ofLabels("v0", Arrays.asList("what", "low")),
            Variable.ofLabels("v1", Arrays.asList("don't know", "low"))));
    assertFalse(nothing.isScored(0));
    assertTrue(Double.isNaN(nothing.score(0, 1)));
    assertEquals(1, nothing.unscoredCount());
  }

  /** Fixed blocks of objects, each object on its own: the threads change no bit. */
  @Test
  void theThreadsChangeNoBit() {
    int n = 200_000;
    int[][] codes = survey(n, 9);
    codes[2][17] = -3;
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder().dimensions(3);
    for (int v = 0; v < 5; v++) {
      builder.variable(Variable.ofCodes("v" + v, codes[v], ANSWERS));
    }
    HomalsModel model = HomalsModel.of(builder.build().run());
    assertBits(model.projectCodes(codes, 1), model.projectCodes(codes, 3));
  }

  static Stream<Arguments> badCodes() {
    int[] four = {1, 2, 3, 4};
    return Stream.of(Arguments.of(new int[][] {four, four},
                         "codes has 2 arrays, but the model "
                             + "has 5 variables (one array each, null for one not given)"),
        Arguments.of(new int[][] {four, four, {1, 2}, four, null},
            "codes[2] ('v2') has 2 codes, but the variables before it have 4"),
        Arguments.of(new int[][] {four, four, {1, 2, 9, 1}, four, null},
            "codes[2][2] = 9 is above the 4 categories of variable 'v2'"),
        Arguments.of(new int[][] {null, null, null, null, four},
            "none of the model's active variables [v0, v1, v2, v3] is given"));
  }

  @ParameterizedTest(name = "{1}")
  @MethodSource("badCodes")
  void badCodesAreRefusedInTheModelsTerms(int[][] codes, String message) {
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder();
    int[][] survey = survey(100, 2);
    for (int v = 0; v < 5; v++) {
      Variable plain = Variable.ofCodes("v" + v, survey[v], ANSWERS);
      builder.variable(v == 4 ? plain.passive() : plain);
    }
    HomalsModel model = HomalsModel.of(builder.build().run());
    assertEquals(message,
        assertThrows(IllegalArgumentException.class, () -> model.projectCodes(codes)).getMessage());
  }
}
