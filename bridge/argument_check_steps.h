// The steps of checkArguments, private to the argument checks library, and the pieces their
// messages are made of. checkArguments runs the steps in the order declared here; each returns
// the first broken limit of its kind, or an accepted result.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "argument_checks.h"

namespace tallowmere::bridge::checks {

inline constexpr int64_t largestSize = std::numeric_limits<int32_t>::max();

inline std::string str(int64_t value) {
  return std::to_string(value);
}

inline std::string element(std::string_view name, int64_t index) {
  return std::string(name) + "[" + str(index) + "]";
}

inline CheckResult nullPointer(std::string message) {
  return {Rejection::nullPointer, std::move(message)};
}

inline CheckResult illegalArgument(std::string message) {
  return {Rejection::illegalArgument, std::move(message)};
}

// The call's shape (argument_shape_checks.cpp).
CheckResult checkNulls(const Arguments& a);
CheckResult checkCounts(const Arguments& a);
CheckResult checkSizes(const Arguments& a);
CheckResult checkLengths(const Arguments& a);
CheckResult checkColumns(const Arguments& a);
CheckResult checkCategoryCounts(const Arguments& a);

// The codes in data and the result tables (code_and_table_checks.cpp), which rely on the shape
// having passed: every array at least as long as the counts say, every column inside a row.
CheckResult checkCodes(const Arguments& a);
CheckResult checkTables(const Arguments& a);

}  // namespace tallowmere::bridge::checks
