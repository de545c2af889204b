package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import com.google.gson.JsonArray;
import com.google.gson.JsonNull;
import com.google.gson.JsonObject;
import com.google.gson.JsonParser;
import com.google.gson.JsonPrimitive;
import java.io.IOException;
import java.io.StringReader;
import java.io.StringWriter;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.function.Consumer;
import java.util.function.UnaryOperator;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** A model file that does not fit is refused with a message that says what and where. */
class ModelFileTest {
  /** v0 multiple, v1 single ordinal, v2 excluding "don't know", v3 passive; 2 dimensions. */
  static HomalsModel model;
  static String saved;

  @TempDir Path temp;

  @BeforeAll
  static void fit() throws IOException {
    int[][] codes = ModelProjectionTest.survey(100, 2);
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder();
    for (int v = 0; v < 4; v++) {
      Variable plain = Variable.ofCodes("v" + v, codes[v], ModelProjectionTest.ANSWERS);
      builder.variable(switch (v) {
        case 1 -> plain.single(Quantification.SINGLE_ORDINAL);
        case 2 -> plain.excluding("don't know");
        case 3 -> plain.passive();
        default -> plain;
      });
    }
    model = HomalsModel.of(builder.build().run());
    StringWriter text = new StringWriter();
    model.write(text);
    saved = text.toString();
  }

  static Arguments edit(String name, Consumer<JsonObject> change, String message) {
    UnaryOperator<String> text = saved -> {
      JsonObject root = JsonParser.parseString(saved).getAsJsonObject();
      change.accept(root);
      return root.toString();
    };
    return Arguments.of(name, text, message);
  }

  static Arguments text(String name, UnaryOperator<String> change, String message) {
    return Arguments.of(name, change, message);
  }

  static JsonObject variable(JsonObject root, int v) {
    return root.getAsJsonArray("variables").get(v).getAsJsonObject();
  }

  static JsonArray row(JsonObject root, int v, int c) {
    return variable(root, v).getAsJsonArray("quantifications").get(c).getAsJsonArray();
  }

