package Quorvane.homals.source;

import java.util.ArrayList;
import java.util.List;

/**
 * ClickHouse's TabSeparated format: one row a line, fields split by tabs, and in a field a
 * backslash escapes the tab, the line feed, the backslash and a few more; {@code \N} alone is
 * NULL.
 */
final class Tsv {
  private Tsv() {}

  /** The rows of a response, each field unescaped, NULL as null. */
  static List<String[]> rows(String text) {
    List<String[]> rows = new ArrayList<>();
    List<String> fields = new ArrayList<>();
    StringBuilder field = new StringBuilder();
    boolean nullField = false;
    int length = text.length();
    for (int i = 0; i < length; i++) {
      char ch = text.charAt(i);
      if (ch == '\t' || ch == '\n') {
        fields.add(nullField ? null : field.toString());
        field.setLength(0);
        nullField = false;
        if (ch == '\n') {
          rows.add(fields.toArray(new String[0]));
          fields.clear();
        }
      } else if (ch == '\\' && i + 1 < length) {
        char next = text.charAt(++i);
        switch (next) {
          case 'N' -> nullField = field.length() == 0;
          case 't' -> field.append('\t');
          case 'n' -> field.append('\n');
          case 'r' -> field.append('\r');
          case 'b' -> field.append('\b');
          case 'f' -> field.append('\f');
          case '0' -> field.append('\0');
          case 'a' -> field.append('\007');
          case 'v' -> field.append('\013');
          default -> field.append(next);
        }
      } else {
        field.append(ch);
      }
    }
    if (field.length() > 0 || !fields.isEmpty() || nullField) {
      fields.add(nullField ? null : field.toString());
            rows.add(fields.toArray(new String[0]));
        }
        return rows;
      }
    }
