package Quorvane.homals;

import java.io.BufferedReader;
import java.io.BufferedWriter;
import java.io.IOException;
import java.io.Reader;
import java.io.Writer;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.Objects;

/**
 * A fitted solution kept for scoring new objects: the eigenvalues, and for every variable its
 * categories with their quantifications and centroids, with the settings of the fit and how the
 * data marked missing cells. It is saved as a self-describing JSON file (docs/model.md) and loaded
 * back bit for bit.
 *
 * <pre>{@code
 * HomalsModel model = HomalsModel.of(result);
 * model.save(Path.of("model.json"));
 * Projection scores = HomalsModel.load(Path.of("model.json")).project(newVariables);
 * double x = scores.score(0, 1); // NaN when the object has no usable active value
 * }</pre>
 *
 * <p><b>The transition formula.</b> A new object i is scored from the quantifications
 * q<sub>jcd</sub> of the model's active variables (the centroids for multiple variables, the
 * rank-one values for single ones, as {@link VariableResult#quantification(int, int)} gives
 * them) and the eigenvalues &lambda;<sub>d</sub>: with c<sub>i</sub> the active variables
 * observed on it,
 *
 * <p style="margin-left: 2em">x<sub>id</sub> = ((1 / c<sub>i</sub>) &Sigma;<sub>j active,
 * observed on i</sub> q<sub>j, c(i,j), d</sub> - &mu;<sub>d</sub>) / &lambda;<sub>d</sub>,
 *
 * <p>with &mu;<sub>d</sub> = &Sigma;<sub>jc</sub> D<sub>jc</sub> q<sub>jcd</sub> /
 * &Sigma;<sub>jc</sub> D<sub>jc</sub> over the active categories, D their frequencies in the fit:
 * the mean of the averaged quantifications over the fitted objects.
 *
 * <p>It is the analysis's own step from the quantifications to the object scores: each iteration
 * centres the objects' averaged quantifications and scales them, and the solution is rotated to
 * principal axes, which makes &Sigma;<sub>j</sub> Q<sub>j</sub>' D<sub>j</sub> Y<sub>j</sub> / t =
 * &Lambda; diagonal; at its fixed point the centred averages are X &Lambda;. So an object that
 * took part in the fit gets its own score back, to the accuracy to which the run converged.
 * &mu; is 0 when every active variable is multiple, and when no active value is missing; with
 * single variables and missing values it is not, since a single variable's quantifications are
 * centred over the objects it is observed on. Passive variables do not enter; a label the model
 * does not know, and a category left out of the fit, count as missing; an object with no usable
 * active value gets NaN.
 *
 * <p>Immutable; projections on different threads run side by side.
 */
public final class HomalsModel {
  /** The value of the file's {@code format} field. */
  public static final String FORMAT = "tallowmere-homals-model";
  /** The version of the format this library writes, and the newest it reads. */
  public static final int FORMAT_VERSION = 1;

  private final String libraryVersion;
  private final double[] eigenvalues;
  private final ModelFit fit;
  private final MissingCells missing;
  private final List<ModelVariable> variables;
  private final ModelProjection projection;

  HomalsModel(String libraryVersion, double[] eigenvalues, ModelFit fit, MissingCells missing,
      List<ModelVariable> variables) {
    this.libraryVersion = libraryVersion;
    this.eigenvalues = eigenvalues.clone();
    this.fit = fit;
    this.missing = missing;
    this.variables = List.copyOf(variables);
    this.projection = new ModelProjection(this.variables, this.eigenvalues, missing);
  }

  /** The model of a result, whose data marked missing cells by empty values only. */
  public static HomalsModel of(HomalsResult result) { return of(result, MissingCells.NONE); }

  /**
   * The model of a result, with how its data marked missing cells.
   *
   * @throws IllegalArgumentException when an eigenvalue is not above 0: the data left that
   *     dimension no variation, and the formula cannot score it
   */
  public static HomalsModel of(HomalsResult result, MissingCells missing) {
    Objects.requireNonNull(missing, "missing");
    double[] eigenvalues = result.eigenvalues();
    for (int d = 0; d < eigenvalues.length; d++) {
      if (!(eigenvalues[d] > 0) || !Double.isFinite(eigenvalues[d])) {
        throw new IllegalArgumentException("dimension " + (d + 1) + " has an eigenvalue of "
            + eigenvalues[d] + "; a model needs every eigenvalue above 0");
      }
    }
    List<ModelVariable> variables = new ArrayList<>();
    for (VariableResult v : result.variables()) {
      Variable described = result.analysis().variable(v.name());
      int k = v.categories().size();
      double[] frequencies = new double[k];
      for (int c = 0; c < k; c++) {
        frequencies[c] = v.frequency(c);
      }
      double[] values = described.valuesView();
      variables.add(new ModelVariable(v.name(), v.role(), v.quantification(), v.categories(),
          values == null ? null : values.clone(), described.excludedCategories(), frequencies,
          v.quantifications(), v.centroids()));
    }
    return new HomalsModel(
        LibraryVersion.VERSION, eigenvalues, ModelFit.of(result), missing, variables);
  }

