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

namespace tallowmere {

// Blocks:      every variable owns B = max(K, 0) + 1 entries: its K categories and a dump.
// Codes:       codes[i * (M1 + M2) + J] is object i's index on variable J: code c in 1 .. K as
//              c - 1; a missing code (0 or below), or one above K, as B - 1, the dump. Stored
//              in the narrowest of uint8, uint16 and int32 that holds B - 1.
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
  std::vector<uint8_t> byteCodes;
  std::vector<uint16_t> shortCodes;
  std::vector<int32_t> wideCodes;
  std::vector<double> table;
  std::vector<int32_t> blockLength;
  std::vector<double> blockValue, blockWeight;
  std::vector<double> dimensionScratch;
};

// Fills a plan from analysisSettings and its data.
void buildIterationPlan(IterationPlan& plan);

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

// Calls f with a pointer to the plan's codes, in whichever width they are stored.
template <typename F>
void withCodes(const IterationPlan& plan, F&& f) {
  if (!plan.byteCodes.empty()) {
    f(plan.byteCodes.data());
  } else if (!plan.shortCodes.empty()) {
    f(plan.shortCodes.data());
  } else {
    f(plan.wideCodes.data());
  }
}

// Calls f with std::integral_constant<int, P> for the common dimension counts, so that the
// per-object loops over dimensions are unrolled, or with 0 for any other count.
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
    default:
      return f(std::integral_constant<int, 0>{});
  }
}

}  // namespace tallowmere
