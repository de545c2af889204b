package Quorvane.homals.cli;

import java.math.BigDecimal;
import java.nio.file.Path;
import java.util.Locale;
import java.util.Map;

/**
 * What the command line made of its input beyond the analysis itself, for the summary: how the
 * file was read (or which table of which database), the missing cells of each analysed column,
 * and the columns left out of the analysis with the reason.
 *
 * @param delimiterDetected whether the delimiter was found from the file rather than given
 * @param missingCells per analysed column in order, its number of missing cells
 * @param leftOut per column left out of the analysis, why
 * @param missingAsCategory whether missing cells became a category of their own
 * @param database for a table of a database, what was asked of it; null for a file
 */
record InputNotes(char delimiter, boolean delimiterDetected, String encoding,
    Map<String, Integer> missingCells, Map<String, String> leftOut, boolean missingAsCategory,
    DatabaseNotes database) {
  /** The label of the category that missing cells become with --missing-as-category. */
  static final String MISSING_CATEGORY = "(missing)";

  /** The notes of a file. */
  InputNotes(char delimiter, boolean delimiterDetected, String encoding,
      Map<String, Integer> missingCells, Map<String, String> leftOut, boolean missingAsCategory) {
    this(delimiter, delimiterDetected, encoding, missingCells, leftOut, missingAsCategory, null);
  }

  /** The notes of a table, before its run adds what it asked. */
  static InputNotes ofTable(
      Map<String, Integer> missingCells, Map<String, String> leftOut, boolean missingAsCategory) {
    return new InputNotes('\0', false, null, missingCells, leftOut, missingAsCategory, null);
  }

  InputNotes withDatabase(DatabaseNotes notes) {
    return new InputNotes(
        delimiter, delimiterDetected, encoding, missingCells, leftOut, missingAsCategory, notes);
  }

  /**
   * The first lines of summary.txt: what was analysed, how it was read, and its objects.
   *
   * @param source the file, for a file's notes
   * @param objects, taking, totalWeight the objects of a file, those that take part and their
   *     summed weight
   */
  String head(Path source, long objects, long taking, BigDecimal totalWeight) {
    if (database == null) {
      return "Homogeneity analysis of " + source.getFileName() + "\n"
          + String.format(Locale.ROOT, "read as:     %s, fields separated by %s%s%n", encoding,
              delimiterName(), delimiterDetected ? " (detected)" : "")
          + String.format(Locale.ROOT, "objects:     %d (%d take part, total weight %s)%n", objects,
              taking, totalWeight.stripTrailingZeros().toPlainString());
    }
    return "Homogeneity analysis of " + database.address() + "\n"
        + String.format(
            Locale.ROOT, "read from:   %s, which summed the counts%n", database.source())
        + String.format(Locale.ROOT, "queries:     %.1f s%s%n", database.seconds(),
            database.bytesReceived() < 0
                ? ""
                : String.format(Locale.ROOT, ", %,d bytes received", database.bytesReceived()))
        + String.format(Locale.ROOT, "objects:     %d (%d take part, total weight %s)%n",
            database.rows(), database.taking(), database.takingWeight())
        + String.format(Locale.ROOT, "scores:      %s%n",
            database.scoresTable() == null
                ? "not written: no objects.csv for a table of a database (--scores-table "
                    + "writes them into a table beside it)"
                : "in table " + database.scoresTable() + " beside the source, computed there")
        + (database.sampled() == 0 || database.sampled() == database.taking()
                ? ""
                : String.format(Locale.ROOT,
                    "plots:       the objects of a sample of %d, drawn by a hash of their "
                        + "values%n",
                    database.sampled()));
  }

  String delimiterName() {
    return switch (delimiter) {
      case '\t' -> "tab";
      case ',' -> "comma";
      case ';' -> "semicolon";
      default -> "'" + delimiter + "'";
    };
  }

  /**
   * What a run from a table asked of its database and what came of it.
   *
   * @param source the table and the server, as a message names them, never with a password
   * @param address the address as given, never with a password
   * @param rows the rows of the table, every one an object
   * @param taking the objects that take part
   * @param takingWeight their summed weight, exactly, in decimal
   * @param sampled the objects drawn for the plots
   * @param scoresTable the table the scores were written into, or null for none
   * @param bytesReceived the bytes the server sent (-1 where the driver does not tell)
   * @param seconds the time the database's queries took, in seconds
   */
  record DatabaseNotes(String source, String address, long rows, long taking, String takingWeight,
      int sampled, String scoresTable, long bytesReceived, double seconds) {}
}
