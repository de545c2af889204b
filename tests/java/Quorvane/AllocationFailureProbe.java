package Quorvane;

/**
 * Child program of the allocation-failure test, run with a small address-space limit: a call
 * that passes every check but whose working buffers (2^30 object scores, 8 GiB) cannot be
 * allocated, between two valid calls. Prints to stderr the exception's class and whether the
 * tables kept every bit, then whether the valid calls before and after agree.
 */
public final class AllocationFailureProbe {
  public static void main(String[] args) {
    Call before = new Call();
    before.run();

    Call huge = new Call();
    huge.objectCount = 1 << 16;
    huge.dataStride = 1;
    huge.dimensionCount = 1 << 14;
    huge.maxCategories = 1;
    huge.activeCount = 1;
    huge.passiveCount = 0;
    huge.useWeights = false;
    huge.activeColumns = new int[] {0};
    huge.activeCategoryCounts = new int[] {1};
    huge.activeSingle = new int[] {0};
    huge.activeLevels = new int[] {0};
    huge.passiveColumns = huge.passiveCategoryCounts = new int[0];
    huge.passiveSingle = huge.passiveLevels = new int[0];
    huge.data = new int[1 << 16];
    huge.withoutObjectScores();
    huge.categoryQuantificationTable = Call.pattern(2, 2, (1 << 14) + 1);
    String tables = huge.tableBits();
    String thrown = "none";
    try {
      huge.run();
    } catch (Throwable e) {
      thrown = e.getClass().getName() + ": " + e.getMessage();
    }
    System.err.println("thrown " + thrown);
    System.err.println("unchanged " + tables.equals(huge.tableBits()));

    Call after = new Call();
    after.run();
    System.err.println("valid calls agree " + before.tableBits().equals(after.tableBits()));
  }
}
