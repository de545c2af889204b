package Quorvane.homals;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import java.util.stream.IntStream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** Codes held as compactly as their largest allows, and the same codes whatever the width. */
class CategoryCodesTest {
  @ParameterizedTest(name = "largest {0}: {1}")
  @CsvSource({"0, [B", "255, [B", "256, [S", "65535, [S", "65536, [I", "2147483647, [I"})
  void theLargestCodeChoosesTheWidthAndEveryCodeReadsBack(int largest, String arrayClass) {
    int[] values = {0, largest, largest / 2, largest, 0};
    CategoryCodes codes = CategoryCodes.of(values);
    assertEquals(arrayClass, codes.array().getClass().getName());
    assertArrayEquals(values, codes.toArray());
    assertEquals(largest, codes.largest());
    IntStream.range(0, values.length).forEach(i -> assertEquals(values[i], codes.get(i)));
  }

  @Test
  void theSameCodesAreEqualInAnyWidth() {
    CategoryCodes bytes = new CategoryCodes.Builder(3, 2).set(0, 2).set(2, 1).build();
    CategoryCodes ints = new CategoryCodes.Builder(3, 70_000).set(0, 2).set(2, 1).build();
    assertEquals(bytes, ints);
    assertEquals(bytes.hashCode(), ints.hashCode());
    assertEquals(bytes, CategoryCodes.of(new int[] {2, -4, 1}));
  }

  @Test
  void aBuilderTakesCodesWithinItsBoundOnlyAndBuildsOnce() {
    CategoryCodes.Builder builder = new CategoryCodes.Builder(2, 300);
    assertThrows(IllegalArgumentException.class, () -> builder.set(0, 301));
    assertThrows(IllegalArgumentException.class, () -> builder.set(0, -1));
    // A table entry above the bound would reach the library as a code above k.
    assertThrows(IllegalArgumentException.class,
        () -> builder.translate(0, new byte[] {1, 0}, 0, 2, new int[] {0, 301}));
    builder.translate(0, new byte[] {(byte) 200, 0}, 0, 2, table(201, 300));
    CategoryCodes codes = builder.build();
    assertArrayEquals(new int[] {300, 0}, codes.toArray());
    assertThrows(IllegalStateException.class, builder::build);
    assertThrows(IllegalStateException.class, () -> builder.set(0, 1));
  }

  private static int[] table(int size, int last) {
    int[] table = new int[size];
    table[size - 1] = last;
    return table;
  }

  @Test
  void aVariableOfCompactCodesChecksThemAgainstItsCategories() {
    CategoryCodes codes = CategoryCodes.of(new int[] {1, 3, 0, 2});
    Variable v = Variable.ofCodes("v", codes, List.of("a", "b", "c"));
    assertArrayEquals(new int[] {1, 3, 0, 2}, v.codes());
    assertEquals(Variable.ofCodes("v", new int[] {1, 3, 0, 2}, List.of("a", "b", "c")), v);
    InvalidAnalysisException e = assertThrows(
        InvalidAnalysisException.class, () -> Variable.ofCodes("v", codes, List.of("a", "b")));
    assertTrue(
        e.getMessage().contains("object 2: code 3 is above its 2 categories"), e.getMessage());
  }
}
