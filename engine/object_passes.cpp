// The passes over the objects: every pass is one struct of kernels (object_pass_kernels.h), and
// one dispatch picks its instantiation for the plan's form of codes, the dimension count and the
// vector width, so that a new pass or instruction set is a change in one place.
#include "object_passes.h"

#include <algorithm>
#include <cmath>

#include "engine.h"
#include "object_pass_kernels.h"
#include "workers.h"

namespace tallowmere {

namespace {

using namespace passes;

// A pass provides its Arguments, fixed<V, P, Offsets>(plan, work, codes, arguments) for P = 1
// .. maxFixedDimensions and, unless it is fused, anyCount<Offsets>(...) for the other counts, and
// the widest vectors that pay for it.

// Every pass works on objects first .. last - 1; scratch holds P doubles for the scalar loops.
struct CentroidPass {
  struct Arguments {
    const double* w;
    const double* X;
    std::ptrdiff_t first, last;
    double* table;  // zeroed by the caller
    double* scratch;
  };
  // 512-bit read-modify-writes of the table cost more than two 256-bit ones.
  static constexpr int maxLanes = 4;
  template <typename V, int P, bool Offsets, typename Code>
  [[gnu::always_inline]] static void fixed(const IterationPlan& plan, const Workspace&,
                                           const Code* codes, const Arguments& a) {
    accumulateCentroidsWith<V, P, Offsets>(plan, a.table, codes, a.w, a.X, a.first, a.last);
  }
  template <bool Offsets, typename Code>
  static void anyCount(const IterationPlan& plan, const Workspace&, const Code* codes,
                       const Arguments& a) {
    accumulateCentroidsAnyCount<Offsets>(plan, a.table, codes, a.w, a.X, a.first, a.last,
                                         a.scratch);
  }
};

struct AveragePass {
  struct Arguments {
    const double* w;
    const double* m;
    double* averages;
    std::ptrdiff_t first, last;
    double* scratch;
  };
  static constexpr int maxLanes = 8;
  template <typename V, int P, bool Offsets, typename Code>
  [[gnu::always_inline]] static void fixed(const IterationPlan& plan, const Workspace& work,
                                           const Code* codes, const Arguments& a) {
    averageObjectsWith<V, P, Offsets>(plan, work, codes, a.w, a.m, a.averages, a.first, a.last);
  }
  template <bool Offsets, typename Code>
  static void anyCount(const IterationPlan& plan, const Workspace& work, const Code* codes,
                       const Arguments& a) {
    averageObjectsAnyCount<Offsets>(plan, work, codes, a.w, a.m, a.averages, a.first, a.last,
                                    a.scratch);
  }
};

struct AverageAndEvaluatePass {
  struct Arguments {
    const double* w;
    const double* m;
    double* X;
    EvaluationSums* sums;
    std::ptrdiff_t first, last;
  };
  static constexpr int maxLanes = 8;
  template <typename V, int P, bool Offsets, typename Code>
  [[gnu::always_inline]] static void fixed(const IterationPlan& plan, const Workspace& work,
                                           const Code* codes, const Arguments& a) {
    averageAndEvaluateWith<V, P, Offsets>(plan, work, codes, a.w, a.m, a.X, a.first, a.last,
                                          *a.sums);
  }
};

// Each pass compiled for baseline 128-bit vectors (SSE2 on x86-64, NEON on aarch64) and, on
// x86-64, for 256-bit ones (AVX2) and 512-bit ones (AVX-512). Lanes do the same operations at
// every width, so a machine with the baseline alone gets the same bits.
template <typename Pass, int P, bool Offsets, typename Code>
void runBaseline(const IterationPlan& plan, const Workspace& work, const Code* codes,
                 const typename Pass::Arguments& a) {
  Pass::template fixed<Lanes2, P, Offsets>(plan, work, codes, a);
}
#if defined(__x86_64__)
template <typename Pass, int P, bool Offsets, typename Code>
[[gnu::target("avx2")]] void runWide(const IterationPlan& plan, const Workspace& work,
                                     const Code* codes, const typename Pass::Arguments& a) {
  Pass::template fixed<Lanes4, P, Offsets>(plan, work, codes, a);
}
template <typename Pass, int P, bool Offsets, typename Code>
[[gnu::target("avx512f")]] void runWidest(const IterationPlan& plan, const Workspace& work,
                                          const Code* codes, const typename Pass::Arguments& a) {
  Pass::template fixed<Lanes8, P, Offsets>(plan, work, codes, a);
}
#endif

template <typename Pass>
void dispatch(const IterationPlan& plan, const Workspace& work, const typename Pass::Arguments& a) {
  withCodes(plan, [&](const auto* codes, auto offsets) {
    withDimensionCount(plan.dimensionCount, [&](auto fixed) {
      constexpr int P = fixed();
      constexpr bool O = offsets();
      if constexpr (P == 0) {
        if constexpr (requires { Pass::template anyCount<O>(plan, work, codes, a); }) {
          Pass::template anyCount<O>(plan, work, codes, a);
        }
      } else {
        // 8 lanes only pay for entries of 8 doubles.
        const int lanes = std::min({plan.lanes, Pass::maxLanes, P <= 4 ? 4 : 8});
#if defined(__x86_64__)
        if (lanes >= 8) {
          return runWidest<Pass, P, O>(plan, work, codes, a);
        }
        if (lanes >= 4) {
          return runWide<Pass, P, O>(plan, work, codes, a);
        }
#endif
        (void)lanes;
        runBaseline<Pass, P, O>(plan, work, codes, a);
      }
    });
  });
}

}  // namespace

void useBlocks(const IterationPlan& plan, Workspace& work, Workers* workers) {
  work.workers = workers;
  const std::size_t blocks = static_cast<std::size_t>(blockCount(plan.objectCount));
  work.blockTables.assign(blocks * work.table.size(), 0.0);
  work.blockSums.assign(blocks, EvaluationSums{});
  work.blockScratch.assign(blocks * static_cast<std::size_t>(plan.entryStride), 0.0);
}

int processorLanes() {
#if defined(__x86_64__)
  static const int supported = __builtin_cpu_supports("avx512f") ? 8
                               : __builtin_cpu_supports("avx2")  ? 4
                                                                 : 2;
  return supported;
#else
  return 2;
#endif
}

void computeCategoryCentroids(const Problem& problem, const IterationPlan& plan, Workspace& work,
                              std::span<const double> objectWeights,
                              std::span<const double> categoryMarginals,
                              std::span<const double> objectScores,
                              std::span<double> categoryQuantifications) {
  const std::size_t size = work.table.size();
  if (work.workers == nullptr) {
    std::fill(work.table.begin(), work.table.end(), 0.0);
    dispatch<CentroidPass>(plan, work,
                           {objectWeights.data(), objectScores.data(), 0, plan.objectCount,
                            work.table.data(), work.scratch.data()});
  } else {
    // A table per block, added in block order.
    forEachBlock(work.workers, plan.objectCount,
                 [&](std::ptrdiff_t b, std::ptrdiff_t first, std::ptrdiff_t last) {
                   double* table = work.blockTables.data() + b * size;
                   std::fill(table, table + size, 0.0);
                   dispatch<CentroidPass>(plan, work,
                                          {objectWeights.data(), objectScores.data(), first, last,
                                           table, work.blockScratch.data() + b * plan.entryStride});
                 });
    std::fill(work.table.begin(), work.table.end(), 0.0);
    for (std::size_t b = 0; b < work.blockSums.size(); ++b) {
      const double* table = work.blockTables.data() + b * size;
      for (std::size_t e = 0; e < size; ++e) {
        work.table[e] += table[e];
      }
    }
  }
  // Divide into the caller's dimension-major layout; slots beyond k_J have a zero marginal.
  const std::ptrdiff_t P = plan.dimensionCount, S = problem.slotCount;
  const std::ptrdiff_t E = plan.entryStride;
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    double* y = categoryQuantifications.data() + d * S;
    for (int32_t v = 0; v < plan.variableCount; ++v) {
      const int32_t J = plan.order[v];
      const double* block = work.table.data() + v * plan.blockWidth * E + d;
      const double* D = categoryMarginals.data() + problem.slotStart[J];
      double* out = y + problem.slotStart[J];
      for (std::ptrdiff_t c = 0; c < problem.blockSize(J); ++c) {
        out[c] = zeroTolerance > std::fabs(D[c]) ? 0.0 : block[c * E] / D[c];
      }
    }
  }
}

