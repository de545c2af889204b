// Properties of the typed entry point's solutions that hold whatever the data: the same bits for
// every thread count and for every order of the variables, the sign of each dimension, the
// plain iteration for rank-one runs, an honest estimate of how far the subspace still is from
// its limit, and the objects solver when the cross-table does not fit.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>
#include <limits>
#include <random>

#include "analysis_solution.h"
#include "problem.h"
#include "subspace_tracker.h"

namespace tallowmere {
namespace {

using testing::Problem;
using testing::sameBits;

int32_t uniform(std::mt19937& rng, int32_t low, int32_t high) {
  return std::uniform_int_distribution<int32_t>(low, high)(rng);
}

// A latent trait behind every variable, missing codes, weights 0 to 3; `singles` of the active
// variables single at the given level, and two passive variables, one of them single ordinal.
Problem traitProblem(std::mt19937& rng, int32_t objects, int32_t active, int32_t singles,
                     int32_t level) {
  Problem p;
  p.objectCount = objects;
  p.maxCategories = 4;
  p.dimensionCount = 2;
  p.innerIterations = singles > 0 ? 3 : 0;
  p.maxIterations = 5000;
  p.dataStride = active + 3;
  p.useWeights = true;
  p.weightColumn = active + 2;
  for (int32_t J = 0; J < active + 2; ++J) {
    const bool isActive = J < active;
    (isActive ? p.activeColumns : p.passiveColumns).push_back(J);
    (isActive ? p.activeCategoryCounts : p.passiveCategoryCounts).push_back(J % 2 == 0 ? 4 : 3);
    (isActive ? p.activeSingle : p.passiveSingle)
        .push_back(isActive ? (J < singles ? 1 : 0) : J - active);
    (isActive ? p.activeLevels : p.passiveLevels).push_back(isActive ? level : 1);
  }
  const auto normal = [](std::mt19937& g) { return testing::roughlyNormal(g); };
  p.data.resize(std::size_t(objects) * p.dataStride);
  for (std::ptrdiff_t i = 0; i < objects; ++i) {
    int32_t* row = p.data.data() + i * p.dataStride;
    const double trait = normal(rng), second = normal(rng);
    for (int32_t J = 0; J < active + 2; ++J) {
      const int32_t k =
          J < active ? p.activeCategoryCounts[J] : p.passiveCategoryCounts[J - active];
      const double value = (J % 3 == 0 ? second : trait) + normal(rng);
      const int32_t code = std::clamp(static_cast<int32_t>((value + 2.0) / 4.0 * k) + 1, 1, k);
      row[J] = uniform(rng, 0, 19) == 0 ? 0 : code;
    }
    row[p.weightColumn] = uniform(rng, 0, 3);
  }
  p.fitTolerance = std::numeric_limits<double>::quiet_NaN();
  p.cosineTolerance = std::numeric_limits<double>::quiet_NaN();
  return p;
}

::testing::AssertionResult sameSolution(const Solution& a, const Solution& b) {
  for (const auto& [x, y] :
       {std::pair{&a.categoryQuantifications, &b.categoryQuantifications},
        std::pair{&a.categoryCentroids, &b.categoryCentroids}, std::pair{&a.loadings, &b.loadings},
        std::pair{&a.eigenvalues, &b.eigenvalues}}) {
    if (auto same = sameBits(*x, *y); !same) {
      return same;
    }
  }
  const std::vector<double> scoresA(a.objectScores.begin(), a.objectScores.end());
  const std::vector<double> scoresB(b.objectScores.begin(), b.objectScores.end());
  if (a.report.iterations != b.report.iterations) {
    return ::testing::AssertionFailure()
           << a.report.iterations << " and " << b.report.iterations << " iterations";
  }
  return sameBits(scoresA, scoresB);
}

// More objects than two blocks of the passes, so that the threads share every pass.
TEST(Threads, TheResultsDoNotDependOnTheThreadCount) {
  std::mt19937 rng(8);
  for (const auto& [solver, singles] : {std::pair{Solver::direct, 0},
                                        {Solver::crossTable, 2},
                                        {Solver::objects, 0},
                                        {Solver::objects, 2}}) {
    Problem p = traitProblem(rng, 70000, 5, singles, 0);
    p.maxIterations = solver == Solver::objects ? 12 : 5000;
    const SolutionOptions options{.solver = solver, .threads = 1};
    const Solution one = testing::solveTyped(p, options);
    EXPECT_EQ(one.solver, solver);
    for (const int32_t threads : {2, 3}) {
      SolutionOptions more = options;
      more.threads = threads;
      EXPECT_TRUE(sameSolution(testing::solveTyped(p, more), one))
          << "solver " << static_cast<int>(solver) << ", " << threads << " threads";
    }
  }
}

// The typed layout (each variable's categories packed, passive variables among the active ones)
// and the native method's (active variables first, K slots each) describe the same analysis.
TEST(Layout, TheVariablesOrderAndSlotsChangeNoResult) {
  std::mt19937 rng(21);
  for (int trial = 0; trial < 12; ++trial) {
    const Problem p = traitProblem(rng, uniform(rng, 50, 300), 4, trial % 3, trial % 2);
    for (const Solver solver : {Solver::direct, Solver::crossTable, Solver::objects}) {
      if (solver == Solver::direct && p.innerIterations > 0) {
        continue;  // with single variables, the choice of iteration weighs the slots' number
      }
      SolutionOptions options{.solver = solver};
      options.maxIterations = p.maxIterations;
      options.innerIterations = p.innerIterations;
      Solution native;
      computeSolution(p.engineProblem(), options, native);
      const Solution typed = testing::solveTyped(p, options, true);
      const tallowmere::Problem layout = p.typedProblem(true), uniformLayout = p.engineProblem();
      ASSERT_EQ(native.report.iterations, typed.report.iterations)
          << trial << " solver " << static_cast<int>(solver);
      EXPECT_TRUE(sameBits(typed.eigenvalues, native.eigenvalues)) << trial;
      // Variable q of the interleaved order (active r, then passive r, for r = 0, 1, ...) is
      // variable order[q] of the native one.
      std::vector<int32_t> order;
      for (int32_t r = 0; r < std::max(p.activeCount(), p.passiveCount()); ++r) {
        if (r < p.activeCount()) {
          order.push_back(r);
        }
        if (r < p.passiveCount()) {
          order.push_back(p.activeCount() + r);
        }
      }
      for (int32_t q = 0; q < layout.variableCount(); ++q) {
        const int32_t J = order[q];
        for (int32_t d = 0; d < p.dimensionCount; ++d) {
          for (int32_t c = 0; c < layout.categories(q); ++c) {
            const std::size_t a = d * layout.slotCount + layout.slotStart[q] + c;
            const std::size_t b = d * uniformLayout.slotCount + uniformLayout.slotStart[J] + c;
            ASSERT_TRUE(
                sameBits(typed.categoryQuantifications[a], native.categoryQuantifications[b]))
                << trial << " variable " << q << " category " << c;
          }
          ASSERT_TRUE(sameBits(typed.loadings[q * p.dimensionCount + d],
                               native.loadings[J * p.dimensionCount + d]));
        }
      }
    }
  }
}

// Among the active categories with weight, the first whose quantification is within a relative
// 10^-6 of the largest absolute one is positive, on every dimension.
TEST(Signs, TheFirstLargestActiveCategoryIsPositive) {
  std::mt19937 rng(4);
  for (int trial = 0; trial < 12; ++trial) {
    const Problem p = traitProblem(rng, uniform(rng, 60, 200), 4, trial % 2 * 2, 0);
    for (const Solver solver : {Solver::direct, Solver::crossTable, Solver::objects}) {
      const Solution s = testing::solveTyped(p, {.solver = solver});
      const tallowmere::Problem layout = p.typedProblem();
      std::vector<double> D(layout.slotCount, 0.0);
      const std::vector<double> w = p.objectWeights();
      for (std::ptrdiff_t i = 0; i < p.objectCount; ++i) {
        for (const int32_t J : layout.activeVariables) {
          const int32_t code = layout.code(i, J);
          if (code > 0 && w[i] > 0) {
            D[layout.slotStart[J] + code - 1] += w[i];
          }
        }
      }
      for (int32_t d = 0; d < p.dimensionCount; ++d) {
        const double* q = s.categoryQuantifications.data() + d * layout.slotCount;
        double largest = 0.0;
        for (std::ptrdiff_t slot = 0; slot < layout.activeSlotCount; ++slot) {
          largest = D[slot] > 0 ? std::max(largest, std::fabs(q[slot])) : largest;
        }
        for (std::ptrdiff_t slot = 0; slot < layout.activeSlotCount; ++slot) {
          if (D[slot] > 0 && std::fabs(q[slot]) >= largest * (1 - 1e-6)) {
            EXPECT_GT(q[slot], 0.0)
                << trial << " solver " << static_cast<int>(solver) << " dimension " << d;
            break;
          }
        }
      }
    }
  }
}

// Momentum assumes a linear iteration; with single variables the run is the plain alternating
// least squares, and ends where the plain iteration ends.
TEST(RankOne, RunsWithoutAcceleration) {
  std::mt19937 rng(12);
  for (int trial = 0; trial < 6; ++trial) {
    const Problem p = traitProblem(rng, 400, 5, 3, trial % 2);
    const Solution defaults = testing::solveTyped(p, {.solver = Solver::crossTable});
    const Solution plain =
        testing::solveTyped(p, {.accelerate = false, .solver = Solver::crossTable});
    EXPECT_TRUE(sameSolution(defaults, plain)) << trial;
  }
}

// Stopped at a subspace distance of 10^-6 (estimated), the subspace the run follows, that of the
// active centroids in the metric of the category frequencies, is that close to the exact one: the
// root of the sum of the squared sines of the angles between it and the direct solution's is
// below 2 10^-6, on problems whose accelerated rates go up and down.
TEST(SubspaceTest, TheEstimatedDistanceBoundsTheTrueOne) {
  std::mt19937 rng(33);
  for (int trial = 0; trial < 16; ++trial) {
    // One draw a statement: the order in which arguments are evaluated differs between compilers.
    const int32_t objects = uniform(rng, 200, 600);
    const int32_t active = uniform(rng, 4, 7);
    Problem p = traitProblem(rng, objects, active, 0, 0);
    p.dimensionCount = uniform(rng, 1, 3);
    const Solution exact = testing::solveTyped(p, {.solver = Solver::direct});
    const Solution iterated =
        testing::solveTyped(p, {.subspaceTolerance = 1e-6, .solver = Solver::crossTable});
    ASSERT_EQ(iterated.report.stopReason, StopReason::subspace) << trial;
    // Orthonormal bases of both spans in the metric of D, over the active slots.
    const tallowmere::Problem layout = p.typedProblem();
    const std::ptrdiff_t S1 = layout.activeSlotCount, S = layout.slotCount;
    const std::ptrdiff_t P = p.dimensionCount;
    std::vector<double> D(S1, 0.0);
    const std::vector<double> w = p.objectWeights();
    for (std::ptrdiff_t i = 0; i < p.objectCount; ++i) {
      for (const int32_t J : layout.activeVariables) {
        if (const int32_t code = layout.code(i, J); code > 0) {
          D[layout.slotStart[J] + code - 1] += std::max(w[i], 0.0);
        }
      }
    }
    Eigen::MatrixXd A(S1, P), B(S1, P);
    for (std::ptrdiff_t s = 0; s < S1; ++s) {
      for (std::ptrdiff_t d = 0; d < P; ++d) {
        A(s, d) = std::sqrt(D[s]) * exact.categoryCentroids[d * S + s];
        B(s, d) = std::sqrt(D[s]) * iterated.categoryCentroids[d * S + s];
      }
    }
    const Eigen::MatrixXd QA = A.householderQr().householderQ() * Eigen::MatrixXd::Identity(S1, P);
    const Eigen::MatrixXd QB = B.householderQr().householderQ() * Eigen::MatrixXd::Identity(S1, P);
    const Eigen::MatrixXd residual = QB - QA * (QA.transpose() * QB);
    EXPECT_LT(residual.norm(), 2e-6) << trial;
  }
}

// The tracker's estimate of the distance still to go is never below the true one when the moves
// shrink at a steady rate or alternate between a fast and a slow one, as accelerated runs do: a
// one-dimensional subspace of the plane at angle e_k from its limit, e_k = 0.01 0.9^k (1 + a
// (-1)^k).
TEST(SubspaceTest, TheEstimateTrustsTheSlowestOfTheLastRates) {
  const Problem p = [] {
    Problem q;
    q.objectCount = 1;
    q.maxCategories = 2;
    q.activeColumns = {0};
    q.activeCategoryCounts = {2};
    q.activeSingle = q.activeLevels = {0};
    q.dataStride = 1;
    q.data = {1};
    return q;
  }();
  const tallowmere::Problem problem = p.typedProblem();
  const std::vector<double> D = {1.0, 1.0};
  for (const double amplitude : {0.0, 0.1, 0.2}) {
    SubspaceTracker tracker;
    resetSubspaceTracker(problem, tracker);
    int finite = 0;
    for (int k = 0; k < 80; ++k) {
      const double angle = 0.01 * std::pow(0.9, k) * (1 + amplitude * (k % 2 == 0 ? 1 : -1));
      const std::vector<double> Y = {std::cos(angle), std::sin(angle)};
      observeSubspace(problem, tracker, Y, D);
      if (std::isfinite(tracker.distance)) {
        ++finite;
        EXPECT_GE(tracker.distance, std::sin(angle)) << amplitude << " step " << k;
      }
    }
    if (amplitude == 0.0) {
      EXPECT_GT(finite, 70);  // a steady rate is known after three moves
    }
  }
}

// Past the cross-table's budget the objects solver runs, with no pair counts, and gives what it
// gives when asked for.
TEST(CrossTable, FallsBackToTheObjectsSolverWithoutPairCounts) {
  std::mt19937 rng(5);
  for (const int32_t singles : {0, 2}) {
    const Problem p = traitProblem(rng, 300, 4, singles, 0);
    for (const Solver asked : {Solver::direct, Solver::crossTable, Solver::automatic}) {
      const Solution fallback = testing::solveTyped(p, {.solver = asked, .crossTableBudget = 0});
      EXPECT_EQ(fallback.solver, Solver::objects);
      EXPECT_TRUE(fallback.pairCounts.empty());
      EXPECT_TRUE(sameSolution(fallback, testing::solveTyped(p, {.solver = Solver::objects})));
    }
  }
}

}  // namespace
}  // namespace tallowmere
