package Quorvane.homals;

import com.google.gson.Gson;
import com.google.gson.JsonArray;
import com.google.gson.JsonElement;
import com.google.gson.JsonNull;
import com.google.gson.JsonObject;
import com.google.gson.JsonParseException;
import com.google.gson.JsonPrimitive;
import com.google.gson.TypeAdapter;
import com.google.gson.stream.JsonReader;
import com.google.gson.stream.JsonToken;
import com.google.gson.stream.MalformedJsonException;
import java.io.EOFException;
import java.io.IOException;
import java.io.Reader;
import java.io.Writer;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Locale;
import java.util.Set;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * A {@link HomalsModel} as JSON (docs/model.md). Numbers are written as Java's decimal text of
 * them (Double.toString), which reads back as the same double, so a loaded model projects bit for
 * bit as the saved one; values that are not defined (a tolerance not used) are null. Reading checks
 * every field it uses ({@link ModelFields}) and ignores fields it does not know, which a later
 * version of the same format may add.
 */
final class ModelJson {
  private ModelJson() {}

  static void write(HomalsModel model, Writer out) throws IOException {
    JsonObject root = new JsonObject();
    root.addProperty("format", HomalsModel.FORMAT);
    root.addProperty("formatVersion", HomalsModel.FORMAT_VERSION);
    root.addProperty("libraryVersion", model.libraryVersion());
    root.addProperty("dimensions", model.dimensions());
    root.add("eigenvalues", numbers(model.eigenvaluesView()));
    root.add("fit", fit(model.fit()));
    MissingCells missing = model.missing();
    JsonObject cells = new JsonObject();
    cells.add("texts", strings(missing.texts()));
    cells.addProperty("codes", missing.codes());
    cells.add("category",
        missing.category() == null ? JsonNull.INSTANCE : new JsonPrimitive(missing.category()));
    root.add("missing", cells);
    root.add("scoring", scoring(model));
    JsonArray variables = new JsonArray();
    for (ModelVariable v : model.variables()) {
      variables.add(variable(v));
    }
    root.add("variables", variables);
    StringBuilder text = new StringBuilder();
    print(root, "", text);
    out.write(text.append('\n').toString());
    out.flush();
  }

  /**
   * Indented JSON with every array of plain values on one line, so that a category's values
   * read as a row: Gson's pretty printer gives every number a line of its own.
   */
  private static void print(JsonElement value, String indent, StringBuilder text) {
    String inner = indent + "  ";
    if (value.isJsonObject()) {
      text.append('{');
      String separator = "\n";
      for (var field : value.getAsJsonObject().entrySet()) {
        text.append(separator).append(inner).append(new JsonPrimitive(field.getKey())).append(": ");
        print(field.getValue(), inner, text);
        separator = ",\n";
      }
      text.append('\n').append(indent).append('}');
    } else if (value.isJsonArray()) {
      JsonArray array = value.getAsJsonArray();
      boolean flat = true;
      for (JsonElement element : array) {
        flat &= element.isJsonPrimitive() || element.isJsonNull();
      }
      text.append('[');
      for (int e = 0; e < array.size(); e++) {
        text.append(e == 0 ? "" : ",").append(flat ? (e == 0 ? "" : " ") : "\n" + inner);
        print(array.get(e), inner, text);
      }
      text.append(flat || array.isEmpty() ? "" : "\n" + indent).append(']');
    } else {
      text.append(value); // Gson's text: escaped strings, numbers that read back exactly
    }
  }

  private static JsonObject fit(ModelFit fit) {
    JsonObject object = new JsonObject();
    object.addProperty("objects", fit.objects());
    object.addProperty("objectsTakingPart", fit.objectsTakingPart());
    object.addProperty("weighted", fit.weighted());
    object.addProperty("solverAsked", fit.solverAsked().key());
    object.addProperty("solver", fit.solver().key());
    object.addProperty("iterations", fit.iterations());
    object.addProperty("stopReason", fit.stopReason().key());
    object.addProperty("converged", fit.converged());
    object.add("subspaceDistance", number(fit.subspaceDistance()));
    object.addProperty("maxIterations", fit.maxIterations());
    object.addProperty("iterationBoundSet", fit.iterationBoundSet());
    object.addProperty("innerIterations", fit.innerIterations());
    object.add("convergenceTolerance", number(fit.convergenceTolerance()));
    object.add("fitTolerance", number(fit.fitTolerance()));
    object.add("cosineTolerance", number(fit.cosineTolerance()));
    return object;
  }

