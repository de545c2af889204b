package Quorvane.homals;

import java.util.Arrays;
import java.util.List;
import java.util.Objects;

/**
 * The weighted counts that the table solvers need, summed by whatever holds the objects: a
 * database's GROUP BY as well as a pass over codes in memory. Every count is a whole number of
 * weight units (a weight times 2<sup>{@link #weightScale()}</sup>, rounded half to even; whole
 * weights need no scale), so that sums taken in any order, on any number of machines, are equal.
 *
 * <p>Counts are kept for the objects that take part (positive weight, at least one observed
 * active variable), by the number c = 1 .. M of active variables observed on the object, for:
 *
 * <ul>
 *   <li>every pair of categories of two active variables, and every category of an active
 *       variable with itself (its frequency among the objects with c observed);
 *   <li>every pair of a category of a passive variable and one of an active variable;
 *   <li>every category of a passive variable (its frequency among the objects with c observed).
 * </ul>
 *
 * <p>Variables are those of the analysis, in its order, each with categories 1 .. k. Slots number
 * the categories of the active variables first, in variable order, then those of the passive
 * ones: the layout of the native library.
 */
public final class CategoryTables {
  private final int[] categoryCounts;
  private final boolean[] active;
  private final int[] slotStart;
  private final int activeCount;
  private final int activeSlots;
  private final int passiveSlots;
  private final int weightScale;
  // counts[c - 1]: active pairs [s * S1 + s2] for s <= s2, then passive-active pairs at
  // S1 * S1 + p * S1 + s.
  private final long[][] counts;
  private final long[][] passiveFrequencies; // [c - 1][p]
  private long objectCount;

  /**
   * Empty tables.
   *
   * @param categoryCounts k of every variable, in the analysis' order
   * @param active whether each variable is active
   * @param weightScale the binary exponent the weights were scaled by before rounding
   */
  public CategoryTables(int[] categoryCounts, boolean[] active, int weightScale) {
    Objects.requireNonNull(categoryCounts, "categoryCounts");
    Objects.requireNonNull(active, "active");
    if (categoryCounts.length != active.length) {
      throw new IllegalArgumentException("categoryCounts and active differ in length");
    }
    this.categoryCounts = categoryCounts.clone();
    this.active = active.clone();
    this.weightScale = weightScale;
    slotStart = new int[categoryCounts.length];
    int next = 0;
    int actives = 0;
    int activeEnd = 0;
    for (boolean activeGroup : new boolean[] {true, false}) {
      for (int v = 0; v < categoryCounts.length; v++) {
        if (categoryCounts[v] < 1) {
          throw new IllegalArgumentException("variable " + v + " has no categories");
        }
        if (active[v] == activeGroup) {
          slotStart[v] = next;
          next = Math.addExact(next, categoryCounts[v]);
          actives += activeGroup ? 1 : 0;
        }
      }
      if (activeGroup) {
        activeEnd = next;
      }
    }
    activeSlots = activeEnd;
    activeCount = actives;
    passiveSlots = next - activeSlots;
    int size = Math.multiplyExact(activeSlots + passiveSlots, activeSlots);
    counts = new long[activeCount][size];
    passiveFrequencies = new long[activeCount][passiveSlots];
  }

  /**
   * Adds {@code units} to the count of the objects with {@code observed} active variables
   * observed that are in category {@code categoryA} of variable {@code variableA} and in category
   * {@code categoryB} of {@code variableB}. Either both variables are active (the same variable
   * only with the same category: a frequency), or A is passive and B active, or A and B are the
   * same passive variable and category (a passive frequency). Categories count from 1.
   */
  public void add(
      int observed, int variableA, int categoryA, int variableB, int categoryB, long units) {
    if (observed < 1 || observed > activeCount) {
      throw new IllegalArgumentException(
          "observed = " + observed + " is outside 1 .. " + activeCount);
    }
    if (units < 0) {
      throw new IllegalArgumentException("units = " + units + " is negative");
    }
    int a = slot(variableA, categoryA);
    int b = slot(variableB, categoryB);
    long[] table = counts[observed - 1];
    if (active[variableA] && active[variableB]) {
      if (variableA == variableB && categoryA != categoryB) {
        throw new IllegalArgumentException("two categories of variable " + variableA);
      }
      int low = Math.min(a, b);
      int high = Math.max(a, b);
      table[low * activeSlots + high] = Math.addExact(table[low * activeSlots + high], units);
    } else if (!active[variableA] && active[variableB]) {
      int index = activeSlots * activeSlots + (a - activeSlots) * activeSlots + b;
      table[index] = Math.addExact(table[index], units);
    } else if (variableA == variableB && categoryA == categoryB) {
      long[] frequencies = passiveFrequencies[observed - 1];
      frequencies[a - activeSlots] = Math.addExact(frequencies[a - activeSlots], units);
    } else {
      throw new IllegalArgumentException("variables " + variableA + " and " + variableB
          + ": counts are kept for active pairs, passive-active pairs and passive frequencies");
    }
  }

