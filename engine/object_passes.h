// The fused pass over the objects of an iteration (object averages with the evaluation), on a
// run's plan and workspace, and the processor's vector width. Private to the engine; engine.h
// declares the passes of the named steps.
#pragma once

#include <cstdint>
#include <span>

#include "fused_steps.h"
#include "iteration_plan.h"
#include "workers.h"

namespace tallowmere {

// From now on the passes of this plan and workspace go in blocks of objects on the workers
// (workers.h); sizes the blocks' tables and sums.
void useBlocks(const IterationPlan& plan, Workspace& work, Workers* workers);

// Whether the fused pass below handles this dimension count (1 .. maxFixedDimensions).
bool fusedPassHandles(int32_t dimensions);

// Computes the object averages from Y and replaces X by them, accumulating the sums that
// evaluation and centring need; X~ itself is never stored.
void averageAndEvaluate(const Problem& problem, const IterationPlan& plan, Workspace& work,
                        std::span<const double> objectWeights,
                        std::span<const double> objectMarginals,
                        std::span<const double> categoryQuantifications,
                        std::span<double> objectScores, EvaluationSums& sums);

}  // namespace tallowmere
