package Quorvane;

import java.util.List;
import java.util.function.Consumer;

/**
 * Calls of runHomals that each break one limit of the valid {@link Call}, with the exception
 * they must raise and the parts of its message that locate the fault: the parameter and, where
 * there is one, the index, the value and the limit.
 */
final class MalformedCalls {
  record Case(String name, Class<? extends Throwable> expected, Consumer<Call> change,
      List<String> messageParts) {
    @Override
    public String toString() {
      return name;
    }
  }

  private MalformedCalls() {}

  private static Case npe(String name, Consumer<Call> change, String... messageParts) {
    return new Case(name, NullPointerException.class, change, List.of(messageParts));
  }

  private static Case iae(String name, Consumer<Call> change, String... messageParts) {
    return new Case(name, IllegalArgumentException.class, change, List.of(messageParts));
  }

  private static int[] shortened(int[] array) {
    return java.util.Arrays.copyOf(array, array.length - 1);
  }

  static final List<Case> CASES = List.of(
      // Null arrays, tables and rows.
      npe("activeColumns null", c -> c.activeColumns = null, "activeColumns"),
      npe("passiveColumns null", c -> c.passiveColumns = null, "passiveColumns"),
      npe("activeCategoryCounts null", c -> c.activeCategoryCounts = null,
          "activeCategoryCounts"),
      npe("passiveCategoryCounts null", c -> c.passiveCategoryCounts = null,
          "passiveCategoryCounts"),
      npe("activeSingle null", c -> c.activeSingle = null, "activeSingle"),
      npe("passiveSingle null", c -> c.passiveSingle = null, "passiveSingle"),
      npe("activeLevels null", c -> c.activeLevels = null, "activeLevels"),
      npe("passiveLevels null", c -> c.passiveLevels = null, "passiveLevels"),
      npe("data null", c -> c.data = null, "data"),
      npe("objectScoreTable null", c -> c.objectScoreTable = null, "objectScoreTable"),
      npe("categoryQuantificationTable null", c -> c.categoryQuantificationTable = null,
          "categoryQuantificationTable"),
      npe("objectScoreTable row 0 null", c -> c.objectScoreTable[0] = null,
          "objectScoreTable[0]"),
      npe("categoryQuantificationTable row 3 null", c -> c.categoryQuantificationTable[3] = null,
          "categoryQuantificationTable[3]", "row 3"),
      npe("null row of an unwritten objectScoreTable", c -> {
        c.writeObjectScores = false;
        c.objectScoreTable[5] = null;
      }, "objectScoreTable[5]"),

      // Negative counts.
      iae("dimensionCount negative", c -> c.dimensionCount = -1, "dimensionCount", "-1"),
      iae("dataStride negative", c -> c.dataStride = -4, "dataStride", "-4"),
      iae("objectCount negative", c -> c.objectCount = -8, "objectCount", "-8"),
      iae("maxCategories negative", c -> c.maxCategories = -3, "maxCategories", "-3"),
      iae("activeCount negative", c -> c.activeCount = -2, "activeCount", "-2"),
      iae("passiveCount negative", c -> c.passiveCount = -1, "passiveCount", "-1"),

      // Buffer sizes beyond int32. The first two cannot come with arrays long enough.
      iae("activeCount + passiveCount overflows", c -> {
        c.activeCount = 1 << 30;
        c.passiveCount = 1 << 30;
      }, "activeCount + passiveCount", "2147483648"),
      iae("objectCount * dataStride overflows", c -> {
        c.objectCount = 1 << 16;
        c.dataStride = 1 << 15;
      }, "objectCount * dataStride", "65536 * 32768", "2147483647"),
      iae("objectCount * dimensionCount overflows",
          c -> c.withoutCategories().withoutObjectScores().dimensionCount = 1 << 28,
          "objectCount * dimensionCount", "8 * 268435456"),
      iae("slots * dimensionCount overflows", c -> {
        c.withoutCategories().withoutObjectScores();
        c.objectCount = 0;
        c.maxCategories = 3;
        c.dimensionCount = 1 << 28;
      }, "maxCategories * (activeCount + passiveCount) * dimensionCount", "3 * 3 * 268435456"),
      iae("variables * dimensionCount overflows", c -> {
        c.withoutCategories().withoutObjectScores();
        c.objectCount = 1;
        c.dimensionCount = 1 << 30;
      }, "(activeCount + passiveCount) * dimensionCount", "3 * 1073741824"),

      // int[] lengths.
      iae("activeColumns short", c -> c.activeColumns = shortened(c.activeColumns),
          "activeColumns", "length 1", "activeCount = 2"),
      iae("passiveColumns short", c -> c.passiveColumns = shortened(c.passiveColumns),
          "passiveColumns", "length 0", "passiveCount = 1"),
      iae("activeCategoryCounts short",
          c -> c.activeCategoryCounts = shortened(c.activeCategoryCounts),
          "activeCategoryCounts", "activeCount = 2"),
      iae("passiveCategoryCounts short",
          c -> c.passiveCategoryCounts = shortened(c.passiveCategoryCounts),
          "passiveCategoryCounts", "passiveCount = 1"),
      iae("activeSingle short", c -> c.activeSingle = shortened(c.activeSingle),
          "activeSingle", "activeCount = 2"),
      iae("passiveSingle short", c -> c.passiveSingle = shortened(c.passiveSingle),
          "passiveSingle", "passiveCount = 1"),
      iae("activeLevels short", c -> c.activeLevels = shortened(c.activeLevels),
          "activeLevels", "activeCount = 2"),
      iae("passiveLevels short", c -> c.passiveLevels = shortened(c.passiveLevels),
          "passiveLevels", "passiveCount = 1"),
      iae("data short by one", c -> c.data = shortened(c.data),
          "data", "length 31", "8 * 4 = 32"),

      // Columns.
      iae("activeColumns at dataStride", c -> c.activeColumns[1] = 4,
          "activeColumns[1] = 4", "dataStride - 1 = 3"),
      iae("activeColumns negative", c -> c.activeColumns[0] = -1, "activeColumns[0] = -1"),
      iae("passiveColumns beyond the row", c -> c.passiveColumns[0] = 11,
          "passiveColumns[0] = 11"),
      iae("weightColumn negative", c -> c.weightColumn = -1, "weightColumn = -1", "useWeights"),
      iae("weightColumn at dataStride", c -> c.weightColumn = 4, "weightColumn = 4",
          "dataStride - 1 = 3"),

      // Category counts.
      iae("activeCategoryCounts above maxCategories", c -> c.activeCategoryCounts[0] = 4,
          "activeCategoryCounts[0] = 4", "maxCategories = 3"),
      iae("passiveCategoryCounts above maxCategories", c -> c.passiveCategoryCounts[0] = 5,
          "passiveCategoryCounts[0] = 5", "maxCategories = 3"),

      // Codes.
      iae("active code above its count, within K", c -> c.data[4 * 4 + 1] = 3,
          "data[17] = 3", "object 4", "active variable 1", "activeCategoryCounts[1] = 2"),
      iae("active code above K", c -> c.data[2 * 4] = 4,
          "data[8] = 4", "object 2", "activeCategoryCounts[0] = 3"),
      iae("passive code above its count", c -> c.data[6 * 4 + 2] = 3,
          "data[26] = 3", "passive variable 0", "passiveCategoryCounts[0] = 2"),
      iae("code of a variable without categories", c -> c.activeCategoryCounts[1] = 0,
          "data[1] = 2", "activeCategoryCounts[1] = 0"),

      // Table shapes.
      iae("objectScoreTable without rows", c -> c.objectScoreTable = new double[0][],
          "objectScoreTable has no rows"),
      iae("unwritten objectScoreTable without rows", c -> {
        c.writeObjectScores = false;
        c.objectScoreTable = new double[0][];
      }, "objectScoreTable has no rows"),
      iae("categoryQuantificationTable without rows",
          c -> c.categoryQuantificationTable = new double[0][],
          "categoryQuantificationTable has no rows"),
      iae("objectScoreTable one row short", c -> c.objectScoreTable = Call.pattern(1, 8, 3),
          "objectScoreTable has 8 rows", "objectCount + 1 = 9"),
      iae("objectScoreTable too narrow", c -> c.objectScoreTable = Call.pattern(1, 9, 2),
          "objectScoreTable[0] has length 2", "dimensionCount + 1 = 3"),
      iae("objectScoreTable row shorter than row 0", c -> c.objectScoreTable[4] = new double[2],
          "objectScoreTable[4] has length 2", "3"),
      iae("categoryQuantificationTable one row short",
          c -> c.categoryQuantificationTable = Call.pattern(2, 5, 3),
          "categoryQuantificationTable has 5 rows", "activeCategoryCounts = 6"),
      iae("categoryQuantificationTable too narrow",
          c -> c.categoryQuantificationTable = Call.pattern(2, 6, 2),
          "categoryQuantificationTable[0] has length 2", "dimensionCount + 1 = 3"),
      iae("last categoryQuantificationTable row shorter than row 0",
          c -> c.categoryQuantificationTable[5] = new double[1],
          "categoryQuantificationTable[5] has length 1"),
      iae("spare categoryQuantificationTable row shorter than row 0", c -> {
        double[][] table = java.util.Arrays.copyOf(c.categoryQuantificationTable, 7);
        table[6] = new double[0];
        c.categoryQuantificationTable = table;
      }, "categoryQuantificationTable[6] has length 0"));
}
