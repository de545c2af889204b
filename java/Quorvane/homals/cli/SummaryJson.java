package Quorvane.homals.cli;

import Quorvane.homals.DimensionDescription;
import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.Inertia;
import Quorvane.homals.NumericCorrelation;
import Quorvane.homals.Role;
import Quorvane.homals.VariableResult;
import com.google.gson.GsonBuilder;
import com.google.gson.JsonArray;
import com.google.gson.JsonElement;
import com.google.gson.JsonNull;
import com.google.gson.JsonObject;
import com.google.gson.JsonPrimitive;
import java.nio.file.Path;
import java.util.List;

/**
 * summary.json: what summary.txt says, for programs. Every key is always there, so that a program
 * can rely on the shape of the file: a value that is not defined for the run (a tolerance not
 * used, adjusted shares, the loadings of a multiple variable, a number that is not finite) is
 * null rather than absent.
 */
final class SummaryJson {
  private SummaryJson() {}

  static String of(
      HomalsResult result, List<NumericCorrelation> numeric, Path source, InputNotes notes) {
    JsonObject root = new JsonObject();
    root.add("source", source(source, notes));
    root.addProperty(
        "objects", notes.database() == null ? result.objectCount() : notes.database().rows());
    root.addProperty("dimensions", result.dimensions());
    root.addProperty("iterations", result.iterations());
    root.addProperty("converged", result.converged());
    root.addProperty("stopReason", result.stopReason().key());
    root.add("subspaceDistance", number(result.subspaceDistance()));
    root.addProperty("solver", result.solver().key());
    JsonArray ties = new JsonArray();
    for (List<Integer> group : result.tiedDimensions()) {
      JsonArray dimensions = new JsonArray();
      group.forEach(d -> dimensions.add(d + 1));
      ties.add(dimensions);
    }
    root.add("tiedDimensions", ties);
    root.add("settings", settings(result.analysis()));
    root.add("eigenvalues", numbers(result.eigenvalues()));
    root.add("fit", number(result.fit()));
    root.add("inertia", inertia(result.inertia()));
    root.add("input", input(notes));
    JsonArray variables = new JsonArray();
    for (VariableResult v : result.variables()) {
      variables.add(variable(v, notes));
    }
    root.add("variables", variables);
    JsonArray correlations = new JsonArray();
    for (NumericCorrelation variable : numeric) {
      JsonObject entry = new JsonObject();
      entry.addProperty("name", variable.name());
      entry.add("observed", number(variable.observedWeight()));
      entry.add("correlations", numbers(variable.correlations()));
      correlations.add(entry);
    }
    root.add("numeric", correlations);
    JsonArray descriptions = new JsonArray();
    for (DimensionDescription description : result.describeDimensions()) {
      descriptions.add(description(description));
    }
    root.add("dimensionDescription", descriptions);
    return new GsonBuilder().setPrettyPrinting().serializeNulls().create().toJson(root) + "\n";
  }

  private static JsonObject settings(HomalsAnalysis analysis) {
    JsonObject settings = new JsonObject();
    settings.addProperty("maxIterations", analysis.maxIterations());
    settings.addProperty("iterationBoundSet", analysis.iterationBoundSet());
    settings.addProperty("innerIterations", analysis.innerIterations());
    settings.addProperty("convergenceTolerance", analysis.convergenceTolerance());
    settings.add("fitTolerance", number(analysis.fitTolerance()));
    settings.add("cosineTolerance", number(analysis.cosineTolerance()));
    return settings;
  }

  private static JsonObject inertia(Inertia inertia) {
    JsonObject table = new JsonObject();
    table.add("total", number(inertia.total()));
    table.add("percent", numbers(inertia.percent()));
    boolean adjusted = inertia.isAdjusted();
    table.add("adjustedTotal", adjusted ? number(inertia.adjustedTotal()) : JsonNull.INSTANCE);
    table.add("adjustedPercent", adjusted ? numbers(inertia.adjustedPercent()) : JsonNull.INSTANCE);
    table.addProperty("adjustment", inertia.adjustment());
    return table;
  }

