package Quorvane.homals.plot;

import org.jfree.chart.annotations.AbstractXYAnnotation;

/**
 * An annotation that draws a plot's own data (labels, a density, arrows). JFreeChart's
 * annotations are equal when their tool tips and links are, and these have none: two of them
 * would be taken for one, so each is equal only to itself.
 */
abstract class DrawnAnnotation extends AbstractXYAnnotation {
  private static final long serialVersionUID = 1L;

  @Override
  public final boolean equals(Object other) {
    return this == other;
  }

  @Override
  public final int hashCode() {
    return System.identityHashCode(this);
  }
}
