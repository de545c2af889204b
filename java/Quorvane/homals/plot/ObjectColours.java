package Quorvane.homals.plot;

import java.util.List;

/**
 * A column that colours the object points: its categories and, per object, the code of its
 * category (1 .. the number of categories; 0 or less for a missing value). A column need not be
 * analysed to colour the objects.
 *
 * @param name the column's name, shown in the legend
 * @param categories the labels of codes 1, 2, ... in order
 * @param codes one code per object of the analysis
 */
public record ObjectColours(String name, List<String> categories, int[] codes) {
  public ObjectColours {
    categories = List.copyOf(categories);
    for (int i = 0; i < codes.length; i++) {
      if (codes[i] > categories.size()) {
        throw new IllegalArgumentException("colour column '" + name + "': object " + (i + 1)
            + " has code " + codes[i] + " of " + categories.size() + " categories");
      }
    }
  }
}