  static Stream<Arguments> malformed() {
    String expected = ", expected \"tallowmere-homals-model\"";
    return Stream.of(text("cut short", s -> s.substring(0, s.length() - 3),
                         "not a JSON document: it ends too soon at line 124 column 4"),
        text("NaN", s -> s.replaceFirst("\"eigenvalues\": \\[[^,]*", "\"eigenvalues\": [NaN"),
            "not a JSON document: a syntax error at line 6 column 19"),
        text("more after it", s -> s + "{}", "not a JSON document: more follows its first value"),
        text("an array", s -> "[" + s + "]",
            "not a tallowmere model: the document is a JSON array, not an object"),
        edit("no format", r -> r.remove("format"),
            "not a tallowmere model: it has no field format" + expected),
        edit("another format", r -> r.addProperty("format", "tallowmere-summary"),
            "not a tallowmere model: its format is \"tallowmere-summary\"" + expected),
        edit("a newer version", r -> r.addProperty("formatVersion", 2),
            "the model's format version 2 is newer than this library (tallowmere "
                + LibraryVersion.VERSION + ") reads, version 1; read it with a newer tallowmere"),
        edit("a version that is not whole", r -> r.addProperty("formatVersion", 1.5),
            "formatVersion is 1.5, expected a whole number"),
        edit("no version 0", r -> r.addProperty("formatVersion", 0),
            "formatVersion 0 is no version of the format; the first is 1"),
        edit("a missing field", r -> variable(r, 1).remove("centroids"),
            "the field variables[1].centroids is missing"),
        edit("a missing setting", r -> r.getAsJsonObject("fit").remove("solver"),
            "the field fit.solver is missing"),
        edit("a word for a number", r -> r.addProperty("dimensions", "two"),
            "dimensions is \"two\", expected a whole number"),
        edit("an eigenvalue too many", r -> r.getAsJsonArray("eigenvalues").add(0.1),
            "eigenvalues has 3 values, expected 2 (one per dimension)"),
        edit("a category's row too few",
            r -> variable(r, 0).getAsJsonArray("quantifications").remove(0),
            "variables[0].quantifications has 3 rows, expected 4 (one per category)"),
        edit("a row too long", r -> row(r, 0, 1).add(1.0),
            "variables[0].quantifications[1] has 3 values, expected 2 (one per dimension)"),
        text("an infinite number", s -> s.replaceFirst("\"eigenvalues\": \\[[^,]*",
                                       "\"eigenvalues\": [1e999"),
            "eigenvalues[0] is 1e999, expected a finite number"),
        edit("a zero eigenvalue", r -> r.getAsJsonArray("eigenvalues").set(1, new JsonPrimitive(0)),
            "eigenvalues[1] is 0.0; the transition formula divides by it, and a model's "
                + "eigenvalues are above 0"),
        edit("a null quantification", r -> row(r, 0, 0).set(1, JsonNull.INSTANCE),
            "variables[0].quantifications[0][1] is null, expected a number"),
        edit("an unknown role", r -> variable(r, 0).addProperty("role", "main"),
            "variables[0].role is \"main\", expected one of \"active\", \"passive\""),
        edit("an unknown quantification",
            r -> variable(r, 1).addProperty("quantification", "double ordinal"),
            "variables[1].quantification is \"double ordinal\", expected one of \"multiple "
                + "nominal\", \"single nominal\", \"single ordinal\", \"single numerical\""),
        edit("a name twice", r -> variable(r, 2).addProperty("name", "v0"),
            "variables[2].name is \"v0\", the name of an earlier variable"),
        edit("a category twice",
            r -> variable(r, 0).getAsJsonArray("categories").set(2, new JsonPrimitive("low")),
            "variables[0].categories[2] is \"low\": listed twice"),
        edit("an excluded label it does not have",
            r -> variable(r, 2).getAsJsonArray("excluded").set(0, new JsonPrimitive("never")),
            "variables[2].excluded[0] is \"never\", not one of the variable's categories"),
        edit("no scoring", r -> r.remove("scoring"), "the field scoring is missing"),
        edit("a centre that its numbers do not give",
            r -> r.getAsJsonObject("scoring").getAsJsonArray("centre").set(1, new JsonPrimitive(0.25)),
            "scoring.centre[1] is 0.25, but the frequencies and quantifications give "
                + model.centre()[1] + "; the file was changed after it was written"),
        edit("no active variable", r -> {
          for (int v = 0; v < 3; v++) {
            variable(r, v).addProperty("role", "passive");
          }
        }, "the model has no active variable"));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("malformed")
  void aModelThatDoesNotFitIsRefusedSayingWhy(
      String name, UnaryOperator<String> change, String message) {
    String broken = change.apply(saved);
    assertEquals(message,
        assertThrows(InvalidModelException.class,
            () -> HomalsModel.read(new StringReader(broken)))
            .getMessage());
  }

  @Test
  void loadingNamesTheFile() throws IOException {
    Path file = temp.resolve("model.json");
    Files.writeString(file, "{\"format\": \"tallowmere-homals-model\", \"formatVersion\": 9}");
    assertEquals(file + ": the model's format version 9 is newer than this library (tallowmere "
            + LibraryVersion.VERSION + ") reads, version 1; read it with a newer tallowmere",
        assertThrows(InvalidModelException.class, () -> HomalsModel.load(file)).getMessage());
  }

  /**
   * Fields the format does not know are a later version's, and an excluded category that no
   * object of the fit had has no point (null): both load, and score as the model saved.
   */
  @Test
  void unknownFieldsAndTheNullPointOfAnExcludedCategoryLoad() throws IOException {
    JsonObject root = JsonParser.parseString(saved).getAsJsonObject();
    root.addProperty("comment", "made for a test");
    JsonArray none = new JsonArray();
    none.add(JsonNull.INSTANCE);
    none.add(JsonNull.INSTANCE);
    variable(root, 2).getAsJsonArray("quantifications").set(3, none);
    variable(root, 2).getAsJsonArray("centroids").set(3, none);
    HomalsModel loaded = HomalsModel.read(new StringReader(root.toString()));
    int[][] codes = {{1, 2, 4, 0}, {3, 3, 1, 0}, {4, 1, 4, 4}, null};
    ModelProjectionTest.assertBits(model.projectCodes(codes), loaded.projectCodes(codes));
    assertEquals(Double.NaN, loaded.variable("v2").quantification(3, 0));
  }
}
