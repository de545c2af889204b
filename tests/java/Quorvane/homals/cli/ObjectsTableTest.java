package Quorvane.homals.cli;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;

import Quorvane.homals.HomalsAnalysis;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.Variable;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import java.util.SplittableRandom;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** objects.csv written in blocks side by side: the bytes that one row after another gives. */
class ObjectsTableTest {
  /** objects.csv as one writer lays it out, row after row. */
  static byte[] rowByRow(HomalsResult result, List<String> ids, boolean raw) throws IOException {
    ByteArrayOutputStream bytes = new ByteArrayOutputStream();
    try (CsvOutput csv = new CsvOutput(bytes, raw)) {
      csv.text("object");
      csv.text("weight");
      for (int d = 1; d <= result.dimensions(); d++) {
        csv.text("dim" + d);
      }
      csv.endRow();
      for (int i = 0; i < result.objectCount(); i++) {
        if (ids == null) {
          csv.integer(i + 1);
        } else {
          csv.text(ids.get(i));
        }
        csv.number(result.analysis().weight(i));
        for (int d = 0; d < result.dimensions(); d++) {
          csv.numberOrEmpty(result.objectScore(i, d));
        }
        csv.endRow();
      }
    }
    return bytes.toByteArray();
  }

  @ParameterizedTest(name = "{0} objects, ids {1}, weights {2}")
  @CsvSource({"32768, false, false", "100001, true, false", "70000, false, true"})
  void blocksSideBySideWriteTheRowsInOrder(int n, boolean withIds, boolean withWeights)
      throws IOException {
    SplittableRandom random = new SplittableRandom(n);
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder().dimensions(2);
    for (int v = 0; v < 3; v++) {
      int[] codes = new int[n];
      for (int i = 0; i < n; i++) {
        // Some missing rows: their scores are empty cells.
        codes[i] = i % 97 == 5 ? 0 : 1 + random.nextInt(3);
      }
      builder.variable(Variable.ofCodes("v" + v, codes, List.of("a", "b", "c")));
    }
    if (withWeights) {
      double[] weights = new double[n];
      for (int i = 0; i < n; i++) {
        weights[i] = i % 3 == 0 ? 0.25 + i : 1;
      }
      builder.weights(weights);
    }
    HomalsResult result = builder.build().run();
    List<String> ids = null;
    if (withIds) {
      ids = new ArrayList<>();
      for (int i = 0; i < n; i++) {
        ids.add(i % 5 == 0 ? "=cmd" + i : "id, " + i);
      }
    }
    ByteArrayOutputStream written = new ByteArrayOutputStream();
    ResultFiles.writeObjects(result, written, ids, false);
    assertArrayEquals(rowByRow(result, ids, false), written.toByteArray());
  }
}
