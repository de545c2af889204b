package Quorvane.homals.source;

import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.Objects;

/**
 * How the values of one source column become the category codes of one variable of the fit: each
 * label (a value's text, as {@link DataSource#labels} gives it) that is a category of the fit has
 * its code 1 .. k; every other value, NULL included unless {@code nullCode} is set, is a cell the
 * fit does not see (missing, or an excluded category).
 *
 * @param column the source column
 * @param active whether the variable is active
 * @param categoryCount k: the variable's categories in the fit
 * @param codes by label, the code 1 .. k; several labels may share a code
 * @param nullCode the code of NULL, 0 when NULL is missing
 */
public record Coding(
    String column, boolean active, int categoryCount, Map<String, Integer> codes, int nullCode) {
  public Coding {
    Objects.requireNonNull(column, "column");
    if (categoryCount < 1) {
      throw new IllegalArgumentException("column '" + column + "' has no categories");
    }
    codes = Collections.unmodifiableMap(new LinkedHashMap<>(codes));
    for (Map.Entry<String, Integer> entry : codes.entrySet()) {
      int code = Objects.requireNonNull(entry.getValue(), "code");
      if (entry.getKey() == null || code < 1 || code > categoryCount) {
        throw new IllegalArgumentException("column '" + column + "': label '" + entry.getKey()
            + "' has code " + code + " outside 1 .. " + categoryCount);
      }
    }
    if (nullCode < 0 || nullCode > categoryCount) {
      throw new IllegalArgumentException("column '" + column + "': NULL has code " + nullCode);
    }
  }

  /** The code of a value (null for NULL); 0 when the fit does not see it. */
  public int code(String label) {
    if (label == null) {
      return nullCode;
    }
    Integer code = codes.get(label);
    return code == null ? 0 : code;
  }
}
