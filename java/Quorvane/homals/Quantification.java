package Quorvane.homals;

import java.util.Locale;

/**
 * How a variable's categories are quantified.
 *
 * <p>A <em>multiple</em> variable gets one free quantification per category and dimension.
 * A <em>single</em> variable is restricted to rank one: its quantification on dimension d is
 * a<sub>d</sub> times one score per category, and the measurement level says how free those
 * scores are: any values (nominal), non-decreasing in category order (ordinal), or fixed at
 * equally spaced values in category order (numerical).
 */
public enum Quantification {
  /** One free quantification per category and dimension. */
  MULTIPLE_NOMINAL(false, 0),
  /** Rank one, category scores free. */
  SINGLE_NOMINAL(true, 0),
  /** Rank one, category scores non-decreasing in category order. */
  SINGLE_ORDINAL(true, 1),
  /** Rank one, category scores equally spaced in category order. */
  SINGLE_NUMERICAL(true, 2);

  private final boolean single;
  private final int nativeLevel;

  Quantification(boolean single, int nativeLevel) {
    this.single = single;
    this.nativeLevel = nativeLevel;
  }

  /** True for the rank-one quantifications. */
  public boolean isSingle() { return single; }

  /** The single flag the native method expects: 1 for single, 0 for multiple. */
  int nativeSingleFlag() { return single ? 1 : 0; }

  /** The level code the native method expects: 1 ordinal, 2 numerical, 0 nominal. */
  int nativeLevel() { return nativeLevel; }

  /** The measurement level as a lower-case word: nominal, ordinal or numerical. */
  public String level() {
    return switch (this) {
      case MULTIPLE_NOMINAL, SINGLE_NOMINAL -> "nominal";
      case SINGLE_ORDINAL -> "ordinal";
      case SINGLE_NUMERICAL -> "numerical";
    };
  }

  /** A short human-readable description such as "single ordinal". */
  public String describe() {
    return (single ? "single " : "multiple ") + level();
    }

    /**
     * The single quantification at the named level (nominal, ordinal or numerical; case is
     * ignored).
     *
     * @throws IllegalArgumentException for any other word
     */
    public static Quantification singleAt(String level) {
      return switch (level.trim().toLowerCase(Locale.ROOT)) {
      case "nominal" -> SINGLE_NOMINAL;
      case "ordinal" -> SINGLE_ORDINAL;
      case "numerical", "numeric" -> SINGLE_NUMERICAL;
      default -> throw new IllegalArgumentException(
          "unknown measurement level '" + level + "' (expected nominal, ordinal or numerical)");
    };
  }
}
