#include "analysis_solution.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "category_space.h"
#include "cross_table.h"
#include "engine.h"
#include "momentum.h"
#include "monotone_regression.h"
#include "object_passes.h"
#include "principal_axes.h"
#include "run_state.h"
#include "subspace_tracker.h"
#include "table_eigensolver.h"

namespace tallowmere {

namespace {

// The quantifications from the final centroids: equal to them for multiple variables, a_J z_J for
// single ones, with the loadings recomputed from the centroids.
void finishQuantifications(RunState& run, const std::vector<double>& centroids,
                           Solution& solution) {
  solution.categoryQuantifications = centroids;
  if (analysisSettings.innerIterations > 0) {
    computeLoadings(run.categoryMarginals, centroids, run.singleQuantifications, run.loadings,
                    run.totalMarginal);
    imposeRankOne(run.singleQuantifications, run.loadings, solution.categoryQuantifications);
  }
  solution.loadings.assign(run.loadings.begin(), run.loadings.end());
}

// True when every active single variable is nominal: the direct solution of the data with every
// variable multiple is then a start close to the rank-one solution (with one dimension, the
// solution itself). Ordinal variables can settle at different local optima from different
// starts, and from that one they were seen to settle at worse ones.
bool activeSinglesNominal() {
  for (int32_t j = 0; j < analysisSettings.activeCount; ++j) {
    if (isSingle(j) && variableLevel(j) != 0) {
      return false;
    }
  }
  return true;
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

// The cross-table of the run's data and weights, with the passive pairs when `withPassive`, when
// it fits the budget.
bool prepareCategorySpace(const RunState& run, const SolutionOptions& options, bool withPassive,
                          CategorySpace& space, std::vector<double>& pairCounts) {
  CrossTables tables;
  resetCrossTables(tables, withPassive);
  if (!accumulateCrossTables(tables, 0, analysisSettings.objectCount, run.objectWeights,
                             options.crossTableBudget)) {
    return false;
  }
  formCrossTable(tables, space.activeTable, space.passiveTable);
  formPairCounts(tables, pairCounts);
  resetCategorySpace(space);
  return true;
}

std::ptrdiff_t activeSlots() {
  return std::ptrdiff_t{analysisSettings.maxCategories} * analysisSettings.activeCount;
}

// The leading P (or `count`) eigenpairs of the run's table, as scores Z = v sqrt(t / lambda):
// centred (D' Z = 0) and with Z' B Z = t I, the normalisation of the iteration's scores.
void directScores(const RunState& run, CategorySpace& space, std::ptrdiff_t count,
                  TableEigenpairs& pairs) {
  const std::ptrdiff_t P = analysisSettings.dimensionCount, S1 = activeSlots();
  solveCategoryTable(space.activeTable, std::span(run.categoryMarginals).first(S1), S1, count,
                     pairs);
  std::fill(space.scores.begin(), space.scores.end(), 0.0);
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    const bool present = d < static_cast<std::ptrdiff_t>(pairs.values.size());
    const double scale = present ? std::sqrt(run.totalMarginal / pairs.values[d]) : std::nan("");
    for (std::ptrdiff_t s = 0; s < S1; ++s) {
      space.scores[d * S1 + s] = present ? pairs.vectors[d * S1 + s] * scale : scale;
    }
  }
}

// The rank-one steps of the passive single variables repeated on the final centroids until their
// category scores settle. They do not shape the solution, so the iterations stop without watching
// them, and a slow variable may be far from where it would settle. They start afresh from the
// initial scores, so that they depend on the final centroids alone, whichever solver ran (an
// ordinal variable can settle at different local optima from different starts). The active ones
// keep the scores the iterations gave them.
void settlePassiveSingles(RunState& run, std::span<const double> centroids) {
  std::span<const double> D = run.categoryMarginals;
  std::span<double> z = run.singleQuantifications;
  const double t = run.totalMarginal;
  const std::size_t activeEnd = static_cast<std::size_t>(activeSlots());
  const std::vector<double> active(z.begin(), z.begin() + activeEnd);
  initialiseSingleQuantifications(D, z, t);
  std::vector<double> before(z.size());
  for (int round = 0; round < 100000; ++round) {
    std::copy(z.begin(), z.end(), before.begin());
    computeLoadings(D, centroids, z, run.loadings, t);
    regressSingleQuantifications(D, centroids, run.loadings, z, t, run.work.regression);
    double change = 0.0, size = 0.0;
    for (std::size_t s = 0; s < z.size(); ++s) {
      change = std::max(change, std::fabs(z[s] - before[s]));
      size = std::max(size, std::fabs(z[s]));
    }
    if (!(change > 1e-14 * size)) {
      break;
    }
  }
  std::copy(active.begin(), active.end(), z.begin());
}

// The solution of an analysis whose active variables are all multiple, from the eigenvectors of
// its cross-table, without a pass over the objects but the last, which writes their scores.
RunReport solveDirectly(RunState& run, CategorySpace& space, Solution& solution) {
  const std::ptrdiff_t P = analysisSettings.dimensionCount;
  // Eigenvalues past P say whether dimension P shares its eigenvalue with the ones left out.
  TableEigenpairs pairs;
  directScores(run, space, P + 2, pairs);
  solution.categoryCentroids.assign(run.categoryQuantifications.size(), 0.0);
  centroidsFromCategorySpace(run, space, solution.categoryCentroids);
  if (anyPassiveSingle()) {
    settlePassiveSingles(run, solution.categoryCentroids);
  }
  finishQuantifications(run, solution.categoryCentroids, solution);
  scoresFromCategorySpace(run, space);
  solution.eigenvalues.assign(run.eigenvalues.size(), 0.0);
  dimensionEigenvalues(run.categoryMarginals, run.totalMarginal, solution.categoryCentroids,
                       solution.categoryQuantifications, solution.eigenvalues);
  const std::vector<double> following(
      pairs.values.begin() + std::min<std::ptrdiff_t>(P, std::ssize(pairs.values)),
      pairs.values.end());
  solution.tiedThrough = tiedThrough(solution.eigenvalues, following, tieTolerance);
  RunReport report;
  report.iterations = 0;
  report.stopReason = StopReason::direct;
  for (const double lambda : solution.eigenvalues) {
    report.fit += lambda;
  }
  report.subspaceChange = 0.0;
  return report;
}

// Starts the cross-table iteration of a rank-one run from the direct solution of the same data
// with every active variable multiple, when that solution has P finite dimensions.
void warmStart(const RunState& run, CategorySpace& space) {
  TableEigenpairs pairs;
  directScores(run, space, analysisSettings.dimensionCount, pairs);
  space.warm = std::all_of(space.scores.begin(), space.scores.end(),
                           [](double z) { return std::isfinite(z); });
}

// The bound of the cross-table iteration (SolutionOptions::categorySpaceWork).
int32_t categorySpaceBound(const SolutionOptions& options) {
  const int32_t bound = analysisSettings.maxIterations;
  const double S1 = static_cast<double>(activeSlots());
  const double cost = 3.0 * analysisSettings.dimensionCount * S1 * S1;
  if (!(options.categorySpaceWork > 0.0) || bound <= 0) {
    return bound;
  }
  const double affordable = std::floor(options.categorySpaceWork / std::max(cost, 1.0));
  return affordable > bound ? static_cast<int32_t>(std::min(affordable, 1e9)) : bound;
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
  run.regressRankOne = options.regressRankOne;
  startRun(run, true);
  const bool direct =
      linear && options.solver != Solver::objects && options.solver != Solver::crossTable;
  const bool table = direct || options.solver == Solver::crossTable ||
                     (options.solver != Solver::objects && crossTablePays());
  CategorySpace space;
  const bool withPassive = direct ? analysisSettings.passiveCount > 0 : anyPassiveSingle();
  if (table && prepareCategorySpace(run, options, withPassive, space, solution.pairCounts)) {
    if (direct) {
      solution.solver = Solver::direct;
      solution.report = solveDirectly(run, space, solution);
      fixDimensionSigns(run.categoryMarginals, run.objectScores, solution.categoryCentroids,
                        solution.categoryQuantifications, solution.loadings);
      solution.objectScores = std::move(run.objectScores);
      return;
    }
    if (!linear && options.warmStart && activeSinglesNominal()) {
      warmStart(run, space);
    }
    StoppingRule rule = nativeStoppingRule();
    rule.maxIterations = categorySpaceBound(options);
    rule.stopOnNaNFit = true;
    rule.subspaceTolerance = options.subspaceTolerance;
    solution.solver = Solver::crossTable;
    solution.report = iterateInCategorySpace(run, space, rule, tracked ? &tracker : nullptr,
                                             options.accelerate && linear ? &momentum : nullptr);
    scoresFromCategorySpace(run, space);
  } else {
    solution.pairCounts.clear();
    StoppingRule rule = nativeStoppingRule();
    rule.stopOnNaNFit = true;
    rule.subspaceTolerance = options.subspaceTolerance;
    solution.solver = Solver::objects;
    solution.report = iterateRun(run, rule, tracked ? &tracker : nullptr,
                                 options.accelerate && linear ? &momentum : nullptr);
  }
  normaliseObjectScores(run.work, run.objectScores, run.objectMarginals, run.totalMarginal);
  solution.categoryCentroids.assign(run.categoryQuantifications.size(), 0.0);
  computeCategoryCentroids(run.plan, run.work, run.objectWeights, run.categoryMarginals,
                           run.objectScores, solution.categoryCentroids);
  if (anyPassiveSingle()) {
    settlePassiveSingles(run, solution.categoryCentroids);
  }
  finishQuantifications(run, solution.categoryCentroids, solution);
  solution.eigenvalues.assign(run.eigenvalues.size(), 0.0);
  if (!options.principalAxes) {
    dimensionEigenvalues(run.categoryMarginals, run.totalMarginal, solution.categoryCentroids,
                         solution.categoryQuantifications, solution.eigenvalues);
  } else {
    rotateToPrincipalAxes(run.categoryMarginals, run.totalMarginal, run.objectScores,
                          solution.categoryCentroids, solution.categoryQuantifications,
                          solution.loadings, solution.eigenvalues);
    fixDimensionSigns(run.categoryMarginals, run.objectScores, solution.categoryCentroids,
                      solution.categoryQuantifications, solution.loadings);
  }
  solution.tiedThrough = tiedThrough(solution.eigenvalues, {}, tieTolerance);
  solution.objectScores = std::move(run.objectScores);
}

}  // namespace tallowmere
