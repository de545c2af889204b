package Quorvane.homals.source;

import java.util.ArrayList;
import java.util.List;

/**
 * The groups of variables whose codes a source sums together, with c, in one pass, and which
 * pairs of variables each group's sums are read for. A pass over the rows that keys every row by
 * every pair of variables costs one key per pair and row; keyed by groups of several variables at
 * once it costs one per group, and each group's sums, far fewer than the rows, then give the
 * counts of every pair within it. Groups are pairs of blocks of consecutive variables whose codes
 * (k + 1 values each, 0 for a cell without one) combine into at most {@code blockBound} keys.
 *
 * <p>Every pair the tables keep is read from exactly one group: a pair across two blocks from the
 * group of both; a pair within a block, and a variable with itself, from the first group that
 * holds the block. Two passive variables make no pair, so neither do two blocks of passive
 * variables alone.
 */
final class PairGroups {
  /**
   * One group.
   *
   * @param variables the variables, by their index in the layout, in the order of their digits
   *     (the last the least significant)
   * @param pairs the pairs read from this group's sums, as positions into {@code variables}: {a,
   *     b} with a passive variable first when one is
   */
  record Group(int[] variables, List<int[]> pairs) {}

  private PairGroups() {}

  static List<Group> of(TableLayout layout, long blockBound) {
    List<Coding> codings = layout.variables();
    // Active variables and passive ones in blocks of their own, so that a block of passives
    // pairs with active blocks only.
    List<int[]> blocks = new ArrayList<>();
    List<Boolean> passiveBlock = new ArrayList<>();
    for (boolean active : new boolean[] {true, false}) {
      List<Integer> block = new ArrayList<>();
      long product = 1;
      for (int v = 0; v < codings.size(); v++) {
        if (codings.get(v).active() != active) {
          continue;
        }
        long size = codings.get(v).categoryCount() + 1L;
        if (!block.isEmpty() && product * size > blockBound) {
          blocks.add(block.stream().mapToInt(Integer::intValue).toArray());
          passiveBlock.add(!active);
          block.clear();
          product = 1;
        }
        block.add(v);
        product *= size;
      }
      if (!block.isEmpty()) {
        blocks.add(block.stream().mapToInt(Integer::intValue).toArray());
        passiveBlock.add(!active);
      }
    }
    List<Group> groups = new ArrayList<>();
    boolean[] within = new boolean[blocks.size()];
    if (blocks.size() == 1) {
      groups.add(group(layout, blocks.get(0), new int[0], true, false));
      return groups;
    }
    for (int x = 0; x < blocks.size(); x++) {
      for (int y = x + 1; y < blocks.size(); y++) {
        if (passiveBlock.get(x) && passiveBlock.get(y)) {
          continue;
        }
        groups.add(group(layout, blocks.get(x), blocks.get(y), !within[x], !within[y]));
        within[x] = true;
        within[y] = true;
      }
    }
    return groups;
  }

  /** A group of blocks x and y, reading the pairs across them and those asked within each. */
  private static Group group(
      TableLayout layout, int[] x, int[] y, boolean withinX, boolean withinY) {
    int[] variables = new int[x.length + y.length];
    System.arraycopy(x, 0, variables, 0, x.length);
    System.arraycopy(y, 0, variables, x.length, y.length);
    List<int[]> pairs = new ArrayList<>();
    for (int i = 0; i < variables.length; i++) {
      for (int j = i; j < variables.length; j++) {
        boolean iInX = i < x.length;
        boolean jInX = j < x.length;
        boolean read = iInX != jInX || (iInX ? withinX : withinY);
        if (read) {
          int[] pair = kept(layout, variables, i, j);
          if (pair != null) {
            pairs.add(pair);
          }
        }
      }
    }
    return new Group(variables, pairs);
  }

  /** The pair as the tables keep it (a passive variable first), or null when they do not. */
  private static int[] kept(TableLayout layout, int[] variables, int i, int j) {
    boolean activeI = layout.variables().get(variables[i]).active();
    boolean activeJ = layout.variables().get(variables[j]).active();
    if (activeI && activeJ) {
      return new int[] {i, j};
    }
    if (activeI) {
      return new int[] {j, i};
    }
    if (activeJ || i == j) {
      return new int[] {i, j};
    }
    return null;
  }
}
