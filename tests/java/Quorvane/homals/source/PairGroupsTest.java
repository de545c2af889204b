package Quorvane.homals.source;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Random;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/**
 * Groups of blocks read every pair the tables keep exactly once, whatever the blocks: two active
 * variables (a variable with itself too), a passive one with an active one, a passive one with
 * itself; and never two passive ones.
 */
class PairGroupsTest {
  @ParameterizedTest(name = "{0} active, {1} passive, block bound {2}")
  @CsvSource({"1, 0, 64", "1, 2, 64", "2, 0, 1", "3, 1, 1", "5, 0, 64", "7, 3, 64", "6, 2, 400",
      "9, 4, 10000", "4, 4, 2"})
  void
  readEveryKeptPairOnce(int active, int passive, long bound) {
    Random random = new Random(active * 31L + passive);
    // Actives and passives shuffled, as an analysis may order them.
    List<Boolean> roles = new ArrayList<>();
    for (int v = 0; v < active + passive; v++) {
      roles.add(v < active);
    }
    java.util.Collections.shuffle(roles, random);
    List<Coding> codings = new ArrayList<>();
    for (int v = 0; v < roles.size(); v++) {
      codings.add(new Coding("v" + v, roles.get(v), 1 + random.nextInt(9), Map.of(), 0));
    }
    TableLayout layout = new TableLayout(codings, null, 0);

    Map<String, Integer> read = new HashMap<>();
    for (PairGroups.Group group : PairGroups.of(layout, bound)) {
      for (int[] pair : group.pairs()) {
        int a = group.variables()[pair[0]];
        int b = group.variables()[pair[1]];
        assertTrue(codings.get(b).active() || a == b, "pair " + a + ", " + b + " ends passive");
        String key = codings.get(a).active() ? Math.min(a, b) + "," + Math.max(a, b) : a + "," + b;
        read.merge(key, 1, Integer::sum);
      }
    }

    int expected = 0;
    for (int a = 0; a < codings.size(); a++) {
      for (int b = a; b < codings.size(); b++) {
        boolean activeA = codings.get(a).active();
        boolean activeB = codings.get(b).active();
        String key = activeA || !activeB ? (activeB ? a + "," + b : b + "," + a) : a + "," + b;
        if (activeA && activeB || activeA != activeB || a == b) {
          expected++;
          assertEquals(1, read.getOrDefault(key, 0), "pair " + key);
        }
      }
    }
    assertEquals(expected, read.values().stream().mapToInt(Integer::intValue).sum());
  }
}
