// Single variables: standardisation, loadings, accumulation, ordinal regression and the
// rank-one form of their quantifications.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine.h"
#include "plain_loops.h"
#include "problem.h"

namespace tallowmere {
namespace {

using testing::Problem;
using testing::sameBits;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double epsilon = 0x1p-52;

struct RegressionCase {
  const char* name;
  std::vector<double> values;
  std::vector<double> weights;
  std::vector<double> expected;
};
void PrintTo(const RegressionCase& c, std::ostream* out) {
  *out << c.name;
}

class MonotoneRegression : public ::testing::TestWithParam<RegressionCase> {};

// The regression with work arrays of its own size, as a caller outside a run would have.
void monotoneRegression(int32_t k, const double* weights, double* values) {
  RegressionWorkspace work(k);
  tallowmere::monotoneRegression(k, weights, values, work);
}

TEST_P(MonotoneRegression, PoolsLeftmostViolatorsFirst) {
  const RegressionCase& c = GetParam();
  std::vector<double> values = c.values;
  const std::vector<double> weights = c.weights;
  monotoneRegression(static_cast<int32_t>(values.size()), weights.data(), values.data());
  ASSERT_EQ(values.size(), c.expected.size());
  for (std::size_t e = 0; e < values.size(); ++e) {
    // Any NaN stands for "not a number": its sign bit depends on the processor.
    if (!std::isnan(c.expected[e]) || !std::isnan(values[e])) {
      EXPECT_TRUE(sameBits(values[e], c.expected[e])) << e;
    }
  }
  EXPECT_TRUE(sameBits(weights, c.weights));
}

INSTANTIATE_TEST_SUITE_P(
    Examples, MonotoneRegression,
    ::testing::Values(
        RegressionCase{"single", {7.5}, {2}, {7.5}},
        RegressionCase{"alreadyIncreasing", {-1, 0, 0, 3}, {1, 2, 3, 4}, {-1, 0, 0, 3}},
        RegressionCase{"oneViolation", {1, 3, 2, 4}, {1, 1, 1, 1}, {1, 2.5, 2.5, 4}},
        RegressionCase{"reversed", {4, 3, 2, 1}, {1, 1, 1, 1}, {2.5, 2.5, 2.5, 2.5}},
        RegressionCase{"weightedMean", {2, 1}, {3, 1}, {1.75, 1.75}},
        RegressionCase{
            "rescanAfterPooling", {1, 0, 5, 4, 2}, {1, 2, 1, 1, 3}, {1.0 / 3, 1.0 / 3, 3, 3, 3}},
        // Pooling 4 and 1 makes 2.5, below the 3 before it: only a scan from the first block
        // again pools that too.
        RegressionCase{"backwardPool", {3, 4, 1}, {1, 1, 1}, {8.0 / 3, 8.0 / 3, 8.0 / 3}},
        RegressionCase{"decreaseOfTolerance", {1 + epsilon, 1}, {1, 1}, {1 + epsilon, 1}},
        RegressionCase{"zeroWeightJoins", {5, 1}, {0, 2}, {1, 1}},
        RegressionCase{"zeroOverZero", {3, 2, 1}, {0, 0, 1}, {nan, nan, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MonotoneRegression, CountBelowOneTouchesNothing) {
  // Null pointers: any read or write would crash.
  monotoneRegression(0, nullptr, nullptr);
  monotoneRegression(-3, nullptr, nullptr);
}

// Two active and two passive variables with K = 3; categories with marginals (1, 2, 1).
Problem selectionProblem(std::vector<int32_t> single, std::vector<int32_t> levels) {
  Problem p;
  p.maxCategories = 3;
  p.activeColumns = {0, 1};
  p.passiveColumns = {2, 3};
  p.activeCategoryCounts = {3, 3};
  p.passiveCategoryCounts = {3, 2};
  p.activeSingle = {single[0], single[1]};
  p.passiveSingle = {single[2], single[3]};
  p.activeLevels = {levels[0], levels[1]};
  p.passiveLevels = {levels[2], levels[3]};
  return p;
}

TEST(OrdinalRestrictions, SelectsSingleVariablesOfLevelOneInBothGroups) {
  // Regressed: the active variable 0 (single, level 1) and passive variable 3 (single, level
  // 1, two categories). Untouched: level 2, single flag 0, and slots beyond k_J.
  const Problem p = selectionProblem({1, 1, 0, 1}, {1, 2, 1, 1});
  const std::vector<double> D(12, 1.0);
  std::vector<double> z = {3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1};
  RegressionWorkspace work(p.maxCategories);
  applyOrdinalRestrictions(p.engineProblem(), D, z, work);
  EXPECT_TRUE(sameBits(z, {2, 2, 2, 3, 2, 1, 3, 2, 1, 2.5, 2.5, 1}));
}

// Marginal- and t-weighted moments of one variable's block.
struct Moments {
  double sum = 0.0, squares = 0.0;
};
Moments moments(const double* D, const double* z, int32_t k) {
  Moments m;
  for (int32_t c = 0; c < k; ++c) {
    m.sum += D[c] * z[c];
    m.squares += D[c] * z[c] * z[c];
  }
  return m;
}

TEST(SingleQuantifications, InitialisedToStandardisedCategoryNumbers) {
  Problem p = selectionProblem({0, 0, 0, 0}, {0, 0, 0, 0});
  const std::vector<double> D = {1, 2, 1, 1, 1, 1, 0, 3, 1, 2, 2, 0};
  std::vector<double> z(12, nan);
  initialiseSingleQuantifications(p.engineProblem(), D, z, 4.0);
  // Variable 0: values 0, 1, 2, mean 1, weighted squares 1 + 0 + 1 = 2, scale sqrt(2).
  const double root2 = std::sqrt(4.0 / 2.0);
  EXPECT_TRUE(sameBits({z[0], z[1], z[2]}, {root2 * -1.0, root2 * 0.0, root2 * 1.0}));
  // Passive variable 3 has two categories; its third slot keeps its position, 2.
  EXPECT_EQ(z[11], 2.0);
  for (int32_t J = 0; J < 4; ++J) {
    const Moments m = moments(&D[3 * J], &z[3 * J], p.categoryCount(J));
    EXPECT_NEAR(m.sum, 0.0, 1e-14) << J;
    EXPECT_NEAR(m.squares, 4.0, 1e-14) << J;
  }
}

TEST(SingleQuantifications, ZeroMarginalsGiveNaNWithoutTrapping) {
  Problem p = selectionProblem({1, 1, 1, 1}, {0, 0, 0, 0});
  std::vector<double> D(12, 0.0);
  D[4] = 3.0;  // variable 1 has one category with weight: its spread is zero
  std::vector<double> z(12, 0.0);
  initialiseSingleQuantifications(p.engineProblem(), D, z, 3.0);
  for (int c = 0; c < 3; ++c) {
    EXPECT_TRUE(std::isnan(z[c])) << c;  // 0/0 mean
  }
  // Centred (-1, 0, 1) with zero weighted squares: scaled by sqrt(t / 0) = infinity.
  EXPECT_EQ(z[3], -HUGE_VAL);
  EXPECT_TRUE(std::isnan(z[4]));
  EXPECT_EQ(z[5], HUGE_VAL);
}

// Random problems with positive category marginals wherever a category exists, so that
// every standardisation is defined.
struct RankOneSetup {
  Problem problem;
  tallowmere::Problem engine;
  std::vector<double> D, Y, z;
  double t = 0.0;
  RegressionWorkspace work;
};
RankOneSetup randomRankOneSetup(std::mt19937& rng) {
  RankOneSetup s;
  s.problem = testing::randomProblem(
      rng,
      {.maxObjects = 0, .maxActive = 4, .maxPassive = 3, .maxCategories = 6, .maxDimensions = 4});
  s.engine = s.problem.engineProblem();
  s.work = RegressionWorkspace(s.problem.maxCategories);
  const std::size_t S = s.problem.slotCount(), P = s.problem.dimensionCount;
  s.D = testing::randomValues(rng, S, 0.5, 5.0);
  s.Y = testing::randomValues(rng, P * S, -2.0, 2.0);
  s.t = testing::randomValues(rng, 1, 5.0, 20.0)[0];
  s.z.assign(S, 0.0);
  initialiseSingleQuantifications(s.engine, s.D, s.z, s.t);
  return s;
}

TEST(RankOneStep, InnerIterationMatchesMatrixFormBitForBit) {
  std::mt19937 rng(99);
  for (int trial = 0; trial < 300; ++trial) {
    SCOPED_TRACE(trial);
    RankOneSetup s = randomRankOneSetup(rng);
    const Problem& p = s.problem;
    std::vector<double> a(std::size_t(p.variableCount()) * p.dimensionCount, nan);
    std::vector<double> expectedZ = s.z, expectedA = a;
    for (int inner = 0; inner < 3; ++inner) {
      plain::innerIteration(p, s.D, s.Y, expectedZ, expectedA, s.t);
      computeLoadings(s.engine, s.D, s.Y, s.z, a, s.t);
      accumulateSingleQuantifications(s.engine, s.Y, a, s.z);
      applyOrdinalRestrictions(s.engine, s.D, s.z, s.work);
      normaliseSingleQuantifications(s.engine, s.D, s.z, s.t);
      ASSERT_TRUE(sameBits(s.z, expectedZ));
      for (int32_t J = 0; J < p.variableCount(); ++J) {
        for (int32_t d = 0; d < p.dimensionCount; ++d) {
          const std::size_t e = std::size_t(J) * p.dimensionCount + d;
          if (p.single(J) == 1) {
            ASSERT_TRUE(sameBits(a[e], expectedA[e]));
          } else {
            ASSERT_TRUE(std::isnan(a[e])) << "multiple variable's loading written";
          }
        }
      }
    }
  }
}

TEST(RankOneStep, InvariantsAfterTheStep) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 300; ++trial) {
    SCOPED_TRACE(trial);
    RankOneSetup s = randomRankOneSetup(rng);
    const Problem& p = s.problem;
    const int32_t P = p.dimensionCount, K = p.maxCategories;
    const std::ptrdiff_t S = p.slotCount();
    const std::vector<double> initialZ = s.z, centroids = s.Y;
    std::vector<double> a(std::size_t(p.variableCount()) * P, 0.0);
    for (int inner = 0; inner < 2; ++inner) {
      computeLoadings(s.engine, s.D, s.Y, s.z, a, s.t);
      accumulateSingleQuantifications(s.engine, s.Y, a, s.z);
      applyOrdinalRestrictions(s.engine, s.D, s.z, s.work);
      normaliseSingleQuantifications(s.engine, s.D, s.z, s.t);
    }
    imposeRankOne(s.engine, s.z, a, s.Y);

    for (int32_t J = 0; J < p.variableCount(); ++J) {
      const int32_t k = p.categoryCount(J);
      const double* zJ = &s.z[J * K];
      const Moments m = moments(&s.D[J * K], zJ, k);
      if (k >= 2) {  // standardised: weighted sum 0, weighted sum of squares t
        EXPECT_NEAR(m.sum, 0.0, 1e-12 * s.t) << J;
        EXPECT_NEAR(m.squares, s.t, 1e-12 * s.t) << J;
      }
      const bool single = p.single(J) == 1;
      for (int32_t c = 0; c < K; ++c) {
        const std::ptrdiff_t slot = J * K + c;
        if (c >= k || !single || p.level(J) >= 2) {  // numerical, multiple, unused slot
          EXPECT_TRUE(sameBits(s.z[slot], initialZ[slot])) << J << ',' << c;
        }
        if (single && p.level(J) == 1 && c + 1 < k) {
          EXPECT_LE(zJ[c] - zJ[c + 1], epsilon) << J << ',' << c;
        }
        for (int32_t d = 0; d < P; ++d) {
          const double y = s.Y[d * S + slot];
          if (single && c < k) {
            EXPECT_TRUE(sameBits(y, a[J * P + d] * zJ[c]));
          } else {
            EXPECT_TRUE(sameBits(y, centroids[d * S + slot]));
          }
        }
      }
    }
  }
}

TEST(RankOneStep, LoadingsUseScoresFromBeforeTheLastUpdate) {
  // One nominal single variable, one dimension, one inner iteration: imposeRankOne combines
  // the loading computed from the initial z with the updated z.
  Problem p = selectionProblem({1, 0, 0, 0}, {0, 0, 0, 0});
  p.activeColumns = {0};
  p.activeCategoryCounts = {3};
  p.activeSingle = {1};
  p.activeLevels = {0};
  p.passiveColumns.clear();
  p.passiveCategoryCounts.clear();
  p.passiveSingle.clear();
  p.passiveLevels.clear();
  const tallowmere::Problem e = p.engineProblem();
  const std::vector<double> D = {1, 2, 1};
  std::vector<double> Y = {1.0, 0.5, -2.0};
  std::vector<double> z(3);
  initialiseSingleQuantifications(e, D, z, 4.0);
  const std::vector<double> initialZ = z;
  std::vector<double> a(1);
  computeLoadings(e, D, Y, z, a, 4.0);
  const double initialLoading = a[0];
  accumulateSingleQuantifications(e, Y, a, z);
  normaliseSingleQuantifications(e, D, z, 4.0);
  imposeRankOne(e, z, a, Y);
  EXPECT_EQ(a[0], initialLoading);
  EXPECT_NE(z, initialZ);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(Y[c], initialLoading * z[c]);
  }
}

}  // namespace
}  // namespace tallowmere
