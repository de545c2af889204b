package Quorvane.homals.cli;

import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.Inertia;
import Quorvane.homals.VariableResult;
import com.google.gson.GsonBuilder;
import com.google.gson.JsonArray;
import com.google.gson.JsonNull;
import com.google.gson.JsonObject;
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
  private ResultFiles() {}

  /**
   * Writes categories.csv, objects.csv, summary.txt and summary.json into {@code folder}.
   *
   * @param ids one name per object for objects.csv, or {@code null} to number the objects
   * @param notes what the command line made of its input, for the summary
   * @return the files written
   */
  static List<Path> write(HomalsResult result, Path folder, Path source, List<String> ids,
      InputNotes notes) throws IOException {
    Path categories = folder.resolve("categories.csv");
    Path objects = folder.resolve("objects.csv");
    Path summary = folder.resolve("summary.txt");
    Path json = folder.resolve("summary.json");
    writeCategories(result, categories);
    writeObjects(result, objects, ids);
    Files.writeString(summary, summary(result, source, notes), StandardCharsets.UTF_8);
    Files.writeString(json, summaryJson(result, source, notes), StandardCharsets.UTF_8);
    return List.of(categories, objects, summary, json);
  }

  /**
   * One row per category: variable, role, quantification, category, frequency, the
   * quantification dim1..dimP, the contribution in per cent to each dimension ctr1..ctrP (active
   * categories only), the quality cos2_1..cos2_P, and for single variables the category's
   * centroid centroid1..centroidP beside its rank-one quantification.
   */
  static void writeCategories(HomalsResult result, Path file) throws IOException {
    int p = result.dimensions();
    try (CsvOutput csv = new CsvOutput(file)) {
      for (String name : List.of("variable", "role", "quantification", "category", "frequency")) {
        csv.text(name);
      }
      for (String prefix : List.of("dim", "ctr", "cos2_", "centroid")) {
        for (int d = 1; d <= p; d++) {
          csv.text(prefix + d);
        }
      }
      csv.endRow();
      for (VariableResult v : result.variables()) {
        boolean single = v.quantification().isSingle();
        for (int c = 0; c < v.categories().size(); c++) {
          csv.text(v.name());
          csv.text(v.isActive() ? "active" : "passive");
          csv.text(v.quantification().describe());
          csv.text(v.categories().get(c));
          csv.number(v.frequency(c));
          for (int d = 0; d < p; d++) {
            csv.number(v.quantification(c, d));
          }
          for (int d = 0; d < p; d++) {
            numberOrEmpty(csv, v.contribution(c, d));
          }
          for (int d = 0; d < p; d++) {
            numberOrEmpty(csv, v.quality(c, d));
          }
          for (int d = 0; d < p; d++) {
            numberOrEmpty(csv, single ? v.centroid(c, d) : Double.NaN);
          }
          csv.endRow();
        }
      }
    }
  }

  private static void numberOrEmpty(CsvOutput csv, double value) throws IOException {
    if (Double.isNaN(value)) {
      csv.empty();
    } else {
      csv.number(value);
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

  /** The human-readable summary: input, settings, convergence, inertia, the variables. */
  static String summary(HomalsResult result, Path source, InputNotes notes) {
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
    s.append(String.format(Locale.ROOT, "read as:     %s, fields separated by %s%s%n",
        notes.encoding(), notes.delimiterName(), notes.delimiterDetected() ? " (detected)" : ""));
    s.append(String.format(Locale.ROOT, "objects:     %d (%d take part, total weight %d%s)%n",
        result.objectCount(), taking, totalWeight,
        notes.weightDecimals() == 0 ? ""
                                    : ": the decimal weights times 10^" + notes.weightDecimals()));
    s.append(String.format(Locale.ROOT, "variables:   %d active, %d passive%n", active,
        result.variables().size() - active));
    s.append(String.format(Locale.ROOT, "dimensions:  %d%n", p));
    s.append(String.format(Locale.ROOT,
        "settings:    %s; inner iterations %d; convergence tolerance %s%s%s%n",
        analysis.describeIterationBound(), analysis.innerIterations(), analysis.convergenceTolerance(),
        Double.isNaN(analysis.fitTolerance()) ? "" : "; fit tolerance " + analysis.fitTolerance(),
        Double.isNaN(analysis.cosineTolerance())
            ? ""
            : "; cosine tolerance " + analysis.cosineTolerance()));
    s.append(String.format(
        Locale.ROOT, "iterations:  %d, %s%n", result.iterations(), convergence(result)));
    s.append(String.format(Locale.ROOT, "solver:      %s%n", result.solver().describe()));
    for (String tie : result.describeTies()) {
      s.append(String.format(Locale.ROOT, "tie:         %s%n", tie));
    }
    notes.leftOut().forEach((column, reason)
                                -> s.append(String.format(Locale.ROOT,
                                    "left out:    column '%s': %s%n", column, reason)));

    Inertia inertia = result.inertia();
    s.append(String.format(Locale.ROOT, "%nInertia: total %.4f%n", inertia.total()));
    s.append(String.format(Locale.ROOT, "  %-10s %10s %12s %12s%n", "dimension", "eigenvalue",
        "% inertia", inertia.isAdjusted() ? "adjusted %" : ""));
    double[] percent = inertia.percent();
    double[] adjusted = inertia.adjustedPercent();
    for (int d = 0; d < p; d++) {
      String line = String.format(Locale.ROOT, "  %-10d %10.4f %11.1f%% %s", d + 1,
          result.eigenvalue(d), percent[d],
          inertia.isAdjusted() ? String.format(Locale.ROOT, "%11.1f%%", adjusted[d]) : "");
      s.append(line.stripTrailing()).append('\n');
    }
    s.append(String.format(Locale.ROOT, "  %-10s %10.4f %11.1f%%%n", "fit", result.fit(),
        100 * result.fit() / inertia.total()));

    int width = "variable".length();
    for (VariableResult v : result.variables()) {
      width = Math.max(width, v.name().length());
    }
    s.append("\nDiscrimination measures\n");
    StringBuilder head = new StringBuilder(String.format(Locale.ROOT,
        "  %-" + width + "s  %-8s %-19s %9s", "variable", "role", "quantification", "missing"));
    for (int d = 1; d <= p; d++) {
      head.append(String.format(Locale.ROOT, " %8s", "dim" + d));
    }
    s.append(head.toString().stripTrailing()).append('\n');
    for (VariableResult v : result.variables()) {
      s.append(String.format(Locale.ROOT, "  %-" + width + "s  %-8s %-19s %9s", v.name(),
          v.isActive() ? "active" : "passive", v.quantification().describe(),
          notes.missingCells().getOrDefault(v.name(), 0)));
      for (int d = 0; d < p; d++) {
        s.append(String.format(Locale.ROOT, " %8.4f", v.discrimination(d)));
      }
      s.append('\n');
    }
    boolean anySingle = false;
    for (VariableResult v : result.variables()) {
      if (v.loadings() != null) {
        if (!anySingle) {
          s.append("\nLoadings of the single variables (quantification = loading x category "
              + "score)\n");
          anySingle = true;
        }
        s.append(String.format(Locale.ROOT, "  %-" + width + "s", v.name()));
        for (double loading : v.loadings()) {
          s.append(String.format(Locale.ROOT, " %8.4f", loading));
        }
        s.append('\n');
      }
    }

    s.append(String.format(Locale.ROOT, """

        How to read this
          The iterations ran until the subspace spanned by the dimensions settled (see
          "iterations" above); the solution was then rotated to principal axes, so that
          each dimension is an eigenvector of the analysis, in decreasing order of
          eigenvalue. The sign of a dimension is arbitrary; it is set so that the first
          active category (in variable and category order) among those with the largest
          absolute quantification on it is positive.
          Inertia: the sum of the eigenvalues of all the dimensions the data could give
          ((sum of the categories - number of variables) / number of variables when
          nothing is missing); %% inertia: each retained eigenvalue's share of it.%s
          Discrimination measure of variable j on dimension d: the sum over its
          categories of (frequency x quantification^2), divided by the mean weight
          observed on an active variable (the total object weight when nothing is
          missing). Without missing values it is the share of the dimension's variance
          that the variable's categories reproduce, between 0 (the variable does not
          separate the objects on that dimension) and 1; a variable with missing values
          is measured against the same mean weight, and can exceed 1.
          Eigenvalue of a dimension: the mean discrimination measure of the active
          variables; fit: the sum of the eigenvalues.
          categories.csv also gives, per category and dimension, its contribution to the
          dimension in per cent (ctr, active categories; they sum to 100) and the quality
          of its representation (cos2: the share of its squared distance from the origin
          that the dimension shows).
          Passive variables are quantified from the object scores as weighted category
          means; they do not enter the eigenvalues.
        """, inertia.isAdjusted() ? "\n" + """
          Adjusted %: Greenacre's adjustment, which leaves out the variables' tables with
          themselves that inflate the inertia of more than two variables: the eigenvalues
          above 1 / Q, adjusted to (Q / (Q - 1))^2 (eigenvalue - 1 / Q)^2, over the mean
          inertia of the two-way tables of the pairs of variables.""".indent(2).stripTrailing()
            : ""));
    return s.toString();
  }

  /** How the run ended, in words. */
  static String convergence(HomalsResult result) {
    return switch (result.stopReason()) {
      case DIRECT -> "none needed (the exact eigensolution of the category cross-table)";
      case SUBSPACE -> "converged (the subspace of the solution settled)";
      case FIT_CHANGE -> "converged (the fit changed by less than its tolerance)";
      case COSINE -> "converged (successive scores agreed within the cosine tolerance)";
      case ITERATION_BOUND -> "NOT converged: the iteration bound was reached first";
      case NAN_FIT -> "NOT converged: the fit became NaN";
    };
  }

  /** The summary as JSON, for programs. */
  static String summaryJson(HomalsResult result, Path source, InputNotes notes) {
    HomalsAnalysis analysis = result.analysis();
    JsonObject root = new JsonObject();
    root.addProperty("source", String.valueOf(source.getFileName()));
    root.addProperty("objects", result.objectCount());
    root.addProperty("dimensions", result.dimensions());
    root.addProperty("iterations", result.iterations());
    root.addProperty("converged", result.converged());
    root.addProperty("stopReason", result.stopReason().key());
    root.addProperty("solver", result.solver().key());
    JsonArray ties = new JsonArray();
    for (List<Integer> group : result.tiedDimensions()) {
      JsonArray dimensions = new JsonArray();
      group.forEach(d -> dimensions.add(d + 1));
      ties.add(dimensions);
    }
    root.add("tiedDimensions", ties);
        JsonObject settings = new JsonObject();
        settings.addProperty("maxIterations", analysis.maxIterations());
        settings.addProperty("iterationBoundSet", analysis.iterationBoundSet());
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
        Inertia inertia = result.inertia();
        JsonObject inertiaTable = new JsonObject();
        inertiaTable.addProperty("total", inertia.total());
        inertiaTable.add("percent", numbers(inertia.percent()));
        if (inertia.isAdjusted()) {
          inertiaTable.addProperty("adjustedTotal", inertia.adjustedTotal());
          inertiaTable.add("adjustedPercent", numbers(inertia.adjustedPercent()));
        } else {
          inertiaTable.add("adjustedPercent", JsonNull.INSTANCE);
        }
        root.add("inertia", inertiaTable);
        JsonObject input = new JsonObject();
        input.addProperty("encoding", notes.encoding());
        input.addProperty("delimiter", String.valueOf(notes.delimiter()));
        input.addProperty("weightScale", Math.pow(10, notes.weightDecimals()));
        input.addProperty("missingAsCategory", notes.missingAsCategory());
        JsonObject leftOut = new JsonObject();
        notes.leftOut().forEach(leftOut::addProperty);
        input.add("leftOut", leftOut);
        root.add("input", input);
        JsonArray variables = new JsonArray();
        for (VariableResult v : result.variables()) {
          JsonObject variable = new JsonObject();
          variable.addProperty("name", v.name());
          variable.addProperty("role", v.isActive() ? "active" : "passive");
          variable.addProperty("quantification", v.quantification().describe());
          variable.addProperty("missingCells", notes.missingCells().getOrDefault(v.name(), 0));
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
