package Quorvane.homals;

import Quorvane.NativeLibrary;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * A model's active variables as the native projection takes them, laid out once per model: the
 * category counts, every active category's quantifications in one category-major array, the
 * categories left out of the fit, and the eigenvalues. Turns new objects, given by label or by
 * code, into the native call.
 */
final class ModelProjection {
  private final List<ModelVariable> variables;
  private final int[] active; // model indices of the active variables, in order
  private final int[] categoryCounts;
  private final double[] quantifications; // S1 x P, [slot * P + d]
  private final boolean[] excluded; // S1, or null when no category was left out
  private final double[] centre; // P: the mean of the fitted objects' averaged quantifications
  private final double[] eigenvalues;
  private final int[] missingCodes; // per active variable: the code of missing cells, or 0

  ModelProjection(List<ModelVariable> variables, double[] eigenvalues, MissingCells missing) {
    this.variables = variables;
    this.eigenvalues = eigenvalues;
    this.active = activeIndices(variables);
    int p = eigenvalues.length;
    categoryCounts = new int[active.length];
    missingCodes = new int[active.length];
    int slots = 0;
    for (int a = 0; a < active.length; a++) {
      ModelVariable v = variables.get(active[a]);
      categoryCounts[a] = v.categoryCount();
      missingCodes[a] =
          missing.category() == null ? 0 : v.categories().indexOf(missing.category()) + 1;
      slots += v.categoryCount();
    }
    quantifications = new double[Math.multiplyExact(slots, p)];
    boolean[] left = new boolean[slots];
    boolean anyLeft = false;
    int slot = 0;
    for (int index : active) {
      ModelVariable v = variables.get(index);
      for (int c = 0; c < v.categoryCount(); c++, slot++) {
        left[slot] = v.isExcluded(c);
        // An excluded category counts as missing; its point (NaN without objects) is not read.
        if (!left[slot]) {
          System.arraycopy(v.quantificationsView()[c], 0, quantifications, slot * p, p);
        }
        anyLeft |= left[slot];
      }
    }
    excluded = anyLeft ? left : null;
    centre = centre(variables, active, p);
  }

  /**
   * mu<sub>d</sub> = &Sigma; D<sub>jc</sub> q<sub>jcd</sub> / &Sigma; D<sub>jc</sub> over the
   * active categories that took part: the mean of the averaged quantifications over the fitted
   * objects, weighted by their marginals, which the fit took off before it scaled them.
   */
  private static double[] centre(List<ModelVariable> variables, int[] active, int p) {
    double[] centre = new double[p];
    for (int d = 0; d < p; d++) {
      double sum = 0;
      double total = 0;
      for (int index : active) {
        ModelVariable v = variables.get(index);
        double[] frequencies = v.frequenciesView();
        for (int c = 0; c < v.categoryCount(); c++) {
          if (!v.isExcluded(c)) {
            sum += frequencies[c] * v.quantificationsView()[c][d];
            total += frequencies[c];
          }
        }
      }
      centre[d] = sum / total;
    }
    return centre;
  }

  /** &mu;, the centre the formula takes off (not a copy). */
  double[] centreView() { return centre; }

  private static int[] activeIndices(List<ModelVariable> variables) {
    return java.util.stream.IntStream.range(0, variables.size())
        .filter(v -> variables.get(v).isActive())
        .toArray();
  }

  /** Objects given by label: see {@link HomalsModel#project(List, int)}. */
  Projection labels(List<Variable> objects, int threads) {
    Map<String, Variable> byName = new HashMap<>();
    int n = -1;
    for (Variable v : objects) {
      if (byName.put(v.name(), v) != null) {
        throw new IllegalArgumentException("variable '" + v.name() + "' is given twice");
      }
      if (n >= 0 && v.objectCount() != n) {
        throw new IllegalArgumentException("variable '" + v.name() + "' has " + v.objectCount()
            + " objects, but '" + objects.get(0).name() + "' has " + n);
      }
      n = v.objectCount();
    }
    int[][] codes = new int[active.length][];
    Map<String, Integer> unknownCounts = new LinkedHashMap<>();
    Map<String, List<String>> unknownLabels = new LinkedHashMap<>();
    List<String> absent = new ArrayList<>();
    for (int a = 0; a < active.length; a++) {
      ModelVariable m = variables.get(active[a]);
      Variable given = byName.get(m.name());
      if (given == null) {
        absent.add(m.name());
        continue;
      }
      List<String> unknown = new ArrayList<>();
      int[] count = new int[1];
      codes[a] = renumber(m, given, missingCodes[a], unknown, count);
      unknownCounts.put(m.name(), count[0]);
      unknownLabels.put(m.name(), unknown);
    }
    requireSome(absent);
    fillAbsent(codes, n);
    return run(codes, n, threads, unknownCounts, unknownLabels, absent);
  }

