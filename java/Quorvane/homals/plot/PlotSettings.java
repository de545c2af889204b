package Quorvane.homals.plot;

/**
 * What the plots of a result show. Dimensions are numbered from 0.
 *
 * @param size the width and height of the joint plot in pixels
 * @param title the joint plot's title, or {@code null} for none
 * @param first the dimension on the horizontal axis of the joint and discrimination plots
 * @param second the dimension on their vertical axis
 * @param labelTop how many categories the joint plot labels: those that contribute most to its
 *     plane; the others are drawn unlabelled
 * @param labelLength labels longer than this many characters are shortened in the plots; the
 *     report lists their full text
 * @param colours the colours of the object points, or {@code null} for grey
 */
public record PlotSettings(int size, String title, int first, int second, int labelTop,
    int labelLength, ObjectColours colours) {
  /**
   * Categories labelled by default. The labels of a plane of 40 categories already touch; past
   * about 50 they pile up and none can be read, so larger solutions show the 40 that matter most.
   */
  public static final int DEFAULT_LABEL_TOP = 40;
  /** Long enough for most "variable: category" texts, short enough not to run off the plot. */
  public static final int DEFAULT_LABEL_LENGTH = 32;
  /** The shortest label length: a shortened label keeps a few letters of each part. */
  public static final int MIN_LABEL_LENGTH = 8;

  public PlotSettings {
    if (size < 100) {
      throw new IllegalArgumentException("a plot of " + size + " pixels is too small");
    }
    if (first < 0 || second < 0 || first == second) {
      throw new IllegalArgumentException(
          "the plane needs two different dimensions, not " + first + " and " + second);
    }
    if (labelTop < 0) {
      throw new IllegalArgumentException("cannot label " + labelTop + " categories");
    }
    if (labelLength < MIN_LABEL_LENGTH) {
      throw new IllegalArgumentException(
          "labels need at least " + MIN_LABEL_LENGTH + " characters, not " + labelLength);
    }
  }

  /** Dimensions 1 and 2, grey objects, the default labels. */
  public static PlotSettings of(int size, String title) {
    return new PlotSettings(size, title, 0, 1, DEFAULT_LABEL_TOP, DEFAULT_LABEL_LENGTH, null);
  }

  public PlotSettings withDimensions(int newFirst, int newSecond) {
    return new PlotSettings(size, title, newFirst, newSecond, labelTop, labelLength, colours);
  }

  public PlotSettings withLabelTop(int count) {
    return new PlotSettings(size, title, first, second, count, labelLength, colours);
  }

  public PlotSettings withColours(ObjectColours newColours) {
    return new PlotSettings(size, title, first, second, labelTop, labelLength, newColours);
  }
}
