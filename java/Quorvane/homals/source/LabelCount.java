package Quorvane.homals.source;

/**
 * One distinct value of a column: its text as the source writes it ({@code null} for SQL's NULL),
 * the rows that hold it, and among them the rows whose weight is positive (all of them without a
 * weight column).
 */
public record LabelCount(String label, long rows, long weightedRows) {}
