package Quorvane.homals.plot;

import static org.junit.jupiter.api.Assertions.assertTrue;

import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.Variable;
import java.awt.image.BufferedImage;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import java.util.SplittableRandom;
import javax.imageio.ImageIO;
import javax.xml.parsers.DocumentBuilderFactory;
import org.jfree.chart.JFreeChart;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** The joint plot of many objects: a density in both formats, and files that stay small. */
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

  @Test
  void manyObjectsAreShadedBinsInPngAndSvg() throws Exception {
    int n = 4 * JointPlot.DENSITY_THRESHOLD;
    JFreeChart chart = JointPlot.chart(synthetic(n), 0, 1, "density");
    Path png = temp.resolve("plot.png");
    Path svg = temp.resolve("plot.svg");
    JointPlot.writePng(chart, png, 600, 600);
    JointPlot.writeSvg(chart, svg, 600, 600);

    // The middle of the plot, where the cloud is densest and no axis text is drawn.
    BufferedImage image = ImageIO.read(png.toFile());
    Set<Integer> greys = new HashSet<>();
    int shaded = 0;
    for (int x = 250; x < 350; x++) {
      for (int y = 250; y < 350; y++) {
        int rgb = image.getRGB(x, y) & 0xFFFFFF;
        if (rgb != 0xFFFFFF && (rgb >> 16) == (rgb & 0xFF) && (rgb >> 8 & 0xFF) == (rgb & 0xFF)) {
          shaded++;
          greys.add(rgb);
        }
      }
    }
    assertTrue(shaded > 1000, "no density in the middle: " + shaded);
    assertTrue(greys.size() > 5, "the bins are not shaded by count: " + greys);

    String text = Files.readString(svg);
    assertTrue(text.contains("<image") && text.contains("v0: w"), "no density image or labels");
    assertTrue(Files.size(svg) < 300_000, "one shape per object? " + Files.size(svg));
    DocumentBuilderFactory xml = DocumentBuilderFactory.newInstance();
    xml.setFeature("http://apache.org/xml/features/nonvalidating/load-external-dtd", false);
    xml.newDocumentBuilder().parse(svg.toFile());
  }
}
