package Quorvane.homals;

import java.util.ArrayList;
import java.util.Collections;
import java.util.HashSet;
import java.util.List;
import java.util.Objects;
import java.util.Set;

/**
 * A complete, validated description of one homogeneity analysis: the variables, optional object
 * weights, the number of dimensions and the iteration settings. Build one with
 * {@link #builder()} and run it with {@link #run()}.
 *
 * <pre>{@code
 * HomalsResult result = HomalsAnalysis.builder()
 *         .variable(Variable.ofLabels("hair", hair))
 *         .variable(Variable.ofLabels("eye", eye))
 *         .variable(Variable.ofLabels("sex", sex).passive())
 *         .weights(counts)
 *         .dimensions(2)
 *         .build()
 *         .run();
 * }</pre>
 *
 * <p>{@link Builder#build()} checks everything that would make the native computation
 * meaningless and throws {@link InvalidAnalysisException} with a precise message; nothing is
 * handed to the native library before that. Instances are immutable and may be run any number of
 * times; every run gives the same result, because the native start is a fixed pseudo-random
 * sequence.
 *
 * <p>The native library keeps process-wide state during a run, so runs are serialised: a call
 * of {@link #run()} waits while another thread's run is in progress.
 */
public final class HomalsAnalysis {
  /** Default number of dimensions. */
  public static final int DEFAULT_DIMENSIONS = 2;
  /** Default upper bound on outer iterations. */
  public static final int DEFAULT_MAX_ITERATIONS = 1000;
  /** Default rounds of the rank-one step per outer iteration (used only with single variables). */
  public static final int DEFAULT_INNER_ITERATIONS = 5;
  /** Default tolerance on the change of the fit between iterations. */
  public static final double DEFAULT_FIT_TOLERANCE = 1e-10;
  /** Default tolerance on 1 - (smallest cosine between successive object scores). */
  public static final double DEFAULT_COSINE_TOLERANCE = 1e-10;

  private static final Object NATIVE_LOCK = new Object();

  private final List<Variable> variables;
  private final int[] weights;
  private final int objectCount;
  private final int dimensions;
  private final int maxIterations;
  private final int innerIterations;
  private final double fitTolerance;
  private final double cosineTolerance;

  private HomalsAnalysis(Builder b) {
    this.variables = Collections.unmodifiableList(new ArrayList<>(b.variables));
    this.weights = b.weights == null ? null : b.weights.clone();
    this.objectCount = b.variables.isEmpty() ? 0 : b.variables.get(0).objectCount();
    this.dimensions = b.dimensions;
    this.maxIterations = b.maxIterations;
    this.innerIterations = b.innerIterations;
    this.fitTolerance = b.fitTolerance;
    this.cosineTolerance = b.cosineTolerance;
  }

  public static Builder builder() {
    return new Builder();
  }

  /** Runs the analysis through the native library. */
  public HomalsResult run() {
    return run(NativeArguments::callNative);
  }

  /** Runs the analysis with the given engine in place of the native call (for tests). */
  HomalsResult run(NativeEngine engine) {
    NativeArguments arguments = NativeArguments.of(this);
    synchronized (NATIVE_LOCK) {
      engine.run(arguments);
    }
    return ResultAssembler.assemble(this, arguments);
  }

  /** The variables in the order given, active and passive. */
  public List<Variable> variables() {
    return variables;
  }

  /** The variable of the given name. */
  public Variable variable(String name) {
    for (Variable v : variables) {
      if (v.name().equals(name)) {
        return v;
      }
    }
    throw new IllegalArgumentException("no variable named '" + name + "'");
  }

  public int objectCount() {
    return objectCount;
  }

  /** A copy of the object weights, or {@code null} when every object weighs 1. */
  public int[] weights() {
    return weights == null ? null : weights.clone();
  }

  int[] weightsView() {
    return weights;
  }

  /** The weight of object i (1 without weights). */
  public int weight(int object) {
    return weights == null ? 1 : weights[object];
  }

  public int dimensions() {
    return dimensions;
  }

