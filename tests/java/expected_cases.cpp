#include "expected_cases.h"

#include <bit>
#include <cstddef>

namespace tallowmere::expected_cases {
namespace {

double nanWithPayload(uint64_t payload) {
  return std::bit_cast<double>(0x7FF8000000000000u | payload);
}

// A table whose row 0 has `columns` elements (the width C) and whose odd rows have one more,
// beyond C. Cells are distinct per table; element 0 alternates -0.0 and a NaN with a payload,
// and some cells beyond column P hold NaNs too, so that "unchanged" means bit for bit.
Table patternTable(int id, std::size_t rows, std::size_t columns) {
  Table table(rows);
  for (std::size_t r = 0; r < rows; ++r) {
    table[r].resize(r > 0 && r % 2 == 1 ? columns + 1 : columns);
    for (std::size_t k = 0; k < table[r].size(); ++k) {
      if (k == 0) {
        table[r][k] = r % 2 == 0 ? -0.0 : nanWithPayload(0xBEEF00 + r);
      } else if (r % 5 == 4 && k % 3 == 2) {
        table[r][k] = nanWithPayload(0xC0FFEE00 + r);
      } else {
        table[r][k] = id * 1e6 + static_cast<double>(r) + static_cast<double>(k) / 64.0;
      }
    }
  }
  return table;
}

std::vector<int32_t> sequence(int32_t first, int32_t count) {
  std::vector<int32_t> values(count);
  for (int32_t j = 0; j < count; ++j) {
    values[j] = first + j;
  }
  return values;
}

}  // namespace

Case voteCase(const Dataset& vote) {
  Case c;
  c.name = "vote";
  c.dimensionCount = 2;
  c.dataStride = vote.columns;
  c.objectCount = vote.rows;
  c.maxCategories = 2;
  c.maxIterations = 100;
  c.writeObjectScores = true;
  c.activeColumns = sequence(0, 16);
  c.activeCategoryCounts.assign(16, 2);
  c.activeSingle.assign(16, 0);
  c.activeLevels.assign(16, 0);
  c.passiveColumns = {16};
  c.passiveCategoryCounts = {2};
  c.passiveSingle = {0};
  c.passiveLevels = {0};
  c.data = vote.codes;
  // Different tolerances, so that the run would stop elsewhere if they were swapped.
  c.fitTolerance = 1e-7;
  c.cosineTolerance = 1e-12;
  c.objectScoreTable = patternTable(1, vote.rows + 3, 4);
  c.categoryQuantificationTable = patternTable(2, 32 + 4, 5);
  return c;
}

Case voteRankOneCase(const Dataset& vote) {
  Case c;
  c.name = "vote-rank-one";
  c.dimensionCount = 3;
  c.dataStride = vote.columns;
  c.objectCount = vote.rows;
  c.maxCategories = 3;
  c.maxIterations = 12;
  c.innerIterations = 2;
  c.weightColumn = 16;
  c.timing = true;
  c.activeColumns = {0, 2, 3, 4, 7, 8, 12, 13};
  c.activeCategoryCounts.assign(8, 2);
  c.activeSingle = {1, 1, 0, 1, 1, 1, 0, 1};
  c.activeLevels = {1, 2, 1, 0, 3, 1, 1, -1};
  c.passiveColumns = {16, 1, 5};
  c.passiveCategoryCounts = {2, 2, 2};
  c.passiveSingle = {1, 0, 1};
  c.passiveLevels = {2, 0, 1};
  c.data = vote.codes;
  c.fitTolerance = 1e-12;
  c.cosineTolerance = 0.0;
  c.objectScoreTable = patternTable(3, vote.rows + 1, 4);
  c.categoryQuantificationTable = patternTable(4, 16 + 3, 4);
  return c;
}

Case hairEyeColourCase(const Dataset& hairEyeColour) {
  Case c;
  c.name = "haireyecolor-weighted";
  c.dimensionCount = 2;
  c.dataStride = hairEyeColour.columns;
  c.objectCount = hairEyeColour.rows;
  c.maxCategories = 4;
  c.maxIterations = 300;
  c.innerIterations = 3;
  c.weightColumn = 3;
  c.useWeights = true;
  c.writeObjectScores = true;
  c.activeColumns = {0, 1, 2};
  c.activeCategoryCounts = {4, 4, 2};
  c.activeSingle = {1, 1, 0};
  c.activeLevels = {1, 2, 0};
  c.data = hairEyeColour.codes;
  c.fitTolerance = 1e-10;
  c.cosineTolerance = 1e-10;
  c.objectScoreTable = patternTable(5, hairEyeColour.rows + 1, 5);
  c.categoryQuantificationTable = patternTable(6, 10 + 1, 3);
  return c;
}

Case noActiveCase(const Dataset& vote) {
  Case c;
  c.name = "no-active-one-row-tables";
  c.dimensionCount = 2;
  c.dataStride = vote.columns;
  c.objectCount = vote.rows;
  c.maxCategories = 2;
  c.maxIterations = 2;
  c.passiveColumns = {16};
  c.passiveCategoryCounts = {2};
  c.passiveSingle = {0};
  c.passiveLevels = {0};
  c.data = vote.codes;
  c.fitTolerance = 1e-9;
  c.cosineTolerance = 1e-9;
  c.objectScoreTable = patternTable(7, 1, 3);
  c.categoryQuantificationTable = patternTable(8, 1, 3);
  return c;
}

}  // namespace tallowmere::expected_cases
