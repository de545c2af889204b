package Quorvane.homals.cli;

import Quorvane.NativeLibrary;

/**
 * The reader's most common records read in the native library: runs of records with no quote,
 * the header's number of cells and only labels the columns have met, looked up in the columns'
 * own tables ({@link LabelColumn.Part#tables}). {@link CsvScanner} reads every other record
 * itself, so the cells, codes, errors and line numbers are those of the reader alone.
 */
final class PlainRecords {
  private PlainRecords() {}

  /** Whether the library is there to read them; the reader reads every record itself if not. */
  static boolean available() {
    try {
      NativeLibrary.load();
      return true;
    } catch (LinkageError | RuntimeException e) {
      return false;
    }
  }

  /**
   * Reads plain records from {@code at} while each begins before {@code startLimit} and ends in
   * a line break before {@code filled}, at most {@code capacity} of them.
   *
   * @param columnTable for each of the header's columns, the index of its table in {@code
   *     tables}, or -1 for a column not kept
   * @param tables six arrays a table, as {@link LabelColumn.Part#tables} gives them
   * @param codes the code of record r's cell in the column of table k goes to {@code r * tables
   *     + k}, for T tables
   * @param result where the first record not read begins, and the records read
   */
  static native void read(byte[] buffer, int at, int filled, int startLimit, byte delimiter,
      boolean crlf, int[] columnTable, Object[] tables, int capacity, int[] codes, int[] result);
}
