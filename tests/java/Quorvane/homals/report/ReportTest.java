package Quorvane.homals.report;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeFalse;

import Quorvane.homals.DimensionDescription;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.TestData;
import Quorvane.homals.VariableResult;
import Quorvane.homals.plot.PlotProgress;
import Quorvane.homals.plot.PlotSettings;
import Quorvane.homals.plot.Plots;
import java.awt.image.BufferedImage;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Locale;
import java.util.concurrent.TimeUnit;
import javax.imageio.ImageIO;
import org.jsoup.Jsoup;
import org.jsoup.nodes.Attribute;
import org.jsoup.nodes.Document;
import org.jsoup.nodes.Element;
import org.jsoup.select.Elements;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** report.html of the vote data: what it holds, that it needs nothing else, that it renders. */
@Tag("plot")
class ReportTest {
  @TempDir static Path folder;
  static HomalsResult result;
  static Plots.PlotSet plots;
  static Path report;
  static Document page;

  @BeforeAll
  static void writeReport() throws Exception {
    // Crime passive and single: a transformation plot, and the inertia stays adjustable.
    result = TestData.votes(2, "crime");
    plots = Plots.writeAll(result, PlotSettings.of(600, null), folder, PlotProgress.SILENT);
    report = HtmlReport.write(result,
        new ReportSettings(null, "vote.csv", List.of("analyse", "vote.csv")), folder, plots);
    page = Jsoup.parse(report.toFile(), "UTF-8");
  }

  @Test
  void itHoldsTheInertiaEveryVariableAndEveryPlot() {
    assertEquals("Homogeneity analysis of vote.csv", page.title());
    Elements inertia = page.select("#inertia-table tbody tr");
    assertEquals(result.dimensions() + 1, inertia.size());
    assertTrue(result.inertia().isAdjusted());
    for (int d = 0; d < result.dimensions(); d++) {
      assertEquals(List.of(Integer.toString(d + 1), fixed(result.eigenvalue(d), 4),
                       fixed(result.inertia().percent()[d], 2)),
          inertia.get(d).children().eachText().subList(0, 3));
      assertEquals(
          fixed(result.inertia().adjustedPercent()[d], 2), inertia.get(d).children().last().text());
    }

    List<String> names = result.variables().stream().map(VariableResult::name).toList();
    assertEquals(names, page.select("#discrimination-table tbody th").eachText());
    assertEquals(names, page.select("#categories ~ h3").eachText());
    Elements categoryTables = page.select("table.categories");
    for (int v = 0; v < names.size(); v++) {
      assertEquals(result.variables().get(v).categories(),
          categoryTables.get(v).select("tbody th").eachText());
    }

    Elements described = page.select("table.description-variables");
    assertEquals(result.dimensions(), described.size());
    for (int d = 0; d < result.dimensions(); d++) {
      assertEquals(result.describe(d)
                       .variables()
                       .stream()
                       .map(DimensionDescription.VariableEntry::variable)
                       .toList(),
          described.get(d).select("tbody th").eachText(), "variables by eta2 on dimension " + d);
    }

    assertEquals(plots.plots().size(), page.select("svg").size());
    for (Plots.Plot plot : plots.plots()) {
      assertEquals(1, page.select("figure#plot-" + plot.name() + " > svg").size(), plot.name());
    }
    List<String> cells = page.select("table.shortened td").eachText();
    plots.shortenedLabels().values().forEach(labels -> labels.forEach((label, full) -> {
      assertTrue(cells.contains(label) && cells.contains(full), full);
    }));
    assertTrue(cells.contains("export-administration-act-south-africa: n"), cells.toString());
  }

  /** No scripts, style sheets, frames or fonts from elsewhere: the page opens without a network. */
  @Test
  void itNeedsNoOtherFile() {
    assertTrue(page.select("script, link, iframe, object, embed, img").isEmpty());
    for (Element element : page.getAllElements()) {
      for (Attribute attribute : element.attributes()) {
        String key = attribute.getKey();
        String value = attribute.getValue();
        if (key.equals("src") || key.endsWith("href")) {
          assertTrue(value.startsWith("#") || value.startsWith("data:"), key + "=" + value);
        }
        assertTrue(
            !value.contains("url(") || value.matches("(?s).*url\\(#[^)]*\\).*"), key + "=" + value);
      }
    }
    String style = page.select("style").html();
    assertTrue(!style.contains("url(") && !style.contains("@import"), style);
  }

  /**
   * Chromium, headless, with every host name unresolvable, takes a screenshot: it must end
   * normally, log no message of the page, and show the coloured plots.
   */
  @Test
  void aHeadlessBrowserRendersIt() throws Exception {
    String chromium = System.getProperty("tallowmere.chromium", "");
    assumeFalse(chromium.isEmpty(), "no chromium was found when the build was configured");
    Path shot = folder.resolve("report.png");
    Path log = folder.resolve("chromium.log");
    Process browser = new ProcessBuilder(chromium, "--headless", "--no-sandbox", "--disable-gpu",
        "--disable-background-networking", "--disable-component-update", "--disable-sync",
        "--no-first-run", "--user-data-dir=" + folder.resolve("profile"),
        "--host-resolver-rules=MAP * ~NOTFOUND", "--enable-logging=stderr", "--v=0",
        "--window-size=1000,4000", "--screenshot=" + shot, report.toUri().toString())
                          .redirectOutput(ProcessBuilder.Redirect.DISCARD)
                          .redirectError(log.toFile())
                          .start();
    boolean ended = browser.waitFor(120, TimeUnit.SECONDS);
    browser.descendants().forEach(ProcessHandle::destroyForcibly);
    if (!ended) {
      browser.destroyForcibly();
    }
    String messages = Files.readString(log);
    assertTrue(ended, "chromium did not end within 120 s: " + messages);
    assertEquals(0, browser.exitValue(), messages);
    assertTrue(messages.lines().noneMatch(line -> line.contains(":CONSOLE")), messages);

    BufferedImage image = ImageIO.read(shot.toFile());
    int coloured = 0;
    for (int x = 0; x < image.getWidth(); x++) {
      for (int y = 0; y < image.getHeight(); y++) {
        int rgb = image.getRGB(x, y);
        int r = rgb >> 16 & 0xFF;
        int g = rgb >> 8 & 0xFF;
        int b = rgb & 0xFF;
        coloured += Math.max(r, Math.max(g, b)) - Math.min(r, Math.min(g, b)) > 80 ? 1 : 0;
      }
    }
    assertTrue(coloured > 2000, "hardly any colour: the plots are not shown (" + coloured + ")");
  }

  private static String fixed(double value, int decimals) {
    return String.format(Locale.ROOT, "%." + decimals + "f", value);
  }
}
