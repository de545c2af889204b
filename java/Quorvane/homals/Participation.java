package Quorvane.homals;

import java.util.List;
import java.util.concurrent.ForkJoinPool;
import java.util.function.IntConsumer;
import java.util.stream.IntStream;

/**
 * Which objects take part in an analysis, and the weighted frequencies of every variable's
 * categories over them. An object takes part when its weight is positive and at least one active
 * variable is observed on it; only such objects have scores, and only they count in the
 * frequencies, passive variables included. Computed once per analysis.
 *
 * <p>Every sum is kept as whole weight units ({@link CategoryTables#units}) by the number c of
 * active variables observed on the objects, so that the frequencies and everything derived from
 * them are the same bits whether the objects are in memory or their counts were summed by a
 * database ({@link #of(CategoryTables)}). Only the object-level answers ({@link #takesPart},
 * {@link #observed}) need the objects.
 */
final class Participation {
  private final boolean[] takesPart; // null without objects
  private final int[] observed; // null without objects
  private final long count;
  private final int activeCount;
  private final int weightScale;
  private final long[][] units; // [c - 1][slot], slots in the library's layout
  private final int[] slotStart; // by variable
  private final int[] categoryCounts; // by variable
  private final int activeSlots;

  private Participation(boolean[] takesPart, int[] observed, long count, int activeCount,
      int weightScale, long[][] units, int[] slotStart, int[] categoryCounts, int activeSlots) {
    this.takesPart = takesPart;
    this.observed = observed;
    this.count = count;
    this.activeCount = activeCount;
    this.weightScale = weightScale;
    this.units = units;
    this.slotStart = slotStart;
    this.categoryCounts = categoryCounts;
    this.activeSlots = activeSlots;
  }

  /** Objects per block of the count of observed values. */
  private static final int BLOCK = 1 << 16;

  /**
   * The participation of objects in memory, on up to {@code threads} threads: blocks of objects
   * count their observed values side by side, and the variables add their units side by side,
   * each into its own slots. Every sum is of whole units, so the threads change no result.
   */
  static Participation of(
      List<Variable> variables, double[] weights, int objectCount, int threads) {
    int m = 0;
    int[] slotStart = slotStarts(variables);
    int[] categoryCounts = new int[variables.size()];
    int slots = 0;
    int activeSlots = 0;
    for (int v = 0; v < categoryCounts.length; v++) {
      Variable variable = variables.get(v);
      m += variable.isActive() ? 1 : 0;
      categoryCounts[v] = variable.categoryCount();
      slots += categoryCounts[v];
      activeSlots += variable.isActive() ? categoryCounts[v] : 0;
    }
    int[] observed = new int[objectCount];
    List<CategoryCodes> active =
        variables.stream().filter(Variable::isActive).map(Variable::codesView).toList();
    inParallel((objectCount + BLOCK - 1) / BLOCK, threads, b -> {
      int from = b * BLOCK;
      int to = Math.min(objectCount, from + BLOCK);
      for (CategoryCodes codes : active) {
        codes.countObserved(observed, from, to);
      }
    });
    int scale = weights == null ? 0 : weightScale(weights, m);
    boolean[] takesPart = new boolean[objectCount];
    // Without weights every object is one unit, and no array of ten million ones is made.
    long[] objectUnits = weights == null ? null : new long[objectCount];
    long count = 0;
    for (int i = 0; i < objectCount; i++) {
      long objectUnit = weights == null ? 1 : CategoryTables.units(weights[i], scale);
      if (objectUnits != null) {
        objectUnits[i] = objectUnit;
      }
      takesPart[i] = objectUnit > 0 && observed[i] > 0;
      count += takesPart[i] ? 1 : 0;
    }
    long[][] units = new long[Math.max(m, 1)][slots];
    inParallel(variables.size(), threads,
        v
        -> variables.get(v).codesView().addUnits(
            takesPart, observed, objectUnits, units, slotStart[v] - 1));
    return new Participation(
        takesPart, observed, count, m, scale, units, slotStart, categoryCounts, activeSlots);
  }

  /** Runs task(0) .. task(tasks - 1), on a pool of up to {@code threads} threads when worth it. */
  private static void inParallel(int tasks, int threads, IntConsumer task) {
    if (threads < 2 || tasks < 2) {
      for (int t = 0; t < tasks; t++) {
        task.accept(t);
      }
      return;
    }
    ForkJoinPool pool = new ForkJoinPool(Math.min(threads, tasks));
    try {
      // join() throws what a task threw, as it was thrown.
      pool.submit(() -> IntStream.range(0, tasks).parallel().forEach(task)).join();
    } finally {
      pool.shutdown();
    }
  }