  /**
   * Adds objects to the number of objects that take part (positive weight units and an observed
   * active variable); their weights are in the counts.
   */
  public void addObjects(long objects) {
    if (objects < 0) {
      throw new IllegalArgumentException("objects = " + objects + " is negative");
    }
    objectCount = Math.addExact(objectCount, objects);
  }

  /** The number of objects that take part. */
  public long objectCount() { return objectCount; }

  /** Adds another set of tables of the same shape and scale, count by count. */
  public void addAll(CategoryTables other) {
    if (!Arrays.equals(categoryCounts, other.categoryCounts) || !Arrays.equals(active, other.active)
        || weightScale != other.weightScale) {
      throw new IllegalArgumentException("tables of another shape or scale");
    }
    objectCount = Math.addExact(objectCount, other.objectCount);
    for (int c = 0; c < activeCount; c++) {
      for (int i = 0; i < counts[c].length; i++) {
        counts[c][i] = Math.addExact(counts[c][i], other.counts[c][i]);
      }
      for (int i = 0; i < passiveSlots; i++) {
        passiveFrequencies[c][i] =
            Math.addExact(passiveFrequencies[c][i], other.passiveFrequencies[c][i]);
      }
    }
  }

  /**
   * The tables of an analysis whose objects are in memory: the counts a database would sum, by
   * one pass over the codes.
   */
  public static CategoryTables of(HomalsAnalysis analysis) {
    List<Variable> variables = analysis.fitVariables();
    int count = variables.size();
    int[] k = new int[count];
    boolean[] active = new boolean[count];
    CategoryCodes[] codes = new CategoryCodes[count];
    int m = 0;
    for (int v = 0; v < count; v++) {
      k[v] = variables.get(v).categoryCount();
      active[v] = variables.get(v).isActive();
      codes[v] = variables.get(v).codesView();
      m += active[v] ? 1 : 0;
    }
    double[] weights = analysis.weightsView();
    int n = analysis.objectCount();
    int scale = 0;
    if (weights != null) {
      double total = 0;
      double largest = 0;
      boolean whole = true;
      for (double w : weights) {
        whole = whole && w == Math.floor(w) && w < WHOLE_LIMIT;
        total += w;
        largest = Math.max(largest, w);
      }
      scale = weightScale(total, largest, whole, m);
    }
    CategoryTables tables = new CategoryTables(k, active, scale);
    int[] cells = new int[count];
    for (int i = 0; i < n; i++) {
      long units = weights == null ? 1 : units(weights[i], scale);
      int observed = 0;
      int filled = 0;
      for (int v = 0; v < count; v++) {
        int code = codes[v].get(i);
        if (code > 0) {
          observed += active[v] ? 1 : 0;
          cells[filled++] = v;
        }
      }
      if (units == 0 || observed == 0) {
        continue;
      }
      tables.objectCount++;
      for (int a = 0; a < filled; a++) {
        int va = cells[a];
        if (!active[va]) {
          tables.add(observed, va, codes[va].get(i), va, codes[va].get(i), units);
        }
        for (int b = active[va] ? a : 0; b < filled; b++) {
          int vb = cells[b];
          if (active[vb]) {
            tables.add(observed, va, codes[va].get(i), vb, codes[vb].get(i), units);
          }
        }
      }
    }
    return tables;
  }

  private static final double WHOLE_LIMIT = 0x1p53;

