// One alternating least squares iteration: marginals, centroids, object averages, the fit and
// the normalisation of the object scores.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine.h"
#include "problem.h"

namespace tallowmere {
namespace {

using testing::Problem;
using testing::sameBits;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Two active variables (k = 2 and 3) and one passive (k = 2), K = 3, columns permuted and a
// weight column in position 3.
Problem smallProblem() {
  Problem p;
  p.dimensionCount = 1;
  p.maxCategories = 3;
  p.dataStride = 4;
  p.weightColumn = 3;
  p.useWeights = true;
  p.activeColumns = {2, 0};
  p.passiveColumns = {1};
  p.activeCategoryCounts = {2, 3};
  p.passiveCategoryCounts = {2};
  p.activeSingle = {0, 0};
  p.passiveSingle = {0};
  p.activeLevels = {0, 0};
  p.passiveLevels = {0};
  //         col0 col1 col2 weight
  p.data = {3,  1, 1,  3,   // both active valid, weight 3
            0,  2, 2,  1,   // second active missing
            -1, 0, 0,  2,   // no valid active code, passive missing
            1,  2, 0,  0,   // weight 0
            0,  1, -3, 5};  // no valid active code, passive valid
  p.objectCount = 5;
  return p;
}

TEST(Marginals, WeightsTimesValidActiveCodesAndCategoryFrequencies) {
  const Problem p = smallProblem();
  const testing::Marginals marginals = testing::engineMarginals(p);
  EXPECT_EQ(marginals.object, (std::vector<double>{6, 1, 0, 0, 0}));
  EXPECT_EQ(marginals.total, 7.0);
  // Slots: active 0 (k=2, one unused slot), active 1 (k=3), passive (k=2, one unused slot).
  EXPECT_EQ(marginals.category, (std::vector<double>{3, 1, 0, 0, 0, 3, 3 + 5, 1 + 0, 0}));
}

TEST(Marginals, EmptyProblemLeavesEverythingUnchanged) {
  Problem p = smallProblem();
  p.objectCount = 0;
  std::vector<double> w;
  std::vector<double> m, D(p.slotCount(), 0.5);
  double t = 2.0;
  computeMarginals(p.engineProblem(), w, m, D, t);
  EXPECT_EQ(t, 2.0);
  EXPECT_EQ(D, std::vector<double>(p.slotCount(), 0.5));
}

TEST(ObjectAverages, WeightInNumeratorMarginalAsDivisor) {
  const Problem p = smallProblem();
  const testing::Marginals marginals = testing::engineMarginals(p);
  const std::vector<double> y = {0.1, 0.7, 9.0, 0.3, 1.9, 0.25, 4.0, 8.0, 9.0};
  std::vector<double> averages(p.objectCount, -1.0);
  testing::EngineSteps e(p);
  computeObjectAverages(e.problem, e.plan, e.work, p.objectWeights(), marginals.object, y,
                        averages);
  // Object 0: weight 3, category 1 of active 0 and category 3 of active 1.
  EXPECT_EQ(averages[0], (0.0 + 3.0 * 0.1 + 3.0 * 0.25) / 6.0);
  EXPECT_EQ(averages[1], (0.0 + 1.0 * 0.7) / 1.0);
  // No valid active code or a zero weight: marginal 0, average 0; passive slots never read.
  EXPECT_EQ(averages[2], 0.0);
  EXPECT_EQ(averages[3], 0.0);
  EXPECT_EQ(averages[4], 0.0);
}

TEST(CategoryCentroids, WeightedMeansAndZeroForEmptyCategories) {
  const Problem p = smallProblem();
  const testing::Marginals marginals = testing::engineMarginals(p);
  const std::vector<double> x = {0.5, -2.0, 4.0, 100.0, 1.5};
  std::vector<double> y(p.slotCount(), nan);
  testing::EngineSteps e(p);
  computeCategoryCentroids(e.problem, e.plan, e.work, p.objectWeights(), marginals.category, x, y);
  const std::vector<double> expected = {
      (0.0 + 3 * 0.5) / 3, (0.0 + 1 * -2.0) / 1, 0.0,  // active 0: slot 3 unused
      0.0,  // category 1 of active 1 holds only the weight-0 object
      0.0,  // nobody
      (0.0 + 3 * 0.5) / 3,
      // Passive: the objects without active codes still count.
      ((0.0 + 3 * 0.5) + 5 * 1.5) / 8, (0.0 + 1 * -2.0 + 0 * 100.0) / 1, 0.0};
  EXPECT_EQ(y, expected);
}

TEST(CategoryCentroids, NoObjectsGiveZeroQuantifications) {
  Problem p = smallProblem();
  p.objectCount = 0;
  p.dimensionCount = 2;
  testing::EngineSteps e(p);
  std::vector<double> y(2 * p.slotCount(), nan);
  computeCategoryCentroids(e.problem, e.plan, e.work, {}, std::vector<double>(p.slotCount(), 1.0),
                           {}, y);
  EXPECT_EQ(y, std::vector<double>(y.size(), 0.0));
}

TEST(CentroidsAndAverages, NoDimensionsChangeNothing) {
  Problem p = smallProblem();
  p.dimensionCount = 0;
  const testing::Marginals marginals = testing::engineMarginals(p);
  std::vector<double> y = {1.0}, averages = {2.0};
  testing::EngineSteps e(p);
  computeCategoryCentroids(e.problem, e.plan, e.work, p.objectWeights(), marginals.category, {}, y);
  computeObjectAverages(e.problem, e.plan, e.work, p.objectWeights(), marginals.object, {},
                        averages);
  EXPECT_EQ(y, std::vector<double>{1.0});
  EXPECT_EQ(averages, std::vector<double>{2.0});
}

TEST(Normalisation, HandWorkedSingleDimension) {
  Problem p;
  p.objectCount = 2;
  p.dimensionCount = 1;
  testing::EngineSteps e(p);
  const std::vector<double> m = {1.0, 3.0};
  std::vector<double> x = {1.0, 2.0};
  centreObjectScores(e.problem, e.work, x, m, 4.0);
  EXPECT_EQ(x, (std::vector<double>{-0.75, 0.25}));  // mean (1 + 6) / 4 = 1.75
  orthonormaliseObjectScores(e.problem, x, m, 4.0);
  const double scale = std::sqrt(4.0 / 0.75);  // squared m-length 0.5625 + 0.1875
  EXPECT_EQ(x, (std::vector<double>{scale * -0.75, scale * 0.25}));
  EXPECT_NEAR(x[0], -std::sqrt(3.0), 1e-15);
  EXPECT_NEAR(x[1], std::sqrt(3.0) / 3.0, 1e-15);
}

TEST(Normalisation, CentredOrthonormalScoresStayPut) {
  // m = 1, t = 4: columns (1,1,-1,-1) and (1,-1,1,-1) are centred and orthonormal.
  Problem p;
  p.objectCount = 4;
  p.dimensionCount = 2;
  testing::EngineSteps e(p);
  const std::vector<double> m(4, 1.0);
  const std::vector<double> start = {1, 1, -1, -1, 1, -1, 1, -1};
  std::vector<double> x = start;
  centreObjectScores(e.problem, e.work, x, m, 4.0);
  orthonormaliseObjectScores(e.problem, x, m, 4.0);
  EXPECT_EQ(x, start);
}

TEST(Normalisation, ZeroDimensionBecomesNaN) {
  Problem p;
  p.objectCount = 3;
  p.dimensionCount = 2;
  testing::EngineSteps e(p);
  const std::vector<double> m(3, 1.0);
  // The second dimension is a multiple of the first and cancels exactly.
  std::vector<double> x = {1, -1, 0, 2, -2, 0};
  orthonormaliseObjectScores(e.problem, x, m, 2.0);
  EXPECT_EQ(x[0], 1.0);
  for (int i = 3; i < 6; ++i) {
    EXPECT_TRUE(std::isnan(x[i])) << i;
  }
}

TEST(Normalisation, NoDimensionsChangeNothing) {
  Problem p;
  p.objectCount = 2;
  p.dimensionCount = 0;
  testing::EngineSteps e(p);
  std::vector<double> x = {3.0, 4.0};
  centreObjectScores(e.problem, e.work, x, std::vector<double>{1, 1}, 2.0);
  orthonormaliseObjectScores(e.problem, x, std::vector<double>{1, 1}, 2.0);
  EXPECT_EQ(x, (std::vector<double>{3.0, 4.0}));
}

// With one object of marginal 1, t = 1 and a new score of 1, dimension d has eigenvalue and
// cosine both equal to its old score: this pins down the minimum's replacement rule.
struct CosineCase {
  const char* name;
  std::vector<double> oldScores;
  std::vector<double> newScores;
  double minimumCosine;
};

void PrintTo(const CosineCase& c, std::ostream* out) {
  *out << c.name;
}

class MinimumCosine : public ::testing::TestWithParam<CosineCase> {};

TEST_P(MinimumCosine, ReplacementRule) {
  const CosineCase& c = GetParam();
  Problem p;
  p.objectCount = 1;
  p.dimensionCount = static_cast<int32_t>(c.oldScores.size());
  testing::EngineSteps e(p);
  std::vector<double> x = c.oldScores;
  std::vector<double> eigenvalues(c.oldScores.size(), nan);
  double fit = nan, minimumCosine = nan;
  evaluateIteration(e.problem, e.work, std::vector<double>{1.0}, x, c.newScores, eigenvalues, fit,
                    minimumCosine, 1.0);
  EXPECT_EQ(minimumCosine, c.minimumCosine);
  EXPECT_EQ(x, c.newScores);
}

const double ulpHalf = 0x1p-53;
INSTANTIATE_TEST_SUITE_P(
    Evaluate, MinimumCosine,
    ::testing::Values(CosineCase{"none", {}, {}, 1.0}, CosineCase{"one", {1.0}, {1.0}, 1.0},
                      CosineCase{"aboveOneByTolerance", {1.0 + 0x1p-52}, {1.0}, 1.0},
                      CosineCase{"smaller", {0.5, 0.25}, {1.0, 1.0}, 0.25},
                      CosineCase{"slightlyLarger", {0.5, 0.5 + ulpHalf}, {1.0, 1.0}, 0.5 + ulpHalf},
                      CosineCase{"largerByTolerance", {0.5, 0.5 + 0x1p-52}, {1.0, 1.0}, 0.5},
                      CosineCase{"negative", {0.25, -1.0}, {1.0, 1.0}, -1.0},
                      CosineCase{"nanIgnored", {0.5, 0.5}, {1.0, 0.0}, 0.5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Evaluate, EigenvaluesAndFitOfScaledScores) {
  // m = 1, t = 2, old scores (1, -1) on both dimensions: squared length t.
  Problem p;
  p.objectCount = 2;
  p.dimensionCount = 3;
  testing::EngineSteps e(p);
  std::vector<double> x = {1, -1, 1, -1, 1, -1};
  const std::vector<double> averages = {1, -1, 2, -2, -0.5, 0.5};
  std::vector<double> eigenvalues(3);
  double fit = 0, minimumCosine = 0;
  evaluateIteration(e.problem, e.work, std::vector<double>{1, 1}, x, averages, eigenvalues, fit,
                    minimumCosine, 2.0);
  EXPECT_EQ(eigenvalues, (std::vector<double>{1.0, 2.0, -0.5}));
  EXPECT_EQ(fit, 2.5);
  EXPECT_EQ(minimumCosine, -1.0);
  EXPECT_EQ(x, averages);
}

}  // namespace
}  // namespace tallowmere
