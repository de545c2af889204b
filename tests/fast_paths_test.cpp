// The engine's optimised passes against the plain loops they replace, bit for bit,
// on random problems with missing codes, zero and negative weights, passive and single
// variables, for every kind of code storage, every vector width, and the category counts where
// the storage of the codes changes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine.h"
#include "fused_steps.h"
#include "iteration_plan.h"
#include "object_passes.h"
#include "plain_loops.h"
#include "problem.h"

namespace tallowmere {
namespace {

using testing::Problem;
using testing::RandomShape;
using testing::sameBits;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

struct PathCase {
  const char* name;
  RandomShape shape;
  PlanOptions options;
};
void PrintTo(const PathCase& c, std::ostream* out) {
  *out << c.name;
}

class FastPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(FastPaths, MatchStraightforwardLoopsBitForBit) {
  const PathCase& c = GetParam();
  std::mt19937 rng(31337);
  for (int trial = 0; trial < 100; ++trial) {
    SCOPED_TRACE(trial);
    const Problem p = testing::randomProblem(rng, c.shape);
    const testing::Marginals marginals = testing::engineMarginals(p);
    const std::size_t N = p.objectCount, P = p.dimensionCount, S = p.slotCount();
    const std::vector<double> w = p.objectWeights();
    std::vector<double> expectedM(N, 0.0), expectedD(S, 0.0);
    double expectedT = 0.0;
    plain::computeMarginals(p, w, expectedM, expectedD, expectedT);
    ASSERT_TRUE(sameBits(marginals.object, expectedM));
    ASSERT_TRUE(sameBits(marginals.category, expectedD));
    ASSERT_TRUE(sameBits(marginals.total, expectedT));
    testing::EngineSteps e(p, c.options);

    const std::vector<double> x = testing::randomValues(rng, P * N);
    std::vector<double> y(P * S, nan), expectedY(P * S, nan);
    computeCategoryCentroids(e.problem, e.plan, e.work, w, marginals.category, x, y);
    plain::computeCategoryCentroids(p, w, marginals.category, x, expectedY);
    ASSERT_TRUE(sameBits(y, expectedY));

    // Quantifications with some non-finite values, as degenerate runs produce.
    std::vector<double> yIn = testing::randomValues(rng, P * S, -3.0, 3.0);
    if (!yIn.empty() && trial % 5 == 0) {
      yIn[trial % yIn.size()] = trial % 2 ? nan : -HUGE_VAL;
    }
    std::vector<double> averages(P * N, nan), expectedAverages(P * N, nan);
    computeObjectAverages(e.problem, e.plan, e.work, w, marginals.object, yIn, averages);
    plain::computeObjectAverages(p, w, marginals.object, yIn, expectedAverages);
    ASSERT_TRUE(sameBits(averages, expectedAverages));

    const double t = marginals.total;
    std::vector<double> scores = x, expectedScores = x;
    std::vector<double> eigenvalues(P, nan), expectedEigenvalues(P, nan);
    double fit = nan, cosine = nan, expectedFit = nan, expectedCosine = nan;
    evaluateIteration(e.problem, e.work, marginals.object, scores, averages, eigenvalues, fit,
                      cosine, t);
    plain::evaluateIteration(p, marginals.object, expectedScores, averages, expectedEigenvalues,
                             expectedFit, expectedCosine, t);
    ASSERT_TRUE(sameBits(eigenvalues, expectedEigenvalues));
    ASSERT_TRUE(sameBits(fit, expectedFit));
    ASSERT_TRUE(sameBits(cosine, expectedCosine));
    ASSERT_TRUE(sameBits(scores, expectedScores));

    centreObjectScores(e.problem, e.work, scores, marginals.object, t);
    plain::centreObjectScores(p, expectedScores, marginals.object, t);
    ASSERT_TRUE(sameBits(scores, expectedScores));
    orthonormaliseObjectScores(e.problem, scores, marginals.object, t);
    plain::orthonormaliseObjectScores(p, expectedScores, marginals.object, t);
    ASSERT_TRUE(sameBits(scores, expectedScores));
  }
}

// The driver's fused steps against the four steps they replace, for every dimension count
// they handle, every vector width and both forms of byte codes.
class FusedSteps : public ::testing::TestWithParam<int> {};

TEST_P(FusedSteps, MatchAveragesEvaluationCentringAndOrthonormalisation) {
  std::mt19937 rng(777);
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    Problem p = testing::randomProblem(rng, {.maxObjects = 50, .maxDimensions = 8});
    p.dimensionCount = 1 + trial % 8;
    const testing::Marginals marginals = testing::engineMarginals(p);
    ASSERT_TRUE(fusedPassHandles(p.dimensionCount));
    const std::size_t N = p.objectCount, P = p.dimensionCount, S = p.slotCount();
    const std::vector<double> w = p.objectWeights();
    const double t = marginals.total;
    testing::EngineSteps e(p, {.entryOffsets = (trial / 8) % 2 == 0, .maxLanes = GetParam()});
    const std::vector<double> y = testing::randomValues(rng, P * S, -3.0, 3.0);
    std::vector<double> scores = testing::randomValues(rng, P * N);
    std::vector<double> expected = scores, averages(P * N);

    EvaluationSums sums{};
    std::vector<double> eigenvalues(P, nan), expectedEigenvalues(P, nan);
    double fit = nan, cosine = nan, expectedFit = nan, expectedCosine = nan;
    averageAndEvaluate(e.problem, e.plan, e.work, w, marginals.object, y, scores, sums);
    summariseEvaluation(sums, eigenvalues, fit, cosine, t);
    centreAndOrthonormalise(e.problem, scores, marginals.object, t, sums);

    plain::computeObjectAverages(p, w, marginals.object, y, averages);
    plain::evaluateIteration(p, marginals.object, expected, averages, expectedEigenvalues,
                             expectedFit, expectedCosine, t);
    plain::centreObjectScores(p, expected, marginals.object, t);
    plain::orthonormaliseObjectScores(p, expected, marginals.object, t);
    ASSERT_TRUE(sameBits(eigenvalues, expectedEigenvalues));
    ASSERT_TRUE(sameBits(fit, expectedFit));
    ASSERT_TRUE(sameBits(cosine, expectedCosine));
    ASSERT_TRUE(sameBits(scores, expected));
  }
}

INSTANTIATE_TEST_SUITE_P(Engine, FusedSteps, ::testing::Values(2, 4, 8),
                         [](const auto& info) { return std::to_string(info.param) + "lanes"; });

constexpr RandomShape small{};
constexpr RandomShape manyDimensions{.maxObjects = 30, .maxDimensions = 11};
constexpr RandomShape wideCodes{.maxObjects = 30, .maxCategories = 300};
// The category counts where the codes' storage changes form: entry offsets while the dump's
// offset K * E fits a byte (E = 4 up to 4 dimensions, 8 up to 8), byte indices while K does.
constexpr RandomShape shape(int32_t categories, int32_t minDimensions, int32_t maxDimensions) {
  return {.maxObjects = 40,
          .maxActive = 3,
          .maxPassive = 1,
          .maxCategories = categories,
          .maxDimensions = maxDimensions,
          .minCategories = categories,
          .minDimensions = minDimensions};
}

INSTANTIATE_TEST_SUITE_P(
    Engine, FastPaths,
    ::testing::Values(
        PathCase{"wide", small, {.maxLanes = 4}}, PathCase{"baseline", small, {.maxLanes = 2}},
        PathCase{"manyDimensionsWidest", manyDimensions, {.maxLanes = 8}},
        PathCase{"manyDimensionsWide", manyDimensions, {.maxLanes = 4}},
        PathCase{"manyDimensionsBaseline", manyDimensions, {.maxLanes = 2}},
        PathCase{"byteCodes", small, {.entryOffsets = false, .maxLanes = 4}},
        PathCase{"byteCodesBaseline", small, {.entryOffsets = false, .maxLanes = 2}},
        PathCase{"byteCodesManyDimensions", manyDimensions, {.entryOffsets = false}},
        PathCase{"shortCodes", wideCodes, {}},
        PathCase{"shortCodesBaseline", wideCodes, {.maxLanes = 2}},
        PathCase{"offsetsAt63", shape(63, 1, 4), {}}, PathCase{"indicesAt64", shape(64, 1, 4), {}},
        PathCase{"offsetsAt31", shape(31, 5, 8), {}}, PathCase{"indicesAt32", shape(32, 5, 8), {}},
        PathCase{"bytesAt255", shape(255, 1, 2), {.entryOffsets = false}},
        PathCase{"shortsAt256", shape(256, 1, 2), {.entryOffsets = false}}),
    [](const auto& info) { return std::string(info.param.name); });

// Which form each boundary takes, so that the cases above test what they are named for.
TEST(CodeStorage, FormChangesAtTheByteLimits) {
  struct Case {
    int32_t categories, dimensions;
    bool offsets, bytes;
  };
  for (const Case c :
       {Case{63, 4, true, true}, Case{64, 4, false, true}, Case{31, 8, true, true},
        Case{32, 8, false, true}, Case{255, 9, false, true}, Case{256, 9, false, false}}) {
    Problem p;
    p.dimensionCount = c.dimensions;
    p.maxCategories = c.categories;
    p.objectCount = 1;
    p.dataStride = 1;
    p.activeColumns = {0};
    p.activeCategoryCounts = {c.categories};
    p.activeSingle = {0};
    p.activeLevels = {0};
    p.data = {0};
    const testing::EngineSteps e(p);
    EXPECT_EQ(!e.plan.entryOffsets.empty(), c.offsets) << c.categories;
    EXPECT_EQ(!e.plan.entryOffsets.empty() || !e.plan.byteCodes.empty(), c.bytes) << c.categories;
  }
}

}  // namespace
}  // namespace tallowmere
