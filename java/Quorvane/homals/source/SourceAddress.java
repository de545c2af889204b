package Quorvane.homals.source;

import java.io.ByteArrayOutputStream;
import java.nio.charset.StandardCharsets;
import java.util.Locale;
import java.util.Objects;

/**
 * Where a table lives: {@code clickhouse://[USER@]HOST[:PORT]/DATABASE/TABLE}, with the port of
 * ClickHouse's HTTP interface (8123 when left out), or {@code
 * postgresql://[USER@]HOST[:PORT]/DATABASE/[SCHEMA.]TABLE} (5432 when left out). Names are
 * percent-decoded, so that a name holding a slash, a dot or a character a URL cannot carry is
 * written as in any URL ({@code %2F}, {@code %2E}). The password never appears in an address: it
 * comes from the environment variable {@value #PASSWORD_VARIABLE} alone, and an address that
 * holds one is refused without being repeated.
 */
public final class SourceAddress {
  /** The environment variable that holds the password of the database user. */
  public static final String PASSWORD_VARIABLE = "TALLOWMERE_DB_PASSWORD";

  /** The database engines a table can be analysed in. */
  public enum Engine {
    CLICKHOUSE("clickhouse", 8123, "default"),
    POSTGRESQL("postgresql", 5432, null);

    private final String scheme;
    private final int defaultPort;
    private final String defaultUser;

    Engine(String scheme, int defaultPort, String defaultUser) {
      this.scheme = scheme;
      this.defaultPort = defaultPort;
      this.defaultUser = defaultUser;
    }

    /** The URL scheme, such as {@code clickhouse}. */
    public String scheme() { return scheme; }
  }

  private final Engine engine;
  private final String user;
  private final String host;
  private final int port;
  private final String database;
  private final String schema;
  private final String table;

  private SourceAddress(Engine engine, String user, String host, int port, String database,
      String schema, String table) {
    this.engine = engine;
    this.user = user;
    this.host = host;
    this.port = port;
    this.database = database;
    this.schema = schema;
    this.table = table;
  }

  /** Whether the text is meant as a database address rather than a file name. */
  public static boolean isAddress(String text) {
    String lower = text.toLowerCase(Locale.ROOT);
    for (Engine engine : Engine.values()) {
      if (lower.startsWith(engine.scheme + "://")) {
        return true;
      }
    }
    return false;
  }

  /**
   * Reads an address.
   *
   * @throws SourceException naming what is wrong with it (never repeating a password it holds)
   */
  public static SourceAddress parse(String text) {
    Objects.requireNonNull(text, "text");
    int colon = text.indexOf("://");
    Engine engine = null;
    for (Engine e : Engine.values()) {
      if (colon > 0 && text.substring(0, colon).equalsIgnoreCase(e.scheme)) {
        engine = e;
      }
    }
    if (engine == null) {
      throw new SourceException("a database address begins with clickhouse:// or postgresql://");
    }
    String rest = text.substring(colon + 3);
    int slash = rest.indexOf('/');
    String authority = slash < 0 ? rest : rest.substring(0, slash);
    String path = slash < 0 ? "" : rest.substring(slash + 1);
    int at = authority.lastIndexOf('@');
    String user = engine.defaultUser;
    if (at >= 0) {
      String userInfo = authority.substring(0, at);
      if (userInfo.contains(":")) {
        throw new SourceException("the database address holds a password after the user name; "
            + "leave it out and set " + PASSWORD_VARIABLE + " instead");
      }
      user = decode(userInfo, "user name");
      if (user.isEmpty()) {
        throw new SourceException("the database address has an empty user name before '@'");
      }
      authority = authority.substring(at + 1);
    }
    if (user == null) {
      user = System.getProperty("user.name");
    }
    String host = authority;
    int port = engine.defaultPort;
    int portColon = authority.lastIndexOf(':');
    if (portColon >= 0 && portColon > authority.lastIndexOf(']')) {
      host = authority.substring(0, portColon);
      String digits = authority.substring(portColon + 1);
      try {
        port = Integer.parseInt(digits);
      } catch (NumberFormatException e) {
        port = -1;
      }
      if (port < 1 || port > 65535 || !digits.matches("[0-9]+")) {
        throw new SourceException(
            "the database address has port '" + digits + "'; a port is a number 1 to 65535");
      }
    }
    if (host.isEmpty()) {
      throw new SourceException("the database address " + shape(engine) + " names no host");
    }
    String[] parts = path.split("/", -1);
    if (parts.length != 2 || parts[0].isEmpty() || parts[1].isEmpty()) {
      throw new SourceException("the database address needs a database and a table after the "
          + "host: " + shape(engine));
    }
    String database = decode(parts[0], "database name");
    String schema = null;
    String table = parts[1];
    int dot = table.indexOf('.');
    if (engine == Engine.POSTGRESQL && dot >= 0) {
      schema = decode(table.substring(0, dot), "schema name");
      table = table.substring(dot + 1);
      if (schema.isEmpty()) {
        throw new SourceException("the database address has an empty schema name before '.'");
      }
    }
    table = decode(table, "table name");
    if (table.isEmpty()) {
      throw new SourceException("the database address has an empty table name");
    }
    return new SourceAddress(engine, user, host, port, database, schema, table);
  }

