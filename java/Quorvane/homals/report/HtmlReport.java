package Quorvane.homals.report;

import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.Inertia;
import Quorvane.homals.NumericCorrelation;
import Quorvane.homals.Solver;
import Quorvane.homals.StopReason;
import Quorvane.homals.VariableResult;
import Quorvane.homals.plot.Plots;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import org.jsoup.nodes.DataNode;
import org.jsoup.nodes.Document;
import org.jsoup.nodes.DocumentType;
import org.jsoup.nodes.Element;

/**
 * One HTML page of a result: the settings, how the run ended, the inertia, the discrimination
 * measures, every plot, the description of each dimension and the table of categories. The page
 * stands alone: its style is in it and its plots are inline SVG, so it can be mailed or archived as
 * one file and opened without a network. It is built as a jsoup document, which escapes every text
 * taken from the data.
 */
public final class HtmlReport {
  /** The report's file name in the output folder. */
  public static final String FILE_NAME = "report.html";

  private static final String STYLE = String.join("\n",
      "body { font-family: sans-serif; margin: 2em auto; max-width: 70em; padding: 0 1em;",
      "  color: #222; line-height: 1.4; }",
      "h1 { font-size: 1.6em; } h2 { border-bottom: 1px solid #ccc; margin-top: 2em; }",
      "h3 { margin-bottom: 0.3em; }", "nav a { margin-right: 1em; }", "a { color: #2a4a6a; }",
      "table { border-collapse: collapse; margin: 0.5em 0 1em; }",
      "th, td { padding: 0.2em 0.7em; border-bottom: 1px solid #e4e4e4; }",
      "thead th { background: #f2f2f2; }",
      "td.n, th.n { text-align: right; font-variant-numeric: tabular-nums; }",
      "tbody th { text-align: left; font-weight: normal; }",
      ".settings th { text-align: left; font-weight: normal; color: #555; }",
      ".warning { background: #fff3cd; border: 1px solid #e0c36c; padding: 0.5em 1em; }",
      "figure { margin: 1.5em 0; }",
      "figure svg { max-width: 100%; height: auto; border: 1px solid #eee; }",
      "figcaption { color: #555; }", ".note { color: #555; font-size: 0.95em; }");
  private static final String NONE = "\u2013";

  private HtmlReport() {}

  /** Writes {@link #FILE_NAME} into {@code folder} and returns its path. */
  public static Path write(HomalsResult result, ReportSettings settings, Path folder,
      Plots.PlotSet plots) throws IOException {
    return write(result, List.of(), settings, folder, plots);
  }

  /**
   * Writes {@link #FILE_NAME}, with the correlations of numeric variables that took no part in
   * the analysis, into {@code folder} and returns its path.
   */
  public static Path write(HomalsResult result, List<NumericCorrelation> numeric,
      ReportSettings settings, Path folder, Plots.PlotSet plots) throws IOException {
    Path file = folder.resolve(FILE_NAME);
    Files.writeString(
        file, document(result, numeric, settings, plots).outerHtml(), StandardCharsets.UTF_8);
    return file;
  }

  static Document document(HomalsResult result, List<NumericCorrelation> numeric,
      ReportSettings settings, Plots.PlotSet plots) {
    String title = settings.title() != null ? settings.title()
                                            : "Homogeneity analysis of " + settings.source();
    Document page = Document.createShell("");
    page.outputSettings().charset(StandardCharsets.UTF_8);
    page.prependChild(new DocumentType("html", "", ""));
    page.selectFirst("html").attr("lang", "en");
    Element head = page.head();
    head.appendElement("meta").attr("charset", "utf-8");
    head.appendElement("meta")
        .attr("name", "viewport")
        .attr("content", "width=device-width, initial-scale=1");
    head.appendElement("title").text(title);
    head.appendElement("style").appendChild(new DataNode(STYLE));

    Element body = page.body();
    body.appendElement("h1").text(title);
    Element nav = body.appendElement("nav");
    for (String[] section : new String[][] {{"settings", "Settings"},
             {"convergence", "Convergence"}, {"inertia", "Inertia"},
             {"discrimination", "Discrimination measures"}, {"plots", "Plots"},
             {"description", "Dimension description"}, {"categories", "Categories"}}) {
      nav.appendElement("a").attr("href", "#" + section[0]).text(section[1]);
    }
    settingsSection(body, result, settings);
    convergenceSection(body, result);
    inertiaSection(body, result);
    discriminationSection(body, result);
    plotSection(body, plots);
    DescriptionSection.write(body, result, numeric);
    categorySection(body, result);
    String version = HtmlReport.class.getPackage().getImplementationVersion();
    body.appendElement("p").addClass("note").text(
        "Written by tallowmere" + (version == null ? "" : " " + version) + ".");
    return page;
  }

