package Quorvane.homals;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/** Locations handed to the test JVM by ctest, and the integer-coded test datasets. */
public final class TestData {
  private TestData() {}

  public static Path sourceDir() { return Path.of(property("tallowmere.source.dir")); }

  public static Path jar() { return Path.of(property("tallowmere.jar")); }

  public static Path examples(String file) { return sourceDir().resolve("examples").resolve(file); }

  /** A test dataset: from the tests' data folder, or the examples the project ships. */
  public static Path data(String file) {
    Path test = sourceDir().resolve("tests/data").resolve(file);
    return Files.exists(test) ? test : examples(file);
  }

  private static String property(String name) {
    String value = System.getProperty(name);
    if (value == null) {
      throw new IllegalStateException("the test JVM needs -D" + name + " (ctest sets it)");
    }
    return value;
  }

  /**
   * The vote data: every column active and multiple (the party too), except the one named
   * {@code passiveSingle}, which is passive and single ordinal; or none when it is {@code null}.
   */
  public static HomalsResult votes(int dimensions, String passiveSingle) throws IOException {
    Coded coded = readCoded(examples("vote.csv"));
    HomalsAnalysis.Builder builder = HomalsAnalysis.builder().dimensions(dimensions);
    for (String name : coded.names()) {
      Variable variable = Variable.ofCodes(name, coded.column(name),
          name.equals("Class") ? List.of("democrat", "republican") : List.of("n", "y"));
      builder.variable(name.equals(passiveSingle)
              ? variable.passive().single(Quantification.SINGLE_ORDINAL)
              : variable);
    }
    return builder.build().run();
  }

  /** An integer-coded CSV file: header, then one row of codes per object. */
  public record Coded(List<String> names, int[][] rows) {
    public int[] column(String name) {
      int index = names.indexOf(name);
      int[] column = new int[rows.length];
      for (int i = 0; i < rows.length; i++) {
        column[i] = rows[i][index];
      }
      return column;
    }
  }

  public static Coded readCoded(Path file) throws IOException {
    List<String> lines = Files.readAllLines(file);
    List<String> names = List.of(lines.get(0).split(","));
    List<int[]> rows = new ArrayList<>();
    for (String line : lines.subList(1, lines.size())) {
      if (!line.isBlank()) {
        String[] cells = line.split(",", -1);
        int[] row = new int[cells.length];
        for (int c = 0; c < cells.length; c++) {
          row[c] = Integer.parseInt(cells[c].trim());
        }
        rows.add(row);
      }
    }
    return new Coded(names, rows.toArray(new int[0][]));
  }
}
