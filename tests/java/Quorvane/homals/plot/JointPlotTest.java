package Quorvane.homals.plot;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.TestData;
import Quorvane.homals.Variable;
import Quorvane.homals.cli.Main;
import java.awt.image.BufferedImage;
import java.io.PrintWriter;
import java.io.StringWriter;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.SplittableRandom;
import java.util.TreeMap;
import javax.imageio.ImageIO;
import javax.xml.parsers.DocumentBuilderFactory;
import org.jfree.chart.JFreeChart;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/**
 * The joint plot of many objects: a density in both formats, grey or coloured, and files that stay
 * small; the legend of the colours.
 */
@Tag("plot")
class JointPlotTest {
  @TempDir Path temp;

  /** Ten variables of four categories driven by one trait, for n objects. */
  static HomalsResult synthetic(int n) {
    SplittableRandom random = new SplittableRandom(3);
    int[][] codes = new int[10][n];
    for (int i = 0; i < n; i++) {
      double trait = random.nextGaussian();
      for (int[] variable : codes) {
        double position = 0.7 * trait + random.nextGaussian();
        variable[i] = Math.max(1, Math.min(4, (int) Math.floor(position + 3)));
      }
    }
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder();
    for (int j = 0; j < codes.length; j++) {
      builder.variable(Variable.ofCodes("v" + j, codes[j], List.of("w", "x", "y", "z")));
    }
    return builder.build().run();
  }

  /** Grey bins, or bins in the colour of the most frequent category of a column. */
  @ParameterizedTest(name = "coloured {0}")
  @ValueSource(booleans = {false, true})
  void manyObjectsAreShadedBinsInPngAndSvg(boolean coloured) throws Exception {
    int n = 4 * JointPlot.DENSITY_THRESHOLD;
    HomalsResult result = synthetic(n);
    PlotSettings settings = PlotSettings.of(600, "density");
    if (coloured) {
      settings = settings.withColours(new ObjectColours(
          "v0", List.of("w", "x", "y", "z"), result.analysis().variable("v0").codes()));
    }
    JFreeChart chart = JointPlot.chart(result, settings, "joint-plot", new ShortLabels(32));
    Path png = temp.resolve("plot.png");
    Path svg = temp.resolve("plot.svg");
    JointPlot.writePng(chart, png, 600, 600);
    JointPlot.writeSvg(chart, svg, 600, 600);

    // The middle of the plot, where the cloud is densest and no axis text is drawn.
    BufferedImage image = ImageIO.read(png.toFile());
    Set<Integer> shades = new HashSet<>();
    Set<Integer> hues = new HashSet<>();
    int shaded = 0;
    for (int x = 250; x < 350; x++) {
      for (int y = 250; y < 350; y++) {
        int rgb = image.getRGB(x, y) & 0xFFFFFF;
        boolean grey = (rgb >> 16) == (rgb & 0xFF) && (rgb >> 8 & 0xFF) == (rgb & 0xFF);
        if (rgb != 0xFFFFFF && (grey || coloured)) {
          shaded++;
          shades.add(rgb);
          // Which of red, green and blue dominates: one for each colour group's hue.
          int r = rgb >> 16;
          int g = rgb >> 8 & 0xFF;
          int b = rgb & 0xFF;
          hues.add(grey ? -1 : r >= g && r >= b ? 0 : g >= b ? 1 : 2);
        }
      }
    }
    assertTrue(shaded > 1000, "no density in the middle: " + shaded);
    assertTrue(shades.size() > 5, "the bins are not shaded by count: " + shades);
    assertTrue(!coloured || hues.containsAll(Set.of(0, 1, 2)), "hues in the middle: " + hues);

    String text = Files.readString(svg);
    assertTrue(text.contains("<image") && text.contains("v0: w"), "no density image or labels");
    assertTrue(Files.size(svg) < 300_000, "one shape per object? " + Files.size(svg));
    DocumentBuilderFactory xml = DocumentBuilderFactory.newInstance();
    xml.setFeature("http://apache.org/xml/features/nonvalidating/load-external-dtd", false);
    xml.newDocumentBuilder().parse(svg.toFile());
  }

  /**
   * One chart drawn at one size, then at another, shows at the second size what a fresh chart
   * shows there: the density's bins follow the drawing, however many drawings came before.
   */
  @ParameterizedTest(name = "coloured {0}")
  @ValueSource(booleans = {false, true})
  void aDensityDrawnAgainAtAnotherSizeIsBinnedAfresh(boolean coloured) throws Exception {
    HomalsResult result = synthetic(4 * JointPlot.DENSITY_THRESHOLD);
    PlotSettings settings = PlotSettings.of(600, "density");
    if (coloured) {
      settings = settings.withColours(new ObjectColours(
          "v0", List.of("w", "x", "y", "z"), result.analysis().variable("v0").codes()));
    }
    JFreeChart reused = JointPlot.chart(result, settings, "joint-plot", new ShortLabels(32));
    JFreeChart fresh = JointPlot.chart(result, settings, "joint-plot", new ShortLabels(32));
    for (int size : new int[] {600, 600, 451}) {
      JointPlot.writePng(reused, temp.resolve("reused.png"), size, size);
    }
    JointPlot.writePng(fresh, temp.resolve("fresh.png"), 451, 451);
    BufferedImage drawn = ImageIO.read(temp.resolve("reused.png").toFile());
    BufferedImage expected = ImageIO.read(temp.resolve("fresh.png").toFile());
    int differing = 0;
    for (int x = 0; x < 451; x++) {
      for (int y = 0; y < 451; y++) {
        differing += drawn.getRGB(x, y) == expected.getRGB(x, y) ? 0 : 1;
      }
    }
    assertEquals(0, differing, "pixels that differ from a fresh drawing");
  }

  /**
   * A weighted table's legend counts the weights of the objects in each colour, not its rows,
   * in whole numbers.
   */
  @Test
  void theColourLegendSumsTheWeights() throws Exception {
    Path data = TestData.examples("haireyecolor.csv");
    Map<String, Long> weights = new TreeMap<>();
    for (String line : Files.readAllLines(data).subList(1, 33)) {
      String[] cells = line.split(",");
      weights.merge(cells[2], Long.parseLong(cells[3]), Long::sum);
    }
    Path out = temp.resolve("hair");
    int status = Main.execute(new PrintWriter(new StringWriter()),
        new PrintWriter(new StringWriter()), "analyse", data.toString(), "--codes", "-w", "weight",
        "--colour-by", "Sex", "-q", "-o", out.toString());
    assertEquals(0, status);
    String svg = Files.readString(out.resolve("joint-plot.svg"));
    assertEquals(Map.of("1", 279L, "2", 313L), weights);
    for (Map.Entry<String, Long> sex : weights.entrySet()) {
      String legend = ">Sex: " + sex.getKey() + " (" + sex.getValue() + ")<";
      assertTrue(svg.contains(legend), "no " + legend);
    }
  }

  @Test
  void summedWeightsReadAsCounts() {
    String[][] cases = {
        // weight, as the legend gives it
        {"24", "24"},
        {"1490", "1,490"},
        {"2201.0", "2,201"},
        {"2.5", "2.5"},
        {"1234.567", "1,234.57"},
    };
    for (String[] c : cases) {
      assertEquals(c[1], ObjectGroups.amount(Double.parseDouble(c[0])), c[0]);
    }
  }
}
