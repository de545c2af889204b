#include "analysis_solution.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "category_space.h"
#include "cross_table.h"
#include "engine.h"
#include "momentum.h"
#include "object_passes.h"
#include "principal_axes.h"
#include "run_state.h"
#include "subspace_tracker.h"
#include "table_eigensolver.h"
#include "workers.h"

namespace tallowmere {

namespace {

// The quantifications from the final centroids: equal to them for multiple variables, a_J z_J for
// single ones, with the loadings recomputed from the centroids.
void finishQuantifications(RunState& run, const std::vector<double>& centroids,
                           Solution& solution) {
  solution.categoryQuantifications = centroids;
  if (run.innerIterations > 0) {
    computeLoadings(run.problem, run.categoryMarginals, centroids, run.singleQuantifications,
                    run.loadings, run.totalMarginal);
    imposeRankOne(run.problem, run.singleQuantifications, run.loadings,
                  solution.categoryQuantifications);
  }
  solution.loadings.assign(run.loadings.begin(), run.loadings.end());
}

// True when every active single variable is nominal: the direct solution of the data with every
// variable multiple is then a start close to the rank-one solution (with one dimension, the
// solution itself). Ordinal variables can settle at different local optima from different
// starts, and from that one they were seen to settle at worse ones.
bool activeSinglesNominal(const Problem& problem) {
  return std::none_of(
      problem.activeVariables.begin(), problem.activeVariables.end(), [&](int32_t J) {
        return problem.isSingle(J) && (problem.isOrdinal(J) || !problem.hasFreeScores(J));
      });
}

// Whether one of the variables is single, with rounds of the rank-one step to make it so.
bool anySingle(const Problem& problem, int32_t innerIterations,
               const std::vector<int32_t>& variables) {
  return innerIterations > 0 && std::any_of(variables.begin(), variables.end(),
                                            [&](int32_t J) { return problem.isSingle(J); });
}

// Rank-one restrictions make the iteration nonlinear, and the acceleration assumes it is linear.
bool anyActiveSingle(const RunState& run) {
  return anySingle(run.problem, run.innerIterations, run.problem.activeVariables);
}

bool anyPassiveSingle(const RunState& run) {
  return anySingle(run.problem, run.innerIterations, run.problem.passiveVariables);
}

// The sums of w_i x_id and w_i x_id^2 over the objects that take part, from the tables: with
// x_id = (sum of Z over the object's cells) / c, the objects with c cells add T_c's diagonal
// times Z / c and Z' T_c Z / c^2.
void scoreMomentsFromTables(const CrossTables& tables, std::span<const double> Z, std::ptrdiff_t P,
                            std::vector<double>& sums, std::vector<double>& squares) {
  const std::ptrdiff_t S1 = tables.activeSlots;
  sums.assign(static_cast<std::size_t>(P), 0.0);
  squares.assign(static_cast<std::size_t>(P), 0.0);
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    const double* z = Z.data() + d * S1;
    for (std::size_t c = 0; c < tables.counts.size(); ++c) {
      const std::vector<int64_t>& table = tables.counts[c];
      if (table.empty()) {
        continue;
      }
      double linear = 0.0, quadratic = 0.0;
      for (std::ptrdiff_t s = 0; s < S1; ++s) {
        linear += static_cast<double>(table[s * S1 + s]) * z[s];
        double row = static_cast<double>(table[s * S1 + s]) * z[s];
        for (std::ptrdiff_t s2 = s + 1; s2 < S1; ++s2) {
          row += 2.0 * static_cast<double>(table[s * S1 + s2]) * z[s2];
        }
        quadratic += row * z[s];
      }
      const double count = static_cast<double>(c + 1);
      sums[d] += linear / count;
      squares[d] += quadratic / (count * count);
    }
  }
}

// The same sums from the object scores, for the passes over the objects.
void scoreMomentsFromObjects(const RunState& run, std::vector<double>& sums,
                             std::vector<double>& squares) {
  const std::ptrdiff_t P = run.problem.dimensionCount, N = run.problem.objectCount;
  sums.assign(static_cast<std::size_t>(P), 0.0);
  squares.assign(static_cast<std::size_t>(P), 0.0);
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    for (std::ptrdiff_t i = 0; i < N; ++i) {
      const double w = run.objectWeights[i], x = run.objectScores[d * N + i];
      if (w > 0.0) {
        sums[d] += w * x;
        squares[d] += w * x * x;
      }
    }
  }
}

void formCategorySpace(const RunState& run, const CrossTables& tables, CategorySpace& space,
                       std::vector<double>& pairCounts) {
  formCrossTable(tables, space.activeTable, space.passiveTable);
  formPairCounts(tables, pairCounts);
  resetCategorySpace(run.problem, space);
}

