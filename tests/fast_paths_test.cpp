// The engine's optimised passes against the straightforward loops they replace, bit for bit,
// on random problems with missing codes, zero and negative weights, passive and single
// variables, for every kind of code storage and both vector widths.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "engine.h"
#include "iteration_plan.h"
#include "problem.h"
#include "straightforward.h"
#include "vector_lanes.h"

namespace tallowmere {
namespace {

using testing::Problem;
using testing::sameBits;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

struct PathCase {
  const char* name;
  testing::RandomShape shape;
  bool wideLanes;
  bool insideRun;  // with the run's prepared plan, or a plan built by each call
};
void PrintTo(const PathCase& c, std::ostream* out) {
  *out << c.name;
}

class FastPaths : public ::testing::TestWithParam<PathCase> {
 protected:
  void TearDown() override { setWideLanesAllowed(true); }
};

TEST_P(FastPaths, MatchStraightforwardLoopsBitForBit) {
  const PathCase& c = GetParam();
  setWideLanesAllowed(c.wideLanes);
  std::mt19937 rng(31337);
  for (int trial = 0; trial < 150; ++trial) {
    SCOPED_TRACE(trial);
    const Problem p = testing::randomProblem(rng, c.shape);
    const testing::Marginals marginals = testing::engineMarginals(p);
    const std::size_t N = p.objectCount, P = p.dimensionCount, S = p.slotCount();
    const std::vector<int32_t> w = p.objectWeights();
    IterationPlan plan;
    buildIterationPlan(plan);
    std::optional<RunPlanScope> run;
    if (c.insideRun) {
      run.emplace(plan);
    }

    const std::vector<double> x = testing::randomValues(rng, P * N);
    std::vector<double> y(P * S, nan), expectedY(P * S, nan);
    computeCategoryCentroids(w, marginals.category, x, y);
    straightforward::computeCategoryCentroids(w, marginals.category, x, expectedY);
    ASSERT_TRUE(sameBits(y, expectedY));

    // Quantifications with some non-finite values, as degenerate runs produce.
    std::vector<double> yIn = testing::randomValues(rng, P * S, -3.0, 3.0);
    if (!yIn.empty() && trial % 5 == 0) {
      yIn[trial % yIn.size()] = trial % 2 ? nan : -HUGE_VAL;
    }
    std::vector<double> averages(P * N, nan), expectedAverages(P * N, nan);
    computeObjectAverages(w, marginals.object, yIn, averages);
    straightforward::computeObjectAverages(w, marginals.object, yIn, expectedAverages);
    ASSERT_TRUE(sameBits(averages, expectedAverages));

    const double t = marginals.total;
    std::vector<double> scores = x, expectedScores = x;
    std::vector<double> eigenvalues(P, nan), expectedEigenvalues(P, nan);
    double fit = nan, cosine = nan, expectedFit = nan, expectedCosine = nan;
    evaluateIteration(marginals.object, scores, averages, eigenvalues, fit, cosine, t);
    straightforward::evaluateIteration(marginals.object, expectedScores, averages,
                                       expectedEigenvalues, expectedFit, expectedCosine, t);
    ASSERT_TRUE(sameBits(eigenvalues, expectedEigenvalues));
    ASSERT_TRUE(sameBits(fit, expectedFit));
    ASSERT_TRUE(sameBits(cosine, expectedCosine));
    ASSERT_TRUE(sameBits(scores, expectedScores));

    centreObjectScores(scores, marginals.object, t);
    straightforward::centreObjectScores(expectedScores, marginals.object, t);
    ASSERT_TRUE(sameBits(scores, expectedScores));
    orthonormaliseObjectScores(scores, marginals.object, t);
    straightforward::orthonormaliseObjectScores(expectedScores, marginals.object, t);
    ASSERT_TRUE(sameBits(scores, expectedScores));
  }
}

constexpr testing::RandomShape small{};
constexpr testing::RandomShape manyDimensions{.maxObjects = 30, .maxDimensions = 11};
constexpr testing::RandomShape wideCodes{.maxObjects = 30, .maxCategories = 300};

INSTANTIATE_TEST_SUITE_P(
    Engine, FastPaths,
    ::testing::Values(PathCase{"wide", small, true, true}, PathCase{"baseline", small, false, true},
                      PathCase{"outsideRun", small, true, false},
                      PathCase{"manyDimensionsWide", manyDimensions, true, true},
                      PathCase{"manyDimensionsBaseline", manyDimensions, false, true},
                      PathCase{"shortCodes", wideCodes, true, true},
                      PathCase{"shortCodesBaseline", wideCodes, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tallowmere
