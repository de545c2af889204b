package Quorvane.homals.cli;

import Quorvane.homals.HomalsModel;
import Quorvane.homals.HomalsResult;
import Quorvane.homals.MissingCells;
import java.io.OutputStreamWriter;
import java.io.Writer;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.List;

/** model.json: the fitted solution, for {@code tallowmere project} to score new rows with. */
final class ModelFile {
  static final String NAME = "model.json";

  private ModelFile() {}

  /** How the options read missing cells, which the project command reads new rows by. */
  static MissingCells missing(AnalysisOptions options) {
    return new MissingCells(options.missing, options.codes,
        options.missingAsCategory ? InputNotes.MISSING_CATEGORY : null);
  }

  /**
   * Writes the model into the folder; a result that makes no model (a dimension without
   * variation) gets a warning instead, since the other outputs stand without it.
   *
   * @return the file written, at the place it will have, or nothing
   */
  static List<Path> write(
      HomalsResult result, OutputFolder folder, AnalysisOptions options, Progress progress) {
    HomalsModel model;
    try {
      model = HomalsModel.of(result, missing(options));
    } catch (IllegalArgumentException e) {
      progress.warn("no " + NAME + ": " + e.getMessage());
      return List.of();
    }
    return List.of(folder.write(NAME, out -> {
      Writer writer = new OutputStreamWriter(out, StandardCharsets.UTF_8);
      model.write(writer);
    }));
  }
}
