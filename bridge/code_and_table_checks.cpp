// The checks of the codes in data against their variables' category counts, and of the shapes of
// the two result tables.
#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "argument_check_steps.h"

namespace tallowmere::bridge::checks {

// A code addresses the slot of its category: above the variable's category count it lands in
// another category's slot, another variable's block or past the end of the buffers. Codes of 0
// or below are missing values and always valid.
CheckResult checkCodes(const Arguments& a) {
  const std::span<const int32_t> data = a.arrays[dataParameter].values;
  const int32_t variables = a.activeCount + a.passiveCount;
  if (variables == 0) {
    return {};
  }
  // Variable J (active ones first) as its group's variable j, with the parameters holding its
  // column and its category count.
  struct Place {
    bool active;
    int32_t j;
    IntParameter columns, counts;
  };
  const auto place = [&](int32_t J) -> Place {
    if (J < a.activeCount) {
      return {true, J, activeColumnsParameter, activeCategoryCountsParameter};
    }
    return {false, J - a.activeCount, passiveColumnsParameter, passiveCategoryCountsParameter};
  };
  // A code is broken when it exceeds the larger of its category count and 0 (codes of 0 or
  // below being missing): one comparison a code, without branches, in the scan below.
  std::vector<int32_t> columns(variables), limits(variables);
  bool adjacent = true;
  for (int32_t J = 0; J < variables; ++J) {
    const Place v = place(J);
    columns[J] = a.arrays[v.columns].values[v.j];
    limits[J] = std::max(a.arrays[v.counts].values[v.j], 0);
    adjacent = adjacent && columns[J] == int64_t{columns[0]} + J;
  }
  for (int64_t i = 0; i < a.objectCount; ++i) {
    const int32_t* row = data.data() + i * a.dataStride;
    int32_t broken = 0;  // an int, whose or-reduction the compiler vectorises (a bool's not)
    if (adjacent) {
      // The usual layout: the codes are one run of the row.
      const int32_t* codes = row + columns[0];
      for (int32_t J = 0; J < variables; ++J) {
        broken |= static_cast<int32_t>(codes[J] > limits[J]);
      }
    } else {
      for (int32_t J = 0; J < variables; ++J) {
        broken |= static_cast<int32_t>(row[columns[J]] > limits[J]);
      }
    }
    if (broken == 0) {
      continue;
    }
    for (int32_t J = 0; J < variables; ++J) {
      const int32_t code = row[columns[J]];
      if (code <= limits[J]) {
        continue;
      }
      const Place v = place(J);
      return illegalArgument(element("data", i * a.dataStride + columns[J]) + " = " + str(code) +
                             ", the code of object " + str(i) + " on " +
                             (v.active ? "active" : "passive") + " variable " + str(v.j) + " (" +
                             element(intParameterNames[v.columns], v.j) + " = " + str(columns[J]) +
                             "), exceeds " + element(intParameterNames[v.counts], v.j) + " = " +
                             str(a.arrays[v.counts].values[v.j]));
    }
  }
  return {};
}

namespace {

// A table needs row 0 for its width C, every exchanged row (1 .. R - 1) at least C long, and
// `rowsNeeded` rows of at least `widthNeeded` elements when the engine writes into it.
CheckResult checkTable(const char* name, const TableArgument& table, int64_t rowsNeeded,
                       const std::string& rowsReason, int64_t widthNeeded,
                       const std::string& widthReason) {
  const std::span<const int32_t> lengths = table.rowLengths;
  const auto rows = static_cast<int64_t>(lengths.size());
  if (rows == 0) {
    return illegalArgument(std::string(name) + " has no rows; row 0 gives the table's width");
  }
  if (rows < rowsNeeded) {
    return illegalArgument(std::string(name) + " has " + str(rows) + " rows, fewer than " +
                           rowsReason + " = " + str(rowsNeeded));
  }
  const int32_t width = lengths[0];
  if (width < widthNeeded) {
    return illegalArgument(element(name, 0) + " has length " + str(width) + ", shorter than " +
                           widthReason + " = " + str(widthNeeded));
  }
  for (int64_t r = 1; r < rows; ++r) {
    if (lengths[r] < width) {
      return illegalArgument(element(name, r) + " has length " + str(lengths[r]) +
                             ", shorter than the table's width, the length " + str(width) + " of " +
                             element(name, 0));
    }
  }
  return {};
}

}  // namespace

CheckResult checkTables(const Arguments& a) {
  if (!a.hasTables) {
    return {};
  }
  const int64_t width = int64_t{a.dimensionCount} + 1;
  // The object scores fill rows 1 .. N, elements 1 .. P, and only on request.
  const bool scoresWritten = a.writeObjectScores;
  CheckResult result = checkTable(
      "objectScoreTable", a.objectScoreTable, scoresWritten ? int64_t{a.objectCount} + 1 : 0,
      "objectCount + 1", scoresWritten && a.objectCount > 0 ? width : 0, "dimensionCount + 1");
  if (!result.accepted()) {
    return result;
  }
  // One row per category of each active variable, in every run.
  const int64_t categoryRows = categoryRowCount(a);
  return checkTable("categoryQuantificationTable", a.categoryQuantificationTable, 1 + categoryRows,
                    "1 + the sum of the positive activeCategoryCounts",
                    categoryRows > 0 ? width : 0, "dimensionCount + 1");
}

}  // namespace tallowmere::bridge::checks
