#include "cross_table.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "workers.h"

namespace tallowmere {

std::size_t CrossTables::bytes() const {
  std::size_t total = 0;
  for (const std::vector<int64_t>& table : counts) {
    total += table.size() * sizeof(int64_t);
  }
  return total;
}

void resetCrossTables(const Problem& problem, CrossTables& tables, bool withPassive) {
  tables.activeSlots = problem.activeSlotCount;
  tables.passiveSlots = withPassive ? problem.slotCount - problem.activeSlotCount : 0;
  tables.counts.assign(static_cast<std::size_t>(problem.activeCount()), {});
}

namespace {

// Makes the table of the objects with `valid` valid active codes unless it is there, within the
// budget; false when it would take the tables past it.
bool holdTable(CrossTables& tables, std::size_t valid, std::size_t& bytes,
               std::size_t budgetBytes) {
  std::vector<int64_t>& table = tables.counts[valid - 1];
  if (table.empty()) {
    bytes += tables.tableSize() * sizeof(int64_t);
    if (bytes > budgetBytes) {
      return false;
    }
    table.assign(tables.tableSize(), 0);
  }
  return true;
}

// Counts of objects that weigh 1 each, by number of valid active codes, over the upper triangle
// of the active pairs packed row by row, in 32 bits: a table of 120 slots is then 29 kB, which
// stays in the first-level cache while ten million objects add their 210 pairs each to it, where
// the 64-bit square table (115 kB) does not. Added into the 64-bit tables before 2^31 counts.
struct UnitCounts {
  std::ptrdiff_t S1 = 0;
  std::vector<std::ptrdiff_t> rowBase;  // pair (s, s2), s <= s2, at rowBase[s] + s2
  std::vector<std::vector<uint32_t>> counts;
  std::ptrdiff_t added = 0;  // objects counted since the last flush

  explicit UnitCounts(std::ptrdiff_t slots, std::size_t tableCount)
      : S1(slots), rowBase(static_cast<std::size_t>(slots)), counts(tableCount) {
    for (std::ptrdiff_t s = 0; s < S1; ++s) {
      rowBase[s] = s * S1 - s * (s - 1) / 2 - s;
    }
  }
  void flushInto(CrossTables& tables) {
    for (std::size_t c = 0; c < counts.size(); ++c) {
      std::vector<uint32_t>& packed = counts[c];
      if (packed.empty()) {
        continue;
      }
      int64_t* square = tables.counts[c].data();
      for (std::ptrdiff_t s = 0; s < S1; ++s) {
        for (std::ptrdiff_t s2 = s; s2 < S1; ++s2) {
          square[s * S1 + s2] += packed[rowBase[s] + s2];
        }
      }
      std::fill(packed.begin(), packed.end(), 0U);
    }
    added = 0;
  }
};

// Unit counts of pairs of neighbouring active variables taken as one: a group's code is its first
// variable's code times (k + 1) of its second, plus the second's (0 for a missing code), so that
// one count per pair of groups stands for the four pairs of their variables, and one count per
// group for its own pair and two diagonal cells. For M = 20 variables of 6 categories an object
// adds 55 counts instead of 210, each into a table of 49 x 49; the counts are unpacked into the
// 64-bit tables (flushInto) before 2^31 objects, exactly, so the tables are those of the
// pair-by-pair count.
struct GroupCounts {
  // Groups of widths whose tables are at most this many counts; wider variables stay alone.
  static constexpr int32_t widest = 64;
  // The counts of one number of valid codes, at most (512 kB); a group's codes fit 16 bits.
  static constexpr std::size_t mostCounts = std::size_t{1} << 17;
  static constexpr int32_t mostCodes = 1 << 16;

  std::ptrdiff_t S1 = 0;
  std::vector<int32_t> first, second;  // the groups' variables (index into the columns); -1: none
  std::vector<int32_t> radix;          // k + 1 of the second variable, 1 without one
  std::vector<int32_t> width;          // the group's codes: (k + 1 of the first) * radix
  std::vector<std::size_t> pairStart;  // groups g < h: their table at pairStart[g * G + h]
  std::vector<std::size_t> ownStart;   // group g's own counts
  std::size_t size = 0;                // counts per number of valid codes
  std::vector<std::vector<uint32_t>> counts;
  std::ptrdiff_t added = 0;