  /** The summed weight of the objects that take part, in object order. */
  private static double participatingWeight(HomalsResult result) {
    double weight = 0;
    for (int i = 0; i < result.objectCount(); i++) {
      if (result.takesPart(i)) {
        weight += result.analysis().weight(i);
      }
    }
    return weight;
  }

  private static void settingsSection(Element body, HomalsResult result, ReportSettings settings) {
    HomalsAnalysis analysis = result.analysis();
    section(body, "settings", "Settings");
    int taking = result.objectsTakingPart();
    double weight = analysis.hasWeights() ? participatingWeight(result) : taking;
    long active = result.variables().stream().filter(VariableResult::isActive).count();
    Element table = body.appendElement("table").addClass("settings").appendElement("tbody");
    row(table, "Data", settings.source());
    if (!settings.arguments().isEmpty()) {
      row(table, "Command", commandLine(settings.arguments()));
    }
    row(table, "Objects",
        settings.objects() != null
            ? settings.objects()
            : String.format(Locale.ROOT, "%d (%d take part, total weight %s)", result.objectCount(),
                taking, number(weight)));
    row(table, "Variables",
        String.format(Locale.ROOT, "%d (%d active, %d passive)", result.variables().size(), active,
            result.variables().size() - active));
    row(table, "Dimensions", Integer.toString(result.dimensions()));
    row(table, "Iteration bound", analysis.describeIterationBound());
    row(table, "Inner iterations", Integer.toString(analysis.innerIterations()));
    row(table, "Convergence tolerance", Double.toString(analysis.convergenceTolerance()));
    row(table, "Fit tolerance",
        Double.isNaN(analysis.fitTolerance()) ? "not used"
                                              : Double.toString(analysis.fitTolerance()));
    row(table, "Cosine tolerance",
        Double.isNaN(analysis.cosineTolerance()) ? "not used"
                                                 : Double.toString(analysis.cosineTolerance()));
    row(table, "Solver asked for", solver(analysis.solver()));
  }

  private static void convergenceSection(Element body, HomalsResult result) {
    section(body, "convergence", "Convergence");
    if (!result.converged()) {
      body.appendElement("p").addClass("warning").text("The run did not converge: its "
          + "dimensions may not be settled, and the numbers below are not to be trusted.");
    }
    Element table = body.appendElement("table").addClass("settings").appendElement("tbody");
    row(table, "Iterations", Integer.toString(result.iterations()));
    row(table, "Converged", result.converged() ? "yes" : "no");
    row(table, "Why the run ended", reason(result.stopReason()));
    row(table, "Solver that ran", solver(result.solver()));
    for (String tie : result.describeTies()) {
      row(table, "Tied dimensions", tie);
    }
  }

  private static void inertiaSection(Element body, HomalsResult result) {
    section(body, "inertia", "Inertia");
    Inertia inertia = result.inertia();
    double[] percent = inertia.percent();
    double[] adjusted = inertia.adjustedPercent();
    List<String> heads =
        new ArrayList<>(List.of("Dimension", "Eigenvalue", "% of inertia", "Cumulative %"));
    if (inertia.isAdjusted()) {
      heads.add("Adjusted %");
    }
    Element table = body.appendElement("table").attr("id", "inertia-table");
    Element headRow = table.appendElement("thead").appendElement("tr");
    for (String text : heads) {
      Element cell = headRow.appendElement("th").text(text);
      if (!text.equals("Dimension")) {
        cell.addClass("n");
      }
    }
    Element rows = table.appendElement("tbody");
    double cumulative = 0;
    for (int d = 0; d < result.dimensions(); d++) {
      cumulative += percent[d];
      Element row = rows.appendElement("tr");
      row.appendElement("th").text(Integer.toString(d + 1));
      numberCell(row, result.eigenvalue(d), 4);
      numberCell(row, percent[d], 2);
      numberCell(row, cumulative, 2);
      if (inertia.isAdjusted()) {
        numberCell(row, adjusted[d], 2);
      }
    }
    Element fit = rows.appendElement("tr");
    fit.appendElement("th").text("Fit (sum)");
    numberCell(fit, result.fit(), 4);
    numberCell(fit, cumulative, 2);
    body.appendElement("p").addClass("note").text(String.format(Locale.ROOT,
        "Total inertia %s: the sum of the eigenvalues of all the dimensions the analysis could "
            + "have.%s",
        format(inertia.total(), 4), adjustedNote(inertia)));
  }