  /** The participation that tables summed elsewhere describe: no object-level answers. */
  static Participation of(CategoryTables tables) {
    int m = tables.activeCount();
    int slots = tables.activeSlots() + tables.passiveSlots();
    long[][] units = new long[Math.max(m, 1)][slots];
    for (int c = 1; c <= m; c++) {
      for (int s = 0; s < slots; s++) {
        units[c - 1][s] = tables.frequency(c, s);
      }
    }
    int[] slotStart = new int[tables.variableCount()];
    int[] categoryCounts = new int[slotStart.length];
    for (int v = 0; v < slotStart.length; v++) {
      slotStart[v] = tables.slotStart(v);
      categoryCounts[v] = tables.categoryCount(v);
    }
    return new Participation(null, null, tables.objectCount(), m, tables.weightScale(), units,
        slotStart, categoryCounts, tables.activeSlots());
  }

  /** The weights' scale, with the rule and the sum order of the library. */
  private static int weightScale(double[] weights, int activeCount) {
    double total = 0;
    double largest = 0;
    boolean whole = true;
    for (double w : weights) {
      whole = whole && w == Math.floor(w) && w < 0x1p53;
      total += w;
      largest = Math.max(largest, w);
    }
    return CategoryTables.weightScale(total, largest, whole, activeCount);
  }

  /** The first slot of each variable in the library's layout: active ones first. */
  static int[] slotStarts(List<Variable> variables) {
    int[] starts = new int[variables.size()];
    int next = 0;
    for (boolean active : new boolean[] {true, false}) {
      for (int v = 0; v < starts.length; v++) {
        if (variables.get(v).isActive() == active) {
          starts[v] = next;
          next += variables.get(v).categoryCount();
        }
      }
    }
    return starts;
  }

  /** Whether the objects are known one by one (not only through their tables). */
  boolean hasObjects() { return takesPart != null; }

  boolean takesPart(int object) { return takesPart[object]; }

  /** The number of active variables observed on object i. */
  int observed(int object) { return observed[object]; }

  /** Whether an active variable is missing on an object that takes part. */
  boolean anyMissing() {
    for (int c = 1; c < activeCount; c++) {
      for (long u : units[c - 1]) {
        if (u != 0) {
          return true;
        }
      }
    }
    return false;
  }

  /** The number of objects that take part. */
  long count() { return count; }

  private double weight(long unitSum) { return Math.scalb((double) unitSum, -weightScale); }

  /** A sum over the objects taken with their weights in units, in weights. */
  double inWeights(double unitSum) { return Math.scalb(unitSum, -weightScale); }

  /** t: the sum over objects that take part of w_i times their number of observed actives. */
  double totalMarginal() {
    long total = 0;
    for (int c = 1; c <= activeCount; c++) {
      total += activeUnits(c);
    }
    return weight(total);
  }

  /** W+: the summed weight of the objects that take part. */
  double participatingWeight() {
    long total = 0;
    for (int c = 1; c <= activeCount; c++) {
      total += activeUnits(c) / c; // each of these objects meets c active categories
    }
    return weight(total);
  }

  private long activeUnits(int c) {
    long sum = 0;
    for (int s = 0; s < activeSlots; s++) {
      sum += units[c - 1][s];
    }
    return sum;
  }

  /** D_jc of variable j (in the description's order), category c. */
  double[] frequencies(int variable) {
    int k = categoryCounts[variable];
    double[] frequencies = new double[k];
    for (int c = 0; c < k; c++) {
      long sum = 0;
      for (long[] byCount : units) {
        sum += byCount[slotStart[variable] + c];
      }
      frequencies[c] = weight(sum);
    }
    return frequencies;
  }

  /**
   * &Sigma;<sub>i in c</sub> w<sub>i</sub> / c<sub>i</sub> over the objects that take part, for
   * each category of a variable: the counts by c divided by c, added in increasing c.
   */
  double[] inverseCountSums(int variable) {
    int k = categoryCounts[variable];
    double[] sums = new double[k];
    for (int c = 0; c < k; c++) {
      double sum = 0;
      for (int observed = 1; observed <= units.length; observed++) {
        sum += (double) units[observed - 1][slotStart[variable] + c] / observed;
      }
      sums[c] = Math.scalb(sum, -weightScale);
    }
    return sums;
  }
}
