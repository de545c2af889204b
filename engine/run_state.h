// The working buffers of one run and the steps that every kind of run shares: the start, the
// outer loop with its stopping tests, and the normalisation of the object scores. Private to the
// engine; runAnalysis and computeSolution are built from them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "buffer.h"
#include "fused_steps.h"
#include "iteration_plan.h"
#include "problem.h"
#include "run_report.h"

namespace tallowmere {

struct SubspaceTracker;
struct Momentum;
class Workers;

// A run: its problem, its settings, the generator's state and its buffers, laid out as in
// problem.h and sized for the problem by allocateRun.
struct RunState {
  Problem problem;
  int32_t innerIterations = 0;
  // The rank-one step by rounds of alternating least squares (regressSingleQuantifications)
  // instead of the accumulating rounds of runAnalysis.
  bool regressRankOne = false;
  uint32_t randomState = 0;
  // The typed entry point's threads (workers.h); none for runAnalysis.
  Workers* workers = nullptr;
  Buffer<double> objectWeights;
  Buffer<double> objectScores;
  Buffer<double> categoryQuantifications;
  Buffer<double> objectAverages;  // empty when the fused steps replace the scores in place
  Buffer<double> objectMarginals;
  Buffer<double> categoryMarginals;
  Buffer<double> singleQuantifications;
  Buffer<double> loadings;
  Buffer<double> eigenvalues;
  EvaluationSums evaluationSums{};
  double totalMarginal = 0.0;
  bool fused = false;
  IterationPlan plan;
  Workspace work;
};

// Takes the problem, allocates every buffer zero-filled (buffer.h) and builds the plan, on the
// workers when given, whose blocks the passes over the objects then take (useBlocks); throws
// std::bad_alloc before anything else happens.
void allocateRun(RunState& run, Problem problem, int32_t innerIterations,
                 const PlanOptions& options = {}, Workers* workers = nullptr);

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
void normaliseObjectScores(const Problem& problem, Workspace& work, std::span<double> objectScores,
                           std::span<const double> marginals, double totalMarginal);

}  // namespace tallowmere
