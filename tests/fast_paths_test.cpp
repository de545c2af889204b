// The engine's optimised passes against the straightforward loops they replace, bit for bit,
// on random problems with missing codes, zero and negative weights, passive and single
// variables, for every kind of code storage and both vector widths.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "engine.h"
#include "fused_steps.h"
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
  int lanes;
  bool insideRun;  // with the run's prepared plan, or a plan built by each call
  bool offsets;    // codes as table offsets, or as category indices
};
void PrintTo(const PathCase& c, std::ostream* out) {
  *out << c.name;
}

class FastPaths : public ::testing::TestWithParam<PathCase> {
 protected:
  void TearDown() override {
    setLaneLimit(8);
    allowEntryOffsets(true);
  }
};

TEST_P(FastPaths, MatchStraightforwardLoopsBitForBit) {
  const PathCase& c = GetParam();
  setLaneLimit(c.lanes);
  allowEntryOffsets(c.offsets);
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

// The driver's fused steps against the four steps they replace, for every dimension count
// they handle and every vector width.
class FusedSteps : public ::testing::TestWithParam<int> {
 protected:
  void TearDown() override {
    setLaneLimit(8);
    allowEntryOffsets(true);
  }
};

TEST_P(FusedSteps, MatchAveragesEvaluationCentringAndOrthonormalisation) {
  setLaneLimit(GetParam());
  std::mt19937 rng(777);
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    Problem p = testing::randomProblem(rng, {.maxObjects = 50, .maxDimensions = 8});
    p.dimensionCount = 1 + trial % 8;
    const testing::Marginals marginals = testing::engineMarginals(p);
    ASSERT_TRUE(canAverageAndEvaluate());
    const std::size_t N = p.objectCount, P = p.dimensionCount, S = p.slotCount();
    const std::vector<int32_t> w = p.objectWeights();
    const double t = marginals.total;
    allowEntryOffsets((trial / 8) % 2 == 0);  // codes as offsets and as indices
    IterationPlan plan;
    buildIterationPlan(plan);
    const RunPlanScope run(plan);
    const std::vector<double> y = testing::randomValues(rng, P * S, -3.0, 3.0);
    std::vector<double> scores = testing::randomValues(rng, P * N);
    std::vector<double> expected = scores, averages(P * N);

    EvaluationSums sums{};
    std::vector<double> eigenvalues(P, nan), expectedEigenvalues(P, nan);
    double fit = nan, cosine = nan, expectedFit = nan, expectedCosine = nan;
    averageAndEvaluate(w, marginals.object, y, scores, sums);
    summariseEvaluation(sums, eigenvalues, fit, cosine, t);
    centreAndOrthonormalise(scores, marginals.object, t, sums);

    straightforward::computeObjectAverages(w, marginals.object, y, averages);
    straightforward::evaluateIteration(marginals.object, expected, averages, expectedEigenvalues,
                                       expectedFit, expectedCosine, t);
    straightforward::centreObjectScores(expected, marginals.object, t);
    straightforward::orthonormaliseObjectScores(expected, marginals.object, t);
    ASSERT_TRUE(sameBits(eigenvalues, expectedEigenvalues));
    ASSERT_TRUE(sameBits(fit, expectedFit));
    ASSERT_TRUE(sameBits(cosine, expectedCosine));
    ASSERT_TRUE(sameBits(scores, expected));
  }
}

INSTANTIATE_TEST_SUITE_P(Engine, FusedSteps, ::testing::Values(2, 4, 8),
                         [](const auto& info) { return std::to_string(info.param) + "lanes"; });

constexpr testing::RandomShape small{};
constexpr testing::RandomShape manyDimensions{.maxObjects = 30, .maxDimensions = 11};
constexpr testing::RandomShape wideCodes{.maxObjects = 30, .maxCategories = 300};

INSTANTIATE_TEST_SUITE_P(
    Engine, FastPaths,
    ::testing::Values(PathCase{"wide", small, 4, true, true},
                      PathCase{"baseline", small, 2, true, true},
                      PathCase{"outsideRun", small, 4, false, true},
                      PathCase{"manyDimensionsWidest", manyDimensions, 8, true, true},
                      PathCase{"manyDimensionsWide", manyDimensions, 4, true, true},
                      PathCase{"manyDimensionsBaseline", manyDimensions, 2, true, true},
                      PathCase{"byteCodes", small, 4, true, false},
                      PathCase{"byteCodesBaseline", small, 2, true, false},
                      PathCase{"byteCodesManyDimensions", manyDimensions, 8, true, false},
                      PathCase{"shortCodes", wideCodes, 8, true, false},
                      PathCase{"shortCodesBaseline", wideCodes, 2, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tallowmere
