package Quorvane.homals.cli;

import java.util.Map;

/**
 * What the command line made of its input beyond the analysis itself, for the summary: how the
 * file was read, the missing cells of each analysed column, and the
 * columns left out of the analysis with the reason.
 *
 * @param delimiterDetected whether the delimiter was found from the file rather than given
 * @param missingCells per analysed column in order, its number of missing cells
 * @param leftOut per column left out of the analysis, why
 * @param missingAsCategory whether missing cells became a category of their own
 */
record InputNotes(char delimiter, boolean delimiterDetected, String encoding,
    Map<String, Integer> missingCells, Map<String, String> leftOut, boolean missingAsCategory) {
  /** The label of the category that missing cells become with --missing-as-category. */
  static final String MISSING_CATEGORY = "(missing)";

  String delimiterName() {
    return switch (delimiter) {
      case '\t' -> "tab";
      case ',' -> "comma";
      case ';' -> "semicolon";
      default -> "'" + delimiter + "'";
    };
  }
}
