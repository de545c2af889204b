// libFuzzer target: random small argument sets of runHomals through the argument checks and,
// when the checks accept one, through the bridge's table copies and the engine on buffers
// exactly as long as the arguments say: every int[] and every row of the caller's tables in an
// allocation of its own length, every row buffer an allocation of the table's width.
// AddressSanitizer then reports any element that the checks let the engine touch outside them, and
// UndefinedBehaviorSanitizer any overflow; the checks themselves must stay inside whatever they are
// given.
//
// Lengths are drawn around what the counts require (one short, exact, a little longer), so
// that both sides of every limit come up often; counts are mostly small, sometimes negative or
// huge.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "argument_checks.h"
#include "engine.h"

namespace {

using tallowmere::bridge::Arguments;
using tallowmere::bridge::checkArguments;
using tallowmere::bridge::CheckResult;
using tallowmere::bridge::intParameterCount;
using tallowmere::bridge::nullRow;
using tallowmere::bridge::Rejection;

// Longest array or table the fuzzer builds; longer requirements get a short array instead.
constexpr int64_t longest = 512;

struct Statistics {
  long calls = 0, accepted = 0, engineRuns = 0;
  ~Statistics() {
    std::fprintf(stderr, "argument sets: %ld, accepted: %ld, run through the engine: %ld\n", calls,
                 accepted, engineRuns);
  }
} statistics;

// The decoders below map zero bytes, and the bytes of an exhausted input, to valid choices, so
// that most inputs pass most limits and each broken limit is a deliberate, rarer choice.

int32_t count(FuzzedDataProvider& in, int32_t largest) {
  switch (in.ConsumeIntegralInRange<int>(0, 15)) {
    case 13:
      return 0;
    case 14:
      return in.ConsumeIntegralInRange<int32_t>(-3, -1);
    case 15: {
      constexpr int32_t huge[] = {1 << 15, 1 << 16, 1 << 28, 1 << 30, INT32_MAX};
      return huge[in.ConsumeIntegralInRange<int>(0, 4)];
    }
    default:
      return in.ConsumeIntegralInRange<int32_t>(1, largest);
  }
}

// A value from `low` .. `high`, or now and then `invalid`.
int32_t valueOrNot(FuzzedDataProvider& in, int32_t low, int32_t high, int32_t invalid) {
  return in.ConsumeIntegralInRange<int>(0, 15) == 15 ? invalid
                                                     : in.ConsumeIntegralInRange(low, high);
}

// A length near `needed`: mostly exact, sometimes one short or a little longer.
int64_t lengthNear(FuzzedDataProvider& in, int64_t needed) {
  constexpr int offsets[] = {0, 0, 0, 0, 0, 1, 2, -1};
  const int64_t length =
      std::clamp<int64_t>(needed, 0, longest) + offsets[in.ConsumeIntegralInRange<int>(0, 7)];
  return std::clamp<int64_t>(length, 0, longest);
}

// An int[] in an allocation of exactly its length (none for an empty one), or null.
struct IntArray {
  bool isNull = false;
  std::unique_ptr<int32_t[]> values;
  int64_t length = 0;