  private static String shape(Engine engine) {
    return engine.scheme + "://[USER@]HOST[:PORT]/DATABASE/"
        + (engine == Engine.POSTGRESQL ? "[SCHEMA.]TABLE" : "TABLE");
  }

  /** Percent-decoding as in a URL path; '+' is itself. */
  private static String decode(String text, String what) {
    ByteArrayOutputStream bytes = new ByteArrayOutputStream();
    for (int i = 0; i < text.length(); i++) {
      char ch = text.charAt(i);
      if (ch == '%') {
        int value =
            i + 2 < text.length() ? hex(text.charAt(i + 1)) * 16 + hex(text.charAt(i + 2)) : -1;
        if (value < 0) {
          throw new SourceException("the database address's " + what
              + " has a '%' that is not followed by two hexadecimal digits");
        }
        bytes.write(value);
        i += 2;
      } else {
        byte[] encoded = String.valueOf(ch).getBytes(StandardCharsets.UTF_8);
        if (Character.isHighSurrogate(ch) && i + 1 < text.length()) {
          encoded = text.substring(i, i + 2).getBytes(StandardCharsets.UTF_8);
          i++;
        }
        bytes.write(encoded, 0, encoded.length);
      }
    }
    return bytes.toString(StandardCharsets.UTF_8);
  }

  private static int hex(char ch) {
    int digit = Character.digit(ch, 16);
    return digit < 0 ? -1000 : digit;
  }

  /** Percent-encodes what {@link #decode} would not read back as itself. */
  private static String encode(String name, boolean dot) {
    StringBuilder text = new StringBuilder();
    for (byte b : name.getBytes(StandardCharsets.UTF_8)) {
      int ch = b & 0xFF;
      boolean plain = ch > ' ' && ch < 0x7F && ch != '%' && ch != '/' && ch != '@' && ch != ':'
          && ch != '?' && ch != '#' && (ch != '.' || !dot);
      if (plain) {
        text.append((char) ch);
      } else {
        text.append('%').append(String.format(Locale.ROOT, "%02X", ch));
      }
    }
    return text.toString();
  }

  public Engine engine() { return engine; }

  /**
   * The user name: the address's, or the engine's default ("default" for ClickHouse, the name
   * of the user running the program for PostgreSQL, as PostgreSQL's own clients take).
   */
  public String user() { return user; }

  public String host() { return host; }

  public int port() { return port; }

  public String database() { return database; }

  /** The PostgreSQL schema, or null for the search path's. */
  public String schema() { return schema; }

  public String table() { return table; }

  /** The password from {@value #PASSWORD_VARIABLE}, or null when it is not set. */
  public static String password() { return System.getenv(PASSWORD_VARIABLE); }

  /** The server, as {@code HOST:PORT}, for messages. */
  public String server() { return host + ":" + port; }

  /** The table as messages name it: {@code DATABASE.TABLE} or {@code DATABASE.SCHEMA.TABLE}. */
  public String tableName() {
    return database + "." + (schema == null ? "" : schema + ".") + table;
  }

  /** The address again, never with a password; names percent-encoded where they need it. */
  @Override
  public String toString() {
    return engine.scheme + "://" + encode(user, false) + "@" + host + ":" + port + "/"
        + encode(database, false) + "/" + (schema == null ? "" : encode(schema, true) + ".")
        + encode(table, engine == Engine.POSTGRESQL);
  }

  @Override
  public boolean equals(Object o) {
    return o instanceof SourceAddress a && engine == a.engine && user.equals(a.user)
        && host.equals(a.host) && port == a.port && database.equals(a.database)
        && Objects.equals(schema, a.schema) && table.equals(a.table);
  }

  @Override
  public int hashCode() {
    return Objects.hash(engine, user, host, port, database, schema, table);
  }
}