  /** Writes the model as JSON into a file, in UTF-8, replacing the file if it is there. */
  public void save(Path file) throws IOException {
    try (Writer out = Files.newBufferedWriter(file, StandardCharsets.UTF_8)) {
      write(out);
    }
  }

  /** Writes the model as JSON; flushes the writer but does not close it. */
  public void write(Writer out) throws IOException { ModelJson.write(this, out); }

  /**
   * Reads a model file (UTF-8).
   *
   * @throws InvalidModelException naming the file and what is wrong with it
   * @throws IOException when the file cannot be read
   */
  public static HomalsModel load(Path file) throws IOException {
    try (BufferedReader in = Files.newBufferedReader(file, StandardCharsets.UTF_8)) {
      return ModelJson.read(in);
    } catch (InvalidModelException e) {
      throw new InvalidModelException(file + ": " + e.getMessage());
    }
  }

  /**
   * Reads a model from JSON text; reads to the end, does not close the reader.
   *
   * @throws InvalidModelException saying what is wrong with the text
   */
  public static HomalsModel read(Reader in) throws IOException { return ModelJson.read(in); }

  /** {@link #project(List, int)} on every processor (at most 1024). */
  public Projection project(List<Variable> objects) { return project(objects, defaultThreads()); }

  /**
   * Scores new objects given as variables, matched to the model's variables by name; their
   * labels are matched to the model's categories by label, whatever order and codes they have.
   * A missing value is missing, or the model's missing category where the variable has one
   * ({@link MissingCells#category()}); a label the model does not know counts as missing and is
   * counted ({@link Projection#unknownLabelCounts()}); so does a category left out of the fit.
   * A model's active variable that is not given is missing on every object ({@link
   * Projection#absentVariables()}); variables the model does not have, and passive ones, are
   * not read. The results do not depend on {@code threads}.
   *
   * @throws IllegalArgumentException when no active variable of the model is given, a name is
   *     given twice, or the variables' object counts differ
   */
  public Projection project(List<Variable> objects, int threads) {
    return projection.labels(List.copyOf(objects), threads);
  }

  /** {@link #projectCodes(int[][], int)} on every processor (at most 1024). */
  public Projection projectCodes(int[][] codes) { return projectCodes(codes, defaultThreads()); }

  /**
   * Scores new objects given by codes in the model's numbering, without labels to match: one
   * array per model variable in the model's order ({@link #variables()}), code c the model's
   * category c - 1, 0 or below missing (the model's missing category, if any, has a code of its
   * own). The arrays of passive variables are not read and may be null; a null array of an active
   * variable is missing on every object. The library reads each array once.
   *
   * @throws IllegalArgumentException when no active variable has an array, the arrays' lengths
   *     differ, or a code is above its variable's categories
   */
  public Projection projectCodes(int[][] codes, int threads) {
    return projection.codes(Objects.requireNonNull(codes, "codes"), threads);
  }

  private static int defaultThreads() {
    return Math.min(1024, Runtime.getRuntime().availableProcessors());
  }

  /** The version of the library that made the model, as the file says. */
  public String libraryVersion() { return libraryVersion; }

  public int dimensions() { return eigenvalues.length; }

  /** The eigenvalues, one per dimension (a copy). */
  public double[] eigenvalues() { return eigenvalues.clone(); }

  double[] eigenvaluesView() { return eigenvalues; }

  /**
   * &mu;<sub>d</sub>, one per dimension, the centre of the transition formula (a copy): computed
   * from the active categories' frequencies and quantifications.
   */
  public double[] centre() { return projection.centreView().clone(); }

  double[] centreView() { return projection.centreView(); }

  /** The settings of the fit and how its run ended. */
  public ModelFit fit() { return fit; }

  /** How the fit's data marked missing cells. */
  public MissingCells missing() { return missing; }

  /** The variables in the fit's order, active and passive (unmodifiable). */
  public List<ModelVariable> variables() { return variables; }

  /** The named variable. */
  public ModelVariable variable(String name) {
    for (ModelVariable v : variables) {
      if (v.name().equals(name)) {
        return v;
      }
    }
    throw new IllegalArgumentException("the model has no variable named '" + name + "'");
  }

  /** The active variables, in order. */
  public List<ModelVariable> activeVariables() {
    return variables.stream().filter(ModelVariable::isActive).toList();
  }

  @Override
  public String toString() {
    StringBuilder text = new StringBuilder("HomalsModel[")
                             .append(variables.size())
                             .append(" variables (")
                             .append(activeVariables().size())
                             .append(" active), eigenvalues");
    for (double e : eigenvalues) {
      text.append(String.format(Locale.ROOT, " %.4f", e));
    }
    return text.append("; tallowmere ").append(libraryVersion).append(']').toString();
  }
}
