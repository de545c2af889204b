// The limits that runHomals's arguments must keep so that the engine and the bridge stay inside
// every array they touch and compute what the arguments describe. The native method checks them
// all before it prints or writes anything; a call that breaks one gets a Java exception instead.
//
// The check works on plain values (the counts, the int[] contents, the lengths of the table rows)
// and knows nothing of the JVM, so that it can be tested, sanitized and fuzzed without one.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace tallowmere::bridge {

// The nine int[] parameters of runHomals, in parameter order.
enum IntParameter : int {
  activeColumnsParameter,
  passiveColumnsParameter,
  activeCategoryCountsParameter,
  passiveCategoryCountsParameter,
  activeSingleParameter,
  passiveSingleParameter,
  activeLevelsParameter,
  passiveLevelsParameter,
  dataParameter,
  intParameterCount
};

// Whether an int[] parameter describes the active variables (activeCount entries) rather than
// the passive ones (passiveCount entries); not for data.
constexpr bool describesActive(IntParameter p) {
  return p == activeColumnsParameter || p == activeCategoryCountsParameter ||
         p == activeSingleParameter || p == activeLevelsParameter;
}

// Java names of the nine int[] parameters, indexed by IntParameter.
extern const std::array<const char*, intParameterCount> intParameterNames;

// An int[] argument: null, or its elements.
struct IntArgument {
  bool isNull = false;
  std::span<const int32_t> values;
};

// Length recorded for a null row of a table.
inline constexpr int32_t nullRow = -1;

// A double[][] argument: null, or the length of each of its rows (nullRow for a null row).
struct TableArgument {
  bool isNull = false;
  std::span<const int32_t> rowLengths;
};

// Everything of a runHomals call that its limits depend on. maxIterations, innerIterations, the
// timing flag and the two tolerances have no limits and are left out.
struct Arguments {
  int32_t dimensionCount = 0;
  int32_t dataStride = 0;
  int32_t objectCount = 0;
  int32_t maxCategories = 0;
  int32_t activeCount = 0;
  int32_t passiveCount = 0;
  int32_t weightColumn = 0;
  bool useWeights = false;
  bool writeObjectScores = false;
  std::array<IntArgument, intParameterCount> arrays;
  // False for a caller that receives its results otherwise than through the two tables, which
  // are then neither looked at nor required.
  bool hasTables = true;
  TableArgument objectScoreTable;
  TableArgument categoryQuantificationTable;
};

enum class Rejection { none, nullPointer, illegalArgument };

struct CheckResult {
  Rejection rejection = Rejection::none;
  std::string message;  // names the parameter, the index, the value and the limit

  bool accepted() const { return rejection == Rejection::none; }
};

// The first broken limit, in this order: null arrays, tables and rows (NullPointerException);
// negative counts; buffer sizes beyond int32; int[] lengths; columns; category counts; codes;
// table shapes (all IllegalArgumentException). Reads array elements only after their lengths
// have been checked, so it is safe on any input.
CheckResult checkArguments(const Arguments& arguments);

// The rows of categoryQuantificationTable that a run writes, after row 0: one per category of
// each active variable, the sum of the positive activeCategoryCounts. Needs activeCount entries
// of activeCategoryCounts.
int64_t categoryRowCount(const Arguments& arguments);

// The Java class of a rejection, in JNI form ("java/lang/NullPointerException").
const char* javaExceptionClass(Rejection rejection);

}  // namespace tallowmere::bridge
