// A runHomals call for the argument checks' tests: a valid call with arrays it owns, which a case
// changes in one respect, and what the checks must then say.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "argument_checks.h"

namespace tallowmere::bridge::argument_cases {

enum Array { activeColumns, passiveColumns, activeCounts, passiveCounts, data = 8 };

// A call with arrays it owns. The valid one: five objects in rows of four values (two active
// variables in columns 0 and 1 with 3 and 2 categories, a passive one in column 2 with 2, the
// weight in column 3), two dimensions, K = 3, object scores written, tables just large enough.
struct Call {
  int32_t dimensionCount = 2, dataStride = 4, objectCount = 5, maxCategories = 3;
  int32_t activeCount = 2, passiveCount = 1, weightColumn = 3;
  bool useWeights = true, writeObjectScores = true;
  std::array<std::vector<int32_t>, intParameterCount> arrays = {{
      {0, 1},  // activeColumns
      {2},     // passiveColumns
      {3, 2},  // activeCategoryCounts
      {2},     // passiveCategoryCounts
      {1, 0},  // activeSingle
      {1},     // passiveSingle
      {1, 2},  // activeLevels
      {0},     // passiveLevels
      {1, 2, 1, 4, /**/ 2, 1, 0, 1, /**/ 3, 0, 2, 2, /**/ -1, 2, 1, 0, /**/ 2, 1, 2, -3},
  }};
  std::array<bool, intParameterCount> nullArrays{};
  std::vector<int32_t> scoreRows = std::vector<int32_t>(6, 3);
  std::vector<int32_t> categoryRows = std::vector<int32_t>(6, 3);
  bool nullScores = false, nullCategories = false;

  CheckResult check() const {
    Arguments a;
    a.dimensionCount = dimensionCount;
    a.dataStride = dataStride;
    a.objectCount = objectCount;
    a.maxCategories = maxCategories;
    a.activeCount = activeCount;
    a.passiveCount = passiveCount;
    a.weightColumn = weightColumn;
    a.useWeights = useWeights;
    a.writeObjectScores = writeObjectScores;
    for (int p = 0; p < intParameterCount; ++p) {
      a.arrays[p] = {nullArrays[p], arrays[p]};
    }
    a.objectScoreTable = {nullScores, scoreRows};
    a.categoryQuantificationTable = {nullCategories, categoryRows};
    return checkArguments(a);
  }
};

struct Case {
  const char* name;
  std::function<void(Call&)> change;
  Rejection rejection;
  std::vector<std::string> messageParts;  // the parameter, and where known index, value, limit
};

inline void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

inline constexpr Rejection npe = Rejection::nullPointer;
inline constexpr Rejection iae = Rejection::illegalArgument;

}  // namespace tallowmere::bridge::argument_cases