  // Groups for the active variables of `problem`, or none (size 0) when pairing saves nothing or
  // the tables would be too large.
  explicit GroupCounts(const Problem& problem) : S1(problem.activeSlotCount) {
    const int32_t M1 = problem.activeCount();
    const auto categories = [&](int32_t j) {
      return std::max(problem.variables[problem.activeVariables[j]].categoryCount, 0);
    };
    for (int32_t j = 0; j < M1; ++j) {
      const int32_t a = categories(j) + 1;
      const bool paired = j + 1 < M1 && int64_t{a} * (categories(j + 1) + 1) <= widest;
      first.push_back(j);
      second.push_back(paired ? j + 1 : -1);
      radix.push_back(paired ? categories(j + 1) + 1 : 1);
      width.push_back(a * radix.back());
      j += paired ? 1 : 0;
    }
    const auto G = static_cast<std::ptrdiff_t>(first.size());
    if (G == M1) {
      return;
    }
    pairStart.assign(static_cast<std::size_t>(G * G), 0);
    for (std::ptrdiff_t g = 0; g < G; ++g) {
      for (std::ptrdiff_t h = g + 1; h < G; ++h) {
        pairStart[g * G + h] = size;
        size += static_cast<std::size_t>(width[g]) * width[h];
      }
    }
    for (std::ptrdiff_t g = 0; g < G; ++g) {
      ownStart.push_back(size);
      size += static_cast<std::size_t>(width[g]);
    }
    if (size > mostCounts || *std::max_element(width.begin(), width.end()) > mostCodes) {
      size = 0;
      return;
    }
    counts.resize(static_cast<std::size_t>(M1) + 1);
  }
  bool used() const { return size > 0; }

  // The slots of a group's code: its variables' codes, 0 where missing, as slots or -1.
  std::array<std::ptrdiff_t, 2> slotsOf(std::size_t g, int32_t code,
                                        std::span<const std::ptrdiff_t> slotBefore) const {
    const int32_t a = code / radix[g], b = code % radix[g];
    return {a > 0 ? slotBefore[first[g]] + a : -1,
            second[g] >= 0 && b > 0 ? slotBefore[second[g]] + b : -1};
  }

  // Adds n to (s, s2) for every slot s of x and s2 of y; no slot of x comes after one of y, so
  // the cells are in the upper triangle.
  void addAcross(int64_t* square, std::array<std::ptrdiff_t, 2> x, std::array<std::ptrdiff_t, 2> y,
                 uint32_t n) const {
    for (const std::ptrdiff_t s : x) {
      for (const std::ptrdiff_t s2 : y) {
        if (s >= 0 && s2 >= 0) {
          square[s * S1 + s2] += n;
        }
      }
    }
  }

