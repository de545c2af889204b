package Quorvane.homals;

import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * The scores of new objects from a {@link HomalsModel}, and what stood in their way: labels the
 * model never saw, and the model's active variables that were not given. Objects and dimensions
 * are numbered from 0. Immutable.
 */
public final class Projection {
  private final double[] scores; // dimension-major: [d * objectCount + i]
  private final int objectCount;
  private final int dimensions;
  private final int scoredCount;
  private final Map<String, Integer> unknownCounts;
  private final Map<String, List<String>> unknownLabels;
  private final List<String> absentVariables;

  /** Takes ownership of {@code scores}, dimension-major. */
  Projection(double[] scores, int objectCount, int dimensions, Map<String, Integer> unknownCounts,
      Map<String, List<String>> unknownLabels, List<String> absentVariables) {
    this.scores = scores;
    this.objectCount = objectCount;
    this.dimensions = dimensions;
    int scored = 0;
    for (int i = 0; i < objectCount; i++) {
      scored += dimensions > 0 && !Double.isNaN(scores[i]) ? 1 : 0;
    }
    this.scoredCount = scored;
    this.unknownCounts = Collections.unmodifiableMap(new LinkedHashMap<>(unknownCounts));
    Map<String, List<String>> labels = new LinkedHashMap<>();
    unknownLabels.forEach((name, list) -> labels.put(name, List.copyOf(list)));
    this.unknownLabels = Collections.unmodifiableMap(labels);
    this.absentVariables = List.copyOf(absentVariables);
  }

  public int objectCount() { return objectCount; }

  public int dimensions() { return dimensions; }

  /** The score of object i on dimension d; NaN for an object without scores. */
  public double score(int object, int dimension) {
    HomalsResult.checkIndex("object", object, objectCount);
    HomalsResult.checkIndex("dimension", dimension, dimensions);
    return scores[dimension * objectCount + object];
  }

  /** The scores of object i on every dimension (a copy). */
  public double[] scores(int object) {
    HomalsResult.checkIndex("object", object, objectCount);
    double[] row = new double[dimensions];
    for (int d = 0; d < dimensions; d++) {
      row[d] = scores[d * objectCount + object];
    }
    return row;
  }

  /** All scores, [object][dimension] (a copy). */
  public double[][] scores() {
    double[][] rows = new double[objectCount][];
    for (int i = 0; i < objectCount; i++) {
      rows[i] = scores(i);
    }
    return rows;
  }

  /** The scores of every object on dimension d (a copy). */
  public double[] dimensionScores(int dimension) {
    HomalsResult.checkIndex("dimension", dimension, dimensions);
    double[] column = new double[objectCount];
    System.arraycopy(scores, dimension * objectCount, column, 0, objectCount);
    return column;
  }

  /**
   * Whether object i has scores: at least one active variable of the model is observed on it,
   * with a label the model knows and that was not left out of the fit.
   */
  public boolean isScored(int object) {
    HomalsResult.checkIndex("object", object, objectCount);
    return !Double.isNaN(scores[object]);
  }

  /** The objects with scores. */
  public int scoredCount() { return scoredCount; }

  /** The objects without scores (NaN on every dimension). */
  public int unscoredCount() { return objectCount - scoredCount; }

  /**
   * Per active variable given, the number of cells whose label the model does not know, which
   * counted as missing; 0 for a variable whose labels it knows. Empty when codes were given.
   */
  public Map<String, Integer> unknownLabelCounts() { return unknownCounts; }

  /** The number of cells of the variable with a label the model does not know (0 if none). */
  public int unknownLabelCount(String variable) { return unknownCounts.getOrDefault(variable, 0); }

  /** The distinct labels of the variable that the model does not know, in its category order. */
  public List<String> unknownLabels(String variable) {
    return unknownLabels.getOrDefault(variable, List.of());
  }

  /** The model's active variables that were not given: missing on every object. */
  public List<String> absentVariables() { return absentVariables; }
}