  /**
   * How the file scores a row, in words for whoever reads it without this library, and the centre
   * the formula takes off. The words are not read back; the centre is, as a check that the numbers
   * it comes from are the ones written.
   */
  private static JsonObject scoring(HomalsModel model) {
    JsonObject object = new JsonObject();
    object.addProperty("formula",
        "score[d] = (mean over the row's usable active cells of quantifications[category][d]"
            + " - centre[d]) / eigenvalues[d]");
    object.add("centre", numbers(model.centreView()));
    object.addProperty("centreFrom",
        "sum of frequencies[c] * quantifications[c][d] over the active variables' categories"
            + " not excluded, divided by the sum of their frequencies");
    object.addProperty("missingCells",
        "left out of the row's mean; with missing.category set, a missing cell is that category");
    object.addProperty(
        "excludedCategories", "a cell of an excluded category counts as missing for its variable");
    object.addProperty("unknownLabels", "a label not among the categories counts as missing");
    object.addProperty("passiveVariables", "not read");
    object.addProperty("rowsWithoutUsableCells", "no scores");
    return object;
  }

  private static JsonObject variable(ModelVariable v) {
    JsonObject object = new JsonObject();
    object.addProperty("name", v.name());
    object.addProperty("role", v.role().name().toLowerCase(Locale.ROOT));
    object.addProperty("quantification", v.quantification().describe());
    object.add("categories", strings(v.categories()));
    object.add("values", v.valuesView() == null ? JsonNull.INSTANCE : numbers(v.valuesView()));
    object.add("excluded", strings(v.excludedCategories()));
    object.add("frequencies", numbers(v.frequenciesView()));
    object.add("quantifications", rows(v.quantificationsView()));
    object.add("centroids", rows(v.centroidsView()));
    return object;
  }

  private static JsonArray rows(double[][] rows) {
    JsonArray array = new JsonArray();
    for (double[] row : rows) {
      array.add(numbers(row));
    }
    return array;
  }

  private static JsonArray numbers(double[] values) {
    JsonArray array = new JsonArray();
    for (double value : values) {
      array.add(number(value));
    }
    return array;
  }

  /** JSON has no NaN: a value that is not defined is null. */
  private static JsonElement number(double value) {
    return Double.isFinite(value) ? new JsonPrimitive(value) : JsonNull.INSTANCE;
  }

  private static JsonArray strings(List<String> values) {
    JsonArray array = new JsonArray();
    values.forEach(array::add);
    return array;
  }

  /** Reads a model; the reader is read to its end but not closed. */
  static HomalsModel read(Reader in) throws IOException {
    JsonElement document = parse(in);
    if (!document.isJsonObject()) {
      throw new InvalidModelException("not a tallowmere model: the document is a JSON "
          + (document.isJsonArray() ? "array" : "value") + ", not an object");
    }
    ModelFields root = ModelFields.root(document.getAsJsonObject());
    JsonElement format = root.optional("format");
    if (format == null || !format.equals(new JsonPrimitive(HomalsModel.FORMAT))) {
      throw new InvalidModelException("not a tallowmere model: "
          + (format == null ? "it has no field format" : "its format is " + format)
          + ", expected \"" + HomalsModel.FORMAT + "\"");
    }
    int version = root.integer("formatVersion");
    if (version > HomalsModel.FORMAT_VERSION) {
      throw new InvalidModelException("the model's format version " + version + " is newer than "
          + "this library (tallowmere " + LibraryVersion.VERSION + ") reads, version "
          + HomalsModel.FORMAT_VERSION + "; read it with a newer tallowmere");
    }
    if (version < 1) {
      throw new InvalidModelException(
          "formatVersion " + version + " is no version of the format; the first is 1");
    }
    int p = root.integer("dimensions");
    if (p < 1) {
      throw new InvalidModelException("dimensions is " + p + "; a model has at least 1");
    }
    double[] eigenvalues = root.numbers("eigenvalues", p, "one per dimension");
    for (int d = 0; d < p; d++) {
      if (!(eigenvalues[d] > 0)) {
        throw new InvalidModelException("eigenvalues[" + d + "] is " + eigenvalues[d]
            + "; the transition formula divides by it, and a model's eigenvalues are above 0");
      }
    }
    List<ModelVariable> variables = new ArrayList<>();
    Set<String> names = new HashSet<>();
    List<ModelFields> entries = root.objects("variables");
    for (ModelFields entry : entries) {
      ModelVariable v = variable(entry, p);
      if (!names.add(v.name())) {
        throw new InvalidModelException(
            entry.path("name") + " is \"" + v.name() + "\", the name of an earlier variable");
      }
      variables.add(v);
    }
    if (variables.stream().noneMatch(ModelVariable::isActive)) {
      throw new InvalidModelException("the model has no active variable");
    }
    HomalsModel model = new HomalsModel(root.string("libraryVersion"), eigenvalues,
        fit(root.object("fit")), missing(root.object("missing")), variables);
    checkCentre(root.object("scoring"), model);
    return model;
  }

