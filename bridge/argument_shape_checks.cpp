// The checks of the call's shape: null arrays, tables and rows, negative counts, buffer sizes
// beyond int32, the lengths of the int[] arguments, the columns and the category counts.
#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "argument_check_steps.h"

namespace tallowmere::bridge::checks {

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

namespace {

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

}  // namespace

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

namespace {

std::string outsideRow(const Arguments& a) {
  return " lies outside an object row, whose columns run from 0 to dataStride - 1 = " +
         str(int64_t{a.dataStride} - 1);
}

}  // namespace

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

}  // namespace tallowmere::bridge::checks
