package Quorvane.homals.cli;

import java.io.IOException;
import java.io.Reader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import org.apache.commons.csv.CSVFormat;
import org.apache.commons.csv.CSVParser;
import org.apache.commons.csv.CSVRecord;

/**
 * A CSV file read as text: a header of column names and one row of cells per object. Cells are
 * trimmed; quoted cells may contain the delimiter. Empty lines are skipped.
 */
final class CsvTable {
  private final List<String> header;
  private final List<List<String>> rows;

  private CsvTable(List<String> header, List<List<String>> rows) {
    this.header = header;
    this.rows = rows;
  }

  static CsvTable read(Path file, char delimiter) throws IOException {
    CSVFormat format = CSVFormat.DEFAULT.builder()
        .setDelimiter(delimiter)
        .setTrim(true)
        .setIgnoreEmptyLines(true)
        .build();
    List<String> header = null;
    List<List<String>> rows = new ArrayList<>();
    try (Reader reader = Files.newBufferedReader(file, StandardCharsets.UTF_8);
        CSVParser parser = format.parse(reader)) {
      for (CSVRecord record : parser) {
        List<String> cells = new ArrayList<>(record.size());
        record.forEach(cells::add);
        if (header == null) {
          if (!cells.isEmpty() && cells.get(0).startsWith("\uFEFF")) {
            cells.set(0, cells.get(0).substring(1).trim());
          }
          header = checkHeader(file, cells);
          continue;
        }
        if (cells.size() != header.size()) {
          throw new CliException(file + ", line " + parser.getCurrentLineNumber()
              + ": " + cells.size() + " cells, but the header has " + header.size());
        }
        rows.add(Collections.unmodifiableList(cells));
      }
    } catch (IllegalStateException | java.io.UncheckedIOException e) {
      throw new CliException(file + ": not a readable CSV file: " + e.getMessage());
    }
    if (header == null) {
      throw new CliException(file + " is empty; expected a header of column names");
    }
    return new CsvTable(header, Collections.unmodifiableList(rows));
  }

  private static List<String> checkHeader(Path file, List<String> cells) {
    Set<String> seen = new HashSet<>();
    for (int c = 0; c < cells.size(); c++) {
      String name = cells.get(c);
      if (name.isEmpty()) {
        throw new CliException(file + ": column " + (c + 1) + " has no name in the header");
      }
      if (!seen.add(name)) {
        throw new CliException(file + ": the header names column '" + name + "' twice");
      }
    }
    return Collections.unmodifiableList(new ArrayList<>(cells));
  }

  List<String> header() {
    return header;
  }

  int rowCount() {
    return rows.size();
  }

  /** Index of the named column, or an error listing the known names. */
  int column(String name) {
    int index = header.indexOf(name);
    if (index < 0) {
      throw new CliException("no column named '" + name + "'; the columns are " + header);
    }
    return index;
  }

  /** All cells of one column, in row order. */
  List<String> columnCells(int column) {
    List<String> cells = new ArrayList<>(rows.size());
    for (List<String> row : rows) {
      cells.add(row.get(column));
    }
    return cells;
  }
}
