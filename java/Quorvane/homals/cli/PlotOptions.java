package Quorvane.homals.cli;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.Variable;
import Quorvane.homals.plot.ObjectColours;
import Quorvane.homals.plot.PlotSettings;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import picocli.CommandLine.Option;

/**
 * The options of what the plots show, kept apart from the analysis's options, and the column
 * that colours the objects, which the reader collects only for them.
 */
final class PlotOptions {
  @Option(names = "--plot-dimensions", paramLabel = "A,B", split = ",",
      description = "The two dimensions of the joint plot and the discrimination-measure plot "
          + "(default: 1,2).")
  List<Integer> plotDimensions;

  @Option(names = "--label-top", paramLabel = "N",
      description = "Label only the N categories that contribute most to the joint plot's "
          + "plane (default: " + PlotSettings.DEFAULT_LABEL_TOP + ").")
  int labelTop = PlotSettings.DEFAULT_LABEL_TOP;

  @Option(names = {"--colour-by", "--color-by"}, paramLabel = "COLUMN",
      description = "Colour the objects of the joint plot by the categories of this column, "
          + "analysed or not. The legend gives each colour's summed object weight (its number "
          + "of objects without -w).")
  String colourBy;

  /** The colouring column's labels, when it is not analysed and so not read otherwise. */
  private LabelColumn colourColumn;

  /** Refuses what no plot can show, before the analysis runs. */
  void check(int dimensions) {
    if (labelTop < 0) {
      throw new CliException("--label-top must be 0 or more, not " + labelTop);
    }
    if (plotDimensions == null) {
      return;
    }
    if (plotDimensions.size() != 2 || plotDimensions.get(0).equals(plotDimensions.get(1))) {
      throw new CliException("--plot-dimensions needs two different dimensions, such as 1,3");
    }
    for (int d : plotDimensions) {
      if (d < 1 || d > dimensions) {
        throw new CliException("--plot-dimensions " + plotDimensions.get(0) + ","
            + plotDimensions.get(1) + ": the solution has dimensions 1 to " + dimensions);
      }
    }
  }

  /** Adds a collector of the colouring column's labels, unless the analysis reads it anyway. */
  void collect(CsvColumns csv, List<String> analysed, Set<String> missingTexts,
      Map<Integer, CsvColumns.Column> byIndex) {
    if (colourBy == null) {
      return;
    }
    int index = csv.column(colourBy);
    if (!analysed.contains(colourBy)) {
      colourColumn = new LabelColumn(missingTexts);
      byIndex.merge(index, colourColumn, CsvColumns::both);
    }
  }

  PlotSettings settings(HomalsResult result, int size, String title) {
    PlotSettings settings = PlotSettings.of(size, title).withLabelTop(labelTop);
    if (plotDimensions != null) {
      settings = settings.withDimensions(plotDimensions.get(0) - 1, plotDimensions.get(1) - 1);
    }
    return colourBy == null ? settings : settings.withColours(colours(result));
  }

  /**
   * An analysed column colours by its variable's categories, in their order; another column's
   * labels are ordered as a variable's would be.
   */
  private ObjectColours colours(HomalsResult result) {
    if (colourColumn == null) {
      Variable variable = result.analysis().variable(colourBy);
      return new ObjectColours(colourBy, variable.categories(), variable.codes());
    }
    List<String> seen = colourColumn.labels();
    List<String> categories = Variable.categoryOrder(seen);
    Map<String, Integer> position = new HashMap<>();
    for (int c = 0; c < categories.size(); c++) {
      position.put(categories.get(c), c + 1);
    }
    int[] renumber = new int[seen.size() + 1];
    for (int c = 0; c < seen.size(); c++) {
      renumber[c + 1] = position.get(seen.get(c));
    }
    return new ObjectColours(
        colourBy, categories, colourColumn.codes(renumber, new int[colourColumn.size()]));
  }
}
