package Quorvane.homals.plot;

import Quorvane.homals.HomalsResult;
import java.nio.DoubleBuffer;
import java.util.Objects;

/**
 * The objects a joint plot draws: every object of a result, or a sample of them with their
 * scores, for a result whose objects stayed where they were summed (a database table). A sample
 * that stands for more objects than it holds is always drawn as a density, and says so.
 */
public final class ObjectCloud {
  private final HomalsResult result; // null for a sample
  private final double[][] scores; // [d][i] of a sample
  private final double[] weights;
  private final long represented;

  private ObjectCloud(HomalsResult result, double[][] scores, double[] weights, long represented) {
    this.result = result;
    this.scores = scores;
    this.weights = weights;
    this.represented = represented;
  }

  /** Every object of the result. */
  public static ObjectCloud of(HomalsResult result) {
    return new ObjectCloud(Objects.requireNonNull(result, "result"), null, null, -1);
  }

  /**
   * A sample of objects that take part, all of them drawn.
   *
   * @param scores the objects' scores, [dimension][object]
   * @param weights the objects' weights
   * @param represented how many objects take part in all, of which these are a sample
   */
  public static ObjectCloud sample(double[][] scores, double[] weights, long represented) {
    for (double[] dimension : scores) {
      if (dimension.length != weights.length) {
        throw new IllegalArgumentException(
            dimension.length + " scores for " + weights.length + " weights");
      }
    }
    if (represented < weights.length) {
      throw new IllegalArgumentException(
          "a sample of " + weights.length + " objects cannot stand for " + represented);
    }
    return new ObjectCloud(null, scores, weights, represented);
  }

  /** The objects, taking part or not. */
  public int count() { return result != null ? result.objectCount() : weights.length; }

  /** Whether object i takes part. */
  public boolean takesPart(int object) { return result != null ? result.takesPart(object) : true; }

  /** The scores of every object on dimension d (a copy for a result's objects). */
  public double[] scores(int dimension) {
    return result != null ? result.dimensionScores(dimension) : scores[dimension];
  }

  /** The scores of every object on dimension d, read-only, without a copy. */
  DoubleBuffer scoreView(int dimension) {
    return result != null ? result.dimensionScoreView(dimension)
                          : DoubleBuffer.wrap(scores[dimension]).asReadOnlyBuffer();
  }

  /** The weight of object i. */
  public double weight(int object) {
    return result != null ? result.analysis().weight(object) : weights[object];
  }

  /** Whether the objects are a sample of more. */
  public boolean isSample() { return result == null && represented > weights.length; }

  /** How many objects take part in all: the sample's, or the result's. */
  public long represented() { return represented; }
}