  /**
   * The written centre against the one the loaded numbers give: both come from the same sums in
   * the same order, so any difference means a number was changed after the file was written.
   */
  private static void checkCentre(ModelFields scoring, HomalsModel model)
      throws InvalidModelException {
    double[] centre = model.centreView();
    double[] written = scoring.numbers("centre", centre.length, "one per dimension");
    for (int d = 0; d < centre.length; d++) {
      if (Double.doubleToLongBits(written[d]) != Double.doubleToLongBits(centre[d])) {
        throw new InvalidModelException(scoring.path("centre") + "[" + d + "] is " + written[d]
            + ", but the frequencies and quantifications give " + centre[d]
            + "; the file was changed after it was written");
      }
    }
  }

  private static JsonElement parse(Reader in) throws IOException {
    JsonReader reader = new JsonReader(in);
    reader.setLenient(false); // no NaN, comments, unquoted names or second documents
    JsonElement document;
    try {
      document = ELEMENT.read(reader);
    } catch (MalformedJsonException | EOFException | JsonParseException e) {
      throw new InvalidModelException("not a JSON document: " + syntax(e));
    }
    try {
      if (reader.peek() == JsonToken.END_DOCUMENT) {
        return document;
      }
    } catch (MalformedJsonException e) {
      // A second value, which a strict reader refuses as it looks at it.
    }
    throw new InvalidModelException("not a JSON document: more follows its first value");
  }

  private static final TypeAdapter<JsonElement> ELEMENT = new Gson().getAdapter(JsonElement.class);
  /** Gson's message: what went wrong, where, and the path within the document. */
  private static final Pattern SYNTAX = Pattern.compile("(.*?) at (line \\d+ column \\d+)");

  /**
   * The reader's complaint in words, without its advice to read leniently: what is wrong ("a
   * syntax error" where it says no more), and the line and column.
   */
  private static String syntax(Exception e) {
    String message = String.valueOf(e.getMessage()).lines().findFirst().orElse("");
    Matcher parts = SYNTAX.matcher(message);
    if (!parts.lookingAt()) {
      return message;
    }
    String what = parts.group(1);
    what = what.startsWith("End of input") ? "it ends too soon"
        : what.contains("setLenient")      ? "a syntax error"
                                      : Character.toLowerCase(what.charAt(0)) + what.substring(1);
    return what + " at " + parts.group(2);
  }

  private static ModelVariable variable(ModelFields v, int p) throws InvalidModelException {
    String name = v.string("name");
    if (name.isBlank()) {
      throw new InvalidModelException(v.path("name") + " is blank");
    }
    Role role = v.choice("role", Role.values(), r -> r.name().toLowerCase(Locale.ROOT));
    Quantification quantification =
        v.choice("quantification", Quantification.values(), Quantification::describe);
    List<String> categories = v.strings("categories");
    if (categories.isEmpty()) {
      throw new InvalidModelException(v.path("categories") + " is empty");
    }
    Set<String> seen = new HashSet<>();
    for (int c = 0; c < categories.size(); c++) {
      if (categories.get(c).isBlank() || !seen.add(categories.get(c))) {
        throw new InvalidModelException(v.path("categories") + "[" + c + "] is \""
            + categories.get(c)
            + "\": " + (categories.get(c).isBlank() ? "blank" : "listed twice"));
      }
    }
    int k = categories.size();
    List<String> excluded = v.strings("excluded");
    for (int e = 0; e < excluded.size(); e++) {
      if (!categories.contains(excluded.get(e))) {
        throw new InvalidModelException(v.path("excluded") + "[" + e + "] is \"" + excluded.get(e)
            + "\", not one of the variable's categories");
      }
    }
    double[] values = v.isNull("values") ? null : v.numbers("values", k, "one per category");
    // An excluded category's point is NaN (null here) when no object of the fit had it.
    boolean[] undefined = new boolean[k];
    for (int c = 0; c < k; c++) {
      undefined[c] = excluded.contains(categories.get(c));
    }
    return new ModelVariable(name, role, quantification, categories, values, excluded,
        v.numbers("frequencies", k, "one per category"), v.rows("quantifications", k, p, undefined),
        v.rows("centroids", k, p, undefined));
  }

  private static ModelFit fit(ModelFields fit) throws InvalidModelException {
    return new ModelFit(fit.wholeNumber("objects"), fit.wholeNumber("objectsTakingPart"),
        fit.bool("weighted"), fit.choice("solverAsked", Solver.values(), Solver::key),
        fit.choice("solver", Solver.values(), Solver::key), fit.integer("iterations"),
        fit.choice("stopReason", StopReason.values(), StopReason::key),
        fit.optionalNumber("subspaceDistance"), fit.integer("maxIterations"),
        fit.bool("iterationBoundSet"), fit.integer("innerIterations"),
        fit.number("convergenceTolerance"), fit.optionalNumber("fitTolerance"),
        fit.optionalNumber("cosineTolerance"));
  }

  private static MissingCells missing(ModelFields missing) throws InvalidModelException {
    String category = missing.isNull("category") ? null : missing.string("category");
    return new MissingCells(missing.strings("texts"), missing.bool("codes"), category);
  }
}
