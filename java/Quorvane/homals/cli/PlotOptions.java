package Quorvane.homals.cli;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.Variable;
import Quorvane.homals.plot.ObjectColours;
import Quorvane.homals.plot.PlotSettings;
import Quorvane.homals.source.TableAnalysis;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.function.Function;
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

  @Option(names = "--ellipses", paramLabel = "COLUMN",
      description = "Draw in the joint plot a concentration ellipse for each category of this "
          + "column, analysed or not: two standard deviations about the weighted mean of its "
          + "objects, along the principal axes of their weighted covariance.")
  String ellipses;

  /** The labels of the columns of --colour-by and --ellipses that are not analysed, by name. */
  private final Map<String, LabelColumn> unanalysed = new HashMap<>();

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

  /**
   * Adds a collector of the labels of the columns that colour the objects or get ellipses,
   * unless the analysis reads them anyway.
   */
  void collect(CsvColumns csv, List<String> analysed, Set<String> missingTexts,
      Map<Integer, CsvColumns.Column> byIndex) {
    for (String name : new String[] {colourBy, ellipses}) {
      if (name == null) {
        continue;
      }
      int index = csv.column(name);
      if (!analysed.contains(name) && !unanalysed.containsKey(name)) {
        LabelColumn column = new LabelColumn(missingTexts);
        unanalysed.put(name, column);
        byIndex.merge(index, column, CsvColumns::both);
      }
    }
  }

  PlotSettings settings(HomalsResult result, int size, String title) {
    return settings(result, size, title, name -> column(result, name));
  }

  /**
   * The settings, with the column that colours the objects and the one that gets ellipses
   * coded by {@code columns}, one code per object drawn.
   */
  PlotSettings settings(
      HomalsResult result, int size, String title, Function<String, ObjectColours> columns) {
    PlotSettings settings = PlotSettings.of(size, title).withLabelTop(labelTop);
    if (plotDimensions != null) {
      settings = settings.withPlanes(planes(result.dimensions()));
    }
    if (ellipses != null) {
      settings = settings.withEllipses(columns.apply(ellipses));
    }
    return colourBy == null ? settings : settings.withColours(columns.apply(colourBy));
  }

  /** The columns that colour the objects or get ellipses, each once. */
  List<String> labelledColumns() {
    List<String> names = new ArrayList<>();
    for (String name : new String[] {colourBy, ellipses}) {
      if (name != null && !names.contains(name)) {
        names.add(name);
      }
    }
    return names;
  }

  /**
   * The settings of a sample of a table's objects: an analysed column colours them (or gets
   * ellipses) by its variable's categories; another column by the labels the sample holds,
   * ordered as a variable's would be, with the cell rules of a CSV file.
   */
  PlotSettings settings(HomalsResult result, int size, String title, TableAnalysis table,
      TableAnalysis.Sample sample, Set<String> missingTexts) {
    return settings(result, size, title, name -> {
      String[] labels = sample.labels().get(name);
      int[] codes = new int[labels.length];
      TableAnalysis.Column analysed = table.column(name);
      if (analysed != null) {
        for (int i = 0; i < labels.length; i++) {
          codes[i] = analysed.code(labels[i]);
        }
        return new ObjectColours(name, analysed.variable().categories(), codes);
      }
      java.util.TreeSet<String> seen = new java.util.TreeSet<>();
      for (String label : labels) {
        if (label != null && !label.isBlank() && !missingTexts.contains(label.trim())) {
          seen.add(label.trim());
        }
      }
      List<String> categories = Variable.categoryOrder(seen);
      for (int i = 0; i < labels.length; i++) {
        codes[i] = labels[i] == null ? 0 : categories.indexOf(labels[i].trim()) + 1;
      }
      return new ObjectColours(name, categories, codes);
    });
  }

  /**
   * The categories of a column that colours the objects or gets ellipses: an analysed column's
   * are its variable's, in their order; another column's labels are ordered as a variable's
   * would be.
   */
  private ObjectColours column(HomalsResult result, String name) {
    LabelColumn read = unanalysed.get(name);
    if (read == null) {
      Variable variable = result.analysis().variable(name);
      return new ObjectColours(name, variable.categories(), variable.codes());
    }
    List<String> seen = read.labels();
    List<String> categories = Variable.categoryOrder(seen);
    Map<String, Integer> position = new HashMap<>();
    for (int c = 0; c < categories.size(); c++) {
      position.put(categories.get(c), c + 1);
    }
    int[] renumber = new int[seen.size() + 1];
    for (int c = 0; c < seen.size(); c++) {
      renumber[c + 1] = position.get(seen.get(c));
    }
    return new ObjectColours(name, categories, read.codes(renumber, categories.size()).toArray());
  }
}