// The leading `count` eigenpairs of the run's table, the first P as scores Z = v sqrt(t / lambda):
// centred (D' Z = 0) and with Z' B Z = t I, the normalisation of the iteration's scores.
void directScores(const RunState& run, CategorySpace& space, std::ptrdiff_t count,
                  TableEigenpairs& pairs) {
  const std::ptrdiff_t P = run.problem.dimensionCount, S1 = run.problem.activeSlotCount;
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
  const Problem& problem = run.problem;
  std::span<const double> D = run.categoryMarginals;
  std::span<double> z = run.singleQuantifications;
  const double t = run.totalMarginal;
  const std::size_t activeEnd = static_cast<std::size_t>(problem.activeSlotCount);
  const std::vector<double> active(z.begin(), z.begin() + activeEnd);
  initialiseSingleQuantifications(problem, D, z, t);
  std::vector<double> before(z.size());
  for (int round = 0; round < 100000; ++round) {
    std::copy(z.begin(), z.end(), before.begin());
    computeLoadings(problem, D, centroids, z, run.loadings, t);
    regressSingleQuantifications(problem, D, centroids, run.loadings, z, t, run.work.regression);
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
  const std::ptrdiff_t P = run.problem.dimensionCount;
  // Eigenvalues past P say whether dimension P shares its eigenvalue with the ones left out.
  TableEigenpairs pairs;
  directScores(run, space, P + 2, pairs);
  solution.categoryCentroids.assign(run.categoryQuantifications.size(), 0.0);
  centroidsFromCategorySpace(run, space, solution.categoryCentroids);
  if (anyPassiveSingle(run)) {
    settlePassiveSingles(run, solution.categoryCentroids);
  }
  finishQuantifications(run, solution.categoryCentroids, solution);
  solution.eigenvalues.assign(run.eigenvalues.size(), 0.0);
  dimensionEigenvalues(run.problem, run.categoryMarginals, run.totalMarginal,
                       solution.categoryCentroids, solution.categoryQuantifications,
                       solution.eigenvalues);
  fixDimensionSigns(run.problem, run.categoryMarginals, space.scores, run.problem.activeSlotCount,
                    solution.categoryCentroids, solution.categoryQuantifications,
                    solution.loadings);
  const std::vector<double> following(
      pairs.values.begin() + std::min<std::ptrdiff_t>(P, std::ssize(pairs.values)),
      pairs.values.end());
  solution.tiedThrough = tiedThrough(solution.eigenvalues, following, tieTolerance);
  RunReport report{.iterations = 0, .stopReason = StopReason::direct, .subspaceChange = 0.0};
  for (const double lambda : solution.eigenvalues) {
    report.fit += lambda;
  }
  return report;
}

// From the final centroids on, whichever solver ran: the passive single variables settled, the
// quantifications, and the rotation to principal axes with the signs, applied to the centroids,
// quantifications, loadings and `scores` (count rows a dimension: the objects' scores or Z).
void finishFromCentroids(RunState& run, const SolutionOptions& options, std::span<double> scores,
                         std::ptrdiff_t count, Solution& solution) {
  const Problem& p = run.problem;
  if (anyPassiveSingle(run)) {
    settlePassiveSingles(run, solution.categoryCentroids);
  }
  finishQuantifications(run, solution.categoryCentroids, solution);
  solution.eigenvalues.assign(run.eigenvalues.size(), 0.0);
  if (!options.principalAxes) {
    dimensionEigenvalues(p, run.categoryMarginals, run.totalMarginal, solution.categoryCentroids,
                         solution.categoryQuantifications, solution.eigenvalues);
  } else {
    rotateToPrincipalAxes(p, run.categoryMarginals, run.totalMarginal, scores, count,
                          solution.categoryCentroids, solution.categoryQuantifications,
                          solution.loadings, solution.eigenvalues);
    fixDimensionSigns(p, run.categoryMarginals, scores, count, solution.categoryCentroids,
                      solution.categoryQuantifications, solution.loadings);
  }
  solution.tiedThrough = tiedThrough(solution.eigenvalues, {}, tieTolerance);
}

// The end of the cross-table iteration, from the tables alone: centroids from B Z, the rank-one
// quantifications, the rotation to principal axes and the signs applied to Z, and only then the
// object scores C^-1 G Z, each object on its own. Nothing sums over the objects, so the result
// does not depend on their order.
void finishFromCategorySpace(RunState& run, CategorySpace& space, const SolutionOptions& options,
                             Solution& solution) {
  solution.categoryCentroids.assign(run.categoryQuantifications.size(), 0.0);
  centroidsFromCategorySpace(run, space, solution.categoryCentroids);
  finishFromCentroids(run, options, space.scores, run.problem.activeSlotCount, solution);
}

// Starts the cross-table iteration of a rank-one run from the direct solution of the same data
// with every active variable multiple, when that solution has P finite dimensions.
void warmStart(const RunState& run, CategorySpace& space) {
  TableEigenpairs pairs;
  directScores(run, space, run.problem.dimensionCount, pairs);
  space.warm = std::all_of(space.scores.begin(), space.scores.end(),
                           [](double z) { return std::isfinite(z); });
}

// The passes over the objects start from the objects' averages of the category start, the start
// of the cross-table iteration: every solver starts at the same point, and no start depends on
// the order of the objects.
void startFromCategories(RunState& run) {
  const Problem& p = run.problem;
  std::vector<double> start(static_cast<std::size_t>(p.dimensionCount * p.slotCount));
  drawCategoryStart(p, start);
  computeObjectAverages(p, run.plan, run.work, run.objectWeights, run.objectMarginals, start,
                        run.objectScores);
  normaliseObjectScores(p, run.work, run.objectScores, run.objectMarginals, run.totalMarginal);
}

// The bound of the cross-table iteration (SolutionOptions::categorySpaceWork).
int32_t categorySpaceBound(const Problem& problem, const SolutionOptions& options) {
  const int32_t bound = options.maxIterations;
  const double S1 = static_cast<double>(problem.activeSlotCount);
  const double cost = 3.0 * problem.dimensionCount * S1 * S1;
  if (!(options.categorySpaceWork > 0.0) || bound <= 0) {
    return bound;
  }
  const double affordable = std::floor(options.categorySpaceWork / std::max(cost, 1.0));
  return affordable > bound ? static_cast<int32_t>(std::min(affordable, 1e9)) : bound;
}

StoppingRule stoppingRule(const SolutionOptions& options, int32_t maxIterations) {
  return {.maxIterations = maxIterations,
          .fitTolerance = options.fitTolerance,
          .cosineTolerance = options.cosineTolerance,
          .subspaceTolerance = options.subspaceTolerance,
          .stopOnNaNFit = true};
}

// The table solvers, from the tables alone: the direct solution when `direct`, else the
// cross-table iteration. Z goes to the solution as the score coefficients, with the moments of
// the scores; the scores themselves are left to the caller.
void solveOnTables(RunState& run, const CrossTables& tables, const SolutionOptions& options,
                   bool direct, SubspaceTracker* watch, Momentum* accelerate, Solution& solution) {
  CategorySpace space;
  formCategorySpace(run, tables, space, solution.pairCounts);
  const bool linear = !anyActiveSingle(run);
  const std::ptrdiff_t S1 = run.problem.activeSlotCount;
  if (linear && options.tableEigenvalues) {
    solution.tableEigenvalues = allTableEigenvalues(
        space.activeTable, std::span<const double>(run.categoryMarginals).first(S1), S1);
  }
  if (direct) {
    solution.solver = Solver::direct;
    solution.report = solveDirectly(run, space, solution);
  } else {
    if (!linear && options.warmStart && activeSinglesNominal(run.problem)) {
      warmStart(run, space);
    }
    if (!space.warm) {
      drawCategorySpaceStart(run, space);
    }
    solution.solver = Solver::crossTable;
    solution.report = iterateInCategorySpace(
        run, space, stoppingRule(options, categorySpaceBound(run.problem, options)), watch,
        accelerate);
    finishFromCategorySpace(run, space, options, solution);
  }
  solution.scoreCoefficients = space.scores;
  scoreMomentsFromTables(tables, space.scores, run.problem.dimensionCount, solution.scoreSums,
                         solution.scoreSquares);
}

// D and t from the tables: an active category's frequency is the sum of its diagonal entries, a
// passive one's the sum of its row over the active categories divided by c (each of its objects
// meets c active categories), and t the sum of the active frequencies; all in whole numbers,
// converted once, as the passes over the objects sum them.
void marginalsFromTables(const Problem& problem, const CrossTables& tables,
                         std::span<double> categoryMarginals, double& totalMarginal) {
  const std::ptrdiff_t S1 = tables.activeSlots, S2 = problem.slotCount - S1;
  std::vector<int64_t> D(static_cast<std::size_t>(S1 + S2), 0);
  int64_t total = 0;
  for (std::size_t c = 0; c < tables.counts.size(); ++c) {
    const std::vector<int64_t>& table = tables.counts[c];
    if (table.empty()) {
      continue;
    }
    for (std::ptrdiff_t s = 0; s < S1; ++s) {
      D[s] += table[s * S1 + s];
      total += table[s * S1 + s];
    }
    for (std::ptrdiff_t p = 0; p < tables.passiveSlots; ++p) {
      int64_t row = 0;
      for (std::ptrdiff_t s = 0; s < S1; ++s) {
        row += table[S1 * S1 + p * S1 + s];
      }
      D[S1 + p] += row / static_cast<int64_t>(c + 1);
    }
  }
  std::fill(categoryMarginals.begin(), categoryMarginals.end(), 0.0);
  for (std::size_t s = 0; s < D.size(); ++s) {
    categoryMarginals[s] = static_cast<double>(D[s]);
  }
  totalMarginal = static_cast<double>(total);
}

// A solution from the tables alone, on the workers: the problem has no objects.
void solveFromTables(Problem problem, const CrossTables& tables, const SolutionOptions& options,
                     Workers* workers, Solution& solution) {
  RunState run;
  allocateRun(run, std::move(problem), options.innerIterations, {}, workers);
  run.regressRankOne = options.regressRankOne;
  marginalsFromTables(run.problem, tables, run.categoryMarginals, run.totalMarginal);
  if (run.innerIterations > 0) {
    initialiseSingleQuantifications(run.problem, run.categoryMarginals, run.singleQuantifications,
                                    run.totalMarginal);
  }
  SubspaceTracker tracker;
  resetSubspaceTracker(run.problem, tracker);
  Momentum momentum;
  resetMomentum(run.problem, momentum);
  const bool linear = !anyActiveSingle(run);
  const bool direct = linear && options.solver != Solver::crossTable;
  solveOnTables(run, tables, options, direct, options.subspaceTolerance > 0.0 ? &tracker : nullptr,
                options.accelerate && linear ? &momentum : nullptr, solution);
}

}  // namespace