void computeObjectAverages(const Problem& problem, const IterationPlan& plan, Workspace& work,
                           std::span<const double> objectWeights,
                           std::span<const double> objectMarginals,
                           std::span<const double> categoryQuantifications,
                           std::span<double> objectAverages) {
  loadActiveQuantifications(problem, plan, work, categoryQuantifications);
  // Every object's average stands alone: blocks change nothing but the threads.
  forEachBlock(work.workers, plan.objectCount,
               [&](std::ptrdiff_t b, std::ptrdiff_t first, std::ptrdiff_t last) {
                 double* scratch = work.workers == nullptr
                                       ? work.scratch.data()
                                       : work.blockScratch.data() + b * plan.entryStride;
                 dispatch<AveragePass>(plan, work,
                                       {objectWeights.data(), objectMarginals.data(),
                                        objectAverages.data(), first, last, scratch});
               });
}

bool fusedPassHandles(int32_t dimensions) {
  return dimensions >= 1 && dimensions <= maxFixedDimensions;
}

void averageAndEvaluate(const Problem& problem, const IterationPlan& plan, Workspace& work,
                        std::span<const double> objectWeights,
                        std::span<const double> objectMarginals,
                        std::span<const double> categoryQuantifications,
                        std::span<double> objectScores, EvaluationSums& sums) {
  loadActiveQuantifications(problem, plan, work, categoryQuantifications);
  if (work.workers == nullptr) {
    dispatch<AverageAndEvaluatePass>(plan, work,
                                     {objectWeights.data(), objectMarginals.data(),
                                      objectScores.data(), &sums, 0, plan.objectCount});
    return;
  }
  // The sums of each block, added in block order.
  forEachBlock(work.workers, plan.objectCount,
               [&](std::ptrdiff_t b, std::ptrdiff_t first, std::ptrdiff_t last) {
                 dispatch<AverageAndEvaluatePass>(
                     plan, work,
                     {objectWeights.data(), objectMarginals.data(), objectScores.data(),
                      &work.blockSums[b], first, last});
               });
  sums = EvaluationSums{};
  for (const EvaluationSums& block : work.blockSums) {
    for (int32_t d = 0; d < plan.dimensionCount; ++d) {
      sums.crossProducts[d] += block.crossProducts[d];
      sums.newLengths[d] += block.newLengths[d];
      sums.centreSums[d] += block.centreSums[d];
    }
  }
}

}  // namespace tallowmere