  // Adds the counts into the tables and starts them again from 0; the counts of objects without a
  // valid code (counts[0]) are let go.
  void flushInto(CrossTables& tables, std::span<const std::ptrdiff_t> slotBefore) {
    const auto G = first.size();
    for (std::size_t c = 1; c < counts.size(); ++c) {
      std::vector<uint32_t>& packed = counts[c];
      if (packed.empty()) {
        continue;
      }
      int64_t* square = tables.counts[c - 1].data();
      for (std::size_t g = 0; g < G; ++g) {
        for (std::size_t h = g + 1; h < G; ++h) {
          const uint32_t* table = packed.data() + pairStart[g * G + h];
          for (int32_t cg = 0; cg < width[g]; ++cg) {
            const auto x = slotsOf(g, cg, slotBefore);
            for (int32_t ch = 0; ch < width[h]; ++ch) {
              if (const uint32_t n = table[cg * width[h] + ch]; n > 0) {
                addAcross(square, x, slotsOf(h, ch, slotBefore), n);
              }
            }
          }
        }
        // A group's own code: each of its slots with itself, and the first with the second.
        for (int32_t cg = 0; cg < width[g]; ++cg) {
          const auto [s, s2] = slotsOf(g, cg, slotBefore);
          const uint32_t n = packed[ownStart[g] + cg];
          addAcross(square, {s, -1}, {s, -1}, n);
          addAcross(square, {s2, -1}, {s2, -1}, n);
          addAcross(square, {s, -1}, {s2, -1}, n);
        }
      }
      std::fill(packed.begin(), packed.end(), 0U);
    }
    if (!counts.empty()) {
      std::fill(counts[0].begin(), counts[0].end(), 0U);
    }
    added = 0;
  }
};

// Codes from .. from + n - 1 of a column, 0 for a missing one (0 and below).
void codesOf(const CodeColumn& column, std::ptrdiff_t from, std::ptrdiff_t n, int32_t* out) {
  if (column.bytes != nullptr) {
    std::copy(column.bytes + from, column.bytes + from + n, out);
  } else if (column.shorts != nullptr) {
    std::copy(column.shorts + from, column.shorts + from + n, out);
  } else {
    for (std::ptrdiff_t k = 0; k < n; ++k) {
      out[k] = std::max(column.data[(from + k) * column.stride], 0);
    }
  }
}

// The unit-weight pass over objects first .. last - 1 by groups of variables, for problems
// without passive pairs; as accumulateCrossTables. The objects go a block at a time: their groups'
// codes first, then one pair of groups after the other over the whole block, so that the counts
// being added to are one small table per number of valid codes, in the first-level cache.
bool accumulateByGroups(GroupCounts& groups, CrossTables& tables, std::ptrdiff_t first,
                        std::ptrdiff_t last, std::span<const CodeColumn> columns,
                        std::span<const std::ptrdiff_t> slotBefore, std::size_t bytes,
                        std::size_t budgetBytes) {
  constexpr std::ptrdiff_t block = 2048;
  const std::size_t G = groups.first.size();
  std::vector<int32_t> a(block), b(block), valid(block);
  std::vector<uint16_t> codes(G * block);
  // The counts of each number of valid codes; those of objects with none are counted and let go.
  std::vector<uint32_t*> countsOf(groups.counts.size(), nullptr);
  for (std::ptrdiff_t start = first; start < last; start += block) {
    const std::ptrdiff_t n = std::min(block, last - start);
    if (groups.added > INT32_MAX - n) {
      groups.flushInto(tables, slotBefore);
    }
    groups.added += n;
    std::fill(valid.begin(), valid.end(), 0);
    for (std::size_t g = 0; g < G; ++g) {
      codesOf(columns[groups.first[g]], start, n, a.data());
      if (groups.second[g] >= 0) {
        codesOf(columns[groups.second[g]], start, n, b.data());
      } else {
        std::fill(b.begin(), b.end(), 0);
      }
      uint16_t* code = codes.data() + g * block;
      const int32_t radix = groups.radix[g];
      for (std::ptrdiff_t k = 0; k < n; ++k) {
        code[k] = static_cast<uint16_t>(a[k] * radix + b[k]);
        valid[k] += (a[k] > 0 ? 1 : 0) + (b[k] > 0 ? 1 : 0);
      }
    }
    // A table for each number of valid codes met, in the order of the objects, within the budget.
    for (std::ptrdiff_t k = 0; k < n; ++k) {
      const auto c = static_cast<std::size_t>(valid[k]);
      if (countsOf[c] != nullptr) {
        continue;
      }
      if (c > 0 && !holdTable(tables, c, bytes, budgetBytes)) {
        return false;
      }
      groups.counts[c].assign(groups.size, 0U);
      countsOf[c] = groups.counts[c].data();
    }
    for (std::size_t g = 0; g < G; ++g) {
      const uint16_t* x = codes.data() + g * block;
      for (std::size_t h = g + 1; h < G; ++h) {
        const uint16_t* y = codes.data() + h * block;
        const std::size_t table = groups.pairStart[g * G + h];
        const auto width = static_cast<std::size_t>(groups.width[h]);
        for (std::ptrdiff_t k = 0; k < n; ++k) {
          ++countsOf[valid[k]][table + x[k] * width + y[k]];
        }
      }
      const std::size_t own = groups.ownStart[g];
      for (std::ptrdiff_t k = 0; k < n; ++k) {
        ++countsOf[valid[k]][own + x[k]];
      }
    }
  }
  groups.flushInto(tables, slotBefore);
  return true;
}

}  // namespace

bool accumulateCrossTables(const Problem& problem, CrossTables& tables, std::ptrdiff_t first,
                           std::ptrdiff_t last, std::span<const double> objectWeights,
                           std::size_t budgetBytes) {
  const std::ptrdiff_t S1 = tables.activeSlots;
  const int32_t M1 = problem.activeCount();
  const int32_t M2 = tables.passiveSlots > 0 ? problem.passiveCount() : 0;
  // Each variable's codes and the slot before its first category, active ones (in order, so that
  // an object's slots ascend) then passive ones, whose slots count from the first passive one.
  std::vector<CodeColumn> columns;
  std::vector<std::ptrdiff_t> slotBefore;
  for (const int32_t J : problem.activeVariables) {
    columns.push_back(problem.variables[J].codes);
    slotBefore.push_back(problem.slotStart[J] - 1);
  }
  for (int32_t p = 0; p < M2; ++p) {
    const int32_t J = problem.passiveVariables[p];
    columns.push_back(problem.variables[J].codes);
    slotBefore.push_back(problem.slotStart[J] - S1 - 1);
  }
  std::size_t bytes = tables.bytes();
  const bool unitWeights = objectWeights.empty() && problem.unitWeights();
  if (unitWeights && M2 == 0) {
    GroupCounts groups(problem);
    if (groups.used()) {
      return accumulateByGroups(groups, tables, first, last, columns, slotBefore, bytes,
                                budgetBytes);
    }
  }
  std::vector<std::ptrdiff_t> slots(static_cast<std::size_t>(M1));
  UnitCounts units(unitWeights ? S1 : 0, unitWeights ? tables.counts.size() : 0);
  for (std::ptrdiff_t i = first; i < last; ++i) {
    const auto w =
        static_cast<int64_t>(objectWeights.empty() ? problem.weight(i) : objectWeights[i]);
    if (w == 0) {
      continue;
    }
    std::ptrdiff_t valid = 0;
    for (int32_t j = 0; j < M1; ++j) {
      const int32_t code = columns[j][i];
      if (code > 0) {
        slots[valid++] = slotBefore[j] + code;
      }
    }
    if (valid == 0) {
      continue;
    }
    if (!holdTable(tables, static_cast<std::size_t>(valid), bytes, budgetBytes)) {
      return false;
    }
    std::vector<int64_t>& table = tables.counts[valid - 1];
    // Slots ascend with the variables, so every pair lands in the upper triangle.
    if (unitWeights) {
      if (units.added == INT32_MAX) {
        units.flushInto(tables);
      }
      ++units.added;
      std::vector<uint32_t>& counts = units.counts[valid - 1];
      if (counts.empty()) {
        counts.assign(static_cast<std::size_t>(S1 * (S1 + 1) / 2), 0U);
      }
      uint32_t* packed = counts.data();
      for (std::ptrdiff_t a = 0; a < valid; ++a) {
        uint32_t* pairs = packed + units.rowBase[slots[a]];
        for (std::ptrdiff_t b = a; b < valid; ++b) {
          ++pairs[slots[b]];
        }
      }
    } else {
      for (std::ptrdiff_t a = 0; a < valid; ++a) {
        int64_t* pairs = table.data() + slots[a] * S1;
        for (std::ptrdiff_t b = a; b < valid; ++b) {
          pairs[slots[b]] += w;
        }
      }
    }
    for (int32_t j = 0; j < M2; ++j) {
      const int32_t code = columns[M1 + j][i];
      if (code > 0) {
        int64_t* pairs = table.data() + S1 * S1 + (slotBefore[M1 + j] + code) * S1;
        for (std::ptrdiff_t a = 0; a < valid; ++a) {
          pairs[slots[a]] += w;
        }
      }
    }
  }
  if (unitWeights) {
    units.flushInto(tables);
  }
  return true;
}

bool buildCrossTables(const Problem& problem, std::span<const double> objectWeights,
                      bool withPassive, std::size_t budgetBytes, Workers* workers,
                      CrossTables& tables) {
  const std::ptrdiff_t N = problem.objectCount;
  const int parts = workers != nullptr ? workers->count() : 1;
  std::vector<CrossTables> part(static_cast<std::size_t>(parts));
  std::vector<char> fits(part.size(), 0);
  const auto accumulate = [&](std::ptrdiff_t k) {
    resetCrossTables(problem, part[k], withPassive);
    fits[k] = accumulateCrossTables(problem, part[k], N * k / parts, N * (k + 1) / parts,
                                    objectWeights, budgetBytes / parts);
  };
  if (workers != nullptr) {
    workers->run(parts, accumulate);
  } else {
    accumulate(0);
  }
  if (std::find(fits.begin(), fits.end(), 0) != fits.end()) {
    return false;
  }
  tables = std::move(part[0]);
  for (int k = 1; k < parts; ++k) {
    addCrossTables(tables, part[k]);
    part[k] = CrossTables{};
  }
  return tables.bytes() <= budgetBytes;
}

void addCrossTables(CrossTables& into, const CrossTables& part) {
  if (into.activeSlots != part.activeSlots || into.passiveSlots != part.passiveSlots ||
      into.counts.size() != part.counts.size()) {
    throw std::invalid_argument("cross tables of different shapes");
  }
  for (std::size_t c = 0; c < part.counts.size(); ++c) {
    const std::vector<int64_t>& from = part.counts[c];
    if (from.empty()) {
      continue;
    }
    std::vector<int64_t>& to = into.counts[c];
    if (to.empty()) {
      to.assign(from.size(), 0);
    }
    for (std::size_t e = 0; e < from.size(); ++e) {
      to[e] += from[e];
    }
  }
}

void formCrossTable(const CrossTables& tables, std::vector<double>& activeTable,
                    std::vector<double>& passiveTable) {
  const std::ptrdiff_t S1 = tables.activeSlots, S2 = tables.passiveSlots;
  activeTable.assign(static_cast<std::size_t>(S1 * S1), 0.0);
  passiveTable.assign(static_cast<std::size_t>(S2 * S1), 0.0);
  for (std::size_t c = 0; c < tables.counts.size(); ++c) {
    const std::vector<int64_t>& table = tables.counts[c];
    if (table.empty()) {
      continue;
    }
    const double count = static_cast<double>(c + 1);
    for (std::ptrdiff_t s = 0; s < S1; ++s) {
      for (std::ptrdiff_t s2 = s; s2 < S1; ++s2) {
        activeTable[s * S1 + s2] += static_cast<double>(table[s * S1 + s2]) / count;
      }
    }
    for (std::ptrdiff_t e = 0; e < S2 * S1; ++e) {
      passiveTable[e] += static_cast<double>(table[S1 * S1 + e]) / count;
    }
  }
  for (std::ptrdiff_t s = 0; s < S1; ++s) {
    for (std::ptrdiff_t s2 = 0; s2 < s; ++s2) {
      activeTable[s * S1 + s2] = activeTable[s2 * S1 + s];
    }
  }
}

void formPairCounts(const CrossTables& tables, std::vector<double>& pairCounts) {
  const std::ptrdiff_t S1 = tables.activeSlots;
  std::vector<int64_t> sums(static_cast<std::size_t>(S1 * S1), 0);
  for (const std::vector<int64_t>& table : tables.counts) {
    for (std::ptrdiff_t e = 0; e < static_cast<std::ptrdiff_t>(table.empty() ? 0 : S1 * S1); ++e) {
      sums[e] += table[e];
    }
  }
  pairCounts.assign(sums.size(), 0.0);
  for (std::ptrdiff_t s = 0; s < S1; ++s) {
    for (std::ptrdiff_t s2 = s; s2 < S1; ++s2) {
      pairCounts[s * S1 + s2] = pairCounts[s2 * S1 + s] = static_cast<double>(sums[s * S1 + s2]);
    }
  }
}

}  // namespace tallowmere
