package Quorvane.homals.source;

import Quorvane.homals.CategoryTables;
import java.util.List;
import java.util.Objects;

/**
 * What a source sums into {@link CategoryTables}: the variables of the fit, in the analysis's
 * order, each as a {@link Coding} of one column; the weight column, if any; and the binary
 * exponent by which weights become whole units ({@link CategoryTables#weightScale}).
 *
 * <p>A row takes part when its weight in units is positive and at least one of its active cells
 * has a code; c, the number of such cells, is the first key of every count.
 *
 * @param weightColumn the weight column, or null when every row weighs 1
 */
public record TableLayout(List<Coding> variables, String weightColumn, int weightScale) {
  public TableLayout {
    variables = List.copyOf(variables);
    if (variables.stream().noneMatch(Coding::active)) {
      throw new IllegalArgumentException("no active variable");
    }
  }

  /** M: the active variables. */
  public int activeCount() {
    return (int) variables.stream().filter(Coding::active).count();
  }

  /** Empty tables of this layout's shape and scale. */
  public CategoryTables emptyTables() {
    int[] k = new int[variables.size()];
    boolean[] active = new boolean[variables.size()];
    for (int v = 0; v < k.length; v++) {
      k[v] = variables.get(v).categoryCount();
      active[v] = variables.get(v).active();
    }
    return new CategoryTables(k, active, weightScale);
  }

  /** The names of the columns a query reads, each once, weight last. */
  public List<String> columns() {
    List<String> names = new java.util.ArrayList<>();
    for (Coding coding : variables) {
      if (!names.contains(coding.column())) {
        names.add(coding.column());
      }
    }
    if (weightColumn != null && !names.contains(weightColumn)) {
      names.add(weightColumn);
    }
    return names;
  }
}
