// The passes over the objects: every pass is one struct of kernels (object_pass_kernels.h), and
// one dispatch picks its instantiation for the plan's form of codes, the dimension count and the
// vector width, so that a new pass or instruction set is a change in one place.
#include "object_passes.h"

#include <algorithm>
#include <cmath>

#include "engine.h"
#include "object_pass_kernels.h"

namespace tallowmere {

namespace {

using namespace passes;

// A pass provides its Arguments, fixed<V, P, Offsets>(plan, work, codes, arguments) for P = 1
// .. maxFixedDimensions and, unless it is fused, anyCount<Offsets>(...) for the other counts, and
// the widest vectors that pay for it.

struct CentroidPass {
  struct Arguments {
    const int32_t* w;
    const double* X;
  };
  // 512-bit read-modify-writes of the table cost more than two 256-bit ones.
  static constexpr int maxLanes = 4;
  template <typename V, int P, bool Offsets, typename Code>
  [[gnu::always_inline]] static void fixed(const IterationPlan& plan, Workspace& work,
                                           const Code* codes, const Arguments& a) {
    accumulateCentroidsWith<V, P, Offsets>(plan, work, codes, a.w, a.X);
  }
  template <bool Offsets, typename Code>
  static void anyCount(const IterationPlan& plan, Workspace& work, const Code* codes,
                       const Arguments& a) {
    accumulateCentroidsAnyCount<Offsets>(plan, work, codes, a.w, a.X);
  }
};

struct AveragePass {
  struct Arguments {
    const int32_t* w;
    const double* m;
    double* averages;
  };
  static constexpr int maxLanes = 8;
  template <typename V, int P, bool Offsets, typename Code>
  [[gnu::always_inline]] static void fixed(const IterationPlan& plan, Workspace& work,
                                           const Code* codes, const Arguments& a) {
    averageObjectsWith<V, P, Offsets>(plan, work, codes, a.w, a.m, a.averages);
  }
  template <bool Offsets, typename Code>
  static void anyCount(const IterationPlan& plan, Workspace& work, const Code* codes,
                       const Arguments& a) {
    averageObjectsAnyCount<Offsets>(plan, work, codes, a.w, a.m, a.averages);
  }
};

struct AverageAndEvaluatePass {
  struct Arguments {
    const int32_t* w;
    const double* m;
    double* X;
    EvaluationSums* sums;
  };
  static constexpr int maxLanes = 8;
  template <typename V, int P, bool Offsets, typename Code>
  [[gnu::always_inline]] static void fixed(const IterationPlan& plan, Workspace& work,
                                           const Code* codes, const Arguments& a) {
    averageAndEvaluateWith<V, P, Offsets>(plan, work, codes, a.w, a.m, a.X, *a.sums);
  }
};

// Each pass compiled for baseline 128-bit vectors (SSE2 on x86-64, NEON on aarch64) and, on
// x86-64, for 256-bit ones (AVX2) and 512-bit ones (AVX-512). Lanes do the same operations at
// every width, so a machine with the baseline alone gets the same bits.
template <typename Pass, int P, bool Offsets, typename Code>
void runBaseline(const IterationPlan& plan, Workspace& work, const Code* codes,
                 const typename Pass::Arguments& a) {
  Pass::template fixed<Lanes2, P, Offsets>(plan, work, codes, a);
}
#if defined(__x86_64__)
template <typename Pass, int P, bool Offsets, typename Code>
[[gnu::target("avx2")]] void runWide(const IterationPlan& plan, Workspace& work, const Code* codes,
                                     const typename Pass::Arguments& a) {
  Pass::template fixed<Lanes4, P, Offsets>(plan, work, codes, a);
}
template <typename Pass, int P, bool Offsets, typename Code>
[[gnu::target("avx512f")]] void runWidest(const IterationPlan& plan, Workspace& work,
                                          const Code* codes, const typename Pass::Arguments& a) {
  Pass::template fixed<Lanes8, P, Offsets>(plan, work, codes, a);
}
#endif

template <typename Pass>
void dispatch(const IterationPlan& plan, Workspace& work, const typename Pass::Arguments& a) {
  withCodes(plan, [&](const auto* codes, auto offsets) {
    withDimensionCount(analysisSettings.dimensionCount, [&](auto fixed) {
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

void computeCategoryCentroids(const IterationPlan& plan, Workspace& work,
                              std::span<const int32_t> objectWeights,
                              std::span<const double> categoryMarginals,
                              std::span<const double> objectScores,
                              std::span<double> categoryQuantifications) {
  dispatch<CentroidPass>(plan, work, {objectWeights.data(), objectScores.data()});
  // Divide into the caller's dimension-major layout; slots beyond k_J have a zero marginal.
  const AnalysisSettings& s = analysisSettings;
  const std::ptrdiff_t P = s.dimensionCount, K = s.maxCategories, S = slotCount();
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    double* y = categoryQuantifications.data() + d * S;
    for (std::ptrdiff_t slot = 0; slot < S; ++slot) {
      const double sum =
          K > 0 ? work.table[((slot / K) * plan.blockWidth + slot % K) * plan.entryStride + d]
                : 0.0;
      y[slot] =
          zeroTolerance > std::fabs(categoryMarginals[slot]) ? 0.0 : sum / categoryMarginals[slot];
    }
  }
}

void computeObjectAverages(const IterationPlan& plan, Workspace& work,
                           std::span<const int32_t> objectWeights,
                           std::span<const double> objectMarginals,
                           std::span<const double> categoryQuantifications,
                           std::span<double> objectAverages) {
  loadActiveQuantifications(plan, work, categoryQuantifications);
  dispatch<AveragePass>(plan, work,
                        {objectWeights.data(), objectMarginals.data(), objectAverages.data()});
}

bool fusedPassHandles(int32_t dimensions) {
  return dimensions >= 1 && dimensions <= maxFixedDimensions;
}

void averageAndEvaluate(const IterationPlan& plan, Workspace& work,
                        std::span<const int32_t> objectWeights,
                        std::span<const double> objectMarginals,
                        std::span<const double> categoryQuantifications,
                        std::span<double> objectScores, EvaluationSums& sums) {
  loadActiveQuantifications(plan, work, categoryQuantifications);
  dispatch<AverageAndEvaluatePass>(
      plan, work, {objectWeights.data(), objectMarginals.data(), objectScores.data(), &sums});
}

// The routines without a plan: outside a run, a plan for the call.
void computeCategoryCentroids(std::span<const int32_t> objectWeights,
                              std::span<const double> categoryMarginals,
                              std::span<const double> objectScores,
                              std::span<double> categoryQuantifications) {
  IterationPlan plan;
  Workspace work;
  buildIterationPlan(plan, work);
  computeCategoryCentroids(plan, work, objectWeights, categoryMarginals, objectScores,
                           categoryQuantifications);
}

void computeObjectAverages(std::span<const int32_t> objectWeights,
                           std::span<const double> objectMarginals,
                           std::span<const double> categoryQuantifications,
                           std::span<double> objectAverages) {
  IterationPlan plan;
  Workspace work;
  buildIterationPlan(plan, work);
  computeObjectAverages(plan, work, objectWeights, objectMarginals, categoryQuantifications,
                        objectAverages);
}

}  // namespace tallowmere
