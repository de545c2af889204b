// The two passes over the objects of every iteration (objects to category centroids, and
// category quantifications back to object averages, alone or fused with the evaluation), on a
// run's plan and workspace. Private to the engine; engine.h declares the routines of the same
// names without a plan, which build one for the call.
#pragma once

#include <cstdint>
#include <span>

#include "fused_steps.h"
#include "iteration_plan.h"

namespace tallowmere {

// Y = the w-weighted mean of X over the objects in each category, 0.0 where D is zero.
void computeCategoryCentroids(const IterationPlan& plan, Workspace& work,
                              std::span<const int32_t> objectWeights,
                              std::span<const double> categoryMarginals,
                              std::span<const double> objectScores,
                              std::span<double> categoryQuantifications);

// X~ = the weighted average of each object's active quantifications, 0.0 where m is zero.
void computeObjectAverages(const IterationPlan& plan, Workspace& work,
                           std::span<const int32_t> objectWeights,
                           std::span<const double> objectMarginals,
                           std::span<const double> categoryQuantifications,
                           std::span<double> objectAverages);

// Whether the fused pass below handles this dimension count (1 .. maxFixedDimensions).
bool fusedPassHandles(int32_t dimensions);

// Computes the object averages from Y and replaces X by them, accumulating the sums that
// evaluation and centring need; X~ itself is never stored.
void averageAndEvaluate(const IterationPlan& plan, Workspace& work,
                        std::span<const int32_t> objectWeights,
                        std::span<const double> objectMarginals,
                        std::span<const double> categoryQuantifications,
                        std::span<double> objectScores, EvaluationSums& sums);

}  // namespace tallowmere