  public int maxIterations() {
    return maxIterations;
  }

  public int innerIterations() {
    return innerIterations;
  }

  public double fitTolerance() {
    return fitTolerance;
  }

  public double cosineTolerance() {
    return cosineTolerance;
  }

  /** Runs the native computation on prepared arguments. */
  @FunctionalInterface
  interface NativeEngine {
    void run(NativeArguments arguments);
  }

  /** Collects the description; {@link #build()} validates it. */
  public static final class Builder {
    private final List<Variable> variables = new ArrayList<>();
    private int[] weights;
    private int dimensions = DEFAULT_DIMENSIONS;
    private int maxIterations = DEFAULT_MAX_ITERATIONS;
    private int innerIterations = DEFAULT_INNER_ITERATIONS;
    private double fitTolerance = DEFAULT_FIT_TOLERANCE;
    private double cosineTolerance = DEFAULT_COSINE_TOLERANCE;

    private Builder() {
    }

    /** Adds a variable; variables keep the order in which they are added. */
    public Builder variable(Variable variable) {
      variables.add(Objects.requireNonNull(variable, "variable"));
      return this;
    }

    /** Adds several variables in order. */
    public Builder variables(List<Variable> more) {
      more.forEach(this::variable);
      return this;
    }

    /**
         * Integer weights, one per object (for example the counts of a frequency table);
         * {@code null} means every object weighs 1. A weight of 0 leaves the object out.
         */
    public Builder weights(int[] objectWeights) {
      this.weights = objectWeights == null ? null : objectWeights.clone();
      return this;
    }

    /** Number of dimensions of the solution, at least 1. */
    public Builder dimensions(int count) {
      this.dimensions = count;
      return this;
    }

    /** Upper bound on outer iterations, at least 1. */
    public Builder maxIterations(int count) {
      this.maxIterations = count;
      return this;
    }

    /**
         * Rounds of the rank-one step per outer iteration, at least 1 when any variable is
         * single; ignored otherwise.
         */
    public Builder innerIterations(int count) {
      this.innerIterations = count;
      return this;
    }

    /** The run stops when the fit changes by less than this between iterations. */
    public Builder fitTolerance(double tolerance) {
      this.fitTolerance = tolerance;
      return this;
    }

    /**
         * The run stops when the smallest cosine between the old and new object scores of a
         * dimension is within this of 1.
         */
    public Builder cosineTolerance(double tolerance) {
      this.cosineTolerance = tolerance;
      return this;
    }

    /**
         * Validates the description.
         *
         * @throws InvalidAnalysisException naming the first problem found
         */
    public HomalsAnalysis build() {
      Validation.check(variables, weights, dimensions, maxIterations, innerIterations,
          fitTolerance, cosineTolerance);
      return new HomalsAnalysis(this);
    }
  }

  /** The checks behind {@link Builder#build()}. */
  static final class Validation {
    private Validation() {
    }

