package Quorvane.homals;

import java.util.List;
import java.util.Objects;

/**
 * How the data of a fit marked missing cells, so that new data are read the same way: a
 * {@link HomalsModel} records it for whoever reads new objects from text (the command line does).
 * An empty or blank cell is always missing.
 *
 * @param texts cell texts that also mean missing, such as {@code NA}
 * @param codes whether cells were integer codes 1..k, with 0, negative and empty cells missing
 * @param category the label of the category that missing cells were analysed as, in every
 *     variable that has a category of that label; {@code null} when missing cells stayed missing
 */
public record MissingCells(List<String> texts, boolean codes, String category) {
  /** Only empty cells are missing, cells are labels, and missing cells stay missing. */
  public static final MissingCells NONE = new MissingCells(List.of(), false, null);

  public MissingCells {
    texts = List.copyOf(Objects.requireNonNull(texts, "texts"));
  }
}