  std::span<const int32_t> span() const { return {values.get(), static_cast<size_t>(length)}; }
};

template <typename Value>
IntArray intArray(FuzzedDataProvider& in, int64_t needed, Value value) {
  IntArray array;
  if (in.ConsumeIntegralInRange<int>(0, 63) == 63) {
    array.isNull = true;
    return array;
  }
  array.length = lengthNear(in, needed);
  if (array.length > 0) {
    array.values = std::make_unique<int32_t[]>(array.length);
  }
  for (int64_t e = 0; e < array.length; ++e) {
    array.values[e] = value(e);
  }
  return array;
}

// A table's row lengths: `rows` near what the results need, row 0 near `width`, the other rows
// mostly as long as row 0; now and then a null row or a null table.
struct Table {
  bool isNull = false;
  std::vector<int32_t> rowLengths;
};

Table table(FuzzedDataProvider& in, int64_t rows, int64_t width) {
  Table t;
  if (in.ConsumeIntegralInRange<int>(0, 63) == 63) {
    t.isNull = true;
    return t;
  }
  t.rowLengths.resize(lengthNear(in, rows));
  for (std::size_t r = 0; r < t.rowLengths.size(); ++r) {
    const int choice = in.ConsumeIntegralInRange<int>(0, 31);
    if (choice == 31) {
      t.rowLengths[r] = nullRow;
    } else if (r == 0 || choice == 30) {
      t.rowLengths[r] = static_cast<int32_t>(lengthNear(in, width));
    } else {
      t.rowLengths[r] = t.rowLengths[0] == nullRow ? 0 : t.rowLengths[0] + (choice == 29);
    }
  }
  return t;
}

// An accepted table as the bridge handles it: the caller's rows, each an allocation of its own
// length, and the engine's row buffers, R allocations of the width C of row 0. Rows 1 .. R - 1,
// elements 1 .. C - 1, are copied into the buffers before the run and back after it.
struct ExchangedTable {
  std::vector<std::unique_ptr<double[]>> callerRows, buffers;
  std::vector<double*> pointers;
  int32_t width = 0;

