package Quorvane.homals.source;

import Quorvane.homals.CategoryTables;
import com.univocity.parsers.common.TextParsingException;
import com.univocity.parsers.csv.CsvParser;
import com.univocity.parsers.csv.CsvParserSettings;
import java.io.IOException;
import java.io.Reader;
import java.math.BigDecimal;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.HashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * A CSV file as a source: read whole into memory (a header of column names, then one row a line,
 * cells trimmed, an empty cell a NULL) and summed there, row by row, with the rules the databases
 * follow in SQL. Every column is text. For files too large for memory, the command line's own
 * reader keeps only codes.
 */
public final class CsvSource implements DataSource {
  private final String name;
  private final List<String> header;
  private final List<String[]> rows;

  private CsvSource(String name, List<String> header, List<String[]> rows) {
    this.name = name;
    this.header = header;
    this.rows = rows;
  }

  /** Reads a UTF-8 CSV file whose delimiter is a comma, a semicolon or a tab. */
  public static CsvSource read(Path file) {
    CsvParserSettings settings = new CsvParserSettings();
    settings.setDelimiterDetectionEnabled(true, ',', ';', '\t');
    settings.setLineSeparatorDetectionEnabled(true);
    settings.setCommentProcessingEnabled(false);
    settings.setMaxCharsPerColumn(-1);
    settings.setIgnoreLeadingWhitespacesInQuotes(true);
    settings.setIgnoreTrailingWhitespacesInQuotes(true);
    settings.setSkipEmptyLines(true);
    try (Reader reader = Files.newBufferedReader(file, StandardCharsets.UTF_8)) {
      List<String[]> all = new CsvParser(settings).parseAll(reader);
      if (all.isEmpty()) {
        throw new SourceException(file + " is empty; expected a header of column names");
      }
      List<String> header = Arrays.asList(all.get(0));
      List<String[]> rows = new ArrayList<>(all.subList(1, all.size()));
      for (String[] row : rows) {
        if (row.length != header.size()) {
          throw new SourceException(file + ": a row of " + row.length + " cells, but the header "
              + "has " + header.size());
        }
      }
      return of(String.valueOf(file.getFileName()), header, rows);
    } catch (IOException e) {
      throw new SourceException("cannot read " + file + ": " + e.getMessage(), e);
    } catch (TextParsingException e) {
      throw new SourceException(file + ": not a readable CSV file", e);
    }
  }

  /**
   * Rows in memory: {@code rows.get(i)[j]} is the cell of row i in column {@code header.get(j)},
   * null for an empty one.
   */
  public static CsvSource of(String name, List<String> header, List<String[]> rows) {
    List<String[]> copies = new ArrayList<>();
    for (String[] row : rows) {
      String[] cells = new String[row.length];
      for (int j = 0; j < row.length; j++) {
        cells[j] = row[j] == null || row[j].isEmpty() ? null : row[j];
      }
      copies.add(cells);
    }
    return new CsvSource(name, List.copyOf(header), copies);
  }

  @Override
  public String description() {
    return "CSV file " + name;
  }

  @Override
  public List<SourceColumn> columns() {
    return header.stream().map(n -> new SourceColumn(n, "text", SourceColumn.Kind.TEXT)).toList();
  }

  private int index(String column) {
    column(column);
    return header.indexOf(column);
  }

  @Override
  public long rows() {
    return rows.size();
  }

  @Override
  public List<LabelCount> labels(String column, String weightColumn) {
    int j = index(column);
    int w = weightColumn == null ? -1 : index(weightColumn);
    Map<String, long[]> counts = new LinkedHashMap<>();
    long[] nulls = new long[2];
    for (String[] row : rows) {
      long[] count = row[j] == null ? nulls : counts.computeIfAbsent(row[j], l -> new long[2]);
      count[0]++;
      count[1] += w < 0 || weight(row[w], weightColumn) > 0 ? 1 : 0;
    }
    List<LabelCount> labels = new ArrayList<>();
    counts.forEach((label, count) -> labels.add(new LabelCount(label, count[0], count[1])));
    if (nulls[0] > 0) {
      labels.add(new LabelCount(null, nulls[0], nulls[1]));
    }
    return labels;
  }