  /** What the adjusted percentages are of, or why there are none. */
  private static String adjustedNote(Inertia inertia) {
    String total = format(inertia.adjustedTotal(), 4);
    return switch (inertia.adjustment()) {
      case "greenacre" -> " Adjusted total " + total + " (Greenacre): the mean inertia of the "
          + "two-way tables of the pairs of active variables, which the adjusted percentages are "
          + "of; they leave out each variable's table with itself, which inflates the total and "
          + "makes the plain percentages look small.";
      case "benzecri (missing values)" -> " Adjusted total " + total + " (Benzécri): the sum of "
          + "the adjusted eigenvalues of every dimension; with missing values the tables of the "
          + "pairs of variables no longer give the total.";
      default -> " No adjusted percentages: "
          + inertia.adjustment().replaceFirst("^withheld: ", "") + ".";
    };
  }

  private static void discriminationSection(Element body, HomalsResult result) {
    section(body, "discrimination", "Discrimination measures");
    body.appendElement("p").addClass("note").text("The share of each dimension's variance "
        + "that a variable's categories reproduce; the eigenvalue is the mean over the active "
        + "variables. Loadings of a single variable: the correlation between its quantified "
        + "values and the object scores on each dimension.");
    Element table = body.appendElement("table").attr("id", "discrimination-table");
    Element headRow = table.appendElement("thead").appendElement("tr");
    for (String text : List.of("Variable", "Role", "Quantification")) {
          headRow.appendElement("th").text(text);
        }
        for (int d = 1; d <= result.dimensions(); d++) {
          headRow.appendElement("th").addClass("n").text("Dimension " + d);
        }
        boolean single = result.variables().stream().anyMatch(v -> v.loadings() != null);
        for (int d = 1; single && d <= result.dimensions(); d++) {
          headRow.appendElement("th").addClass("n").text("Loading " + d);
        }
        Element rows = table.appendElement("tbody");
        for (VariableResult v : result.variables()) {
          Element row = rows.appendElement("tr");
          row.appendElement("th").text(v.name());
          row.appendElement("td").text(v.isActive() ? "active" : "passive");
          row.appendElement("td").text(v.quantification().describe());
          for (int d = 0; d < result.dimensions(); d++) {
            numberCell(row, v.discrimination(d), 4);
          }
          double[] loadings = v.loadings();
          for (int d = 0; single && d < result.dimensions(); d++) {
            numberCell(row, loadings == null ? Double.NaN : loadings[d], 4);
          }
        }
    }

    private static void plotSection(Element body, Plots.PlotSet plots) {
      section(body, "plots", "Plots");
      if (plots.plots().isEmpty()) {
        body.appendElement("p").text("No plots were drawn.");
        return;
      }
      for (Plots.Plot plot : plots.plots()) {
        Element figure = body.appendElement("figure").attr("id", "plot-" + plot.name());
        figure.appendChild(new DataNode(plot.inlineSvg()));
        figure.appendElement("figcaption")
            .text(plot.title() + " (also in " + plot.png().getFileName() + " and "
                + plot.svg().getFileName() + ")");
        Map<String, String> shortened = plots.shortenedLabels().get(plot.name());
        if (shortened != null && !shortened.isEmpty()) {
          Element table = figure.appendElement("table").addClass("shortened");
          Element headRow = table.appendElement("thead").appendElement("tr");
          headRow.appendElement("th").text("Shortened label");
          headRow.appendElement("th").text("Full text");
          Element rows = table.appendElement("tbody");
          shortened.forEach((label, full) -> {
            Element row = rows.appendElement("tr");
            row.appendElement("td").text(label);
            row.appendElement("td").text(full);
          });
        }
      }
    }

