package Quorvane.homals.report;

import Quorvane.homals.DimensionDescription;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.NumericCorrelation;
import Quorvane.homals.Role;
import java.util.ArrayList;
import java.util.List;
import org.jsoup.nodes.Element;

/**
 * The report's account of what each dimension is made of: per dimension the variables by their
 * correlation ratios and the categories that characterise it by their test values, and the
 * correlations of the numeric variables that were not analysed.
 */
final class DescriptionSection {
  private DescriptionSection() {}

  static void write(Element body, HomalsResult result, List<NumericCorrelation> numeric) {
    HtmlReport.section(body, "description", "Dimension description");
    body.appendElement("p").addClass("note").text("\u03b7\u00b2: the correlation ratio of a "
        + "variable with the dimension, the share of the variance of the scores of all objects "
        + "that take part that lies between its categories (the objects missing on it counting "
        + "as one more), with the p-value of its F test. v: the test value of a category, how far the mean score of its objects lies from that of "
        + "all objects in standard errors of the mean of as many objects drawn at random, with "
        + "its two-sided p-value; the categories with |v| > 2 are listed, from the positive end "
        + "of the dimension to the negative. Weights count as frequencies.");
    for (DimensionDescription description : result.describeDimensions()) {
      int d = description.dimension();
      body.appendElement("h3").attr("id", "description-" + (d + 1)).text("Dimension " + (d + 1));
      Element variables =
          table(body, "description-variables", List.of("Variable", "Role", "\u03b7\u00b2", "p"), 2);
      for (DimensionDescription.VariableEntry entry : description.variables()) {
        Element row = variables.appendElement("tr");
        row.appendElement("th").text(entry.variable());
        row.appendElement("td").text(entry.role() == Role.ACTIVE ? "active" : "passive");
        HtmlReport.numberCell(row, entry.etaSquared(), 4);
        row.appendElement("td").addClass("n").text(DimensionDescription.formatP(entry.p()));
      }
      if (description.categories().isEmpty()) {
        body.appendElement("p").text("No category has |v| > 2 on this dimension.");
        continue;
      }
      Element categories = table(body, "description-categories",
          List.of("Variable", "Category", "Frequency", "v", "p"), 2);
      for (DimensionDescription.CategoryEntry entry : description.categories()) {
        Element row = categories.appendElement("tr");
        row.appendElement("th").text(entry.variable());
        row.appendElement("td").text(entry.category() + (entry.excluded() ? " (excluded)" : ""));
        row.appendElement("td").addClass("n").text(HtmlReport.number(entry.frequency()));
        HtmlReport.numberCell(row, entry.vTest(), 2);
        row.appendElement("td").addClass("n").text(DimensionDescription.formatP(entry.p()));
      }
    }
    if (numeric.isEmpty()) {
      return;
    }
    body.appendElement("h3").attr("id", "numeric").text("Numeric variables");
    body.appendElement("p").addClass("note").text("Not analysed: the weighted correlation of "
        + "each with the object scores, over the objects that take part and have a value "
        + "(observed: their summed weight). The joint plot draws them as arrows.");
    int p = result.dimensions();
    List<String> heads = new ArrayList<>(List.of("Variable", "Observed"));
    for (int d = 1; d <= p; d++) {
      heads.add("r, dimension " + d);
    }
    Element rows = table(body, "numeric-table", heads, 1);
    for (NumericCorrelation variable : numeric) {
      Element row = rows.appendElement("tr");
      row.appendElement("th").text(variable.name());
      row.appendElement("td").addClass("n").text(HtmlReport.number(variable.observedWeight()));
      for (double r : variable.correlations()) {
        HtmlReport.numberCell(row, r, 4);
      }
    }
  }

  /**
   * A table with the given heads, those from {@code textHeads} on right-aligned as numbers;
   * returns its body.
   */
  private static Element table(Element body, String kind, List<String> heads, int textHeads) {
    Element table = body.appendElement("table").addClass(kind);
    Element headRow = table.appendElement("thead").appendElement("tr");
    for (int h = 0; h < heads.size(); h++) {
      Element cell = headRow.appendElement("th").text(heads.get(h));
      if (h >= textHeads) {
        cell.addClass("n");
      }
    }
    return table.appendElement("tbody");
  }
}