  /**
   * The codes of a given variable in the model's numbering: its missing cells as the model's
   * missing category (0 when it has none), a label the model does not know as 0, counted.
   */
  private static int[] renumber(
      ModelVariable m, Variable given, int missingCode, List<String> unknown, int[] count) {
    Map<String, Integer> modelCode = new HashMap<>();
    for (int c = 0; c < m.categoryCount(); c++) {
      modelCode.put(m.categories().get(c), c + 1);
    }
    List<String> labels = given.categories();
    int[] map = new int[labels.size() + 1];
    map[0] = missingCode;
    for (int c = 0; c < labels.size(); c++) {
      map[c + 1] = modelCode.getOrDefault(labels.get(c), -1);
    }
    CategoryCodes source = given.codesView();
    int[] codes = new int[source.size()];
    int[] cells = new int[map.length];
    for (int i = 0; i < codes.length; i++) {
      int read = source.get(i);
      cells[read]++;
      codes[i] = Math.max(map[read], 0);
    }
    for (int c = 1; c < map.length; c++) {
      if (map[c] < 0 && cells[c] > 0) {
        unknown.add(labels.get(c - 1));
        count[0] += cells[c];
      }
    }
    return codes;
  }

  /** Objects given by code in the model's numbering: see {@link HomalsModel#projectCodes}. */
  Projection codes(int[][] codes, int threads) {
    if (codes.length != variables.size()) {
      throw new IllegalArgumentException("codes has " + codes.length + " arrays, but the model has "
          + variables.size() + " variables (one array each, null for one not given)");
    }
    int[][] columns = new int[active.length][];
    List<String> absent = new ArrayList<>();
    int n = -1;
    for (int a = 0; a < active.length; a++) {
      int[] column = codes[active[a]];
      String name = variables.get(active[a]).name();
      if (column == null) {
        absent.add(name);
        continue;
      }
      if (n >= 0 && column.length != n) {
        throw new IllegalArgumentException("codes[" + active[a] + "] ('" + name + "') has "
            + column.length + " codes, but the variables before it have " + n);
      }
      n = column.length;
      columns[a] = column;
    }
    requireSome(absent);
    fillAbsent(columns, n);
    try {
      return run(columns, n, threads, Map.of(), Map.of(), absent);
    } catch (IllegalArgumentException e) {
      throw inModelTerms(columns, e);
    }
  }

  private void requireSome(List<String> absent) {
    if (absent.size() == active.length) {
      throw new IllegalArgumentException(
          "none of the model's active variables " + absent + " is given");
    }
  }

  private static void fillAbsent(int[][] columns, int n) {
    int[] none = new int[n];
    for (int a = 0; a < columns.length; a++) {
      columns[a] = columns[a] == null ? none : columns[a];
    }
  }

  /** The library refuses a code above k; the caller knows the variable by name and index. */
  private RuntimeException inModelTerms(int[][] columns, IllegalArgumentException refused) {
    for (int a = 0; a < columns.length; a++) {
      for (int i = 0; i < columns[a].length; i++) {
        if (columns[a][i] > categoryCounts[a]) {
          return new IllegalArgumentException("codes[" + active[a] + "][" + i
              + "] = " + columns[a][i] + " is above the " + categoryCounts[a]
              + " categories of variable '" + variables.get(active[a]).name() + "'");
        }
      }
    }
    return refused;
  }

  private Projection run(int[][] columns, int n, int threads, Map<String, Integer> unknownCounts,
      Map<String, List<String>> unknownLabels, List<String> absent) {
    if (threads < 1 || threads > 1024) {
      throw new IllegalArgumentException("threads = " + threads + ": expected 1 to 1024");
    }
    int p = eigenvalues.length;
    double[] scores = new double[Math.multiplyExact(n, p)];
    NativeLibrary.load();
    HomalsNative.project(
        threads, columns, categoryCounts, quantifications, excluded, centre, eigenvalues, scores);
    return new Projection(scores, n, p, unknownCounts, unknownLabels, absent);
  }
}
