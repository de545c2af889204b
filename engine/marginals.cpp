// The two halves of every alternating least squares step (objects to categories and back) and
// the weighted frequencies both divide by. No indicator matrix is formed: the passes read the
// run's compact codes (iteration_plan.h).
#include <algorithm>
#include <cmath>

#include "engine.h"
#include "iteration_plan.h"
#include "vector_lanes.h"

namespace tallowmere {

void computeMarginals(std::span<const int32_t> objectWeights, std::span<double> objectMarginals,
                      std::span<double> categoryMarginals, double& totalMarginal) {
  const AnalysisSettings& s = analysisSettings;
  for (std::ptrdiff_t i = 0; i < s.objectCount; ++i) {
    const double b = objectWeights[i];
    for (int32_t j = 0; j < s.activeCount; ++j) {
      const int32_t c = objectCode(i, j);
      if (c > 0) {
        objectMarginals[i] = objectMarginals[i] + b;
        totalMarginal = totalMarginal + b;
        categoryMarginals[categorySlot(j, c)] += b;
      }
    }
    // Passive categories get their frequencies, but passive codes never weigh on an object.
    for (int32_t J = s.activeCount; J < variableCount(); ++J) {
      const int32_t c = objectCode(i, J);
      if (c > 0) {
        categoryMarginals[categorySlot(J, c)] += b;
      }
    }
  }
}

namespace {

// The object loops below visit objects in order and, within an object, variables in order, with
// the dimensions of one object side by side in vector lanes. Every accumulator (one per category
// or object and dimension) therefore receives exactly the terms, in the order, of a loop with
// dimensions outermost; only independent accumulators share an instruction.
//
// Chunks: the number of vectors per table entry, fixed at compile time for the common
// dimension counts (0: given at run time).

template <typename V, int FixedChunks, typename Code>
[[gnu::always_inline]] inline void accumulateCentroidsWith(IterationPlan& plan, const Code* codes,
                                                           const int32_t* objectWeights,
                                                           const double* objectScores) {
  constexpr int L = laneCount<V>;
  const AnalysisSettings& s = analysisSettings;
  const std::ptrdiff_t P = s.dimensionCount;
  const std::ptrdiff_t N = s.objectCount;
  const int32_t variables = variableCount();
  const std::ptrdiff_t stride = plan.entryStride;
  const int chunks = FixedChunks > 0 ? FixedChunks : static_cast<int>(stride / L);
  const std::ptrdiff_t blockStride = plan.blockWidth * stride;
  double* table = plan.table.data();
  std::fill(plan.table.begin(), plan.table.end(), 0.0);
  double fixedTerms[FixedChunks > 0 ? FixedChunks * L : 1] = {};
  double* terms = FixedChunks > 0 ? fixedTerms : plan.dimensionScratch.data();
  for (std::ptrdiff_t i = 0; i < N; ++i) {
    const double w = objectWeights[i];
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      terms[d] = w * objectScores[d * N + i];
    }
    V lanes[FixedChunks > 0 ? FixedChunks : 1];
    if constexpr (FixedChunks > 0) {
      for (int k = 0; k < FixedChunks; ++k) {
        lanes[k] = loadLanes<V>(terms + k * L);
      }
    }
    const Code* row = codes + i * variables;
    double* block = table;
    for (int32_t J = 0; J < variables; ++J, block += blockStride) {
      double* y = block + std::ptrdiff_t{row[J]} * stride;
      for (int k = 0; k < chunks; ++k) {
        const V term = FixedChunks > 0 ? lanes[k] : loadLanes<V>(terms + k * L);
        storeLanes(y + k * L, loadLanes<V>(y + k * L) + term);
      }
    }
  }
}

template <typename V, int FixedChunks, typename Code>
[[gnu::always_inline]] inline void averageObjectsWith(IterationPlan& plan, const Code* codes,
                                                      const int32_t* objectWeights,
                                                      const double* objectMarginals,
                                                      double* objectAverages) {
  constexpr int L = laneCount<V>;
  const AnalysisSettings& s = analysisSettings;
  const std::ptrdiff_t P = s.dimensionCount;
  const std::ptrdiff_t N = s.objectCount;
  const int32_t variables = variableCount();
  const std::ptrdiff_t stride = plan.entryStride;
  const int chunks = FixedChunks > 0 ? FixedChunks : static_cast<int>(stride / L);
  const std::ptrdiff_t blockStride = plan.blockWidth * stride;
  const double* table = plan.table.data();
  double fixedSums[FixedChunks > 0 ? FixedChunks * L : 1];
  double* sumLanes = FixedChunks > 0 ? fixedSums : plan.dimensionScratch.data();
  for (std::ptrdiff_t i = 0; i < N; ++i) {
    const V w = broadcastLanes<V>(objectWeights[i]);
    // A missing code reads the dump's 0.0: w * 0.0 is a signed zero, and adding a signed zero
    // leaves a sum that started at +0.0 unchanged (such a sum is never -0.0).
    V sums[FixedChunks > 0 ? FixedChunks : 1] = {};
    if constexpr (FixedChunks == 0) {
      std::fill(sumLanes, sumLanes + stride, 0.0);
    }
    const Code* row = codes + i * variables;
    const double* block = table;
    for (int32_t j = 0; j < s.activeCount; ++j, block += blockStride) {
      const double* y = block + std::ptrdiff_t{row[j]} * stride;
      for (int k = 0; k < chunks; ++k) {
        if constexpr (FixedChunks > 0) {
          sums[k] = sums[k] + w * loadLanes<V>(y + k * L);
        } else {
          storeLanes(sumLanes + k * L,
                     loadLanes<V>(sumLanes + k * L) + w * loadLanes<V>(y + k * L));
        }
      }
    }
    if constexpr (FixedChunks > 0) {
      for (int k = 0; k < FixedChunks; ++k) {
        storeLanes(sumLanes + k * L, sums[k]);
      }
    }
    const double m = objectMarginals[i];
    const bool zero = zeroTolerance > std::fabs(m);
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      objectAverages[d * N + i] = zero ? 0.0 : sumLanes[d] / m;
    }
  }
}

