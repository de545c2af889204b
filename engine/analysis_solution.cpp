#include "analysis_solution.h"

#include <utility>

#include "category_space.h"
#include "cross_table.h"
#include "engine.h"
#include "momentum.h"
#include "object_passes.h"
#include "principal_axes.h"
#include "run_state.h"
#include "subspace_tracker.h"

namespace tallowmere {

namespace {

// Centroids of the final scores for every variable; the quantifications equal them for multiple
// variables, and are a_J z_J for single ones, with the loadings recomputed from the centroids.
void finishQuantifications(RunState& run, Solution& solution) {
  solution.categoryCentroids.assign(run.categoryQuantifications.size(), 0.0);
  computeCategoryCentroids(run.plan, run.work, run.objectWeights, run.categoryMarginals,
                           run.objectScores, solution.categoryCentroids);
  solution.categoryQuantifications = solution.categoryCentroids;
  if (analysisSettings.innerIterations > 0) {
    computeLoadings(run.categoryMarginals, solution.categoryCentroids, run.singleQuantifications,
                    run.loadings, run.totalMarginal);
    imposeRankOne(run.singleQuantifications, run.loadings, solution.categoryQuantifications);
  }
  solution.loadings.assign(run.loadings.begin(), run.loadings.end());
}

// Rank-one restrictions make the iteration nonlinear, and the acceleration assumes it is linear.
bool anyActiveSingle() {
  const AnalysisSettings& s = analysisSettings;
  if (s.innerIterations <= 0) {
    return false;
  }
  for (int32_t j = 0; j < s.activeCount; ++j) {
    if (isSingle(j)) {
      return true;
    }
  }
  return false;
}

bool anyPassiveSingle() {
  const AnalysisSettings& s = analysisSettings;
  if (s.innerIterations <= 0) {
    return false;
  }
  for (int32_t J = s.activeCount; J < variableCount(); ++J) {
    if (isSingle(J)) {
      return true;
    }
  }
  return false;
}

// The cross-table of the run's data and weights, when the options choose it and it fits.
bool prepareCategorySpace(const RunState& run, const SolutionOptions& options, CategorySpace& space,
                          std::vector<double>& pairCounts) {
  if (options.solver == Solver::objects ||
      (options.solver == Solver::automatic && !crossTablePays())) {
    return false;
  }
  CrossTables tables;
  resetCrossTables(tables, anyPassiveSingle());
  if (!accumulateCrossTables(tables, 0, analysisSettings.objectCount, run.objectWeights,
                             options.crossTableBudget)) {
    return false;
  }
  formCrossTable(tables, space.activeTable, space.passiveTable);
  formPairCounts(tables, pairCounts);
  resetCategorySpace(space);
  return true;
}

}  // namespace

bool crossTablePays() {
  const AnalysisSettings& s = analysisSettings;
  const double N = s.objectCount, M1 = s.activeCount, P = s.dimensionCount;
  const double S1 = static_cast<double>(s.maxCategories) * M1;
  const double build = N * M1 * (M1 + 1) / 2;
  return build + 100 * 3 * P * S1 * S1 < 100 * 2 * N * M1 * P;
}

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
    startRun(run, true);
    StoppingRule rule = nativeStoppingRule();
    rule.stopOnNaNFit = true;
    rule.subspaceTolerance = options.subspaceTolerance;
    SubspaceTracker* watch = tracked ? &tracker : nullptr;
    Momentum* accelerate = options.accelerate && linear ? &momentum : nullptr;
    CategorySpace space;
    if (prepareCategorySpace(run, options, space, solution.pairCounts)) {
      solution.solver = Solver::crossTable;
      solution.report = iterateInCategorySpace(run, space, rule, watch, accelerate);
      scoresFromCategorySpace(run, space);
    } else {
      solution.solver = Solver::objects;
      solution.report = iterateRun(run, rule, watch, accelerate);
    }
    normaliseObjectScores(run.work, run.objectScores, run.objectMarginals, run.totalMarginal);
    finishQuantifications(run, solution);
  }
  solution.eigenvalues.assign(run.eigenvalues.size(), 0.0);
  if (!options.principalAxes) {
    dimensionEigenvalues(run.categoryMarginals, run.totalMarginal, solution.categoryCentroids,
                         solution.categoryQuantifications, solution.eigenvalues);
    solution.objectScores = std::move(run.objectScores);
    return;
  }
  rotateToPrincipalAxes(run.categoryMarginals, run.totalMarginal, run.objectScores,
                        solution.categoryCentroids, solution.categoryQuantifications,
                        solution.loadings, solution.eigenvalues);
  fixDimensionSigns(run.categoryMarginals, run.objectScores, solution.categoryCentroids,
                    solution.categoryQuantifications, solution.loadings);
  solution.objectScores = std::move(run.objectScores);
}

}  // namespace tallowmere
