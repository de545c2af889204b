// Per-run preparation of the hot passes, private to the engine. The data matrix does not change
// during a run, so its codes are read once into a compact object-major table, and the passes
// over objects and variables then run branch-free over category indices.
#pragma once

#include <cstdint>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "analysis_settings.h"
#include "buffer.h"

namespace tallowmere {

// Blocks:      every variable owns B = max(K, 0) + 1 entries: its K categories and a dump.
// Codes:       object i's index on variable J: code c in 1 .. K as c - 1; a missing code (0 or
//              below), or one above K, as B - 1, the dump. Kept object-major, element
//              i * (M1 + M2) + J, as the entry's offset within its block, index * E, when that
//              fits a byte (so the passes need no multiplication to find an entry); otherwise as
//              the index itself, in the narrowest of uint8, uint16 and int32 that holds B - 1.
// Table:       the quantifications of every variable, with the P dimensions of an entry side
//              by side: element (J, c, d) at (J * B + c) * E + d, where the entry stride E is
//              P rounded up to a multiple of 4 (lanes beyond P hold zeros). The passes add
//              missing codes' terms into the dump, or read a zero from it, instead of
//              branching.
// Regression:  work arrays of K entries for the monotone regression.
// Dimensions:  P doubles of per-object scratch for dimension counts without a fixed kernel.
struct IterationPlan {
  std::ptrdiff_t blockWidth = 1;
  std::ptrdiff_t entryStride = 4;
  Buffer<uint8_t> entryOffsets;
  Buffer<uint8_t> byteCodes;
  Buffer<uint16_t> shortCodes;
  Buffer<int32_t> wideCodes;
  Buffer<double> table;  // aligned to a cache line: entries of 4 doubles never straddle two lines

  IterationPlan() = default;
  IterationPlan(const IterationPlan&) = delete;
  IterationPlan& operator=(const IterationPlan&) = delete;
  std::vector<int32_t> blockLength;
  std::vector<double> blockValue, blockWeight;
  std::vector<double> dimensionScratch;
};

// Fills a plan from analysisSettings and its data.
void buildIterationPlan(IterationPlan& plan);

// Whether codes may be stored as entry offsets (the default); tests switch it off to check
// the plans with category indices on small problems.
void allowEntryOffsets(bool allowed);

// The plan of the run in progress, or `local`, built now, for a call made outside a run.
IterationPlan& iterationPlan(IterationPlan& local);

// The run plan when its regression arrays hold k entries, else `local` with arrays of k.
IterationPlan& regressionWorkspace(IterationPlan& local, int32_t k);

// 2P doubles of scratch: the run plan's, or `local` sized now outside a run.
std::span<double> dimensionScratch(std::vector<double>& local);

// Makes `plan` the current run's plan for the lifetime of the scope.
class RunPlanScope {
 public:
  explicit RunPlanScope(IterationPlan& plan);
  ~RunPlanScope();
  RunPlanScope(const RunPlanScope&) = delete;
  RunPlanScope& operator=(const RunPlanScope&) = delete;
};

// Calls f(codes, offsets) with a pointer to the plan's codes, in whichever form they are stored,
// and std::true_type when they are entry offsets, std::false_type when they are indices.
template <typename F>
void withCodes(const IterationPlan& plan, F&& f) {
  if (!plan.entryOffsets.empty()) {
    f(plan.entryOffsets.data(), std::true_type{});
  } else if (!plan.byteCodes.empty()) {
    f(plan.byteCodes.data(), std::false_type{});
  } else if (!plan.shortCodes.empty()) {
    f(plan.shortCodes.data(), std::false_type{});
  } else {
    f(plan.wideCodes.data(), std::false_type{});
  }
}

// The table entry of a code: block is its variable's first entry, stride the entry size.
template <bool Offsets, typename T, typename Code>
[[gnu::always_inline]] inline T* tableEntry(T* block, Code code, std::ptrdiff_t stride) {
  if constexpr (Offsets) {
    return block + code;
  } else {
    return block + std::ptrdiff_t{code} * stride;
  }
}

// Calls f with std::integral_constant<int, P> for P = 1 .. maxFixedDimensions, so that the
// per-object loops over dimensions are unrolled, or with 0 for any other count.
inline constexpr int32_t maxFixedDimensions = 8;

template <typename F>
void withDimensionCount(int32_t dimensions, F&& f) {
  switch (dimensions) {
    case 1:
      return f(std::integral_constant<int, 1>{});
    case 2:
      return f(std::integral_constant<int, 2>{});
    case 3:
      return f(std::integral_constant<int, 3>{});
    case 4:
      return f(std::integral_constant<int, 4>{});
    case 5:
      return f(std::integral_constant<int, 5>{});
    case 6:
      return f(std::integral_constant<int, 6>{});
    case 7:
      return f(std::integral_constant<int, 7>{});
    case 8:
      return f(std::integral_constant<int, 8>{});
    default:
      return f(std::integral_constant<int, 0>{});
  }
}

}  // namespace tallowmere
