// Real weights, such as survey weights: made whole-number units on one power-of-two scale and
// summed exactly, so that the direct solution does not depend on the order of the objects at all
// and agrees with the solution of the exact real weights.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

#include "analysis_solution.h"
#include "eigen_reference.h"
#include "multiple_problems.h"
#include "problem.h"

namespace tallowmere {
namespace {

using testing::Problem;
using testing::sameBits;

// Survey-like weights: positive reals with all their digits, a few of them 0.
std::vector<double> surveyWeights(std::mt19937& rng, std::ptrdiff_t objects) {
  std::uniform_real_distribution<double> weight(0.2, 6.0);
  std::vector<double> weights(static_cast<std::size_t>(objects));
  for (double& w : weights) {
    w = testing::uniform(rng, 0, 19) == 0 ? 0.0 : weight(rng);
  }
  return weights;
}

// The same objects in another order: rows of the data and their weights.
Problem shuffled(const Problem& p, std::mt19937& rng, std::vector<int>& order) {
  order.resize(static_cast<std::size_t>(p.objectCount));
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), rng);
  Problem q = p;
  for (std::ptrdiff_t i = 0; i < p.objectCount; ++i) {
    std::copy_n(p.data.begin() + order[i] * p.dataStride, p.dataStride,
                q.data.begin() + i * p.dataStride);
    q.realWeights[i] = p.realWeights[order[i]];
  }
  return q;
}

// Both solvers that work on the cross-table sum it exactly and start from a point drawn by the
// categories alone, so neither depends on the order of the objects: with rank-one variables,
// passive ones and missing cells too.
TEST(RealWeights, TheObjectsOrderChangesNoBitOfTheCrossTableSolutions) {
  const testing::AnalysisShape withSingles{.minObjects = 150,
                                           .maxObjects = 300,
                                           .maxCategories = 5,
                                           .minActive = 2,
                                           .maxActive = 5,
                                           .maxPassive = 2,
                                           .activeSingles = true,
                                           .innerIterations = -1,
                                           .negativeMissing = false};
  std::mt19937 rng(71);
  for (int trial = 0; trial < 16; ++trial) {
    const bool direct = trial % 2 == 0;
    Problem p =
        direct ? testing::randomMultiple(rng, 300) : testing::randomAnalysis(rng, withSingles);
    p.realWeights = surveyWeights(rng, p.objectCount);
    std::vector<int> order;
    const Problem q = shuffled(p, rng, order);
    const Solver solver = direct ? Solver::direct : Solver::crossTable;
    const Solution a = testing::solveTyped(p, {.solver = solver});
    const Solution b = testing::solveTyped(q, {.solver = solver});
    ASSERT_EQ(a.solver, solver) << trial;
    EXPECT_TRUE(sameBits(a.eigenvalues, b.eigenvalues)) << trial;
    EXPECT_TRUE(sameBits(a.categoryQuantifications, b.categoryQuantifications)) << trial;
    EXPECT_TRUE(sameBits(a.categoryCentroids, b.categoryCentroids)) << trial;
    EXPECT_EQ(a.report.iterations, b.report.iterations) << trial;
    const std::ptrdiff_t N = p.objectCount;
    for (std::ptrdiff_t d = 0; d < p.dimensionCount; ++d) {
      for (std::ptrdiff_t i = 0; i < N; ++i) {
        ASSERT_TRUE(sameBits(b.objectScores[d * N + i], a.objectScores[d * N + order[i]]))
            << trial << " object " << i;
      }
    }
  }
}

TEST(RealWeights, AgreeWithTheSolutionOfTheExactWeights) {
  std::mt19937 rng(72);
  for (int trial = 0; trial < 8; ++trial) {
    Problem p = testing::randomMultiple(rng, 200);
    p.realWeights = surveyWeights(rng, p.objectCount);
    const Solution s = testing::solveTyped(p, {.solver = Solver::direct});
    const std::vector<int> objects = testing::scoredObjects(p);
    const testing::Eigensolution exact = testing::leadingEigenvectors(p, objects);
    for (int d = 0; d < p.dimensionCount; ++d) {
      if (exact.values(d) - exact.values(d + 1) < 1e-3 * exact.values(0) ||
          (d > 0 && exact.values(d - 1) - exact.values(d) < 1e-3 * exact.values(0))) {
        continue;  // a dimension not determined well enough to compare
      }
      EXPECT_NEAR(s.eigenvalues[d], exact.values(d), 1e-12) << trial;
      EXPECT_LT(
          testing::dimensionError(s.objectScores.data() + d * p.objectCount, exact, d, objects),
          1e-9)
          << trial << " dimension " << d;
    }
  }
}

// Whole numbers stay; anything else is scaled by a power of two and rounded, keeping every sum
// times the active variables below 2^62 and every unit below 2^53.
TEST(WeightUnits, WholeNumbersStayOthersTakeOnePowerOfTwo) {
  struct Case {
    std::vector<double> weights;
    int64_t active;
    bool unchanged;
  } cases[] = {
      {{1, 2, 3, 0}, 5, true},      {{0.5, 1.5, 2.764645472846747}, 20, false},
      {{0x1p60, 0x1p60}, 3, false},  // whole, but their sums would not fit
      {{0x1p54, 1}, 1, false},       // whole, but beyond the whole numbers of a double
      {{1e-300, 1}, 2, false},
  };
  for (const Case& c : cases) {
    std::vector<double> units = c.weights;
    weightUnits(units, c.active);
    EXPECT_EQ(units == c.weights, c.unchanged);
    double total = 0.0;
    std::size_t largest = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
      EXPECT_EQ(units[i], std::floor(units[i]));
      EXPECT_LE(units[i], 0x1p53);
      total += units[i];
      largest = c.weights[i] > c.weights[largest] ? i : largest;
    }
    EXPECT_LT(total * static_cast<double>(c.active), 0x1p62);
    const double scale = units[largest] / c.weights[largest];
    int exponent = 0;
    EXPECT_EQ(std::frexp(scale, &exponent), 0.5) << "a power of two";
    for (std::size_t i = 0; i < units.size(); ++i) {
      EXPECT_NEAR(units[i], c.weights[i] * scale, 0.5);
    }
  }
}

}  // namespace
}  // namespace tallowmere
