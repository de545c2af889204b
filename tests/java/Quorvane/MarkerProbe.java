package Quorvane;

/**
 * Child program of the marker tests: one call of runHomals with a category table of R rows
 * (the only argument) and nothing written to standard output from Java, so that the process's
 * standard output holds exactly the library's markers.
 *
 * <p>The problem has one active variable with R - 1 categories, so the table is just large
 * enough; with R = 1 the variable has no category and every code is missing.
 */
public final class MarkerProbe {
  public static void main(String[] args) {
    int rows = Integer.parseInt(args[0]);
    int categories = rows - 1;
    int objects = 6;
    int[] data = new int[objects];
    for (int i = 0; i < objects; i++) {
      data[i] = categories > 0 ? 1 + i % categories : 0;
    }
    double[][] scores = new double[1][2];
    double[][] quantifications = new double[rows][2];
    Tallowmere.runHomals(1, 1, objects, Math.max(categories, 1), 3, 0, 1, 0, 0, false, false,
        false, new int[] {0}, new int[0], new int[] {categories}, new int[0], new int[] {0},
        new int[0], new int[] {0}, new int[0], data, 1e-9, 1e-9, scores, quantifications);
  }
}
