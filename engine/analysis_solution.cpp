#include "analysis_solution.h"

#include <utility>

#include "engine.h"
#include "momentum.h"
#include "principal_axes.h"
#include "run_state.h"
#include "subspace_tracker.h"

namespace tallowmere {

namespace {

// Centroids of the final scores for every variable; the quantifications equal them for multiple
// variables, and are a_J z_J for single ones, with the loadings recomputed from the centroids.
void finishQuantifications(RunState& run, Solution& solution) {
  solution.categoryCentroids.assign(run.categoryQuantifications.size(), 0.0);
  computeCategoryCentroids(run.objectWeights, run.categoryMarginals, run.objectScores,
                           solution.categoryCentroids);
  solution.categoryQuantifications = solution.categoryCentroids;
  if (analysisSettings.innerIterations > 0) {
    computeLoadings(run.categoryMarginals, solution.categoryCentroids, run.singleQuantifications,
                    run.loadings, run.totalMarginal);
    imposeRankOne(run.singleQuantifications, run.loadings, solution.categoryQuantifications);
  }
  solution.loadings = std::move(run.loadings);
}

// Rank-one restrictions make the iteration nonlinear, and the acceleration assumes it is linear.
bool anyActiveSingle() {
  const AnalysisSettings& s = analysisSettings;
  if (s.innerIterations <= 0) {
    return false;
  }
  for (int32_t j = 0; j < s.activeCount; ++j) {
    if (s.activeSingle[j] == 1) {
      return true;
    }
  }
  return false;
}

}  // namespace

void computeSolution(const AnalysisSettings& settings, const SolutionOptions& options,
                     Solution& solution) {
  analysisSettings = settings;
  RunState run;
  allocateRun(run);
  SubspaceTracker tracker;
  resetSubspaceTracker(tracker);
  Momentum momentum;
  resetMomentum(momentum);
  const bool tracked = options.subspaceTolerance > 0.0;
  const bool linear = !anyActiveSingle();
  {
    const RunPlanScope runPlan(run.plan);
    startRun(run, true);
    StoppingRule rule = nativeStoppingRule();
    rule.stopOnNaNFit = true;
    rule.subspaceTolerance = options.subspaceTolerance;
    solution.report = iterateRun(run, rule, tracked ? &tracker : nullptr,
                                 options.accelerate && linear ? &momentum : nullptr);
    normaliseObjectScores(run.objectScores, run.objectMarginals, run.totalMarginal);
    finishQuantifications(run, solution);
  }
  solution.eigenvalues.assign(run.eigenvalues.size(), 0.0);
  rotateToPrincipalAxes(run.categoryMarginals, run.totalMarginal, run.objectScores,
                        solution.categoryCentroids, solution.categoryQuantifications,
                        solution.loadings, solution.eigenvalues);
  fixDimensionSigns(run.categoryMarginals, run.objectScores, solution.categoryCentroids,
                    solution.categoryQuantifications, solution.loadings);
  solution.objectScores = std::move(run.objectScores);
}

}  // namespace tallowmere
