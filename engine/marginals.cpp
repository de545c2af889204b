// The two halves of every alternating least squares step (objects to categories and back) and
// the weighted frequencies both divide by. No indicator matrix is formed: the passes read the
// run's compact codes (iteration_plan.h).
#include <algorithm>
#include <cmath>
#include <vector>

#include "engine.h"
#include "fused_steps.h"
#include "iteration_plan.h"
#include "vector_lanes.h"

namespace tallowmere {

void computeMarginals(std::span<const int32_t> objectWeights, std::span<double> objectMarginals,
                      std::span<double> categoryMarginals, double& totalMarginal) {
  const AnalysisSettings& s = analysisSettings;
  const int32_t variables = variableCount();
  std::vector<int32_t> columns(variables > 0 ? variables : 0);
  for (int32_t J = 0; J < variables; ++J) {
    columns[J] = variableColumn(J);
  }
  // The object's and the total sums live in registers, so that the compiler need not fear that
  // a category's sum shares their memory and can keep their additions back to back; each sum
  // still receives its terms one by one, in the same order.
  double total = totalMarginal;
  for (std::ptrdiff_t i = 0; i < s.objectCount; ++i) {
    const int32_t* row = s.data + i * s.dataStride;
    const double b = objectWeights[i];
    double m = objectMarginals[i];
    for (int32_t j = 0; j < s.activeCount; ++j) {
      const int32_t c = row[columns[j]];
      if (c > 0) {
        m = m + b;
        total = total + b;
        categoryMarginals[categorySlot(j, c)] += b;
      }
    }
    objectMarginals[i] = m;
    // Passive categories get their frequencies, but passive codes never weigh on an object.
    for (int32_t J = s.activeCount; J < variables; ++J) {
      const int32_t c = row[columns[J]];
      if (c > 0) {
        categoryMarginals[categorySlot(J, c)] += b;
      }
    }
  }
  totalMarginal = total;
}

namespace {

// The object loops below visit objects in order and, within an object, variables in order, with
// the dimensions of one object side by side in vector lanes. Every accumulator (one per category
// or object and dimension) therefore receives exactly the terms, in the order, of a loop with
// dimensions outermost; only independent accumulators share an instruction.
//
// FixedP is the dimension count when it is fixed at compile time (1 .. 8); the table entries
// are then 4 or 8 doubles wide. Other counts take the scalar loops at the end.

template <int FixedP>
inline constexpr std::ptrdiff_t fixedEntryStride = FixedP > 4 ? 8 : 4;

template <typename V, int FixedP>
inline constexpr int chunkCount = (FixedP + laneCount<V> - 1) / laneCount<V>;

// One object's values on dimensions chunk * L .. chunk * L + L - 1 of a dimension-major array,
// zero beyond P.
template <typename V, int FixedP>
[[gnu::always_inline]] inline V gatherObject(const double* values, std::ptrdiff_t N,
                                             std::ptrdiff_t i, int chunk) {
  V v = {};
  for (int lane = 0; lane < laneCount<V>; ++lane) {
    const int d = chunk * laneCount<V> + lane;
    if (d < FixedP) {
      v[lane] = values[d * N + i];
    }
  }
  return v;
}

template <typename V, int FixedP>
[[gnu::always_inline]] inline void scatterObject(double* values, std::ptrdiff_t N, std::ptrdiff_t i,
                                                 int chunk, V v) {
  for (int lane = 0; lane < laneCount<V>; ++lane) {
    const int d = chunk * laneCount<V> + lane;
    if (d < FixedP) {
      values[d * N + i] = v[lane];
    }
  }
}

template <typename V, int FixedP, bool Offsets, typename Code>
[[gnu::always_inline]] inline void accumulateCentroidsWith(IterationPlan& plan, const Code* codes,
                                                           const int32_t* objectWeights,
                                                           const double* objectScores) {
  constexpr int L = laneCount<V>;
  constexpr int chunks = chunkCount<V, FixedP>;
  constexpr int fullChunks = FixedP % L == 1 && L > 1 ? chunks - 1 : chunks;
  constexpr std::ptrdiff_t stride = fixedEntryStride<FixedP>;
  const std::ptrdiff_t N = analysisSettings.objectCount;
  const int32_t variables = variableCount();
  const std::ptrdiff_t blockStride = plan.blockWidth * stride;
  double* table = plan.table.data();
  std::fill(plan.table.begin(), plan.table.end(), 0.0);
  for (std::ptrdiff_t i = 0; i < N; ++i) {
    const V weight = broadcastLanes<V>(objectWeights[i]);
    V terms[chunks];
    for (int k = 0; k < chunks; ++k) {
      terms[k] = weight * gatherObject<V, FixedP>(objectScores, N, i, k);
    }
    const Code* row = codes + i * variables;
    double* block = table;
#pragma GCC unroll 4
    for (int32_t J = 0; J < variables; ++J, block += blockStride) {
      double* y = tableEntry<Offsets>(block, row[J], stride);
      for (int k = 0; k < fullChunks; ++k) {
        storeLanes(y + k * L, loadLanes<V>(y + k * L) + terms[k]);
      }
      // A last chunk with one dimension in use is updated alone: stores are the cost here.
      if constexpr (fullChunks < chunks) {
        y[fullChunks * L] += terms[fullChunks][0];
      }
    }
  }
}

// Calls finish(i, sums) for every object i, with sums[k] the lanes of chunk k of
// sum over the active variables, in order, of w_i * y_jd for the object's category. Objects go
// two at a time, so that their independent sums overlap.
template <typename V, int FixedP, bool Offsets, typename Code, typename Finish>
[[gnu::always_inline]] inline void sumActiveQuantifications(IterationPlan& plan, const Code* codes,
                                                            const int32_t* objectWeights,
                                                            Finish&& finish) {
  constexpr int L = laneCount<V>;
  constexpr int chunks = chunkCount<V, FixedP>;
  constexpr std::ptrdiff_t stride = fixedEntryStride<FixedP>;
  const std::ptrdiff_t N = analysisSettings.objectCount;
  const int32_t active = analysisSettings.activeCount;
  const int32_t variables = variableCount();
  const std::ptrdiff_t blockStride = plan.blockWidth * stride;
  const double* table = plan.table.data();
  // A missing code reads the dump's 0.0: w * 0.0 is a signed zero, and adding a signed zero
  // leaves a sum that started at +0.0 unchanged (such a sum is never -0.0).
  std::ptrdiff_t i = 0;
  for (; i + 1 < N; i += 2) {
    const V weightA = broadcastLanes<V>(objectWeights[i]);
    const V weightB = broadcastLanes<V>(objectWeights[i + 1]);
    V sumsA[chunks] = {}, sumsB[chunks] = {};
    const Code* rowA = codes + i * variables;
    const Code* rowB = rowA + variables;
    const double* block = table;
#pragma GCC unroll 4
    for (int32_t j = 0; j < active; ++j, block += blockStride) {
      const double* yA = tableEntry<Offsets>(block, rowA[j], stride);
      const double* yB = tableEntry<Offsets>(block, rowB[j], stride);
      for (int k = 0; k < chunks; ++k) {
        sumsA[k] = sumsA[k] + weightA * loadLanes<V>(yA + k * L);
        sumsB[k] = sumsB[k] + weightB * loadLanes<V>(yB + k * L);
      }
    }
    finish(i, sumsA);
    finish(i + 1, sumsB);
  }
  for (; i < N; ++i) {
    const V weight = broadcastLanes<V>(objectWeights[i]);
    V sums[chunks] = {};
    const Code* row = codes + i * variables;
    const double* block = table;
    for (int32_t j = 0; j < active; ++j, block += blockStride) {
      const double* y = tableEntry<Offsets>(block, row[j], stride);
      for (int k = 0; k < chunks; ++k) {
        sums[k] = sums[k] + weight * loadLanes<V>(y + k * L);
      }
    }
    finish(i, sums);
  }
}

template <typename V, int FixedP, bool Offsets, typename Code>
[[gnu::always_inline]] inline void averageObjectsWith(IterationPlan& plan, const Code* codes,
                                                      const int32_t* objectWeights,
                                                      const double* objectMarginals,
                                                      double* objectAverages) {
  const std::ptrdiff_t N = analysisSettings.objectCount;
  sumActiveQuantifications<V, FixedP, Offsets>(
      plan, codes, objectWeights, [&](std::ptrdiff_t i, const V* sums) {
        const double m = objectMarginals[i];
        const bool zero = zeroTolerance > std::fabs(m);
        for (int k = 0; k < chunkCount<V, FixedP>; ++k) {
          scatterObject<V, FixedP>(objectAverages, N, i, k,
                                   zero ? V{} : sums[k] / broadcastLanes<V>(m));
        }
      });
}

// Object averages, evaluation and the centring sums in one pass: each object's new scores are
// compared with its old ones and replace them at once, which is what evaluation followed by
// centring does object by object.
template <typename V, int FixedP, bool Offsets, typename Code>
[[gnu::always_inline]] inline void averageAndEvaluateWith(IterationPlan& plan, const Code* codes,
                                                          const int32_t* objectWeights,
                                                          const double* objectMarginals,
                                                          double* objectScores,
                                                          EvaluationSums& result) {
  constexpr int L = laneCount<V>;
  constexpr int chunks = chunkCount<V, FixedP>;
  const std::ptrdiff_t N = analysisSettings.objectCount;
  V cross[chunks] = {}, newLength[chunks] = {}, centre[chunks] = {};
  sumActiveQuantifications<V, FixedP, Offsets>(
      plan, codes, objectWeights, [&](std::ptrdiff_t i, const V* sums) {
        const double m = objectMarginals[i];
        const bool zero = zeroTolerance > std::fabs(m);
        const V marginal = broadcastLanes<V>(m);
        for (int k = 0; k < chunks; ++k) {
          const V y = zero ? V{} : sums[k] / marginal;
          const V x = gatherObject<V, FixedP>(objectScores, N, i, k);
          scatterObject<V, FixedP>(objectScores, N, i, k, y);
          const V weighted = marginal * y;
          cross[k] = cross[k] + weighted * x;
          newLength[k] = newLength[k] + weighted * y;
          centre[k] = centre[k] + weighted;
        }
      });
  double lanes[chunks * L];
  for (int k = 0; k < chunks; ++k) {
    storeLanes(lanes + k * L, cross[k]);
  }
  std::copy(lanes, lanes + FixedP, result.crossProducts);
  for (int k = 0; k < chunks; ++k) {
    storeLanes(lanes + k * L, newLength[k]);
  }
  std::copy(lanes, lanes + FixedP, result.newLengths);
  for (int k = 0; k < chunks; ++k) {
    storeLanes(lanes + k * L, centre[k]);
  }
  std::copy(lanes, lanes + FixedP, result.centreSums);
}

// Each pass compiled for baseline 128-bit vectors, 256-bit ones (AVX2) and 512-bit ones
// (AVX-512).
template <int FixedP, bool Offsets, typename Code>
void accumulateCentroidsBaseline(IterationPlan& plan, const Code* codes, const int32_t* w,
                                 const double* X) {
  accumulateCentroidsWith<Lanes2, FixedP, Offsets>(plan, codes, w, X);
}
template <int FixedP, bool Offsets, typename Code>
[[gnu::target("avx2")]] void accumulateCentroidsWide(IterationPlan& plan, const Code* codes,
                                                     const int32_t* w, const double* X) {
  accumulateCentroidsWith<Lanes4, FixedP, Offsets>(plan, codes, w, X);
}
template <int FixedP, bool Offsets, typename Code>
void averageObjectsBaseline(IterationPlan& plan, const Code* codes, const int32_t* w,
                            const double* m, double* averages) {
  averageObjectsWith<Lanes2, FixedP, Offsets>(plan, codes, w, m, averages);
}
template <int FixedP, bool Offsets, typename Code>
[[gnu::target("avx2")]] void averageObjectsWide(IterationPlan& plan, const Code* codes,
                                                const int32_t* w, const double* m,
                                                double* averages) {
  averageObjectsWith<Lanes4, FixedP, Offsets>(plan, codes, w, m, averages);
}
template <int FixedP, bool Offsets, typename Code>
void averageAndEvaluateBaseline(IterationPlan& plan, const Code* codes, const int32_t* w,
                                const double* m, double* X, EvaluationSums& result) {
  averageAndEvaluateWith<Lanes2, FixedP, Offsets>(plan, codes, w, m, X, result);
}
template <int FixedP, bool Offsets, typename Code>
[[gnu::target("avx2")]] void averageAndEvaluateWide(IterationPlan& plan, const Code* codes,
                                                    const int32_t* w, const double* m, double* X,
                                                    EvaluationSums& result) {
  averageAndEvaluateWith<Lanes4, FixedP, Offsets>(plan, codes, w, m, X, result);
}

template <int FixedP, bool Offsets, typename Code>
[[gnu::target("avx512f")]] void averageObjectsWidest(IterationPlan& plan, const Code* codes,
                                                     const int32_t* w, const double* m,
                                                     double* averages) {
  averageObjectsWith<Lanes8, FixedP, Offsets>(plan, codes, w, m, averages);
}
template <int FixedP, bool Offsets, typename Code>
[[gnu::target("avx512f")]] void averageAndEvaluateWidest(IterationPlan& plan, const Code* codes,
                                                         const int32_t* w, const double* m,
                                                         double* X, EvaluationSums& result) {
  averageAndEvaluateWith<Lanes8, FixedP, Offsets>(plan, codes, w, m, X, result);
}

// The vector width for a dimension count: 8 lanes only pay for entries of 8 doubles.
int lanesFor(int dimensions) {
  const int lanes = availableLanes();
  return dimensions <= 4 && lanes > 4 ? 4 : lanes;
}

// Scalar passes for dimension counts above 8, with entries of plan.entryStride doubles.
template <bool Offsets, typename Code>
void accumulateCentroidsAnyCount(IterationPlan& plan, const Code* codes, const int32_t* w,
                                 const double* X) {
  const std::ptrdiff_t P = analysisSettings.dimensionCount;
  const std::ptrdiff_t N = analysisSettings.objectCount;
  const int32_t variables = variableCount();
  const std::ptrdiff_t stride = plan.entryStride;
  double* terms = plan.dimensionScratch.data();
  std::fill(plan.table.begin(), plan.table.end(), 0.0);
  for (std::ptrdiff_t i = 0; i < N; ++i) {
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      terms[d] = static_cast<double>(w[i]) * X[d * N + i];
    }
    double* block = plan.table.data();
    for (int32_t J = 0; J < variables; ++J, block += plan.blockWidth * stride) {
      double* y = tableEntry<Offsets>(block, codes[i * variables + J], stride);
      for (std::ptrdiff_t d = 0; d < P; ++d) {
        y[d] += terms[d];
      }
    }
  }
}

template <bool Offsets, typename Code>
void averageObjectsAnyCount(IterationPlan& plan, const Code* codes, const int32_t* w,
                            const double* m, double* averages) {
  const std::ptrdiff_t P = analysisSettings.dimensionCount;
  const std::ptrdiff_t N = analysisSettings.objectCount;
  const int32_t variables = variableCount();
  const std::ptrdiff_t stride = plan.entryStride;
  double* sums = plan.dimensionScratch.data();
  for (std::ptrdiff_t i = 0; i < N; ++i) {
    const double weight = w[i];
    std::fill(sums, sums + P, 0.0);
    const double* table = plan.table.data();
    const double* block = table;
    for (int32_t j = 0; j < analysisSettings.activeCount; ++j, block += plan.blockWidth * stride) {
      const double* y = tableEntry<Offsets>(block, codes[i * variables + j], stride);
      for (std::ptrdiff_t d = 0; d < P; ++d) {
        sums[d] = sums[d] + weight * y[d];
      }
    }
    const bool zero = zeroTolerance > std::fabs(m[i]);
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      averages[d * N + i] = zero ? 0.0 : sums[d] / m[i];
    }
  }
}

