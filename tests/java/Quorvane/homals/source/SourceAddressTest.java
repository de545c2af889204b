package Quorvane.homals.source;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** Addresses of tables: their parts, their defaults, and the ones refused. */
class SourceAddressTest {
  @ParameterizedTest
  @CsvSource(delimiter = '|', nullValues = "-", textBlock = """
      clickhouse://analyst@db.example:8124/survey/answers | analyst | db.example | 8124 | survey | - | answers
      clickhouse://db.example/survey/answers              | default | db.example | 8123 | survey | - | answers
      ClickHouse://u@[::1]:9/d/t                          | u       | [::1]      | 9    | d      | - | t
      postgresql://me@pg:6543/shop/sales.orders           | me      | pg         | 6543 | shop   | sales | orders
      postgresql://me@pg/shop/orders                      | me      | pg         | 5432 | shop   | - | orders
      postgresql://me@pg/shop/a%2Eb                       | me      | pg         | 5432 | shop   | - | a.b
      postgresql://me@pg/sh%2Fop/we%20ird%3Bname          | me      | pg         | 5432 | sh/op  | - | we ird;name
      clickhouse://me@ch/db/x.y                           | me      | ch         | 8123 | db     | - | x.y
      """)
  void readsTheParts(String text, String user, String host, int port, String database,
      String schema, String table) {
    SourceAddress address = SourceAddress.parse(text);

    assertEquals(user, address.user());
    assertEquals(host, address.host());
    assertEquals(port, address.port());
    assertEquals(database, address.database());
    assertEquals(schema, address.schema());
    assertEquals(table, address.table());
    assertEquals(address, SourceAddress.parse(address.toString()), address.toString());
  }

  @ParameterizedTest
  @CsvSource(delimiter = '|', textBlock = """
      clickhouse://me:s3cret@ch/db/t    | TALLOWMERE_DB_PASSWORD
      clickhouse://me@ch:99999/db/t     | port '99999'
      clickhouse://me@ch:8x/db/t        | port '8x'
      clickhouse://me@ch/db             | a database and a table
      clickhouse://me@ch/db/t/more      | a database and a table
      postgresql://me@/db/t             | no host
      postgresql://@pg/db/t             | empty user name
      postgresql://me@pg/db/%zz         | '%'
      mysql://me@host/db/t              | clickhouse:// or postgresql://
      """)
  void refusesWhatIsNotAnAddress(String text, String says) {
    SourceException e = assertThrows(SourceException.class, () -> SourceAddress.parse(text));
    assertTrue(e.getMessage().contains(says), e.getMessage());
    assertFalse(e.getMessage().contains("s3cret"), "password shown");
  }
}
