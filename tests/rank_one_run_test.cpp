// Rank-one runs whose first two eigenvalues lie close, which need thousands of iterations: they
// finish at the default settings, and start at once from the direct solution.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "analysis_solution.h"
#include "multiple_problems.h"
#include "problem.h"

namespace tallowmere {
namespace {

using testing::Problem;
using testing::solve;
using testing::twinProblem;
using testing::uniform;

// A rank-one analysis of one dimension whose first two eigenvalues lie close, all single
// variables nominal: with one dimension, the rank-one restriction changes nothing, so its optimum
// is the direct solution's largest eigenvalue. The first of a fixed series of such problems
// whose first two eigenvalues lie less than 0.3 % apart.
Problem slowRankOne() {
  std::mt19937 rng(7);
  while (true) {
    const int32_t changed = uniform(rng, 1, 3);
    Problem p = twinProblem(rng, changed);
    p.dimensionCount = 2;
    const Solution pair = solve(p, Solver::direct);
    const double gap = (pair.eigenvalues[0] - pair.eigenvalues[1]) / pair.eigenvalues[0];
    if (gap > 1e-4 && gap < 3e-3) {
      p.dimensionCount = 1;
      p.innerIterations = 5;
      p.maxIterations = 1000;
      p.activeSingle.assign(p.activeSingle.size(), 1);
      return p;
    }
  }
}

TEST(RankOne, RunsThatNeedThousandsOfIterationsFinishAtDefaultSettings) {
  const Problem p = slowRankOne();
  Problem multiple = p;
  multiple.activeSingle.assign(p.activeSingle.size(), 0);
  const double optimum = solve(multiple, Solver::direct).eigenvalues[0];
  const double defaultWork = 2e9;

  // Cold, with the bound of the passes over the objects: cut off.
  const Solution bounded = solve(p, Solver::crossTable, 1e-8, 0.0, false);
  EXPECT_EQ(bounded.report.stopReason, StopReason::iterationBound);
  // Cold, with the cross-table's work budget: more than 5000 iterations, to the optimum.
  const Solution cold = solve(p, Solver::crossTable, 1e-8, defaultWork, false);
  EXPECT_EQ(cold.report.stopReason, StopReason::subspace);
  EXPECT_GT(cold.report.iterations, 5000);
  EXPECT_NEAR(cold.eigenvalues[0], optimum, 1e-10);
  // From the direct solution of the same data with every variable multiple: at once.
  const Solution warm = solve(p, Solver::automatic, 1e-8, defaultWork, true);
  EXPECT_EQ(warm.solver, Solver::crossTable);
  EXPECT_EQ(warm.report.stopReason, StopReason::subspace);
  EXPECT_LT(warm.report.iterations, 10);
  EXPECT_NEAR(warm.eigenvalues[0], optimum, 1e-12);
  // The accumulating rounds of the native method are slower to the same optimum.
  const Solution accumulating = solve(p, Solver::crossTable, 1e-8, defaultWork, false, false);
  EXPECT_GT(accumulating.report.iterations, cold.report.iterations);
  EXPECT_NEAR(accumulating.eigenvalues[0], optimum, 1e-9);
}

}  // namespace
}  // namespace tallowmere