  explicit ExchangedTable(const Table& t) : width(t.rowLengths.front()) {
    for (const int32_t length : t.rowLengths) {
      callerRows.push_back(std::make_unique<double[]>(length));
      buffers.push_back(std::make_unique<double[]>(width));
      pointers.push_back(buffers.back().get());
    }
  }
  void copyIn() {
    for (std::size_t r = 1; r < buffers.size(); ++r) {
      std::copy(callerRows[r].get() + std::min(width, 1), callerRows[r].get() + width,
                buffers[r].get() + std::min(width, 1));
    }
  }
  void copyBack() {
    for (std::size_t r = 1; r < buffers.size(); ++r) {
      std::copy(buffers[r].get() + std::min(width, 1), buffers[r].get() + width,
                callerRows[r].get() + std::min(width, 1));
    }
  }
};

// Accepted argument sets whose counts stay this small run through the engine; larger ones
// (such as a billion objects with nothing to read) would only allocate.
bool smallEnoughToRun(const Arguments& a) {
  return a.objectCount <= longest && a.dimensionCount <= 16 && a.maxCategories <= 64 &&
         a.activeCount + a.passiveCount <= 16;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider in(bytes, size);
  ++statistics.calls;

  Arguments a;
  a.dimensionCount = count(in, 4);
  a.dataStride = count(in, 6);
  a.objectCount = count(in, 12);
  a.maxCategories = count(in, 5);
  a.activeCount = count(in, 4);
  a.passiveCount = count(in, 3);
  a.weightColumn = valueOrNot(in, 0, std::clamp(a.dataStride - 1, 0, 6), -1);
  a.useWeights = in.ConsumeBool();
  a.writeObjectScores = in.ConsumeBool();
  const int32_t maxIterations = in.ConsumeIntegralInRange<int32_t>(1, 4);
  const int32_t innerIterations = in.ConsumeIntegralInRange<int32_t>(-1, 3);

  const int32_t K = std::clamp(a.maxCategories, 0, 6);
  const int32_t stride = std::clamp(a.dataStride, 0, 7);
  std::array<IntArray, intParameterCount> arrays;
  for (int p = 0; p < intParameterCount - 1; ++p) {
    const int64_t needed = p % 2 == 0 ? a.activeCount : a.passiveCount;
    switch (p / 2) {
      case 0:  // columns
        arrays[p] = intArray(in, needed, [&](int64_t) {
          return valueOrNot(in, 0, std::max(stride - 1, 0), in.ConsumeBool() ? -1 : stride);
        });
        break;
      case 1:  // category counts
        arrays[p] = intArray(in, needed, [&](int64_t) { return valueOrNot(in, -1, K, K + 1); });
        break;
      case 2:  // single flags
        arrays[p] = intArray(in, needed, [&](int64_t) { return in.ConsumeIntegralInRange(0, 2); });
        break;
      default:  // levels
        arrays[p] = intArray(in, needed, [&](int64_t) { return in.ConsumeIntegralInRange(-1, 3); });
        break;
    }
  }
  // Codes up to the smallest category count of the variables in their column (now and then one
  // more); columns of no variable hold weights.
  std::vector<int32_t> largestCode(stride, -1);
  for (int p = 0; p < 2; ++p) {
    const IntArray& columns = arrays[p];
    const IntArray& counts = arrays[p + 2];
    for (int64_t j = 0; j < std::min(columns.length, counts.length); ++j) {
      if (columns.values[j] >= 0 && columns.values[j] < stride) {
        int32_t& largest = largestCode[columns.values[j]];
        largest = largest < 0 ? std::max(counts.values[j], 0) : std::min(largest, counts.values[j]);
      }
    }
  }
  arrays[tallowmere::bridge::dataParameter] =
      intArray(in, int64_t{a.objectCount} * a.dataStride, [&](int64_t e) {
        const int32_t largest = stride > 0 ? largestCode[e % stride] : -1;
        return largest < 0 ? in.ConsumeIntegralInRange(-3, 5)
                           : valueOrNot(in, -2, largest, largest + 1);
      });
  for (int p = 0; p < intParameterCount; ++p) {
    a.arrays[p] = {arrays[p].isNull, arrays[p].span()};
  }

  int64_t categoryRows = 0;
  const IntArray& activeCounts = arrays[tallowmere::bridge::activeCategoryCountsParameter];
  for (int64_t j = 0; j < std::min<int64_t>(a.activeCount, activeCounts.length); ++j) {
    categoryRows += std::max(activeCounts.values[j], 0);
  }
  const int64_t width = int64_t{a.dimensionCount} + 1;
  const Table scores = table(in, a.writeObjectScores ? int64_t{a.objectCount} + 1 : 1,
                             a.writeObjectScores ? width : 1);
  const Table categories = table(in, 1 + categoryRows, width);
  a.objectScoreTable = {scores.isNull, scores.rowLengths};
  a.categoryQuantificationTable = {categories.isNull, categories.rowLengths};

  const double tolerances[] = {0.0, 1e-12, 1e-6, 1.0, -1.0};
  const double fitTolerance = tolerances[in.ConsumeIntegralInRange<int>(0, 4)];
  const double cosineTolerance = tolerances[in.ConsumeIntegralInRange<int>(0, 4)];

  const CheckResult result = checkArguments(a);
  if (!result.accepted()) {
    if (result.message.empty() ||
        tallowmere::bridge::javaExceptionClass(result.rejection) == nullptr) {
      std::abort();  // every rejection must tell the caller what to fix
    }
    return 0;
  }
  ++statistics.accepted;
  if (!smallEnoughToRun(a)) {
    return 0;
  }
  ++statistics.engineRuns;

  ExchangedTable scoreTable(scores);
  ExchangedTable categoryTable(categories);
  scoreTable.copyIn();
  categoryTable.copyIn();
  const auto array = [&](int p) { return arrays[p].values.get(); };
  tallowmere::runAnalysis(a.dimensionCount, a.dataStride, a.objectCount, a.maxCategories,
                          maxIterations, innerIterations, a.activeCount, a.passiveCount,
                          a.weightColumn, false, a.useWeights, a.writeObjectScores, array(0),
                          array(1), array(2), array(3), array(4), array(5), array(6), array(7),
                          array(8), fitTolerance, cosineTolerance, scoreTable.pointers.data(),
                          categoryTable.pointers.data());
  scoreTable.copyBack();
  categoryTable.copyBack();
  return 0;
}
