// The cases of the Java bridge tests: every argument of runHomals and the two result tables before
// the call, for the demo's analysis and for the oddities the bridge must pass on unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tallowmere::expected_cases {

using Table = std::vector<std::vector<double>>;

struct Dataset {
  int32_t columns = 0;
  int32_t rows = 0;
  std::vector<int32_t> codes;  // row-major
};

struct Case {
  std::string name;
  int32_t dimensionCount = 0, dataStride = 0, objectCount = 0, maxCategories = 0;
  int32_t maxIterations = 0, innerIterations = 0, weightColumn = 0;
  bool timing = false, useWeights = false, writeObjectScores = false;
  std::vector<int32_t> activeColumns, passiveColumns, activeCategoryCounts, passiveCategoryCounts,
      activeSingle, passiveSingle, activeLevels, passiveLevels, data;
  double fitTolerance = 0.0, cosineTolerance = 0.0;
  Table objectScoreTable, categoryQuantificationTable;
};

// The demo's analysis: 16 votes active and multiple, the party passive, two dimensions. Wider
// tables than needed, with spare rows.
Case voteCase(const Dataset& vote);

// Rank-one restrictions at every level, K above every k, passive single variables, timing on,
// no object scores (the table must come back unchanged), stopped by the iteration bound.
Case voteRankOneCase(const Dataset& vote);

// Counts as object weights, an ordinal and a numerical single variable with four categories,
// no passive variables (all four passive arrays empty).
Case hairEyeColourCase(const Dataset& hairEyeColour);

// No active variable (all four active arrays empty) and one-row tables: nothing is exchanged
// and both tables come back unchanged.
Case noActiveCase(const Dataset& vote);

}  // namespace tallowmere::expected_cases
