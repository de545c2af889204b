package Quorvane.homals.cli;

import Quorvane.homals.HomalsModel;
import Quorvane.homals.MissingCells;
import Quorvane.homals.ModelVariable;
import Quorvane.homals.Variable;
import java.io.IOException;
import java.nio.charset.Charset;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;

/**
 * The rows of a CSV file to score with a model: the columns of the model's active variables,
 * read as the analysis read its own (the model's missing texts, codes or labels), each turned
 * into a variable of the labels it holds; the model matches them to its categories.
 *
 * @param absent the model's active variables that are not columns of the file
 * @param ids the cells of the --id column, or null
 */
record NewRows(int rowCount, List<Variable> variables, List<String> absent, List<String> ids) {
  static NewRows read(Path data, Character delimiter, Charset charset, HomalsModel model,
      String idColumn) throws IOException {
    MissingCells missing = model.missing();
    Set<String> missingTexts = new HashSet<>(missing.texts());
    try (CsvColumns csv = CsvColumns.open(data, delimiter, charset)) {
      List<String> absent = new ArrayList<>();
      List<String> active = model.activeVariables().stream().map(ModelVariable::name).toList();
      for (String name : active) {
        if (csv.header().indexOf(name) < 0) {
          absent.add(name);
        }
      }
      if (absent.size() == active.size()) {
        throw new CliException("none of the model's active variables (" + InputReader.quoted(active)
            + ") is a column of " + data + "; its columns are " + csv.header());
      }
      Map<String, CsvColumns.Column> byName = new LinkedHashMap<>();
      TextColumn[] ids = new TextColumn[1];
      // The collectors are made afresh if the rows must be read a second way.
      int rows = csv.read(() -> {
        Map<Integer, CsvColumns.Column> byIndex = new HashMap<>();
        byName.clear();
        for (String name : active) {
          int index = csv.header().indexOf(name);
          if (index >= 0) {
            CsvColumns.Column column = missing.codes() ? new CodeColumn(name, missingTexts)
                                                       : new LabelColumn(missingTexts);
            byIndex.put(index, column);
            byName.put(name, column);
          }
        }
        ids[0] = idColumn == null ? null : new TextColumn();
        if (ids[0] != null) {
          byIndex.merge(csv.column(idColumn), ids[0], CsvColumns::both);
        }
        return byIndex;
      });
      List<Variable> variables = new ArrayList<>();
      byName.forEach((name, column) -> variables.add(variable(name, column, rows)));
      return new NewRows(rows, variables, absent, ids[0] == null ? null : ids[0].cells());
    }
  }

  /** A column as a variable of the labels it holds, numbered as they first appear. */
  private static Variable variable(String name, CsvColumns.Column column, int rows) {
    if (column instanceof CodeColumn numbers) {
      // Categories "1" .. the largest code: the labels the analysis gave codes.
      List<String> categories = new ArrayList<>();
      for (int c = 1; c <= numbers.largest(); c++) {
        categories.add(Integer.toString(c));
      }
      return Variable.ofCodes(name, numbers.codes(0), categories);
    }
    LabelColumn labels = (LabelColumn) column;
    int[] same = new int[labels.labels().size() + 1];
    for (int c = 0; c < same.length; c++) {
      same[c] = c;
    }
    return Variable.ofCodes(name, labels.codes(same, labels.labels().size()), labels.labels());
  }
}
