package Quorvane;

/**
 * Homogeneity analysis (multiple correspondence analysis by alternating least squares) of a
 * table of categorical data, computed by the native library {@code libtallowmere.so}.
 *
 * <p>The library is loaded when this class is initialised, by {@link NativeLibrary#load()}:
 * from the file named by the system property {@value #LIBRARY_PROPERTY} if it is set, otherwise
 * as {@code tallowmere} from {@code java.library.path}, otherwise from the copy packed in
 * tallowmere.jar.
 */
public final class Tallowmere {
  /** System property naming the library file to load instead of searching the library path. */
  public static final String LIBRARY_PROPERTY = NativeLibrary.PATH_PROPERTY;

  static {
    NativeLibrary.load();
  }

  private Tallowmere() {}

  /**
   * Runs one complete analysis and writes its results into the two tables.
   *
   * <p>Variables: {@code activeCount} active variables (M1) determine the object scores;
   * {@code passiveCount} passive variables (M2) are quantified alongside but appear in no result.
   * Object i's code on a variable is {@code data[i * dataStride + column]}, with the column taken
   * from {@code activeColumns} or {@code passiveColumns}; codes run from 1 to the variable's
   * category count, and 0 or below marks a missing value. Every array argument must be at least
   * as long as these counts need. All limits are checked before anything is printed or written:
   * a call that breaks one throws and leaves both tables unchanged.
   *
   * <p>Results, both tables indexed from 1 (row 0 and element 0 of every row are never written,
   * and the width C of a table is the length of its row 0): row 1 + (categories of the earlier
   * active variables) + c - 1 of {@code categoryQuantificationTable} holds category c of an
   * active variable, element 1 + d its quantification on dimension d; row 1 + i of {@code
   * objectScoreTable} holds object i's scores, written only when {@code writeObjectScores} is set.
   * Every other cell keeps its value. Calls from several threads take turns inside the library,
   * each with the result it would have alone.
   *
   * @param dimensionCount P, dimensions of the solution
   * @param dataStride values per object row of {@code data}
   * @param objectCount N, objects (rows of {@code data})
   * @param maxCategories K, category slots per variable (at least every category count)
   * @param maxIterations bound on the outer iterations; 0 or less: no bound
   * @param innerIterations rounds of the rank-one step per iteration; 0 or less: all variables
   *     multiple nominal
   * @param activeCount M1
   * @param passiveCount M2
   * @param weightColumn position of each object's integer weight within its row of {@code data}
   * @param timing accepted, without effect
   * @param useWeights weights from {@code data}; otherwise every object weighs 1
   * @param writeObjectScores whether {@code objectScoreTable} receives the object scores
   * @param activeColumns M1 positions within an object row
   * @param passiveColumns M2 positions within an object row
   * @param activeCategoryCounts M1 category counts
   * @param passiveCategoryCounts M2 category counts
   * @param activeSingle M1 entries, 1 for a single (rank-one) variable, otherwise multiple
   * @param passiveSingle M2 entries, as above
   * @param activeLevels M1 levels of single variables: 1 ordinal, 2 or more numerical, otherwise
   *     nominal
   * @param passiveLevels M2 levels, as above
   * @param data N * {@code dataStride} codes (and weights), row-major
   * @param fitTolerance convergence tolerance on the change of the fit
   * @param cosineTolerance convergence tolerance on 1 - the smallest cosine between successive
   *     object scores
   * @param objectScoreTable at least N + 1 rows of at least P + 1 elements when written
   * @param categoryQuantificationTable at least 1 + (sum of the active category counts) rows of
   *     at least P + 1 elements
   * @throws NullPointerException if an array, a table or a row of a table is null
   * @throws IllegalArgumentException if a count is negative, a buffer size exceeds 2^31 - 1, an
   *     array is shorter than its count, a column lies outside an object row, a category count
   *     exceeds K, a code exceeds its variable's category count, or a table is too small (no
   *     rows, a row shorter than row 0, or fewer rows or a narrower row 0 than the results need);
   *     the message names the parameter, the index, the value and the limit
   * @throws OutOfMemoryError if native memory for the copies or the run cannot be allocated
   */
  public static native void runHomals(
      int dimensionCount,
      int dataStride,
      int objectCount,
      int maxCategories,
      int maxIterations,
      int innerIterations,
      int activeCount,
      int passiveCount,
      int weightColumn,
      boolean timing,
      boolean useWeights,
      boolean writeObjectScores,
      int[] activeColumns,
      int[] passiveColumns,
      int[] activeCategoryCounts,
      int[] passiveCategoryCounts,
      int[] activeSingle,
      int[] passiveSingle,
      int[] activeLevels,
      int[] passiveLevels,
      int[] data,
      double fitTolerance,
      double cosineTolerance,
      double[][] objectScoreTable,
      double[][] categoryQuantificationTable);
}
