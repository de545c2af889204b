package Quorvane.homals.plot;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.VariableResult;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;
import org.jfree.chart.JFreeChart;

/**
 * Every plot of a result, each written as PNG and SVG: the joint plot and the discrimination
 * measures of every chosen plane (when there are two dimensions or more), the eigenvalues, and
 * the transformation of every single variable.
 */
public final class Plots {
  /** The size of the plots other than the joint plot, which is as large as the settings say. */
  private static final int SQUARE = 700;
  private static final int WIDE = 760;
  private static final int LOW = 460;

  private Plots() {}

  /**
   * One plot as written.
   *
   * @param name the base of its file names, unique among the plots of a result
   * @param title what it shows, in a few words
   * @param png the PNG file
   * @param svg the SVG file
   * @param inlineSvg the same drawing as an {@code <svg>} element whose definitions are named
   *     after {@code name}, for an HTML page that holds several
   */
  public record Plot(String name, String title, Path png, Path svg, String inlineSvg) {}

  /**
   * The plots written, and the labels that were shortened to fit into them.
   *
   * @param shortenedLabels by plot name, the full text of each shortened label by its short form
   */
  public record PlotSet(List<Plot> plots, Map<String, Map<String, String>> shortenedLabels) {
    /** No plots. */
    public static final PlotSet NONE = new PlotSet(List.of(), Map.of());

    /** Every file written, PNG and SVG. */
    public List<Path> files() {
      List<Path> files = new ArrayList<>();
      for (Plot plot : plots) {
        files.add(plot.png());
        files.add(plot.svg());
      }
      return files;
    }
  }

  /**
   * Draws every plot of the result into {@code folder}: first each PNG, in the step named
   * "drawing PNG", then each SVG, in "drawing SVG". Files of the same names are replaced.
   */
  public static PlotSet writeAll(HomalsResult result, PlotSettings settings, Path folder,
      PlotProgress progress) throws Exception {
    // A solution of one dimension has no plane: its other plots are drawn all the same.
    for (PlotSettings.Plane plane : settings.planes()) {
      if (result.dimensions() >= 2
          && (plane.first() >= result.dimensions() || plane.second() >= result.dimensions())) {
        throw new IllegalArgumentException(
            String.format(Locale.ROOT, "cannot plot dimensions %d and %d of a solution with %d",
                plane.first() + 1, plane.second() + 1, result.dimensions()));
      }
    }
    ShortLabels labels = new ShortLabels(settings.labelLength());
    List<Drawing> drawings = new ArrayList<>();
    progress.step("drawing PNG", () -> {
      List<Path> written = new ArrayList<>();
      for (Drawing drawing : plan(result, settings, labels)) {
        drawing.build();
        Path png = folder.resolve(drawing.name + ".png");
        Charts.writePng(drawing.chart, png, drawing.width, drawing.height);
        drawings.add(drawing);
        written.add(png);
      }
      return written;
    });
    List<Plot> plots = new ArrayList<>();
    progress.step("drawing SVG", () -> {
      List<Path> written = new ArrayList<>();
      for (Drawing drawing : drawings) {
        Path svg = folder.resolve(drawing.name + ".svg");
        String inline =
            Charts.writeSvg(drawing.chart, svg, drawing.width, drawing.height, drawing.name);
        plots.add(new Plot(
            drawing.name, drawing.title, folder.resolve(drawing.name + ".png"), svg, inline));
        written.add(svg);
      }
      return written;
    });
    return new PlotSet(List.copyOf(plots), labels.shortened());
  }

  /**
   * The plots of a result, not yet built: per plane its joint plot and its discrimination
   * measures, the first plane under the plain names and the others with the plane in the name.
   */
  private static List<Drawing> plan(
      HomalsResult result, PlotSettings settings, ShortLabels labels) {
    List<Drawing> drawings = new ArrayList<>();
    for (int p = 0; result.dimensions() >= 2 && p < settings.planes().size(); p++) {
      PlotSettings.Plane plane = settings.planes().get(p);
      PlotSettings one = settings.withDimensions(plane.first(), plane.second());
      String suffix = p == 0 ? "" : "-" + plane.key();
      String words =
          String.format(Locale.ROOT, "dimensions %d and %d", plane.first() + 1, plane.second() + 1);
      drawings.add(new Drawing("joint-plot" + suffix, "Joint plot of " + words, settings.size(),
          settings.size(), name -> JointPlot.chart(result, one, name, labels)));
      drawings.add(new Drawing("discrimination" + suffix, "Discrimination measures on " + words,
          SQUARE, SQUARE,
          name -> DiscriminationPlot.chart(result, plane.first(), plane.second(), name, labels)));
    }
    drawings.add(
        new Drawing("eigenvalues", "Eigenvalues of the " + result.dimensions() + " dimensions",
            WIDE, LOW, name -> ScreePlot.chart(result)));
    Set<String> names = new HashSet<>();
    for (VariableResult variable : result.variables()) {
      if (variable.quantification().isSingle()) {
        String name = unique(names, "transformation-" + fileSafe(variable.name()));
        drawings.add(new Drawing(name, "Transformation of " + variable.name(), WIDE, LOW,
            plot -> TransformationPlot.chart(result, variable, plot, labels)));
      }
    }
    return drawings;
  }

  /** A variable's name as a part of a file name that any file system and URL takes as it is. */
  static String fileSafe(String name) {
    String safe = name.replaceAll("[^A-Za-z0-9._-]", "_");
    return safe.length() > 60 ? safe.substring(0, 60) : safe;
  }

  /** {@code name}, or with a number when another name differs from it only in letter case. */
  private static String unique(Set<String> taken, String name) {
    String candidate = name;
    for (int n = 2; !taken.add(candidate.toLowerCase(Locale.ROOT)); n++) {
      candidate = name + "-" + n;
    }
    return candidate;
  }

  private interface Builder {
    JFreeChart build(String name);
  }

  private static final class Drawing {
    final String name;
    final String title;
    final int width;
    final int height;
    final Builder builder;
    JFreeChart chart;

    Drawing(String name, String title, int width, int height, Builder builder) {
      this.name = name;
      this.title = title;
      this.width = width;
      this.height = height;
      this.builder = builder;
    }

    void build() { chart = builder.build(name); }
  }
}
