package Quorvane.homals.plot;

import Quorvane.homals.NumericCorrelation;
import java.util.HashSet;
import java.util.List;

/**
 * What the plots of a result show. Dimensions are numbered from 0.
 *
 * @param size the width and height of the joint plot in pixels
 * @param title the joint plot's title, or {@code null} for none
 * @param planes the planes drawn as a joint plot and a discrimination plot each, in order; the
 *     first keeps the plain file names
 * @param labelTop how many categories the joint plot labels: those that contribute most to its
 *     plane; the others are drawn unlabelled
 * @param labelLength labels longer than this many characters are shortened in the plots; the
 *     report lists their full text
 * @param colours the colours of the object points, or {@code null} for grey
 * @param ellipses the column whose categories get a concentration ellipse each in the joint
 *     plot, or {@code null} for none
 * @param arrows numeric variables drawn as arrows in the joint plot, at their correlations with
 *     the plane's dimensions
 */
public record PlotSettings(int size, String title, List<Plane> planes, int labelTop,
    int labelLength, ObjectColours colours, ObjectColours ellipses,
    List<NumericCorrelation> arrows) {
  /**
   * Categories labelled by default. The labels of a plane of 40 categories already touch; past
   * about 50 they pile up and none can be read, so larger solutions show the 40 that matter most.
   */
  public static final int DEFAULT_LABEL_TOP = 40;
  /** Long enough for most "variable: category" texts, short enough not to run off the plot. */
  public static final int DEFAULT_LABEL_LENGTH = 32;
  /** The shortest label length: a shortened label keeps a few letters of each part. */
  public static final int MIN_LABEL_LENGTH = 8;

  /**
   * Two dimensions, on the horizontal and the vertical axis.
   *
   * @param first the dimension on the horizontal axis
   * @param second the dimension on the vertical axis
   */
  public record Plane(int first, int second) {
    public Plane {
      if (first < 0 || second < 0 || first == second) {
        throw new IllegalArgumentException(
            "the plane needs two different dimensions, not " + first + " and " + second);
      }
    }

    /** "1-3" for dimensions 0 and 2: how file names tell the planes apart. */
    public String key() {
      return (first + 1) + "-" + (second + 1);
    }
  }

  /** Without ellipses and arrows. */
  public PlotSettings(int size, String title, List<Plane> planes, int labelTop, int labelLength,
      ObjectColours colours) {
    this(size, title, planes, labelTop, labelLength, colours, null, List.of());
  }

  public PlotSettings {
    arrows = List.copyOf(arrows);
    if (size < 100) {
      throw new IllegalArgumentException("a plot of " + size + " pixels is too small");
    }
    planes = List.copyOf(planes);
    if (planes.isEmpty()) {
      throw new IllegalArgumentException("no plane to plot");
    }
    if (new HashSet<>(planes).size() < planes.size()) {
      throw new IllegalArgumentException("a plane is given twice: " + planes);
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
    return new PlotSettings(size, title, List.of(new Plane(0, 1)), DEFAULT_LABEL_TOP,
        DEFAULT_LABEL_LENGTH, null, null, List.of());
  }

  /** The dimension on the horizontal axis of the first plane. */
  public int first() {
    return planes.get(0).first();
  }

  /** The dimension on the vertical axis of the first plane. */
  public int second() {
    return planes.get(0).second();
  }

  /** The one plane of these two dimensions. */
  public PlotSettings withDimensions(int newFirst, int newSecond) {
    return withPlanes(List.of(new Plane(newFirst, newSecond)));
  }

  public PlotSettings withPlanes(List<Plane> newPlanes) {
    return new PlotSettings(
        size, title, newPlanes, labelTop, labelLength, colours, ellipses, arrows);
  }

  public PlotSettings withLabelTop(int count) {
    return new PlotSettings(size, title, planes, count, labelLength, colours, ellipses, arrows);
  }

  public PlotSettings withColours(ObjectColours newColours) {
    return new PlotSettings(
        size, title, planes, labelTop, labelLength, newColours, ellipses, arrows);
  }

  public PlotSettings withEllipses(ObjectColours column) {
    return new PlotSettings(size, title, planes, labelTop, labelLength, colours, column, arrows);
  }

  public PlotSettings withArrows(List<NumericCorrelation> numeric) {
    return new PlotSettings(size, title, planes, labelTop, labelLength, colours, ellipses, numeric);
  }
}
