#include "argument_checks.h"

#include <algorithm>

#include "argument_check_steps.h"

namespace tallowmere::bridge {

const std::array<const char*, intParameterCount> intParameterNames = {
    "activeColumns",         "passiveColumns", "activeCategoryCounts",
    "passiveCategoryCounts", "activeSingle",   "passiveSingle",
    "activeLevels",          "passiveLevels",  "data"};

CheckResult checkArguments(const Arguments& arguments) {
  for (CheckResult (*check)(const Arguments&) :
       {checks::checkNulls, checks::checkCounts, checks::checkSizes, checks::checkLengths,
        checks::checkColumns, checks::checkCategoryCounts, checks::checkCodes,
        checks::checkTables}) {
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