bool crossTablePays(const Problem& problem) {
  const double N = static_cast<double>(problem.objectCount), M1 = problem.activeCount(),
               P = problem.dimensionCount;
  const double S1 = static_cast<double>(problem.activeSlotCount);
  const double build = N * M1 * (M1 + 1) / 2;
  return build + 100 * 3 * P * S1 * S1 < 100 * 2 * N * M1 * P;
}

void computeSolution(Problem problem, const SolutionOptions& options, Solution& solution) {
  Workers workers(std::max(options.threads, 1));
  const bool linear = !anySingle(problem, options.innerIterations, problem.activeVariables);
  const bool direct =
      linear && options.solver != Solver::objects && options.solver != Solver::crossTable;
  const bool table = direct || options.solver == Solver::crossTable ||
                     (options.solver != Solver::objects && crossTablePays(problem));
  // The table solvers need nothing of the objects but their tables (the passive pairs too, so
  // that no sum runs over the objects) and, at the end, their scores: none of the buffers of
  // the passes over the objects is allocated for them.
  if (CrossTables tables; table && buildCrossTables(problem, {}, problem.passiveCount() > 0,
                                                    options.crossTableBudget, &workers, tables)) {
    Problem described = problem;
    described.objectCount = 0;
    solveFromTables(std::move(described), tables, options, &workers, solution);
    if (options.objectScores) {
      const std::ptrdiff_t N = problem.objectCount;
      solution.objectScores = Buffer<double>(static_cast<std::size_t>(problem.dimensionCount * N));
      computeObjectScores(problem, solution.scoreCoefficients, 0, N, solution.objectScores,
                          &workers);
    }
    return;
  }
  RunState run;
  allocateRun(run, std::move(problem), options.innerIterations, {}, &workers);
  run.regressRankOne = options.regressRankOne;
  SubspaceTracker tracker;
  resetSubspaceTracker(run.problem, tracker);
  Momentum momentum;
  resetMomentum(run.problem, momentum);
  startRun(run, true);
  SubspaceTracker* watch = options.subspaceTolerance > 0.0 ? &tracker : nullptr;
  Momentum* accelerate = options.accelerate && linear ? &momentum : nullptr;
  solution.pairCounts.clear();
  solution.solver = Solver::objects;
  startFromCategories(run);
  solution.report =
      iterateRun(run, stoppingRule(options, options.maxIterations), watch, accelerate);
  const Problem& p = run.problem;
  normaliseObjectScores(p, run.work, run.objectScores, run.objectMarginals, run.totalMarginal);
  solution.categoryCentroids.assign(run.categoryQuantifications.size(), 0.0);
  computeCategoryCentroids(p, run.plan, run.work, run.objectWeights, run.categoryMarginals,
                           run.objectScores, solution.categoryCentroids);
  finishFromCentroids(run, options, run.objectScores, p.objectCount, solution);
  solution.scoreCoefficients.clear();
  scoreMomentsFromObjects(run, solution.scoreSums, solution.scoreSquares);
  solution.objectScores = std::move(run.objectScores);
}

void computeSolutionFromTables(Problem problem, const CrossTables& tables,
                               const SolutionOptions& options, Solution& solution) {
  Workers workers(std::max(options.threads, 1));
  solveFromTables(std::move(problem), tables, options, &workers, solution);
}

}  // namespace tallowmere