// The two passes, compiled once for baseline 128-bit vectors and once for 256-bit ones.
template <int Chunks, typename Code>
void accumulateCentroidsBaseline(IterationPlan& plan, const Code* codes, const int32_t* w,
                                 const double* X) {
  accumulateCentroidsWith<Lanes2, Chunks * 2>(plan, codes, w, X);
}
template <int Chunks, typename Code>
[[gnu::target("avx2")]] void accumulateCentroidsWide(IterationPlan& plan, const Code* codes,
                                                     const int32_t* w, const double* X) {
  accumulateCentroidsWith<Lanes4, Chunks>(plan, codes, w, X);
}
template <int Chunks, typename Code>
void averageObjectsBaseline(IterationPlan& plan, const Code* codes, const int32_t* w,
                            const double* m, double* averages) {
  averageObjectsWith<Lanes2, Chunks * 2>(plan, codes, w, m, averages);
}
template <int Chunks, typename Code>
[[gnu::target("avx2")]] void averageObjectsWide(IterationPlan& plan, const Code* codes,
                                                const int32_t* w, const double* m,
                                                double* averages) {
  averageObjectsWith<Lanes4, Chunks>(plan, codes, w, m, averages);
}

// Calls f with the number of 4-double chunks of a table entry when it is small enough to fix at
// compile time (1 or 2), else with 0.
template <typename F>
void withEntryChunks(const IterationPlan& plan, F&& f) {
  switch (plan.entryStride) {
    case 4:
      return f(std::integral_constant<int, 1>{});
    case 8:
      return f(std::integral_constant<int, 2>{});
    default:
      return f(std::integral_constant<int, 0>{});
  }
}

}  // namespace

void computeCategoryCentroids(std::span<const int32_t> objectWeights,
                              std::span<const double> categoryMarginals,
                              std::span<const double> objectScores,
                              std::span<double> categoryQuantifications) {
  const AnalysisSettings& s = analysisSettings;
  IterationPlan local;
  IterationPlan& plan = iterationPlan(local);
  withCodes(plan, [&](const auto* codes) {
    withEntryChunks(plan, [&](auto chunks) {
      if (wideLanesAvailable()) {
        accumulateCentroidsWide<chunks()>(plan, codes, objectWeights.data(), objectScores.data());
      } else {
        accumulateCentroidsBaseline<chunks()>(plan, codes, objectWeights.data(),
                                              objectScores.data());
      }
    });
  });
  // Divide into the caller's dimension-major layout; slots beyond k_J have a zero marginal.
  const std::ptrdiff_t P = s.dimensionCount, K = s.maxCategories, S = slotCount();
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    double* y = categoryQuantifications.data() + d * S;
    for (std::ptrdiff_t slot = 0; slot < S; ++slot) {
      const double sum =
          K > 0 ? plan.table[((slot / K) * plan.blockWidth + slot % K) * plan.entryStride + d]
                : 0.0;
      y[slot] =
          zeroTolerance > std::fabs(categoryMarginals[slot]) ? 0.0 : sum / categoryMarginals[slot];
    }
  }
}

void computeObjectAverages(std::span<const int32_t> objectWeights,
                           std::span<const double> objectMarginals,
                           std::span<const double> categoryQuantifications,
                           std::span<double> objectAverages) {
  const AnalysisSettings& s = analysisSettings;
  IterationPlan local;
  IterationPlan& plan = iterationPlan(local);
  // Active quantifications into the table, dumps zero; passive blocks are never read.
  const std::ptrdiff_t P = s.dimensionCount, K = s.maxCategories, S = slotCount();
  const std::ptrdiff_t stride = plan.entryStride;
  for (std::ptrdiff_t j = 0; j < s.activeCount; ++j) {
    double* block = plan.table.data() + j * plan.blockWidth * stride;
    for (std::ptrdiff_t c = 0; c < K; ++c) {
      for (std::ptrdiff_t d = 0; d < P; ++d) {
        block[c * stride + d] = categoryQuantifications[d * S + j * K + c];
      }
    }
    for (std::ptrdiff_t d = 0; d < stride; ++d) {
      block[(plan.blockWidth - 1) * stride + d] = 0.0;
    }
  }
  withCodes(plan, [&](const auto* codes) {
    withEntryChunks(plan, [&](auto chunks) {
      if (wideLanesAvailable()) {
        averageObjectsWide<chunks()>(plan, codes, objectWeights.data(), objectMarginals.data(),
                                     objectAverages.data());
      } else {
        averageObjectsBaseline<chunks()>(plan, codes, objectWeights.data(), objectMarginals.data(),
                                         objectAverages.data());
      }
    });
  });
}

}  // namespace tallowmere
