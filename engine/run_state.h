// The working buffers of one run and the steps that every kind of run shares: the start, the
// outer loop with its stopping tests, and the normalisation of the object scores. Private to the
// engine; runAnalysis and computeSolution are built from them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "fused_steps.h"
#include "iteration_plan.h"
#include "run_report.h"

namespace tallowmere {

struct SubspaceTracker;
struct Momentum;

// Buffers as laid out in analysis_settings.h, sized for analysisSettings by allocateRun.
struct RunState {
  std::vector<int32_t> objectWeights;
  std::vector<double> objectScores;
  std::vector<double> categoryQuantifications;
  std::vector<double> objectAverages;  // empty when the fused steps replace the scores in place
  std::vector<double> objectMarginals;
  std::vector<double> categoryMarginals;
  std::vector<double> singleQuantifications;
  std::vector<double> loadings;
  std::vector<double> eigenvalues;
  EvaluationSums evaluationSums{};
  double totalMarginal = 0.0;
  bool fused = false;
  IterationPlan plan;
};

// Allocates every buffer zero-filled and builds the plan; throws std::bad_alloc before anything
// else happens.
void allocateRun(RunState& run);

// Object weights, marginals, the initial single quantifications and the normalised random start.
// With `excludeObjectsWithoutActiveCodes`, objects without a valid active code weigh 0, so that
// passive categories count only the objects that have scores.
void startRun(RunState& run, bool excludeObjectsWithoutActiveCodes);

// Outer iterations until the rule ends them. The tracker, when given, sees the centroids of every
// iteration and supplies the subspace test; the momentum, when given with it, accelerates a run
// in which every active variable is multiple.
RunReport iterateRun(RunState& run, const StoppingRule& rule, SubspaceTracker* tracker,
                     Momentum* momentum);

// Centres the object scores, then orthonormalises them.
void normaliseObjectScores(std::span<double> objectScores, std::span<const double> marginals,
                           double totalMarginal);

}  // namespace tallowmere