  /**
   * The binary exponent that turns weights into whole units: 0 when the weights are whole and
   * their total times the active variables stays below 2<sup>62</sup>; otherwise the largest
   * that keeps both every unit below 2<sup>53</sup> and that total below 2<sup>62</sup>.
   *
   * @param total the sum of the weights
   * @param largest the largest weight
   * @param whole whether every weight is a whole number below 2<sup>53</sup>
   * @param activeCount the number of active variables
   */
  public static int weightScale(double total, double largest, boolean whole, int activeCount) {
    double limit = 0x1p62 * (1.0 - 0x1p-8) / Math.max(activeCount, 1);
    if (!(largest > 0.0) || (whole && total < limit)) {
      return 0;
    }
    return Math.min(binaryExponent(limit / total), binaryExponent(WHOLE_LIMIT / largest)) - 1;
  }

  /** The weight in units of the scale, rounded half to even. */
  public static long units(double weight, int scale) {
    return (long) Math.rint(Math.scalb(weight, scale));
  }

  // e with x = f 2^e and 0.5 <= |f| < 1, as C's frexp.
  private static int binaryExponent(double x) {
    if (x == 0.0 || !Double.isFinite(x)) {
      return 0;
    }
    if (Math.getExponent(x) < Double.MIN_EXPONENT) {
      return Math.getExponent(x * 0x1p54) - 54 + 1;
    }
    return Math.getExponent(x) + 1;
  }

  private int slot(int variable, int category) {
    Objects.checkIndex(variable, categoryCounts.length);
    if (category < 1 || category > categoryCounts[variable]) {
      throw new IllegalArgumentException("variable " + variable + ": category " + category
          + " is outside 1 .. " + categoryCounts[variable]);
    }
    return slotStart[variable] + category - 1;
  }

  /** The number of variables. */
  public int variableCount() { return categoryCounts.length; }

  /** M: the number of active variables, the largest number observed on an object. */
  public int activeCount() { return activeCount; }

  /** S1: the categories of the active variables. */
  public int activeSlots() { return activeSlots; }

  /** The categories of the passive variables. */
  public int passiveSlots() { return passiveSlots; }

  /** k of a variable. */
  public int categoryCount(int variable) { return categoryCounts[variable]; }

  /** Whether a variable is active. */
  public boolean isActive(int variable) { return active[variable]; }

  /** The slot of a variable's first category. */
  public int slotStart(int variable) { return slotStart[variable]; }

  /** The weights' scale: every count is in units of 2<sup>-weightScale</sup> weight. */
  public int weightScale() { return weightScale; }

  /**
   * The count of a pair of slots (s &le; s2 &lt; S1; or a passive slot s &ge; S1 with an active
   * s2) among the objects with c observed.
   */
  public long pair(int observed, int s, int s2) {
    return counts[observed - 1][s < activeSlots ? s * activeSlots + s2 : activeSlots * s + s2];
  }

  /** The frequency of a slot, active or passive, among the objects with c observed. */
  public long frequency(int observed, int s) {
    return s < activeSlots ? pair(observed, s, s)
                           : passiveFrequencies[observed - 1][s - activeSlots];
  }

  /** The table of the objects with c observed, in the library's layout; not copied. */
  long[] tableView(int observed) { return counts[observed - 1]; }

  /** The passive frequencies of the objects with c observed, by passive slot; not copied. */
  long[] passiveFrequenciesView(int observed) { return passiveFrequencies[observed - 1]; }

  @Override
  public boolean equals(Object o) {
    return o instanceof CategoryTables t && weightScale == t.weightScale
        && objectCount == t.objectCount && Arrays.equals(categoryCounts, t.categoryCounts)
        && Arrays.equals(active, t.active) && Arrays.deepEquals(counts, t.counts)
        && Arrays.deepEquals(passiveFrequencies, t.passiveFrequencies);
  }

  @Override
  public int hashCode() {
    return Objects.hash(weightScale, Arrays.hashCode(categoryCounts), Arrays.deepHashCode(counts));
  }

  @Override
  public String toString() {
    return "CategoryTables[" + categoryCounts.length + " variables, " + activeSlots + " active and "
        + passiveSlots + " passive categories, scale 2^" + weightScale + "]";
  }
}