    private static void categorySection(Element body, HomalsResult result) {
      section(body, "categories", "Categories");
      body.appendElement("p").addClass("note").text("Frequency: the summed weight of the "
          + "participating objects in the category. Contribution: the category's per cent of "
          + "the dimension's inertia (active variables only). Quality (cos\u00b2): the share of "
          + "the category's squared distance from the origin that the dimension shows. For single "
          + "variables the centroids (the mean scores of the category's objects) differ from the "
          + "rank-one quantifications.");
      int p = result.dimensions();
      for (int index = 0; index < result.variables().size(); index++) {
        VariableResult v = result.variables().get(index);
        boolean single = v.quantification().isSingle();
        body.appendElement("h3").attr("id", "variable-" + (index + 1)).text(v.name());
        body.appendElement("p").text(
            (v.isActive() ? "active, " : "passive, ") + v.quantification().describe());
        Element table = body.appendElement("table").addClass("categories");
        Element head = table.appendElement("thead");
        Element groups = head.appendElement("tr");
        Element dims = head.appendElement("tr");
        groups.appendElement("th").attr("rowspan", "2").text("Category");
        groups.appendElement("th").attr("rowspan", "2").addClass("n").text("Frequency");
        List<String> blocks = new ArrayList<>(List.of("Quantification"));
        if (single) {
          blocks.add("Centroid");
        }
        if (v.isActive()) {
          blocks.add("Contribution (%)");
        }
        blocks.add("Quality (cos\u00b2)");
        for (String block : blocks) {
          groups.appendElement("th").attr("colspan", Integer.toString(p)).text(block);
          for (int d = 1; d <= p; d++) {
            dims.appendElement("th").addClass("n").text(Integer.toString(d));
          }
        }
        Element rows = table.appendElement("tbody");
        for (int c = 0; c < v.categories().size(); c++) {
          Element row = rows.appendElement("tr");
          row.appendElement("th").text(
              v.categories().get(c) + (v.isExcluded(c) ? " (excluded: supplementary)" : ""));
          row.appendElement("td").addClass("n").text(number(v.frequency(c)));
          for (int d = 0; d < p; d++) {
            numberCell(row, v.quantification(c, d), 4);
          }
          for (int d = 0; single && d < p; d++) {
            numberCell(row, v.centroid(c, d), 4);
          }
          for (int d = 0; v.isActive() && d < p; d++) {
            numberCell(row, v.contribution(c, d), 2);
          }
          for (int d = 0; d < p; d++) {
            numberCell(row, v.quality(c, d), 3);
          }
        }
      }
    }

    static void section(Element body, String id, String heading) {
      body.appendElement("h2").attr("id", id).text(heading);
    }

    private static void row(Element table, String name, String value) {
      Element row = table.appendElement("tr");
      row.appendElement("th").text(name);
      row.appendElement("td").text(value);
    }

    static void numberCell(Element row, double value, int decimals) {
      row.appendElement("td").addClass("n").text(format(value, decimals));
    }

    private static String format(double value, int decimals) {
      return Double.isFinite(value) ? String.format(Locale.ROOT, "%." + decimals + "f", value)
                                    : NONE;
    }

    /** A weight or frequency: whole numbers without decimals, as they mostly are. */
    static String number(double value) {
      return value == Math.rint(value) && Math.abs(value) < 1e15
          ? Long.toString((long) value)
          : String.format(Locale.ROOT, "%.4f", value);
    }

    private static String solver(Solver solver) {
      return solver.describe();
    }

    private static String reason(StopReason reason) {
      switch (reason) {
        case SUBSPACE:
          return "the subspace of the solution settled within the convergence tolerance";
        case FIT_CHANGE:
          return "the fit changed by less than its tolerance";
        case COSINE:
          return "successive object scores agreed within the cosine tolerance";
        case ITERATION_BOUND:
          return "the iteration bound was reached first";
        case DIRECT:
          return "none needed: the exact eigensolution of the category cross-table";
        default:
          return "the fit became NaN: the data cannot carry the solution";
      }
    }

    /** The arguments as one line a shell would split back into them. */
    private static String commandLine(List<String> arguments) {
      StringBuilder line = new StringBuilder();
      for (String argument : arguments) {
        line.append(line.length() == 0 ? "" : " ");
        line.append(argument.matches("[A-Za-z0-9_./:=,@%+-]+")
                ? argument
                : "'" + argument.replace("'", "'\\''") + "'");
      }
      return line.toString();
    }
  }
