#include "cross_table.h"

#include <algorithm>
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
  std::vector<std::ptrdiff_t> slots(static_cast<std::size_t>(M1));
  std::size_t bytes = tables.bytes();
  const bool unitWeights = objectWeights.empty() && problem.unitWeights();
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
    std::vector<int64_t>& table = tables.counts[valid - 1];
    if (table.empty()) {
      bytes += tables.tableSize() * sizeof(int64_t);
      if (bytes > budgetBytes) {
        return false;
      }
      table.assign(tables.tableSize(), 0);
    }
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
