package Quorvane.homals.cli;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.Variable;
import Quorvane.homals.plot.ObjectColours;
import Quorvane.homals.plot.PlotSettings;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.stream.Collectors;
import picocli.CommandLine.Option;

/**
 * The options of what the plots show, kept apart from the analysis's options, and the column
 * that colours the objects, which the reader collects only for them.
 */
final class PlotOptions {
  @Option(names = "--plot-dimensions", paramLabel = "A,B", split = ",",
      description = "The planes of the joint plot and the discrimination-measure plot, as pairs "
          + "of dimensions: 1,2,1,3 draws both plots of dimensions 1 and 2 and of 1 and 3 "
          + "(default: 1,2). The first plane's files are joint-plot.png and "
          + "discrimination.png; later planes have theirs in the name, as in "
          + "joint-plot-1-3.png.")
  List<Integer> plotDimensions;

  @Option(names = "--label-top", paramLabel = "N",
      description = "Label only the N categories that contribute most to the joint plot's "
          + "plane (default: " + PlotSettings.DEFAULT_LABEL_TOP + "). The most contributing "
          + "are placed first; a label with no room clear of the markers and the other labels "
          + "is left out, and a note under the plot counts those left out.")
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
    planes(dimensions);
  }

  /**
   * The planes of --plot-dimensions, 0-based, or {@code null} when it is not given; refuses, in
   * one line that names it, a dimension without a partner and a pair that is no plane of the
   * solution.
   */
  private List<PlotSettings.Plane> planes(int dimensions) {
    if (plotDimensions == null) {
      return null;
    }
    if (plotDimensions.size() % 2 != 0) {
      throw new CliException("--plot-dimensions " + join(plotDimensions)
          + ": dimensions go in pairs, one pair per plane, such as 1,2 or 1,2,1,3");
    }
    List<PlotSettings.Plane> planes = new ArrayList<>();
    for (int p = 0; p < plotDimensions.size(); p += 2) {
      int a = plotDimensions.get(p);
      int b = plotDimensions.get(p + 1);
      String pair = "--plot-dimensions " + a + "," + b;
      if (a == b) {
        throw new CliException(pair + ": a plane needs two different dimensions, such as 1,3");
      }
      if (Math.min(a, b) < 1 || Math.max(a, b) > dimensions) {
        throw new CliException(pair + ": the solution has dimensions 1 to " + dimensions);
      }
      PlotSettings.Plane plane = new PlotSettings.Plane(a - 1, b - 1);
      if (planes.contains(plane)) {
        throw new CliException(pair + ": the plane is asked for twice");
      }
      planes.add(plane);
    }
    return planes;
  }

  private static String join(List<Integer> numbers) {
    return numbers.stream().map(String::valueOf).collect(Collectors.joining(","));
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
      settings = settings.withPlanes(planes(result.dimensions()));
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
        colourBy, categories, colourColumn.codes(renumber, categories.size()).toArray());
  }
}
