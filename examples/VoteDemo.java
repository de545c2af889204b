import Quorvane.Tallowmere;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * Homogeneity analysis of the 1984 US House of Representatives votes: the 16 votes are active,
 * the party (Class) is passive, two dimensions. Prints every vote's categories with their
 * quantifications, then the party's mean object scores.
 *
 * <p>Usage: {@code java -Dtallowmere.library=build/libtallowmere.so -cp
 * build/tallowmere.jar:build/vote-demo.jar VoteDemo [vote.csv [vote.json]]}
 */
public final class VoteDemo {
  private static final String PASSIVE_VARIABLE = "Class";
  private static final int DIMENSIONS = 2;

  /** A variable of vote.json: its name and category labels in code order. */
  private record Variable(String name, List<String> labels) {}

  public static void main(String[] args) throws IOException {
    Path csv = Path.of(args.length > 0 ? args[0] : "examples/vote.csv");
    Path json = Path.of(args.length > 1 ? args[1] : "examples/vote.json");
    List<Variable> variables = readVariables(json);
    int[][] rows = readCodes(csv, variables.size());

    int objects = rows.length;
    int stride = variables.size();
    int[] data = new int[objects * stride];
    for (int i = 0; i < objects; i++) {
      System.arraycopy(rows[i], 0, data, i * stride, stride);
    }

    // Every column but the party is an active variable; the party is the one passive variable.
    List<Integer> active = new ArrayList<>();
    int passive = -1;
    int maxCategories = 0;
    for (int column = 0; column < stride; column++) {
      Variable variable = variables.get(column);
      maxCategories = Math.max(maxCategories, variable.labels().size());
      if (variable.name().equals(PASSIVE_VARIABLE)) {
        passive = column;
      } else {
        active.add(column);
      }
    }
    int[] activeColumns = active.stream().mapToInt(Integer::intValue).toArray();
    int[] activeCounts = new int[activeColumns.length];
    int categoryRows = 0;
    for (int j = 0; j < activeColumns.length; j++) {
      activeCounts[j] = variables.get(activeColumns[j]).labels().size();
      categoryRows += activeCounts[j];
    }
    int[] passiveColumns = {passive};
    int[] passiveCounts = {variables.get(passive).labels().size()};

    // Both result tables are indexed from 1: row 0 and column 0 stay unused.
    double[][] objectScores = new double[objects + 1][DIMENSIONS + 1];
    double[][] quantifications = new double[categoryRows + 1][DIMENSIONS + 1];
    Tallowmere.runHomals(
        DIMENSIONS, stride, objects, maxCategories, 200, 0, activeColumns.length, 1, 0,
        false, false, true,
        activeColumns, passiveColumns, activeCounts, passiveCounts,
        new int[activeColumns.length], new int[1], new int[activeColumns.length], new int[1],
        data, 1e-10, 1e-10, objectScores, quantifications);

    System.out.printf("Homogeneity analysis of %s: %d members, %d votes active, %s passive%n%n",
        csv.getFileName(), objects, activeColumns.length, PASSIVE_VARIABLE);
    System.out.printf("%-42s %10s %10s%n", "vote / category", "dim 1", "dim 2");
    int row = 1;
    for (int column : activeColumns) {
      Variable variable = variables.get(column);
      System.out.println(variable.name());
      for (String label : variable.labels()) {
        System.out.printf("  %-40s %10.4f %10.4f%n",
            label, quantifications[row][1], quantifications[row][2]);
        row++;
      }
    }

    // The passive party's categories: the mean object scores of each party's members.
    System.out.printf("%n%s (passive): mean object scores%n", PASSIVE_VARIABLE);
    List<String> parties = variables.get(passive).labels();
    for (int code = 1; code <= parties.size(); code++) {
      double[] sum = new double[DIMENSIONS];
      int members = 0;
      for (int i = 0; i < objects; i++) {
        if (rows[i][passive] == code) {
          members++;
          for (int d = 0; d < DIMENSIONS; d++) {
            sum[d] += objectScores[i + 1][d + 1];
          }
        }
      }
      System.out.printf("  %-40s %10.4f %10.4f   (%d members)%n",
          parties.get(code - 1), sum[0] / members, sum[1] / members, members);
    }
  }

  /** The variables of the dataset description, in column order. */
  private static List<Variable> readVariables(Path json) throws IOException {
    Pattern entry = Pattern.compile(
        "\\{\\s*\"name\"\\s*:\\s*\"([^\"]*)\"\\s*,\\s*\"k\"\\s*:\\s*\\d+\\s*,"
            + "\\s*\"labels\"\\s*:\\s*\\[([^\\]]*)\\]");
    Pattern quoted = Pattern.compile("\"([^\"]*)\"");
    List<Variable> variables = new ArrayList<>();
    Matcher m = entry.matcher(Files.readString(json));
    while (m.find()) {
      List<String> labels = new ArrayList<>();
      Matcher label = quoted.matcher(m.group(2));
      while (label.find()) {
        labels.add(label.group(1));
      }
      variables.add(new Variable(m.group(1), labels));
    }
    return variables;
  }

  /** The integer codes of every object row, after the header line. */
  private static int[][] readCodes(Path csv, int columns) throws IOException {
    List<String> lines = Files.readAllLines(csv);
    List<int[]> rows = new ArrayList<>();
    for (String line : lines.subList(1, lines.size())) {
      if (line.isBlank()) {
        continue;
      }
      String[] cells = line.split(",");
      if (cells.length != columns) {
        throw new IOException(csv + ": expected " + columns + " values in line: " + line);
      }
      int[] codes = new int[columns];
      for (int c = 0; c < columns; c++) {
        codes[c] = Integer.parseInt(cells[c].trim());
      }
      rows.add(codes);
    }
    return rows.toArray(new int[0][]);
  }
}
