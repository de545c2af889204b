package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.ArrayList;
import java.util.List;
import java.util.SplittableRandom;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/**
 * The participation of objects in memory is counted in blocks of objects and by variable side by
 * side: the threads change nothing of what it answers.
 */
class ParticipationTest {
  @ParameterizedTest(name = "{0} objects, weighted {1}")
  @CsvSource({"200000, false", "200000, true", "65537, true", "1, false"})
  void theThreadsChangeNothing(int objects, boolean weighted) {
    SplittableRandom random = new SplittableRandom(objects + (weighted ? 1 : 0));
    List<Variable> variables = new ArrayList<>();
    for (int v = 0; v < 5; v++) {
      int k = 2 + v;
      int[] codes = new int[objects];
      for (int i = 0; i < objects; i++) {
        // A tenth of the cells missing.
        codes[i] = random.nextInt(10) == 0 ? 0 : 1 + random.nextInt(k);
      }
      Variable variable = Variable.ofCodes("v" + v, codes);
      variables.add(v == 4 ? variable.passive() : variable);
    }
    double[] weights = null;
    if (weighted) {
      weights = new double[objects];
      for (int i = 0; i < objects; i++) {
        weights[i] = random.nextInt(4) == 0 ? 0 : random.nextDouble(3);
      }
    }
    Participation one = Participation.of(variables, weights, objects, 1);
    for (int threads : new int[] {2, 3}) {
      Participation many = Participation.of(variables, weights, objects, threads);
      assertEquals(one.count(), many.count());
      assertEquals(one.totalMarginal(), many.totalMarginal());
      for (int v = 0; v < variables.size(); v++) {
        assertArrayEquals(one.frequencies(v), many.frequencies(v));
        assertArrayEquals(one.inverseCountSums(v), many.inverseCountSums(v));
      }
      for (int i = 0; i < objects; i++) {
        assertEquals(one.takesPart(i), many.takesPart(i));
        assertEquals(one.observed(i), many.observed(i));
      }
    }
  }
}