// The active quantifications into the plan's table, dumps zero; passive blocks are not read.
void loadActiveQuantifications(IterationPlan& plan,
                               std::span<const double> categoryQuantifications) {
  const AnalysisSettings& s = analysisSettings;
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
}

}  // namespace

void computeCategoryCentroids(std::span<const int32_t> objectWeights,
                              std::span<const double> categoryMarginals,
                              std::span<const double> objectScores,
                              std::span<double> categoryQuantifications) {
  const AnalysisSettings& s = analysisSettings;
  IterationPlan local;
  IterationPlan& plan = iterationPlan(local);
  const int32_t* w = objectWeights.data();
  const double* X = objectScores.data();
  withCodes(plan, [&](const auto* codes, auto offsets) {
    withDimensionCount(s.dimensionCount, [&](auto fixed) {
      if constexpr (fixed() == 0) {
        accumulateCentroidsAnyCount<offsets()>(plan, codes, w, X);
      } else {
        // 512-bit read-modify-writes of the table cost more than two 256-bit ones.
        switch (std::min(lanesFor(fixed()), 4)) {
          case 4:
            return accumulateCentroidsWide<fixed(), offsets()>(plan, codes, w, X);
          default:
            return accumulateCentroidsBaseline<fixed(), offsets()>(plan, codes, w, X);
        }
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
  IterationPlan local;
  IterationPlan& plan = iterationPlan(local);
  loadActiveQuantifications(plan, categoryQuantifications);
  const int32_t* w = objectWeights.data();
  const double* m = objectMarginals.data();
  double* averages = objectAverages.data();
  withCodes(plan, [&](const auto* codes, auto offsets) {
    withDimensionCount(analysisSettings.dimensionCount, [&](auto fixed) {
      if constexpr (fixed() == 0) {
        averageObjectsAnyCount<offsets()>(plan, codes, w, m, averages);
      } else {
        switch (lanesFor(fixed())) {
          case 8:
            return averageObjectsWidest<fixed(), offsets()>(plan, codes, w, m, averages);
          case 4:
            return averageObjectsWide<fixed(), offsets()>(plan, codes, w, m, averages);
          default:
            return averageObjectsBaseline<fixed(), offsets()>(plan, codes, w, m, averages);
        }
      }
    });
  });
}

bool canAverageAndEvaluate() {
  return analysisSettings.dimensionCount >= 1 &&
         analysisSettings.dimensionCount <= maxFixedDimensions;
}

void averageAndEvaluate(std::span<const int32_t> objectWeights,
                        std::span<const double> objectMarginals,
                        std::span<const double> categoryQuantifications,
                        std::span<double> objectScores, EvaluationSums& sums) {
  IterationPlan local;
  IterationPlan& plan = iterationPlan(local);
  loadActiveQuantifications(plan, categoryQuantifications);
  const int32_t* w = objectWeights.data();
  const double* m = objectMarginals.data();
  double* X = objectScores.data();
  withCodes(plan, [&](const auto* codes, auto offsets) {
    withDimensionCount(analysisSettings.dimensionCount, [&](auto fixed) {
      if constexpr (fixed() > 0) {
        switch (lanesFor(fixed())) {
          case 8:
            return averageAndEvaluateWidest<fixed(), offsets()>(plan, codes, w, m, X, sums);
          case 4:
            return averageAndEvaluateWide<fixed(), offsets()>(plan, codes, w, m, X, sums);
          default:
            return averageAndEvaluateBaseline<fixed(), offsets()>(plan, codes, w, m, X, sums);
        }
      }
    });
  });
}

}  // namespace tallowmere
