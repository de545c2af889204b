// Per-run preparation of the hot passes, private to the engine. The data matrix does not change
// during a run, so its codes are read once into a compact object-major table, and the passes
// over objects and variables then run branch-free over category indices.
#pragma once

#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

#include "buffer.h"
#include "problem.h"

namespace tallowmere {

// Width of a table entry: P rounded up to a multiple of 4, at least 4, so that an entry of up to
// 4 dimensions never straddles two cache lines and the vector passes read whole entries.
constexpr std::ptrdiff_t entryStride(std::ptrdiff_t dimensions) {
  return dimensions <= 4 ? 4 : (dimensions + 3) / 4 * 4;
}

// Choices a plan makes that do not change any result, only how the passes run: tests and
// benchmarks set them to check and time every form on one machine.
struct PlanOptions {
  bool entryOffsets = true;  // codes as entry offsets whenever they fit a byte
  int maxLanes = 8;          // the widest vectors the passes may use, in doubles (2, 4 or 8)
};

// Order:       the plan's variables are the problem's active variables in order, then its passive
//              ones: position v holds variable order[v], and positions 0 .. M1 - 1 are active.
// Blocks:      every variable owns B = K + 1 entries: its K categories and a dump.
// Codes:       object i's index on the variable at position v: code c in 1 .. K as c - 1; a
//              missing code (0 or below), or one above K, as B - 1, the dump. Kept object-major,
//              element i * V + v, as the entry's offset within its block, index * E, when that
//              fits a byte (so the passes need no multiplication to find an entry); otherwise as
//              the index itself, in the narrowest of uint8, uint16 and int32 that holds B - 1.
// Lanes:       the vector width of the passes: options.maxLanes as far as the processor runs it.
struct IterationPlan {
  PlanOptions options;
  std::ptrdiff_t objectCount = 0;
  int32_t dimensionCount = 0;
  int32_t variableCount = 0;
  int32_t activeCount = 0;
  std::vector<int32_t> order;
  int lanes = 2;
  std::ptrdiff_t blockWidth = 1;
  std::ptrdiff_t entryStride = 4;
  Buffer<uint8_t> entryOffsets;
  Buffer<uint8_t> byteCodes;
  Buffer<uint16_t> shortCodes;
  Buffer<int32_t> wideCodes;
};

// Work arrays of the monotone regression, k entries each, reused across calls.
struct RegressionWorkspace {
  std::vector<int32_t> blockLength;
  std::vector<double> blockValue, blockWeight;

  explicit RegressionWorkspace(std::ptrdiff_t k = 0);
};

// Per-dimension sums of one fused pass (object_passes.h): <new, old>_m, <new, new>_m and
// sum_i m_i new_i.
inline constexpr int32_t maxFixedDimensions = 8;
struct EvaluationSums {
  double crossProducts[maxFixedDimensions];
  double newLengths[maxFixedDimensions];
  double centreSums[maxFixedDimensions];
};

class Workers;

// What the passes write besides their results, allocated once per run so that no iteration
// allocates.
// Table:       the quantifications of every variable, with the P dimensions of an entry side
//              by side: element (v, c, d) at (v * B + c) * E + d for the variable at plan
//              position v, E = entryStride(P) (lanes
//              beyond P hold zeros). The passes add missing codes' terms into the dump, or read
//              a zero from it, instead of branching. Aligned to a cache line.
// Scratch:     2E doubles per dimension pair of sums, for dimension counts without a fixed
//              kernel and for the normalisation's per-dimension sums.
// Blocks:      the typed entry point's runs pass over the objects in the fixed blocks of
//              workers.h, on its workers: a table, sums and scratch per block, whose results are
//              added in block order. Without workers the passes take all objects at once.
struct Workspace {
  Buffer<double> table;
  std::vector<double> scratch;
  RegressionWorkspace regression;
  Workers* workers = nullptr;
  std::vector<double> blockTables;
  std::vector<EvaluationSums> blockSums;
  std::vector<double> blockScratch;
};

// Fills a plan from a problem and its codes, and a workspace sized for it; on the workers, when
// given.
void buildIterationPlan(const Problem& problem, IterationPlan& plan, Workspace& workspace,
                        const PlanOptions& options = {}, Workers* workers = nullptr);

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
