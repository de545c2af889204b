package Quorvane;

/**
 * Child program of the marker tests: one call of runHomals with a category table of R rows
 * (the only argument) and nothing written to standard output from Java, so that the process's
 * standard output holds exactly the library's markers.
 */
public final class MarkerProbe {
  public static void main(String[] args) {
    int rows = Integer.parseInt(args[0]);
    analyse(new double[1][2], new double[rows][2]);
  }

  /**
   * A one-dimensional analysis of six objects on one active variable with as many categories as
   * the category table has rows after row 0, so that the table is just large enough; without
   * categories every code is missing. The object scores are not written.
   */
  static void analyse(double[][] scores, double[][] quantifications) {
    int categories = Math.max(quantifications.length - 1, 0);
    int objects = 6;
    int[] data = new int[objects];
    for (int i = 0; i < objects; i++) {
      data[i] = categories > 0 ? 1 + i % categories : 0;
    }
    Tallowmere.runHomals(1, 1, objects, Math.max(categories, 1), 3, 0, 1, 0, 0, false, false,
        false, new int[] {0}, new int[0], new int[] {categories}, new int[0], new int[] {0},
        new int[0], new int[] {0}, new int[0], data, 1e-9, 1e-9, scores, quantifications);
  }
}
