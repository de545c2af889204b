package Quorvane.homals.source;

/**
 * A column of a source table: its name, its type in the source's own words, and what it holds as
 * far as an analysis cares.
 */
public record SourceColumn(String name, String type, Kind kind) {
  /** What a column's values are to an analysis. */
  public enum Kind {
    /** Text: each distinct value is a category label. */
    TEXT,
    /** Whole numbers: labels as written in decimal; also weights. */
    INTEGER,
    /** Floating-point numbers: no categories (every value could differ), but weights. */
    FLOAT,
    /** Other values with a text form of their own (dates, enumerations, decimals, ...). */
    OTHER,
    /** Values without one text per value (arrays, documents): neither categories nor weights. */
    UNUSABLE;

    /** Whether the column's values can be category labels. */
    public boolean categorical() { return this == TEXT || this == INTEGER || this == OTHER; }
  }
}
