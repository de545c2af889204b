// The iteration on the category cross-table: its tables, and its agreement with the passes over
// the objects.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "analysis_solution.h"
#include "cross_table.h"
#include "multiple_problems.h"
#include "problem.h"

namespace tallowmere {
namespace {

using testing::Problem;

using testing::uniform;

// Problems the typed API accepts, with single variables of every level among the active ones.
Problem randomAnalysis(std::mt19937& rng) {
  return testing::randomAnalysis(rng, {.minObjects = 60,
                                       .maxObjects = 150,
                                       .maxCategories = 4,
                                       .minActive = 2,
                                       .maxActive = 4,
                                       .maxPassive = 2,
                                       .activeSingles = true,
                                       .innerIterations = -1,
                                       .negativeMissing = true});
}

// The tables of objects first .. last - 1 in runAnalysis's layout, K slots a variable.
CrossTables tablesOf(const Problem& p, std::ptrdiff_t first, std::ptrdiff_t last) {
  const tallowmere::Problem problem = p.engineProblem();
  CrossTables tables;
  resetCrossTables(problem, tables, true);
  EXPECT_TRUE(accumulateCrossTables(problem, tables, first, last, p.objectWeights(), SIZE_MAX));
  return tables;
}

TEST(CrossTable, PartsAddUpToTheWholeBitForBit) {
  std::mt19937 rng(17);
  for (int trial = 0; trial < 20; ++trial) {
    const Problem p = randomAnalysis(rng);
    const std::ptrdiff_t N = p.objectCount, split = uniform(rng, 0, p.objectCount);
    CrossTables whole = tablesOf(p, 0, N);
    CrossTables parts = tablesOf(p, split, N);
    addCrossTables(parts, tablesOf(p, 0, split));
    EXPECT_EQ(parts.counts, whole.counts) << trial;

    // B = G' W C^-1 G summed object by object in doubles, an independent reading of the codes.
    std::vector<double> B, Bp;
    formCrossTable(whole, B, Bp);
    const std::ptrdiff_t K = p.maxCategories, S1 = K * p.activeCount();
    std::vector<double> expected(S1 * S1, 0.0), expectedPassive(K * p.passiveCount() * S1, 0.0);
    const std::vector<double> w = p.objectWeights();
    for (std::ptrdiff_t i = 0; i < N; ++i) {
      std::vector<std::ptrdiff_t> slots;
      for (int32_t j = 0; j < p.activeCount(); ++j) {
        if (p.code(i, j) > 0) {
          slots.push_back(j * K + p.code(i, j) - 1);
        }
      }
      for (const std::ptrdiff_t a : slots) {
        for (const std::ptrdiff_t b : slots) {
          expected[a * S1 + b] += double(w[i]) / slots.size();
        }
        for (int32_t j = 0; j < p.passiveCount(); ++j) {
          const int32_t code = p.code(i, p.activeCount() + j);
          if (code > 0) {
            expectedPassive[(j * K + code - 1) * S1 + a] += double(w[i]) / slots.size();
          }
        }
      }
    }
    for (std::size_t e = 0; e < expected.size(); ++e) {
      EXPECT_NEAR(B[e], expected[e], 1e-12 * (1 + expected[e])) << trial << " element " << e;
    }
    for (std::size_t e = 0; e < expectedPassive.size(); ++e) {
      EXPECT_NEAR(Bp[e], expectedPassive[e], 1e-12 * (1 + expectedPassive[e])) << trial;
    }
  }
}

// A problem's tables counted as objects of weight 1 (objects 0 .. split - 1, then the rest) into
// `unit`, and with explicit weights of one into `weighted`.
void countUnitAndOnes(const Problem& p, bool withPassive, std::ptrdiff_t split, CrossTables& unit,
                      CrossTables& weighted) {
  tallowmere::Problem problem = p.engineProblem();
  problem.weights = {};
  problem.weightValues = nullptr;
  const std::ptrdiff_t N = p.objectCount;
  const std::vector<double> ones(static_cast<std::size_t>(N), 1.0);
  resetCrossTables(problem, unit, withPassive);
  resetCrossTables(problem, weighted, withPassive);
  ASSERT_TRUE(accumulateCrossTables(problem, unit, 0, split, {}, SIZE_MAX));
  ASSERT_TRUE(accumulateCrossTables(problem, unit, split, N, {}, SIZE_MAX));
  ASSERT_TRUE(accumulateCrossTables(problem, weighted, 0, N, ones, SIZE_MAX));
}

// Objects that weigh 1 each are counted in 32 bits and added into the tables at the end: the same
// tables as the 64-bit counts of explicit unit weights, into tables that already hold counts too.
TEST(CrossTable, UnitWeightsCountLikeWeightsOfOne) {
  std::mt19937 rng(23);
  for (int trial = 0; trial < 20; ++trial) {
    const Problem p = randomAnalysis(rng);
    CrossTables unit, weighted;
    countUnitAndOnes(p, true, uniform(rng, 0, p.objectCount), unit, weighted);
    EXPECT_EQ(unit.counts, weighted.counts) << trial;
  }
}

// Without passive variables, objects of weight 1 are counted by groups of two neighbouring
// variables where their codes fit a small table (up to 7 categories each), and alone otherwise:
// the same tables as pair by pair with explicit weights of one, for every mix of the two, codes of
// 0 and below as missing, and parts counted apart.
TEST(CrossTable, GroupsOfVariablesCountLikeTheirPairs) {
  struct Shape {
    int32_t minActive, maxActive, maxCategories, minObjects, maxObjects;
  };
  const Shape shapes[] = {{2, 9, 10, 60, 300}, {2, 3, 3, 1, 40}, {20, 20, 6, 3000, 3000}};
  std::mt19937 rng(29);
  for (const Shape& shape : shapes) {
    for (int trial = 0; trial < 20; ++trial) {
      const Problem p = testing::randomAnalysis(rng, {.minObjects = shape.minObjects,
                                                      .maxObjects = shape.maxObjects,
                                                      .maxCategories = shape.maxCategories,
                                                      .minActive = shape.minActive,
                                                      .maxActive = shape.maxActive,
                                                      .maxPassive = 0,
                                                      .activeSingles = true,
                                                      .innerIterations = -1,
                                                      .negativeMissing = true});
      const std::ptrdiff_t split = uniform(rng, 0, p.objectCount);
      for (const bool withPassive : {false, true}) {
        CrossTables unit, weighted;
        countUnitAndOnes(p, withPassive, split, unit, weighted);
        EXPECT_EQ(unit.counts, weighted.counts) << shape.maxActive << " trial " << trial;
      }
    }
  }
}

// The iterates after the problem's bound, from the random start, neither accelerated nor rotated.
Solution iterate(const Problem& p, Solver solver) {
  SolutionOptions options;
  options.solver = solver;
  options.subspaceTolerance = 0.0;
  options.accelerate = false;
  options.principalAxes = false;
  // Both start from the same random scores, so that their iterates can be compared.
  options.warmStart = false;
  return testing::solveTyped(p, options);
}

// Equal within `relative` of the largest absolute expected value; NaN where expected is NaN.
::testing::AssertionResult agree(const std::vector<double>& actual,
                                 const std::vector<double>& expected, double relative) {
  double largest = 0.0;
  for (const double e : expected) {
    largest = std::isnan(e) ? largest : std::max(largest, std::fabs(e));
  }
  for (std::size_t k = 0; k < expected.size(); ++k) {
    const bool bothNaN = std::isnan(expected[k]) && std::isnan(actual[k]);
    if (!bothNaN && !(std::fabs(actual[k] - expected[k]) <= relative * largest)) {
      return ::testing::AssertionFailure() << "element " << k << ": " << actual[k] << " vs "
                                           << expected[k] << " (largest " << largest << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(CategorySpace, IteratesEqualThoseOfThePassesOverTheObjects) {
  std::mt19937 rng(2024);
  for (int trial = 0; trial < 60; ++trial) {
    Problem p = randomAnalysis(rng);
    p.maxIterations = std::array{1, 2, 5, 20}[trial % 4];
    SCOPED_TRACE(::testing::Message() << "trial " << trial << ", " << p.maxIterations
                                      << " iterations, P = " << p.dimensionCount);
    const Solution objects = iterate(p, Solver::objects);
    const Solution table = iterate(p, Solver::crossTable);
    ASSERT_EQ(objects.solver, Solver::objects);
    ASSERT_EQ(table.solver, Solver::crossTable);
    // Objects of weight 0 have no scores in either.
    std::vector<double> expected, actual;
    const std::vector<double> w = p.objectWeights();
    for (int32_t d = 0; d < p.dimensionCount; ++d) {
      for (int32_t i = 0; i < p.objectCount; ++i) {
        bool observed = false;
        for (int32_t j = 0; j < p.activeCount(); ++j) {
          observed = observed || p.code(i, j) > 0;
        }
        if (w[i] > 0 && observed) {
          expected.push_back(objects.objectScores[d * p.objectCount + i]);
          actual.push_back(table.objectScores[d * p.objectCount + i]);
        }
      }
    }
    EXPECT_TRUE(agree(actual, expected, 1e-12));
    EXPECT_TRUE(agree(table.categoryQuantifications, objects.categoryQuantifications, 1e-12));
    EXPECT_TRUE(agree(table.categoryCentroids, objects.categoryCentroids, 1e-12));
    EXPECT_TRUE(agree(table.eigenvalues, objects.eigenvalues, 1e-12));
    EXPECT_EQ(table.report.iterations, objects.report.iterations);
  }
}

::testing::AssertionResult sameBits(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) {
    return ::testing::AssertionFailure() << a.size() << " vs " << b.size() << " elements";
  }
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (!testing::sameBits(a[k], b[k])) {
      return ::testing::AssertionFailure() << "element " << k << ": " << a[k] << " vs " << b[k];
    }
  }
  return ::testing::AssertionSuccess();
}

// A database sums the tables and the library solves from them alone: the same bits as the table
// solvers that summed the tables from the objects, and scores that the coefficients and moments
// describe.
TEST(CategorySpace, TablesSummedElsewhereGiveTheSameSolution) {
  std::mt19937 rng(77);
  for (int trial = 0; trial < 24; ++trial) {
    const bool direct = trial % 2 == 0;
    Problem p = direct ? testing::randomMultiple(rng, 120) : randomAnalysis(rng);
    if (trial % 3 == 0) {
      p.realWeights.resize(static_cast<std::size_t>(p.objectCount));
      for (double& w : p.realWeights) {
        w = std::uniform_real_distribution<double>(0.0, 3.0)(rng);
      }
    }
    SCOPED_TRACE(::testing::Message() << "trial " << trial);
    SolutionOptions options = p.solutionOptions();
    options.solver = direct ? Solver::direct : Solver::crossTable;
    options.tableEigenvalues = true;
    Solution fromObjects;
    const tallowmere::Problem problem = p.typedProblem();
    computeSolution(problem, options, fromObjects);
    ASSERT_EQ(fromObjects.solver, options.solver);

    const std::ptrdiff_t N = p.objectCount;
    std::vector<double> weights = p.objectWeights();
    if (problem.weightValues != nullptr) {
      weights.assign(problem.weightValues, problem.weightValues + N);
    }
    CrossTables tables;
    resetCrossTables(problem, tables, problem.passiveCount() > 0);
    ASSERT_TRUE(accumulateCrossTables(problem, tables, 0, N, weights, SIZE_MAX));
    tallowmere::Problem described = problem;
    described.objectCount = 0;
    for (Variable& v : described.variables) {
      v.codes = {};
    }
    Solution fromTables;
    computeSolutionFromTables(described, tables, options, fromTables);

    EXPECT_EQ(fromTables.solver, fromObjects.solver);
    EXPECT_EQ(fromTables.report.iterations, fromObjects.report.iterations);
    EXPECT_TRUE(fromTables.objectScores.empty());
    for (auto member :
         {&Solution::eigenvalues, &Solution::categoryQuantifications, &Solution::categoryCentroids,
          &Solution::loadings, &Solution::pairCounts, &Solution::tableEigenvalues,
          &Solution::scoreCoefficients, &Solution::scoreSums, &Solution::scoreSquares}) {
      EXPECT_TRUE(sameBits(fromTables.*member, fromObjects.*member));
    }
    EXPECT_EQ(fromTables.tiedThrough, fromObjects.tiedThrough);

    // The moments are those of the scores the objects were given.
    const int32_t P = p.dimensionCount;
    std::vector<double> sums(P, 0.0), squares(P, 0.0);
    for (int32_t d = 0; d < P; ++d) {
      for (std::ptrdiff_t i = 0; i < N; ++i) {
        bool observed = false;
        for (int32_t j = 0; j < p.activeCount(); ++j) {
          observed = observed || p.code(i, j) > 0;
        }
        if (weights[i] > 0 && observed) {
          const double x = fromObjects.objectScores[d * N + i];
          sums[d] += weights[i] * x;
          squares[d] += weights[i] * x * x;
        }
      }
    }
    EXPECT_TRUE(agree(fromTables.scoreSquares, squares, 1e-12));
    for (int32_t d = 0; d < P; ++d) {
      EXPECT_NEAR(fromTables.scoreSums[d], sums[d], 1e-12 * squares[d]) << d;
    }
  }
}

TEST(CategorySpace, FallsBackToTheObjectsPastItsBudget) {
  std::mt19937 rng(5);
  Problem p = randomAnalysis(rng);
  p.maxIterations = 3;
  SolutionOptions options;
  options.solver = Solver::crossTable;
  options.crossTableBudget = 0;
  const Solution solution = testing::solveTyped(p, options);
  EXPECT_EQ(solution.solver, Solver::objects);
}

}  // namespace
}  // namespace tallowmere
