package Quorvane.homals.cli;

import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.VariableResult;
import java.io.Closeable;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Locale;

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

  /** One row per category: variable, role, quantification, category, frequency, dim1..dimP. */
  static void writeCategories(HomalsResult result, Path file) throws IOException {
    try (CsvOutput csv = new CsvOutput(file)) {
      for (String name : List.of("variable", "role", "quantification", "category", "frequency")) {
        csv.text(name);
      }
      dimensionHeader(csv, result);
      for (VariableResult v : result.variables()) {
        for (int c = 0; c < v.categories().size(); c++) {
          csv.text(v.name());
          csv.text(v.isActive() ? "active" : "passive");
          csv.text(v.quantification().describe());
          csv.text(v.categories().get(c));
          csv.number(v.frequency(c));
          for (int d = 0; d < result.dimensions(); d++) {
            csv.number(v.quantification(c, d));
          }
          csv.endRow();
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
    try (CsvOutput csv = new CsvOutput(file)) {
      csv.text("object");
      csv.text("weight");
      dimensionHeader(csv, result);
      for (int i = 0; i < result.objectCount(); i++) {
        if (ids == null) {
          csv.integer(i + 1);
        } else {
          csv.text(ids.get(i));
        }
        csv.integer(analysis.weight(i));
        for (int d = 0; d < result.dimensions(); d++) {
          double score = result.objectScore(i, d);
          if (Double.isNaN(score)) {
            csv.empty();
          } else {
            csv.number(score);
          }
        }
        csv.endRow();
      }
    }
  }

  private static void dimensionHeader(CsvOutput csv, HomalsResult result) throws IOException {
    for (int d = 1; d <= result.dimensions(); d++) {
      csv.text("dim" + d);
    }
    csv.endRow();
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

  /**
   * CSV rows written straight into a byte buffer: numbers in their shortest text that reads
   * back the same, text quoted only when it must be (a comma, a quote, a line break, or
   * spaces at either end, which a reader that trims would lose).
   */
  static final class CsvOutput implements Closeable {
    private final OutputStream out;
    private final byte[] buffer = new byte[1 << 16];
    private int used;
    private boolean rowStarted;

    CsvOutput(Path file) throws IOException { out = Files.newOutputStream(file); }

    void text(String cell) throws IOException {
      separate();
      boolean quote =
          !cell.isEmpty() && (cell.charAt(0) <= ' ' || cell.charAt(cell.length() - 1) <= ' ');
      for (int i = 0; i < cell.length() && !quote; i++) {
        char ch = cell.charAt(i);
        quote = ch == ',' || ch == '"' || ch == '\n' || ch == '\r';
      }
      String text = quote ? '"' + cell.replace("\"", "\"\"") + '"' : cell;
      byte[] bytes = text.getBytes(StandardCharsets.UTF_8);
      if (bytes.length > buffer.length - used) {
        flush();
        if (bytes.length > buffer.length) {
          out.write(bytes);
          return;
        }
      }
      System.arraycopy(bytes, 0, buffer, used, bytes.length);
      used += bytes.length;
    }

    void number(double value) throws IOException {
      separate();
      room(ShortestDecimal.MAX_LENGTH);
      used = ShortestDecimal.write(value, buffer, used);
    }

    void integer(long value) throws IOException {
      separate();
      room(20);
      if (value < 0) {
        buffer[used++] = '-';
      }
      int digits = 1;
      for (long rest = Math.abs(value / 10); rest > 0; rest /= 10) {
        digits++;
      }
      for (int i = used + digits - 1; i >= used; i--) {
        buffer[i] = (byte) ('0' + Math.abs(value % 10));
        value /= 10;
      }
      used += digits;
    }

    void empty() throws IOException { separate(); }

    void endRow() throws IOException {
      room(1);
      buffer[used++] = '\n';
      rowStarted = false;
    }

    private void separate() throws IOException {
      if (rowStarted) {
        room(1);
        buffer[used++] = ',';
      }
      rowStarted = true;
    }

    private void room(int bytes) throws IOException {
      if (buffer.length - used < bytes) {
        flush();
      }
    }

    private void flush() throws IOException {
      out.write(buffer, 0, used);
      used = 0;
    }

    @Override
    public void close() throws IOException {
      try (out) {
        flush();
      }
    }
  }
}
