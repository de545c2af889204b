package Quorvane.homals.cli;

import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.VariableResult;
import java.io.BufferedWriter;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import org.apache.commons.csv.CSVFormat;
import org.apache.commons.csv.CSVPrinter;

/** Writes categories.csv, objects.csv and summary.txt for a result. */
final class ResultFiles {
  private ResultFiles() {
  }

  /**
     * Writes the three files into {@code folder}.
     *
     * @param ids one name per object for objects.csv, or {@code null} to number the objects
     * @return the files written
     */
  static List<Path> write(HomalsResult result, Path folder, Path source, List<String> ids)
      throws IOException {
    Path categories = folder.resolve("categories.csv");
    Path objects = folder.resolve("objects.csv");
    Path summary = folder.resolve("summary.txt");
    writeCategories(result, categories);
    writeObjects(result, objects, ids);
    Files.writeString(summary, summary(result, source), StandardCharsets.UTF_8);
    return List.of(categories, objects, summary);
  }

  private static List<String> dimensionHeader(HomalsResult result) {
    List<String> header = new ArrayList<>();
    for (int d = 1; d <= result.dimensions(); d++) {
      header.add("dim" + d);
    }
    return header;
  }

  /** One row per category: variable, role, quantification, category, frequency, dim1..dimP. */
  static void writeCategories(HomalsResult result, Path file) throws IOException {
    List<String> header = new ArrayList<>(
        List.of("variable", "role", "quantification", "category", "frequency"));
    header.addAll(dimensionHeader(result));
    try (BufferedWriter writer = Files.newBufferedWriter(file, StandardCharsets.UTF_8);
        CSVPrinter csv = new CSVPrinter(writer, CSVFormat.DEFAULT.builder()
            .setRecordSeparator('\n').build())) {
      csv.printRecord(header);
      for (VariableResult v : result.variables()) {
        for (int c = 0; c < v.categories().size(); c++) {
          List<Object> row = new ArrayList<>();
          row.add(v.name());
          row.add(v.isActive() ? "active" : "passive");
          row.add(v.quantification().describe());
          row.add(v.categories().get(c));
          row.add(number(v.frequency(c)));
          for (int d = 0; d < result.dimensions(); d++) {
            row.add(number(v.quantification(c, d)));
          }
          csv.printRecord(row);
        }
      }
    }
  }

  /**
     * One row per object in input order: object (its row number or id), weight, dim1..dimP;
     * the scores of objects that take no part are empty.
     */
  static void writeObjects(HomalsResult result, Path file, List<String> ids) throws IOException {
    HomalsAnalysis analysis = result.analysis();
    List<String> header = new ArrayList<>(List.of("object", "weight"));
    header.addAll(dimensionHeader(result));
    try (BufferedWriter writer = Files.newBufferedWriter(file, StandardCharsets.UTF_8);
        CSVPrinter csv = new CSVPrinter(writer, CSVFormat.DEFAULT.builder()
            .setRecordSeparator('\n').build())) {
      csv.printRecord(header);
      for (int i = 0; i < result.objectCount(); i++) {
        List<Object> row = new ArrayList<>();
        row.add(ids == null ? Integer.toString(i + 1) : ids.get(i));
        row.add(analysis.weight(i));
        for (int d = 0; d < result.dimensions(); d++) {
          double score = result.objectScore(i, d);
          row.add(Double.isNaN(score) ? "" : number(score));
        }
        csv.printRecord(row);
      }
    }
  }

  /** The human-readable summary: settings, eigenvalues and discrimination measures. */
  static String summary(HomalsResult result, Path source) {
    HomalsAnalysis analysis = result.analysis();
    StringBuilder s = new StringBuilder();
    int p = result.dimensions();
    int taking = 0;
    long totalWeight = 0;
    for (int i = 0; i < result.objectCount(); i++) {
      if (result.takesPart(i)) {
        taking++;
        totalWeight += analysis.weight(i);
      }
    }
    long active = result.variables().stream().filter(VariableResult::isActive).count();
    s.append("Homogeneity analysis of ").append(source.getFileName()).append('\n');
    s.append(String.format(Locale.ROOT, "objects:     %d (%d take part, total weight %d)%n",
        result.objectCount(), taking, totalWeight));
    s.append(String.format(Locale.ROOT, "variables:   %d active, %d passive%n", active,
        result.variables().size() - active));
    s.append(String.format(Locale.ROOT, "dimensions:  %d%n", p));
    s.append(String.format(Locale.ROOT, "iterations:  at most %d; inner iterations %d; "
        + "fit tolerance %s; cosine tolerance %s%n", analysis.maxIterations(),
        analysis.innerIterations(), analysis.fitTolerance(), analysis.cosineTolerance()));

    s.append("\nEigenvalues (mean discrimination measure of the active variables)\n");
    s.append(String.format(Locale.ROOT, "  %-10s %10s %10s%n", "dimension", "eigenvalue",
        "share"));
    double fit = result.fit();
    for (int d = 0; d < p; d++) {
      s.append(String.format(Locale.ROOT, "  %-10d %10.4f %9.1f%%%n", d + 1,
          result.eigenvalue(d), 100 * result.eigenvalue(d) / fit));
    }
    s.append(String.format(Locale.ROOT, "  %-10s %10.4f%n", "fit", fit));

    int width = "variable".length();
    for (VariableResult v : result.variables()) {
      width = Math.max(width, v.name().length());
    }
    s.append("\nDiscrimination measures\n");
    StringBuilder head = new StringBuilder(String.format(Locale.ROOT, "  %-" + width
        + "s  %-8s %-19s", "variable", "role", "quantification"));
    for (int d = 1; d <= p; d++) {
      head.append(String.format(Locale.ROOT, " %8s", "dim" + d));
    }
    s.append(head.toString().stripTrailing()).append('\n');
    for (VariableResult v : result.variables()) {
      s.append(String.format(Locale.ROOT, "  %-" + width + "s  %-8s %-19s", v.name(),
          v.isActive() ? "active" : "passive", v.quantification().describe()));
      for (int d = 0; d < p; d++) {
        s.append(String.format(Locale.ROOT, " %8.4f", v.discrimination(d)));
      }
      s.append('\n');
    }

    s.append("""

        How to read this
          Discrimination measure of variable j on dimension d: the sum over its
          categories of (frequency x quantification^2), divided by the total object
          weight (with missing values: the mean over the active variables of the weight
          observed on them). It is the share of the dimension's variance that the
          variable's categories reproduce; 0 means the variable does not separate
          objects on that dimension.
          Eigenvalue of a dimension: the mean discrimination measure of the active
          variables; fit: the sum of the eigenvalues.
          Passive variables are quantified from the object scores as weighted category
          means; they do not enter the eigenvalues.
        """);
    return s.toString();
  }

  /** Shortest text that reads back as the same double. */
  private static String number(double value) {
    return Double.toString(value);
  }
}
