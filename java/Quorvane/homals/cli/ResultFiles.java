package Quorvane.homals.cli;

import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.Solver;
import Quorvane.homals.VariableResult;
import java.io.Closeable;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Locale;
import com.google.gson.GsonBuilder;
import com.google.gson.JsonArray;
import com.google.gson.JsonObject;

/** Writes categories.csv, objects.csv and summary.txt for a result. */
final class ResultFiles {
  private ResultFiles() {
  }

  /**
     * Writes categories.csv, objects.csv, summary.txt and summary.json into {@code folder}.
     *
     * @param ids one name per object for objects.csv, or {@code null} to number the objects
     * @return the files written
     */
  static List<Path> write(HomalsResult result, Path folder, Path source, List<String> ids)
      throws IOException {
    Path categories = folder.resolve("categories.csv");
    Path objects = folder.resolve("objects.csv");
    Path summary = folder.resolve("summary.txt");
    Path json = folder.resolve("summary.json");
    writeCategories(result, categories);
    writeObjects(result, objects, ids);
    Files.writeString(summary, summary(result, source), StandardCharsets.UTF_8);
    Files.writeString(json, summaryJson(result, source), StandardCharsets.UTF_8);
    return List.of(categories, objects, summary, json);
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
    s.append(String.format(Locale.ROOT, "settings:    at most %d iterations; inner iterations "
        + "%d; convergence tolerance %s%s%s%n", analysis.maxIterations(),
        analysis.innerIterations(), analysis.convergenceTolerance(),
        Double.isNaN(analysis.fitTolerance()) ? "" : "; fit tolerance " + analysis.fitTolerance(),
        Double.isNaN(analysis.cosineTolerance()) ? ""
            : "; cosine tolerance " + analysis.cosineTolerance()));
    s.append(String.format(Locale.ROOT, "iterations:  %d, %s%n", result.iterations(),
        convergence(result)));
    s.append(String.format(Locale.ROOT, "solver:      %s%n",
        result.solver() == Solver.CROSS_TABLE ? "category cross-table" : "passes over the objects"));

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
          The iterations ran until the subspace spanned by the dimensions settled (see
          "iterations" above); the solution was then rotated to principal axes, so that
          each dimension is an eigenvector of the analysis, in decreasing order of
          eigenvalue. The sign of a dimension is arbitrary; it is set so that the first
          active category (in variable and category order) among those with the largest
          absolute quantification on it is positive.
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

  /** How the run ended, in words. */
  static String convergence(HomalsResult result) {
    return switch (result.stopReason()) {
      case SUBSPACE -> "converged (the subspace of the solution settled)";
      case FIT_CHANGE -> "converged (the fit changed by less than its tolerance)";
      case COSINE -> "converged (successive scores agreed within the cosine tolerance)";
      case ITERATION_BOUND -> "NOT converged: the iteration bound was reached first";
      case NAN_FIT -> "NOT converged: the fit became NaN";
    };
  }

  /** The summary as JSON, for programs. */
  static String summaryJson(HomalsResult result, Path source) {
    HomalsAnalysis analysis = result.analysis();
    JsonObject root = new JsonObject();
    root.addProperty("source", String.valueOf(source.getFileName()));
    root.addProperty("objects", result.objectCount());
    root.addProperty("dimensions", result.dimensions());
    root.addProperty("iterations", result.iterations());
    root.addProperty("converged", result.converged());
    root.addProperty("stopReason", result.stopReason().key());
    root.addProperty("solver", result.solver() == Solver.CROSS_TABLE ? "crossTable" : "objects");
    JsonObject settings = new JsonObject();
    settings.addProperty("maxIterations", analysis.maxIterations());
    settings.addProperty("innerIterations", analysis.innerIterations());
    settings.addProperty("convergenceTolerance", analysis.convergenceTolerance());
    if (!Double.isNaN(analysis.fitTolerance())) {
      settings.addProperty("fitTolerance", analysis.fitTolerance());
    }
    if (!Double.isNaN(analysis.cosineTolerance())) {
      settings.addProperty("cosineTolerance", analysis.cosineTolerance());
    }
    root.add("settings", settings);
    root.add("eigenvalues", numbers(result.eigenvalues()));
    root.addProperty("fit", result.fit());
    JsonArray variables = new JsonArray();
    for (VariableResult v : result.variables()) {
      JsonObject variable = new JsonObject();
      variable.addProperty("name", v.name());
      variable.addProperty("role", v.isActive() ? "active" : "passive");
      variable.addProperty("quantification", v.quantification().describe());
      variable.add("discrimination", numbers(v.discriminationMeasures()));
      if (v.loadings() != null) {
        variable.add("loadings", numbers(v.loadings()));
      }
      variables.add(variable);
    }
    root.add("variables", variables);
    return new GsonBuilder().setPrettyPrinting().create().toJson(root) + "\n";
  }

  private static JsonArray numbers(double[] values) {
    JsonArray array = new JsonArray();
    for (double value : values) {
      array.add(value);
    }
    return array;
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