  /**
   * Where the data came from and how they were read: the file with its encoding and delimiter,
   * or the table with what its database was asked. Everything else in the summary depends on
   * the data alone, so that a table and its export to a file give the same summary but this.
   */
  private static JsonObject source(Path file, InputNotes notes) {
    JsonObject source = new JsonObject();
    InputNotes.DatabaseNotes database = notes.database();
    if (database == null) {
      source.addProperty("file", String.valueOf(file.getFileName()));
      source.addProperty("encoding", notes.encoding());
      source.addProperty("delimiter", String.valueOf(notes.delimiter()));
      return source;
    }
    source.addProperty("table", database.address());
    source.addProperty("takingPart", database.taking());
    source.addProperty("sampledObjects", database.sampled());
    source.addProperty("scoresTable", database.scoresTable());
    source.add("bytesReceived",
        database.bytesReceived() < 0 ? JsonNull.INSTANCE
                                     : new JsonPrimitive(database.bytesReceived()));
    source.addProperty("seconds", database.seconds());
    return source;
  }

  private static JsonObject input(InputNotes notes) {
    JsonObject input = new JsonObject();
    input.addProperty("missingAsCategory", notes.missingAsCategory());
    JsonObject leftOut = new JsonObject();
    notes.leftOut().forEach(leftOut::addProperty);
    input.add("leftOut", leftOut);
    return input;
  }

  private static JsonObject variable(VariableResult v, InputNotes notes) {
    JsonObject variable = new JsonObject();
    variable.addProperty("name", v.name());
    variable.addProperty("role", v.isActive() ? "active" : "passive");
    variable.addProperty("quantification", v.quantification().describe());
    variable.addProperty("missingCells", notes.missingCells().getOrDefault(v.name(), 0));
    JsonArray excluded = new JsonArray();
    for (int c = 0; c < v.categories().size(); c++) {
      if (v.isExcluded(c)) {
        excluded.add(v.categories().get(c));
      }
    }
    variable.add("excludedCategories", excluded);
    variable.add("discrimination", numbers(v.discriminationMeasures()));
    variable.add("loadings", v.loadings() == null ? JsonNull.INSTANCE : numbers(v.loadings()));
    return variable;
  }

  /** A dimension's variables by eta2 and its categories with |v| above 2 by v. */
  private static JsonObject description(DimensionDescription description) {
    JsonObject dimension = new JsonObject();
    dimension.addProperty("dimension", description.dimension() + 1);
    JsonArray variables = new JsonArray();
    for (DimensionDescription.VariableEntry entry : description.variables()) {
      JsonObject variable = new JsonObject();
      variable.addProperty("name", entry.variable());
      variable.addProperty("role", entry.role() == Role.ACTIVE ? "active" : "passive");
      variable.add("eta2", number(entry.etaSquared()));
      variable.add("p", number(entry.p()));
      variables.add(variable);
    }
    dimension.add("variables", variables);
    JsonArray categories = new JsonArray();
    for (DimensionDescription.CategoryEntry entry : description.categories()) {
      JsonObject category = new JsonObject();
      category.addProperty("variable", entry.variable());
      category.addProperty("category", entry.category());
      category.addProperty("excluded", entry.excluded());
      category.add("frequency", number(entry.frequency()));
      category.add("v", number(entry.vTest()));
      category.add("p", number(entry.p()));
      categories.add(category);
    }
    dimension.add("categories", categories);
    return dimension;
  }

  private static JsonArray numbers(double[] values) {
    JsonArray array = new JsonArray();
    for (double value : values) {
      array.add(number(value));
    }
    return array;
  }

  /** JSON has no NaN or infinity: a run that ended on a NaN fit still gets its summary. */
  private static JsonElement number(double value) {
    return Double.isFinite(value) ? new JsonPrimitive(value) : JsonNull.INSTANCE;
  }
}