    static void check(List<Variable> variables, int[] weights, int dimensions,
        int maxIterations, int innerIterations, double fitTolerance,
        double cosineTolerance) {
      if (variables.isEmpty()) {
        throw new InvalidAnalysisException("the analysis has no variables");
      }
      Set<String> names = new HashSet<>();
      int n = variables.get(0).objectCount();
      boolean anyActive = false;
      boolean anySingle = false;
      for (Variable v : variables) {
        if (!names.add(v.name())) {
          throw new InvalidAnalysisException("two variables are named '" + v.name() + "'");
        }
        if (v.objectCount() != n) {
          throw new InvalidAnalysisException("variable '" + v.name() + "' describes "
              + v.objectCount() + " objects, but '" + variables.get(0).name()
              + "' describes " + n);
        }
        anyActive |= v.isActive();
        anySingle |= v.quantification().isSingle();
      }
      if (!anyActive) {
        throw new InvalidAnalysisException("the analysis needs at least one active variable");
      }
      if (dimensions < 1) {
        throw new InvalidAnalysisException("dimensions must be at least 1, not " + dimensions);
      }
      if (maxIterations < 1) {
        throw new InvalidAnalysisException(
            "maxIterations must be at least 1, not " + maxIterations);
      }
      if (anySingle && innerIterations < 1) {
        throw new InvalidAnalysisException("innerIterations must be at least 1 when a "
            + "variable is single, not " + innerIterations);
      }
      if (!(fitTolerance >= 0) || Double.isInfinite(fitTolerance)) {
        throw new InvalidAnalysisException(
            "fitTolerance must be finite and not negative, not " + fitTolerance);
      }
      if (!(cosineTolerance >= 0) || Double.isInfinite(cosineTolerance)) {
        throw new InvalidAnalysisException(
            "cosineTolerance must be finite and not negative, not " + cosineTolerance);
      }
      if (weights != null) {
        if (weights.length != n) {
          throw new InvalidAnalysisException("there are " + weights.length
              + " weights for " + n + " objects");
        }
        for (int i = 0; i < n; i++) {
          if (weights[i] < 0) {
            throw new InvalidAnalysisException("object " + (i + 1)
                + " has a negative weight, " + weights[i]);
          }
        }
      }
      checkSizes(variables, n, dimensions, weights != null);

      // Which objects take part: positive weight and at least one observed active value.
      boolean[] included = new boolean[n];
      int includedCount = 0;
      for (int i = 0; i < n; i++) {
        if (weights != null && weights[i] == 0) {
          continue;
        }
        for (Variable v : variables) {
          if (v.isActive() && v.code(i) > 0) {
            included[i] = true;
            includedCount++;
            break;
          }
        }
      }

      int rank = 0;
      for (Variable v : variables) {
        long[] frequency = new long[v.categoryCount()];
        for (int i = 0; i < n; i++) {
          if (included[i] && v.code(i) > 0) {
            frequency[v.code(i) - 1] += weights == null ? 1 : weights[i];
          }
        }
        int observed = 0;
        for (long f : frequency) {
          observed += f > 0 ? 1 : 0;
        }
        if (observed == 0) {
          throw new InvalidAnalysisException("variable '" + v.name()
              + "' has no observed value on an object that takes part");
        }
        if (v.quantification().isSingle() && observed < 2) {
          throw new InvalidAnalysisException("variable '" + v.name() + "' is "
              + v.quantification().describe()
              + " but has fewer than two observed categories");
        }
        if (v.quantification() == Quantification.SINGLE_ORDINAL) {
          for (int c = 0; c < frequency.length; c++) {
            if (frequency[c] == 0) {
              throw new InvalidAnalysisException("variable '" + v.name()
                  + "' is single ordinal, but its category '"
                  + v.categories().get(c) + "' has no observation; remove "
                  + "the empty category from its category order");
            }
          }
        }
        if (v.isActive()) {
          rank += v.quantification().isSingle() ? 1 : observed - 1;
        }
      }
      if (includedCount <= dimensions) {
        throw new InvalidAnalysisException(dimensions + " dimensions need more than "
            + dimensions + " objects with positive weight and an observed active "
            + "value; there are " + includedCount);
      }
      if (rank < dimensions) {
        throw new InvalidAnalysisException(dimensions + " dimensions asked, but the "
            + "active variables span at most " + rank + " (a multiple variable "
            + "adds its observed categories less one, a single variable adds one)");
      }
    }

    /** The native method computes its buffer sizes in 32-bit arithmetic. */
    private static void checkSizes(List<Variable> variables, int n, int dimensions,
        boolean weighted) {
      long limit = Integer.MAX_VALUE;
      long stride = variables.size() + (weighted ? 1L : 0L);
      long maxCategories = 1;
      for (Variable v : variables) {
        maxCategories = Math.max(maxCategories, v.categoryCount());
      }
      if ((long) n * stride > limit || (long) n * dimensions > limit
          || maxCategories * variables.size() * dimensions > limit
          || (long) n + 1 > limit) {
        throw new InvalidAnalysisException("the analysis is too large for the native "
            + "library's 32-bit buffer sizes");
      }
    }
  }
}
