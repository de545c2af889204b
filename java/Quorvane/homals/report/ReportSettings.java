package Quorvane.homals.report;

import java.util.List;

/**
 * What the report says of how the result came about, beyond what the result itself holds.
 *
 * @param title the report's heading, or {@code null} for "Homogeneity analysis of" the source
 * @param source the name of the data analysed, such as its file name
 * @param arguments the command line that ran the analysis, or an empty list
 * @param objects what the report says of the objects, for a result whose objects it cannot
 *     count (an analysis from tables summed elsewhere); null to count them
 */
public record ReportSettings(String title, String source, List<String> arguments, String objects) {
  public ReportSettings {
    arguments = List.copyOf(arguments);
  }

  /** Settings of a result whose objects the report counts itself. */
  public ReportSettings(String title, String source, List<String> arguments) {
    this(title, source, arguments, null);
  }
}
