package Quorvane.homals.cli;

import Quorvane.homals.Quantification;
import Quorvane.homals.Variable;
import java.util.Collection;
import java.util.List;

/**
 * What the options make of one analysed column once its distinct labels are known, whatever the
 * source: the order of its categories, its quantification, its values and excluded categories.
 * The CSV reader and the database reader both ask here, so that a table gives the categories
 * its export to a file would give.
 */
final class ColumnChoices {
  private final AnalysisOptions options;
  private final List<String> warnings;

  /** @param warnings receives the warnings of the choices made */
  ColumnChoices(AnalysisOptions options, List<String> warnings) {
    this.options = options;
    this.warnings = warnings;
  }

  /** The quantification --single asks for a column, multiple when it asks for none. */
  Quantification level(String name) {
    String level = options.single.get(name);
    if (level == null) {
      return Quantification.MULTIPLE_NOMINAL;
    }
    try {
      return Quantification.singleAt(level);
    } catch (IllegalArgumentException e) {
      throw new CliException("--single " + name + "=" + level + ": " + e.getMessage());
    }
  }

  /**
   * The categories of a column of labels: those of --order, or else the labels seen in {@link
   * Variable#categoryOrder}, except for an ordinal or numerical column whose labels are not all
   * numbers: ordered by the numbers they begin with when they all begin with distinct ones (as
   * intervals do), else alphabetically; a warning tells which.
   */
  List<String> categories(String name, Collection<String> seen) {
    if (options.order.containsKey(name)) {
      return InputReader.splitOrder(options.order.get(name));
    }
    List<String> order = Variable.categoryOrder(seen);
    Quantification level = level(name);
    if (level != Quantification.SINGLE_ORDINAL && level != Quantification.SINGLE_NUMERICAL
        || CategoryOrder.allNumbers(order)) {
      return order;
    }
    List<String> byNumbers = CategoryOrder.byFirstNumbers(order);
    String how = level == Quantification.SINGLE_ORDINAL ? "ordinal" : "numerical";
    if (byNumbers != null) {
      warnings.add("column '" + name + "' is " + how + " and its labels are not numbers; its "
          + "categories are ordered by the numbers they begin with: "
          + CategoryOrder.shortList(byNumbers) + " (--order " + name + "=... sets another order)");
      return byNumbers;
    }
    warnings.add("column '" + name + "' is " + how + " but its categories are ordered "
        + "alphabetically: " + CategoryOrder.shortList(order) + "; --order " + name
        + "=LABEL,LABEL,... gives their order");
    return order;
  }

  /**
   * The variable of a column as the options describe it: passive or active, its quantification,
   * its values and its excluded categories.
   */
  Variable dress(Variable variable, boolean passive) {
    String name = variable.name();
    int k = variable.categoryCount();
    if (passive) {
      variable = variable.passive();
    }
    Quantification level = level(name);
    if (level != Quantification.MULTIPLE_NOMINAL) {
      variable = variable.single(level);
    }
    if (options.values.containsKey(name)) {
      String text = options.values.get(name);
      try {
        variable = variable.withValues(CategoryOrder.values(name, text, k));
      } catch (IllegalArgumentException e) {
        throw new CliException("--values " + name + "=" + text + ": " + e.getMessage());
      }
    } else if (level == Quantification.SINGLE_NUMERICAL && variable.valuesArePositions()) {
      warnings.add("column '" + name + "' is numerical but its labels are not all numbers, so its "
          + "categories are spaced as their ranks 1 .. " + k + "; --values " + name
          + "=V,V,... spaces them as they should be");
    }
    if (options.excludeCategory.containsKey(name)) {
      String text = options.excludeCategory.get(name);
      try {
        variable = variable.excluding(InputReader.splitOrder(text).toArray(new String[0]));
      } catch (IllegalArgumentException e) {
        throw new CliException("--exclude-category " + name + "=" + text + ": " + e.getMessage());
      }
    }
    return variable;
  }
}
