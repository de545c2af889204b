#include "argument_checks.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

namespace tallowmere::bridge {

const std::array<const char*, intParameterCount> intParameterNames = {
    "activeColumns",         "passiveColumns", "activeCategoryCounts",
    "passiveCategoryCounts", "activeSingle",   "passiveSingle",
    "activeLevels",          "passiveLevels",  "data"};

namespace {

constexpr int64_t largestSize = std::numeric_limits<int32_t>::max();

std::string str(int64_t value) {
  return std::to_string(value);
}

std::string element(std::string_view name, int64_t index) {
  return std::string(name) + "[" + str(index) + "]";
}

CheckResult nullPointer(std::string message) {
  return {Rejection::nullPointer, std::move(message)};
}

CheckResult illegalArgument(std::string message) {
  return {Rejection::illegalArgument, std::move(message)};
}

// The checks below run in the order of checkArguments's comment; each returns the first broken
// limit of its kind, or an accepted result.

CheckResult checkNulls(const Arguments& a) {
  for (int p = 0; p < intParameterCount; ++p) {
    if (a.arrays[p].isNull) {
      return nullPointer(std::string(intParameterNames[p]) + " is null");
    }
  }
  if (!a.hasTables) {
    return {};
  }
  const std::pair<const char*, const TableArgument*> tables[] = {
      {"objectScoreTable", &a.objectScoreTable},
      {"categoryQuantificationTable", &a.categoryQuantificationTable}};
  for (const auto& [name, table] : tables) {
    if (table->isNull) {
      return nullPointer(std::string(name) + " is null");
    }
  }
  for (const auto& [name, table] : tables) {
    for (std::size_t r = 0; r < table->rowLengths.size(); ++r) {
      if (table->rowLengths[r] == nullRow) {
        return nullPointer(element(name, r) + " (row " + str(r) + ") is null");
      }
    }
  }
  return {};
}

CheckResult checkCounts(const Arguments& a) {
  const std::pair<const char*, int32_t> counts[] = {
      {"dimensionCount", a.dimensionCount}, {"dataStride", a.dataStride},
      {"objectCount", a.objectCount},       {"maxCategories", a.maxCategories},
      {"activeCount", a.activeCount},       {"passiveCount", a.passiveCount}};
  for (const auto& [name, value] : counts) {
    if (value < 0) {
      return illegalArgument(std::string(name) + " = " + str(value) + " is negative");
    }
  }
  return {};
}

// The engine computes its buffer sizes, the variable count and the offsets into data as int32
// products; each must stay at most 2^31 - 1. The counts are non-negative here and below 2^31,
// so a product of two fits in 64 bits; one of three need not, and is then reported without
// its value.
struct Product {
  const char* names;
  std::vector<int64_t> factors;  // in the order of the names
};

CheckResult checkProduct(const Product& product) {
  int64_t size = 1;
  bool fits = true;
  std::string values;
  for (const int64_t factor : product.factors) {
    fits = fits && !__builtin_mul_overflow(size, factor, &size);
    values += (values.empty() ? "" : " * ") + str(factor);
  }
  if (fits && size <= largestSize) {
    return {};
  }
  return illegalArgument(std::string(product.names) + " = " + values +
                         (fits ? " = " + str(size) : "") + " exceeds " + str(largestSize) +
                         ", the largest buffer size");
}

CheckResult checkSizes(const Arguments& a) {
  const int64_t variables = int64_t{a.activeCount} + a.passiveCount;
  if (variables > largestSize) {
    return illegalArgument("activeCount + passiveCount = " + str(a.activeCount) + " + " +
                           str(a.passiveCount) + " = " + str(variables) + " exceeds " +
                           str(largestSize));
  }
  const int64_t N = a.objectCount, P = a.dimensionCount, K = a.maxCategories;
  const Product products[] = {
      {"objectCount * dataStride", {N, a.dataStride}},
      {"objectCount * dimensionCount", {N, P}},
      {"maxCategories * (activeCount + passiveCount) * dimensionCount", {K, variables, P}},
      {"(activeCount + passiveCount) * dimensionCount", {variables, P}}};
  for (const Product& product : products) {
    CheckResult result = checkProduct(product);
    if (!result.accepted()) {
      return result;
    }
  }
  return {};
}

CheckResult checkLengths(const Arguments& a) {
  for (int p = 0; p < dataParameter; ++p) {
    const bool active = describesActive(static_cast<IntParameter>(p));
    const int32_t needed = active ? a.activeCount : a.passiveCount;
    const auto length = static_cast<int64_t>(a.arrays[p].values.size());
    if (length < needed) {
      return illegalArgument(std::string(intParameterNames[p]) + " has length " + str(length) +
                             ", shorter than " + (active ? "activeCount" : "passiveCount") + " = " +
                             str(needed));
    }
  }
  const int64_t needed = int64_t{a.objectCount} * a.dataStride;
  const auto length = static_cast<int64_t>(a.arrays[dataParameter].values.size());
  if (length < needed) {
    return illegalArgument("data has length " + str(length) +
                           ", shorter than objectCount * dataStride = " + str(a.objectCount) +
                           " * " + str(a.dataStride) + " = " + str(needed));
  }
  return {};
}

std::string outsideRow(const Arguments& a) {
  return " lies outside an object row, whose columns run from 0 to dataStride - 1 = " +
         str(int64_t{a.dataStride} - 1);
}

CheckResult checkColumns(const Arguments& a) {
  const std::pair<IntParameter, int32_t> groups[] = {{activeColumnsParameter, a.activeCount},
                                                     {passiveColumnsParameter, a.passiveCount}};
  for (const auto& [parameter, count] : groups) {
    const std::span<const int32_t> columns = a.arrays[parameter].values;
    for (int32_t j = 0; j < count; ++j) {
      if (columns[j] < 0 || columns[j] >= a.dataStride) {
        return illegalArgument(element(intParameterNames[parameter], j) + " = " + str(columns[j]) +
                               outsideRow(a));
      }
    }
  }
  if (a.useWeights && (a.weightColumn < 0 || a.weightColumn >= a.dataStride)) {
    return illegalArgument("weightColumn = " + str(a.weightColumn) + outsideRow(a) +
                           " (useWeights is set)");
  }
  return {};
}

CheckResult checkCategoryCounts(const Arguments& a) {
  const std::pair<IntParameter, int32_t> groups[] = {
      {activeCategoryCountsParameter, a.activeCount},
      {passiveCategoryCountsParameter, a.passiveCount}};
  for (const auto& [parameter, count] : groups) {
    const std::span<const int32_t> counts = a.arrays[parameter].values;
    for (int32_t j = 0; j < count; ++j) {
      if (counts[j] > a.maxCategories) {
        return illegalArgument(element(intParameterNames[parameter], j) + " = " + str(counts[j]) +
                               " exceeds maxCategories = " + str(a.maxCategories));
      }
    }
  }
  return {};
}

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

}  // namespace

CheckResult checkArguments(const Arguments& arguments) {
  for (CheckResult (*check)(const Arguments&) :
       {checkNulls, checkCounts, checkSizes, checkLengths, checkColumns, checkCategoryCounts,
        checkCodes, checkTables}) {
    CheckResult result = check(arguments);
    if (!result.accepted()) {
      return result;
    }
  }
  return {};
}

int64_t categoryRowCount(const Arguments& arguments) {
  int64_t rows = 0;
  const std::span<const int32_t> counts = arguments.arrays[activeCategoryCountsParameter].values;
  for (int32_t j = 0; j < arguments.activeCount; ++j) {
    rows += std::max(counts[j], 0);
  }
  return rows;
}

const char* javaExceptionClass(Rejection rejection) {
  switch (rejection) {
    case Rejection::nullPointer:
      return "java/lang/NullPointerException";
    case Rejection::illegalArgument:
      return "java/lang/IllegalArgumentException";
    case Rejection::none:
      break;
  }
  return nullptr;
}

}  // namespace tallowmere::bridge
