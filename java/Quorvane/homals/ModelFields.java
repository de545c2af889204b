package Quorvane.homals;

import com.google.gson.JsonArray;
import com.google.gson.JsonElement;
import com.google.gson.JsonObject;
import java.math.BigDecimal;
import java.util.ArrayList;
import java.util.List;
import java.util.function.Function;

/**
 * The fields of one JSON object of a model file, read with their types and lengths checked. A
 * failure names the field by its path from the top of the file ({@code
 * variables[2].quantifications[1]}), says what it holds and what was expected.
 */
final class ModelFields {
  private final JsonObject object;
  private final String prefix; // "" at the top, else the path and a dot

  private ModelFields(JsonObject object, String prefix) {
    this.object = object;
    this.prefix = prefix;
  }

  static ModelFields root(JsonObject object) { return new ModelFields(object, ""); }

  /** The path of a field of this object. */
  String path(String key) { return prefix + key; }

  /** The field, which must be there. */
  private JsonElement get(String key) throws InvalidModelException {
    JsonElement value = object.get(key);
    if (value == null) {
      throw new InvalidModelException("the field " + path(key) + " is missing");
    }
    return value;
  }

  /** The field, or null when it is absent: for the fields that decide what the file is. */
  JsonElement optional(String key) { return object.get(key); }

  /** Whether the field, which must be there, is null. */
  boolean isNull(String key) throws InvalidModelException { return get(key).isJsonNull(); }

  private static InvalidModelException wrongType(String path, JsonElement value, String expected) {
    String text = value.toString();
    if (text.length() > 40) {
      text = text.substring(0, 37) + "...";
    }
    return new InvalidModelException(path + " is " + text + ", expected " + expected);
  }

  String string(String key) throws InvalidModelException { return string(path(key), get(key)); }

  private static String string(String path, JsonElement value) throws InvalidModelException {
    if (!value.isJsonPrimitive() || !value.getAsJsonPrimitive().isString()) {
      throw wrongType(path, value, "a string");
    }
    return value.getAsString();
  }

  boolean bool(String key) throws InvalidModelException {
    JsonElement value = get(key);
    if (!value.isJsonPrimitive() || !value.getAsJsonPrimitive().isBoolean()) {
      throw wrongType(path(key), value, "true or false");
    }
    return value.getAsBoolean();
  }

  int integer(String key) throws InvalidModelException {
    long value = wholeNumber(key);
    if (value != (int) value) {
      throw wrongType(path(key), get(key), "a whole number");
    }
    return (int) value;
  }

  /** A whole number of up to 64 bits: counts of objects, which an analysis from tables may have. */
  long wholeNumber(String key) throws InvalidModelException {
    JsonElement value = get(key);
    if (value.isJsonPrimitive() && value.getAsJsonPrimitive().isNumber()) {
      try {
        return new BigDecimal(value.getAsString()).longValueExact();
      } catch (ArithmeticException | NumberFormatException e) {
        // Told below.
      }
    }
    throw wrongType(path(key), value, "a whole number");
  }

  double number(String key) throws InvalidModelException { return number(path(key), get(key)); }

  /** A number, or NaN for null: a value that is not defined for the fit. */
  double optionalNumber(String key) throws InvalidModelException {
    JsonElement value = get(key);
    return value.isJsonNull() ? Double.NaN : number(path(key), value);
  }

  private static double number(String path, JsonElement value) throws InvalidModelException {
    if (!value.isJsonPrimitive() || !value.getAsJsonPrimitive().isNumber()) {
      throw wrongType(path, value, "a number");
    }
    double number = value.getAsDouble();
    if (!Double.isFinite(number)) {
      throw wrongType(path, value, "a finite number");
    }
    return number;
  }

  private static JsonArray array(String path, JsonElement value) throws InvalidModelException {
    if (!value.isJsonArray()) {
      throw wrongType(path, value, "an array");
    }
    return value.getAsJsonArray();
  }

  List<String> strings(String key) throws InvalidModelException {
    JsonArray array = array(path(key), get(key));
    List<String> values = new ArrayList<>(array.size());
    for (int e = 0; e < array.size(); e++) {
      values.add(string(path(key) + "[" + e + "]", array.get(e)));
    }
    return values;
  }

  /** An array of {@code length} finite numbers; {@code why} says where the length comes from. */
  double[] numbers(String key, int length, String why) throws InvalidModelException {
    return numbers(path(key), get(key), length, why, false);
  }

  private static double[] numbers(String path, JsonElement value, int length, String why,
      boolean nulls) throws InvalidModelException {
    JsonArray array = array(path, value);
    if (array.size() != length) {
      throw new InvalidModelException(path + " has " + count(array.size(), "value") + ", expected "
          + length + " (" + why + ")");
    }
    double[] numbers = new double[length];
    for (int e = 0; e < length; e++) {
      JsonElement element = array.get(e);
      numbers[e] =
          nulls && element.isJsonNull() ? Double.NaN : number(path + "[" + e + "]", element);
    }
    return numbers;
  }

  /**
   * k rows of p finite numbers: one per category, each with one value per dimension; a row whose
   * {@code undefined} flag is set may hold nulls, read as NaN.
   */
  double[][] rows(String key, int k, int p, boolean[] undefined) throws InvalidModelException {
    JsonArray array = array(path(key), get(key));
    if (array.size() != k) {
      throw new InvalidModelException(path(key) + " has " + count(array.size(), "row")
          + ", expected " + k + " (one per category)");
    }
    double[][] rows = new double[k][];
    for (int c = 0; c < k; c++) {
      rows[c] =
          numbers(path(key) + "[" + c + "]", array.get(c), p, "one per dimension", undefined[c]);
    }
    return rows;
  }

  ModelFields object(String key) throws InvalidModelException {
    return object(path(key), get(key));
  }

  private static ModelFields object(String path, JsonElement value) throws InvalidModelException {
    if (!value.isJsonObject()) {
      throw wrongType(path, value, "an object");
    }
    return new ModelFields(value.getAsJsonObject(), path + ".");
  }

  List<ModelFields> objects(String key) throws InvalidModelException {
    JsonArray array = array(path(key), get(key));
    List<ModelFields> objects = new ArrayList<>(array.size());
    for (int e = 0; e < array.size(); e++) {
      objects.add(object(path(key) + "[" + e + "]", array.get(e)));
    }
    return objects;
  }

  private static String count(int n, String thing) { return n + " " + thing + (n == 1 ? "" : "s"); }

  /** One of the named values: the string that {@code name} gives one of them. */
  <T> T choice(String key, T[] values, Function<T, String> name) throws InvalidModelException {
    String text = string(key);
    List<String> names = new ArrayList<>();
    for (T value : values) {
      if (name.apply(value).equals(text)) {
        return value;
      }
      names.add("\"" + name.apply(value) + "\"");
    }
    throw new InvalidModelException(
        path(key) + " is \"" + text + "\", expected one of " + String.join(", ", names));
  }
}