  /** A weight as the command line reads it; NaN for none. */
  private static double weight(String text, String column) {
    if (text == null) {
      return Double.NaN;
    }
    try {
      return new BigDecimal(text.trim()).doubleValue();
    } catch (NumberFormatException e) {
      throw new SourceException("weight column '" + column + "': '" + text + "' is not a number");
    }
  }

  @Override
  public WeightFacts weightFacts(String weightColumn) {
    int w = index(weightColumn);
    double total = 0;
    double largest = 0;
    boolean whole = true;
    long nulls = 0;
    long negative = 0;
    for (String[] row : rows) {
      if (row[w] == null) {
        nulls++;
        continue;
      }
      double value = weight(row[w], weightColumn);
      negative += value < 0 ? 1 : 0;
      whole = whole && value == Math.floor(value) && value < 0x1p53;
      total += value;
      largest = Math.max(largest, value);
    }
    return new WeightFacts(rows.size(), total, largest, whole, nulls, negative, 0);
  }

  /** Each row's codes by variable, c and units; null for a row that takes no part. */
  private long[] coded(String[] row, TableLayout layout, int[] columns, int weight) {
    int count = layout.variables().size();
    long[] coded = new long[count + 2];
    for (int v = 0; v < count; v++) {
      Coding coding = layout.variables().get(v);
      coded[v] = coding.code(row[columns[v]]);
      coded[count] += coding.active() && coded[v] > 0 ? 1 : 0;
    }
    coded[count + 1] = weight < 0
        ? 1
        : CategoryTables.units(weight(row[weight], layout.weightColumn()), layout.weightScale());
    return coded[count] > 0 && coded[count + 1] > 0 ? coded : null;
  }

  private int[] columnIndices(TableLayout layout) {
    return layout.variables().stream().mapToInt(c -> index(c.column())).toArray();
  }

  @Override
  public CategoryTables tables(TableLayout layout) {
    int[] columns = columnIndices(layout);
    int weight = layout.weightColumn() == null ? -1 : index(layout.weightColumn());
    int count = columns.length;
    CategoryTables tables = layout.emptyTables();
    for (String[] row : rows) {
      long[] coded = coded(row, layout, columns, weight);
      if (coded == null) {
        continue;
      }
      int observed = (int) coded[count];
      tables.addObjects(1);
      for (int a = 0; a < count; a++) {
        boolean activeA = layout.variables().get(a).active();
        for (int b = activeA ? a : 0; b < count; b++) {
          boolean activeB = layout.variables().get(b).active();
          if (coded[a] > 0 && coded[b] > 0 && (activeB || (!activeA && a == b))) {
            tables.add(observed, a, (int) coded[a], b, (int) coded[b], coded[count + 1]);
          }
        }
      }
    }
    return tables;
  }

  @Override
  public List<String[]> sample(TableLayout layout, List<String> columns, int limit) {
    int[] indices = columnIndices(layout);
    int weight = layout.weightColumn() == null ? -1 : index(layout.weightColumn());
    int[] wanted = columns.stream().mapToInt(this::index).toArray();
    List<String[]> taking = new ArrayList<>();
    for (String[] row : rows) {
      if (coded(row, layout, indices, weight) != null) {
        String[] texts = new String[wanted.length];
        for (int e = 0; e < wanted.length; e++) {
          texts[e] = row[wanted[e]];
        }
        taking.add(texts);
      }
    }
    Map<String[], String> keys = new HashMap<>();
    for (String[] texts : taking) {
      keys.put(texts, String.join("\u0000", Arrays.stream(texts).map(String::valueOf).toList()));
    }
    taking.sort(
        Comparator.comparingInt((String[] t) -> keys.get(t).hashCode()).thenComparing(keys::get));
    return taking.subList(0, Math.min(limit, taking.size()));
  }

  @Override
  public void close() {}
}
