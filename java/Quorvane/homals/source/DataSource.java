package Quorvane.homals.source;

import Quorvane.homals.CategoryTables;
import java.nio.file.Path;
import java.util.List;

/**
 * A table of objects, one a row, that answers the few questions an analysis asks of its data with
 * results the size of its categories, never of its rows: the columns and their types, each
 * column's distinct values with their counts, the facts of the weight column, and the counts of
 * {@link CategoryTables}. A database sums them where the rows are ({@link ClickHouseSource},
 * {@link PostgreSqlSource}); a CSV file is read into memory and summed there ({@link
 * CsvSource}). Only a bounded sample of rows, for the plots, leaves the source whole.
 *
 * <p>Values are told apart by their text: a column's labels are the texts of its values as the
 * source writes them (decimal digits for whole numbers; {@code null} for NULL), and {@link
 * Coding} maps those texts to the codes of the fit.
 */
public interface DataSource extends AutoCloseable {
  /**
   * Opens a database table by its address ({@link SourceAddress}), with the password from
   * {@value SourceAddress#PASSWORD_VARIABLE}, or else reads a CSV file.
   */
  static DataSource open(String location) {
    if (SourceAddress.isAddress(location)) {
      SourceAddress address = SourceAddress.parse(location);
      if (address.engine() == SourceAddress.Engine.CLICKHOUSE) {
        return new ClickHouseSource(address, SourceAddress.password());
      }
      return new PostgreSqlSource(address, SourceAddress.password());
    }
    return CsvSource.read(Path.of(location));
  }

  /** Where the data are, for messages and summaries; never holds a password. */
  String description();

  /** The table's columns, in the table's order. */
  List<SourceColumn> columns();

  /** The column of that name; a {@link SourceException} naming the columns when there is none. */
  default SourceColumn column(String name) {
    for (SourceColumn column : columns()) {
      if (column.name().equals(name)) {
        return column;
      }
    }
    List<String> names = columns().stream().map(SourceColumn::name).toList();
    throw new SourceException(
        "no column named '" + name + "' in " + description() + "; the columns are " + names);
  }

  /** The number of rows. */
  long rows();

  /**
   * The distinct values of a column, in no particular order, with their rows and their rows of
   * positive weight.
   *
   * @param weightColumn the weight column, or null when every row weighs 1
   */
  List<LabelCount> labels(String column, String weightColumn);

  /** The facts of a weight column over all rows. */
  WeightFacts weightFacts(String weightColumn);

  /** The counts of the fit, summed over the rows that take part. */
  CategoryTables tables(TableLayout layout);

  /**
   * At most {@code limit} of the rows that take part, the same ones however the source holds
   * them (drawn by a hash of their values, not by their order), each as the texts of {@code
   * columns} (null for NULL).
   */
  List<String[]> sample(TableLayout layout, List<String> columns, int limit);

  /**
   * Creates {@code table} beside the source table and fills it, in the source, with one row per
   * source row: the value of {@code idColumn} and the scores dim1 .. dimP, NULL for a row that
   * takes no part. A row's score on dimension d is the sum, over its active cells that have a
   * code, in the order of the layout's variables, of {@code coefficients[v][code - 1][d]},
   * divided by the number of those cells.
   *
   * @param coefficients by variable of the layout, code and dimension; null for a passive one
   * @throws SourceException when the table exists already, or the source cannot hold one
   */
  default void writeScores(
      String table, String idColumn, TableLayout layout, double[][][] coefficients) {
    throw new SourceException(description() + " cannot hold a table of scores");
  }

  /** Whether the database holds a table of that name beside the source table. */
  default boolean tableExists(String table) { return false; }

  /**
   * Refuses, before any work that would be lost, a table of scores that {@link #writeScores}
   * could not create: one that exists already, or a user who may not create tables there.
   */
  default void checkScoresTable(String table) {
    throw new SourceException(description() + " cannot hold a table of scores");
  }

  /** Bytes received from the server so far; -1 where the source does not count them. */
  default long bytesReceived() { return -1; }

  @Override void close();
}
