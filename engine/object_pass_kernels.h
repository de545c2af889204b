// The passes over the objects, as always-inlined templates of the vector type V, the fixed
// dimension count and the form of the codes, for object_passes.cpp to compile for every
// instruction set and dispatch on. Private to that file.
#pragma once

#include <algorithm>
#include <cmath>
#include <span>

#include "fused_steps.h"
#include "iteration_plan.h"
#include "vector_lanes.h"

namespace tallowmere::passes {

// The object loops below visit objects in order and, within an object, variables in order, with
// the dimensions of one object side by side in vector lanes. Every accumulator (one per category
// or object and dimension) therefore receives exactly the terms, in the order, of a loop with
// dimensions outermost; only independent accumulators share an instruction.
//
// FixedP is the dimension count when it is fixed at compile time (1 .. 8); the table entries
// are then 4 or 8 doubles wide. Other counts take the scalar loops at the end.

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

// Adds w_i x_i of objects first .. last - 1 into a table of the workspace's layout, which the
// caller has zeroed.
template <typename V, int FixedP, bool Offsets, typename Code>
[[gnu::always_inline]] inline void accumulateCentroidsWith(
    const IterationPlan& plan, double* table, const Code* codes, const double* objectWeights,
    const double* objectScores, std::ptrdiff_t first, std::ptrdiff_t last) {
  constexpr int L = laneCount<V>;
  constexpr int chunks = chunkCount<V, FixedP>;
  constexpr int fullChunks = FixedP % L == 1 && L > 1 ? chunks - 1 : chunks;
  constexpr std::ptrdiff_t stride = entryStride(FixedP);
  const std::ptrdiff_t N = plan.objectCount;
  const int32_t variables = plan.variableCount;
  const std::ptrdiff_t blockStride = plan.blockWidth * stride;
  for (std::ptrdiff_t i = first; i < last; ++i) {
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
[[gnu::always_inline]] inline void sumActiveQuantifications(
    const IterationPlan& plan, const Workspace& work, const Code* codes,
    const double* objectWeights, std::ptrdiff_t first, std::ptrdiff_t last, Finish&& finish) {
  constexpr int L = laneCount<V>;
  constexpr int chunks = chunkCount<V, FixedP>;
  constexpr std::ptrdiff_t stride = entryStride(FixedP);
  const std::ptrdiff_t N = last;
  const int32_t active = plan.activeCount;
  const int32_t variables = plan.variableCount;
  const std::ptrdiff_t blockStride = plan.blockWidth * stride;
  const double* table = work.table.data();
  // A missing code reads the dump's 0.0: w * 0.0 is a signed zero, and adding a signed zero
  // leaves a sum that started at +0.0 unchanged (such a sum is never -0.0).
  std::ptrdiff_t i = first;
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
[[gnu::always_inline]] inline void averageObjectsWith(const IterationPlan& plan,
                                                      const Workspace& work, const Code* codes,
                                                      const double* objectWeights,
                                                      const double* objectMarginals,
                                                      double* objectAverages, std::ptrdiff_t first,
                                                      std::ptrdiff_t last) {
  const std::ptrdiff_t N = plan.objectCount;
  sumActiveQuantifications<V, FixedP, Offsets>(
      plan, work, codes, objectWeights, first, last, [&](std::ptrdiff_t i, const V* sums) {
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
[[gnu::always_inline]] inline void averageAndEvaluateWith(
    const IterationPlan& plan, const Workspace& work, const Code* codes,
    const double* objectWeights, const double* objectMarginals, double* objectScores,
    std::ptrdiff_t first, std::ptrdiff_t last, EvaluationSums& result) {
  constexpr int L = laneCount<V>;
  constexpr int chunks = chunkCount<V, FixedP>;
  const std::ptrdiff_t N = plan.objectCount;
  V cross[chunks] = {}, newLength[chunks] = {}, centre[chunks] = {};
  sumActiveQuantifications<V, FixedP, Offsets>(
      plan, work, codes, objectWeights, first, last, [&](std::ptrdiff_t i, const V* sums) {
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

// Scalar passes for dimension counts above 8, with entries of plan.entryStride doubles.
template <bool Offsets, typename Code>
inline void accumulateCentroidsAnyCount(const IterationPlan& plan, double* table, const Code* codes,
                                        const double* w, const double* X, std::ptrdiff_t first,
                                        std::ptrdiff_t last, double* terms) {
  const std::ptrdiff_t P = plan.dimensionCount;
  const std::ptrdiff_t N = plan.objectCount;
  const int32_t variables = plan.variableCount;
  const std::ptrdiff_t stride = plan.entryStride;
  for (std::ptrdiff_t i = first; i < last; ++i) {
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      terms[d] = static_cast<double>(w[i]) * X[d * N + i];
    }
    double* block = table;
    for (int32_t J = 0; J < variables; ++J, block += plan.blockWidth * stride) {
      double* y = tableEntry<Offsets>(block, codes[i * variables + J], stride);
      for (std::ptrdiff_t d = 0; d < P; ++d) {
        y[d] += terms[d];
      }
    }
  }
}

template <bool Offsets, typename Code>
inline void averageObjectsAnyCount(const IterationPlan& plan, const Workspace& work,
                                   const Code* codes, const double* w, const double* m,
                                   double* averages, std::ptrdiff_t first, std::ptrdiff_t last,
                                   double* sums) {
  const std::ptrdiff_t P = plan.dimensionCount;
  const std::ptrdiff_t N = plan.objectCount;
  const int32_t variables = plan.variableCount;
  const std::ptrdiff_t stride = plan.entryStride;
  for (std::ptrdiff_t i = first; i < last; ++i) {
    const double weight = w[i];
    std::fill(sums, sums + P, 0.0);
    const double* table = work.table.data();
    const double* block = table;
    for (int32_t j = 0; j < plan.activeCount; ++j, block += plan.blockWidth * stride) {
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
inline void loadActiveQuantifications(const Problem& problem, const IterationPlan& plan,
                                      Workspace& work,
                                      std::span<const double> categoryQuantifications) {
  const std::ptrdiff_t P = plan.dimensionCount, S = problem.slotCount;
  const std::ptrdiff_t stride = plan.entryStride;
  for (std::ptrdiff_t v = 0; v < plan.activeCount; ++v) {
    const int32_t J = plan.order[v];
    const std::ptrdiff_t first = problem.slotStart[J], size = problem.blockSize(J);
    double* block = work.table.data() + v * plan.blockWidth * stride;
    for (std::ptrdiff_t c = 0; c < plan.blockWidth - 1; ++c) {
      for (std::ptrdiff_t d = 0; d < P; ++d) {
        block[c * stride + d] = c < size ? categoryQuantifications[d * S + first + c] : 0.0;
      }
    }
    for (std::ptrdiff_t d = 0; d < stride; ++d) {
      block[(plan.blockWidth - 1) * stride + d] = 0.0;
    }
  }
}

}  // namespace tallowmere::passes
