package Quorvane.homals.plot;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.HomalsResult;
import Quorvane.homals.TestData;
import Quorvane.homals.VariableResult;
import java.awt.image.BufferedImage;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import javax.imageio.ImageIO;
import javax.xml.parsers.DocumentBuilderFactory;
import org.jfree.chart.JFreeChart;
import org.jfree.chart.plot.XYPlot;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/** Every plot of a result; the joint plot's plane and labels; shortened labels. */
class PlotsTest {
  @TempDir Path temp;

  @Test
  @Tag("plot")
  void everyPlotIsAnImageWithInkAndAnSvgDocument() throws Exception {
    HomalsResult result = TestData.votes(3, "crime");
    Plots.PlotSet set = Plots.writeAll(
        result, PlotSettings.of(500, "votes").withDimensions(0, 2), temp, PlotProgress.SILENT);
    assertEquals(List.of("joint-plot", "discrimination", "eigenvalues", "transformation-crime"),
        set.plots().stream().map(Plots.Plot::name).toList());
    DocumentBuilderFactory xml = DocumentBuilderFactory.newInstance();
    xml.setFeature("http://apache.org/xml/features/nonvalidating/load-external-dtd", false);
    for (Plots.Plot plot : set.plots()) {
      BufferedImage image = ImageIO.read(plot.png().toFile());
      int ink = 0;
      for (int x = 0; x < image.getWidth(); x++) {
        for (int y = 0; y < image.getHeight(); y++) {
          ink += (image.getRGB(x, y) & 0xFFFFFF) == 0xFFFFFF ? 0 : 1;
        }
      }
      int area = image.getWidth() * image.getHeight();
      assertTrue(ink > area / 40, plot.name() + " is nearly blank: " + ink + " of " + area);
      assertEquals("svg",
          xml.newDocumentBuilder().parse(plot.svg().toFile()).getDocumentElement().getNodeName());
      assertTrue(plot.inlineSvg().startsWith("<svg")
              && plot.inlineSvg().contains("id=\"" + plot.name() + "-clip-0\""),
          plot.name() + ": definitions not named apart");
    }
  }

  /**
   * The labels drawn are among the N largest contributions to the plane, as the API has them;
   * those left out are those that found no room, the largest always has room.
   */
  @ParameterizedTest(name = "top {0}")
  @ValueSource(ints = {0, 5, 34})
  @Tag("plot")
  void labelTopLabelsTheCategoriesThatContributeMost(int top) throws Exception {
    HomalsResult result = TestData.votes(2, null);
    List<String> all = new ArrayList<>();
    List<Double> planeShare = new ArrayList<>();
    for (VariableResult v : result.variables()) {
      for (int c = 0; c < v.categories().size(); c++) {
        all.add(v.name() + ": " + v.categories().get(c));
        planeShare.add(result.eigenvalue(0) * v.contribution(c, 0)
            + result.eigenvalue(1) * v.contribution(c, 1));
      }
    }
    List<Integer> order = new ArrayList<>();
    for (int i = 0; i < all.size(); i++) {
      order.add(i);
    }
    order.sort(Comparator.comparing((Integer i) -> planeShare.get(i)).reversed());
    Set<String> expected = new HashSet<>();
    order.subList(0, top).forEach(i -> expected.add(all.get(i)));

    PlotSettings settings =
        new PlotSettings(600, null, List.of(new PlotSettings.Plane(0, 1)), top, 100, null);
    JFreeChart chart = JointPlot.chart(result, settings, "joint", new ShortLabels(100));
    Path svg = temp.resolve("joint.svg");
    JointPlot.writeSvg(chart, svg, 600, 600);
    Set<String> drawn = new HashSet<>();
    Matcher text = Pattern.compile("<text[^>]*>([^<]*)</text>").matcher(Files.readString(svg));
    while (text.find()) {
      if (all.contains(text.group(1))) {
        drawn.add(text.group(1));
      }
    }
    assertTrue(expected.containsAll(drawn), drawn.toString());
    assertEquals(top, drawn.size() + LabelPlacementTest.labels(chart).dropped());
    assertTrue(top == 0 || drawn.contains(all.get(order.get(0))), drawn.toString());
  }

  @Test
  @Tag("plot")
  void theJointAndDiscriminationPlotsShowTheAskedPlane() throws Exception {
    HomalsResult result = TestData.votes(3, null);
    ShortLabels labels = new ShortLabels(32);
    JFreeChart joint =
        JointPlot.chart(result, PlotSettings.of(600, null).withDimensions(2, 0), "joint", labels);
    JFreeChart measures = DiscriminationPlot.chart(result, 2, 0, "measures", labels);
    VariableResult crime = result.variable("crime");
    int index = result.variables().indexOf(crime);
    for (JFreeChart chart : List.of(joint, measures)) {
      XYPlot plot = chart.getXYPlot();
      boolean isJoint = chart == joint;
      int item = isJoint ? 1 : 0;
      assertEquals(AxesTest.full(result, 2), plot.getDomainAxis().getLabel());
      assertEquals(AxesTest.full(result, 0), plot.getRangeAxis().getLabel());
      assertEquals(isJoint ? crime.quantification(1, 2) : crime.discrimination(2),
          plot.getDataset(0).getXValue(index, item));
      assertEquals(isJoint ? crime.quantification(1, 0) : crime.discrimination(0),
          plot.getDataset(0).getYValue(index, item));
    }
  }

  @Test
  void longLabelsAreCutUniquelyAndKeepTheirFullText() {
    ShortLabels labels = new ShortLabels(16);
    String[][] cases = {
        // variable, category, label
        {"hair", "brown", "hair: brown"},
        {"export-administration", "n", "export-admin\u2026: n"},
        {"export-administrative", "n", "export-adm\u2026~2: n"},
        {"v", "a category of many words", "v: a category o\u2026"},
    };
    for (String[] c : cases) {
      assertEquals(c[2], labels.category("joint", c[0], c[1]));
      assertEquals(c[2], labels.category("joint", c[0], c[1]), "asked again");
      assertTrue(c[2].length() <= 16);
    }
    assertEquals("export-administ\u2026", labels.plain("measures", "export-administration"));
    assertEquals(
        Map.of("export-admin\u2026: n", "export-administration: n", "export-adm\u2026~2: n",
            "export-administrative: n", "v: a category o\u2026", "v: a category of many words"),
        labels.shortened().get("joint"));
    assertEquals(Map.of("export-administ\u2026", "export-administration"),
        labels.shortened().get("measures"));
  }
}
