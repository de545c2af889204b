// Scoring objects from a finished solution (projection.h): the objects of a converged run get
// their own scores back by the transition formula, whichever solver found it, at every width of
// the unrolled sums; missing codes, excluded categories and the threads behave as the layout says.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "analysis_solution.h"
#include "problem.h"
#include "projection.h"
#include "workers.h"

namespace tallowmere {
namespace {

using testing::Problem;

// What projectObjects takes, laid out from an engine problem and its solution, as
// HomalsModel lays it out from a result: the active categories' quantifications category-major,
// and mu = sum of D q / sum of D over them.
struct Model {
  std::vector<int32_t> counts;
  std::vector<double> quantifications, centre, eigenvalues;
  std::vector<CodeColumn> codes;

  Model(const tallowmere::Problem& p, const Solution& s) : eigenvalues(s.eigenvalues) {
    const std::ptrdiff_t P = p.dimensionCount, S = p.slotCount;
    std::vector<double> D(static_cast<std::size_t>(S), 0.0);
    for (const int32_t J : p.activeVariables) {
      counts.push_back(p.categories(J));
      codes.push_back(p.variables[J].codes);
      for (std::ptrdiff_t i = 0; i < p.objectCount; ++i) {
        const int32_t code = p.code(i, J);
        if (code >= 1 && code <= p.categories(J)) {
          D[p.slotStart[J] + code - 1] += p.weight(i);
        }
      }
    }
    centre.assign(static_cast<std::size_t>(P), 0.0);
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      double sum = 0.0, total = 0.0;
      for (std::ptrdiff_t slot = 0; slot < p.activeSlotCount; ++slot) {
        sum += D[slot] * s.categoryQuantifications[d * S + slot];
        total += D[slot];
      }
      centre[d] = sum / total;
    }
    for (std::ptrdiff_t slot = 0; slot < p.activeSlotCount; ++slot) {
      for (std::ptrdiff_t d = 0; d < P; ++d) {
        quantifications.push_back(s.categoryQuantifications[d * S + slot]);
      }
    }
  }

  ProjectionModel view(std::span<const uint8_t> excluded = {}) const {
    return {counts, quantifications, excluded, centre, eigenvalues};
  }
};

// N objects of six active variables (two single: ordinal and numerical when `singles`) and one
// passive, linked by a latent trait so that the eigenvalues stand apart; about 8 % of the codes
// missing (0 or negative), real weights with some 0.
Problem surveyProblem(int32_t P, bool singles, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Problem p;
  p.objectCount = 500;
  p.dimensionCount = P;
  p.maxCategories = 5;
  p.maxIterations = 200000;
  p.innerIterations = singles ? 1 : 0;
  // Only the subspace tolerance ends the run, as with the typed API's defaults.
  p.fitTolerance = std::numeric_limits<double>::quiet_NaN();
  p.cosineTolerance = std::numeric_limits<double>::quiet_NaN();
  const int32_t active = 6;
  p.dataStride = active + 1;
  for (int32_t J = 0; J < active; ++J) {
    p.activeColumns.push_back(J);
    p.activeCategoryCounts.push_back(J % 2 == 0 ? 5 : 4);
    p.activeSingle.push_back(singles && J < 2 ? 1 : 0);
    p.activeLevels.push_back(J == 0 ? 1 : 2);
  }
  p.passiveColumns = {active};
  p.passiveCategoryCounts = {3};
  p.passiveSingle = {0};
  p.passiveLevels = {0};
  for (int32_t i = 0; i < p.objectCount; ++i) {
    const double trait = unit(rng), second = unit(rng);
    for (int32_t J = 0; J < active; ++J) {
      const int32_t k = p.activeCategoryCounts[J];
      const double u = unit(rng);
      const double position = J < 3 ? trait : second;
      const int32_t code = u < 0.6 ? 1 + static_cast<int32_t>(position * k) : 1 + rng() % k;
      p.data.push_back(u > 0.92 ? -static_cast<int32_t>(rng() % 2) : code);
    }
    p.data.push_back(1 + static_cast<int32_t>(rng() % 3));
    p.realWeights.push_back(i % 37 == 5 ? 0.0 : 0.5 + 2.0 * unit(rng));
  }
  return p;
}

class TransitionFormula : public ::testing::TestWithParam<std::tuple<Solver, int32_t, bool>> {};

// P of 1 and 3 run the unrolled sums, 6 the general ones.
TEST_P(TransitionFormula, GivesTheObjectsOfAConvergedRunTheirScores) {
  const auto [solver, P, singles] = GetParam();
  const Problem p = surveyProblem(P, singles, 7 + P);
  SolutionOptions options;
  options.solver = solver;
  options.subspaceTolerance = 1e-13;
  const Solution solution = testing::solveTyped(p, options);
  ASSERT_TRUE(isConvergence(solution.report.stopReason));
  const tallowmere::Problem engine = p.typedProblem();
  const Model model(engine, solution);
  const std::ptrdiff_t N = p.objectCount;
  std::vector<double> scores(static_cast<std::size_t>(N * P));
  projectObjects(model.view(), model.codes, N, nullptr, scores);

  double largest = 0.0, error = 0.0;
  for (std::ptrdiff_t i = 0; i < N; ++i) {
    if (engine.weight(i) <= 0.0) {
      continue;  // no part in the fit: its score is the formula's, not the fit's
    }
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      largest = std::max(largest, std::fabs(solution.objectScores[d * N + i]));
      error = std::max(error, std::fabs(scores[d * N + i] - solution.objectScores[d * N + i]));
    }
  }
  EXPECT_LE(error, 1e-12 * largest) << "largest score " << largest;
}

INSTANTIATE_TEST_SUITE_P(Solvers, TransitionFormula,
                         ::testing::Combine(::testing::Values(Solver::objects, Solver::crossTable,
                                                              Solver::direct),
                                            ::testing::Values(1, 3, 6), ::testing::Bool()),
                         [](const auto& info) {
                           const Solver solver = std::get<0>(info.param);
                           return std::string(solver == Solver::objects      ? "Objects"
                                              : solver == Solver::crossTable ? "CrossTable"
                                                                             : "Direct") +
                                  "P" + std::to_string(std::get<1>(info.param)) +
                                  (std::get<2>(info.param) ? "Singles" : "Multiple");
                         });

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// Past two blocks of the workers and many chunks of the sums, with arbitrary quantifications:
// an excluded category scores as the missing code it stands for, codes outside 1 .. k are
// missing, an object with nothing usable gets NaN, and the threads change no bit.
TEST(Projection, ExcludedCategoriesAreMissingAndThreadsChangeNothing) {
  for (const int32_t P : {2, 4, 5, 9}) {
    const std::ptrdiff_t N = 70001;
    const std::vector<int32_t> counts = {3, 1, 4};
    std::mt19937 rng(static_cast<uint32_t>(P));
    std::uniform_real_distribution<double> value(-2.0, 2.0);
    std::vector<double> quantifications(static_cast<std::size_t>(8 * P));
    for (double& q : quantifications) {
      q = value(rng);
    }
    std::vector<double> centre(static_cast<std::size_t>(P)), eigenvalues(centre.size());
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      centre[d] = value(rng);
      eigenvalues[d] = 0.1 + std::fabs(value(rng));
    }
    // Slot 5, variable 2's second category, excluded.
    const std::vector<uint8_t> excluded = {0, 0, 0, 0, 0, 1, 0, 0};
    std::vector<std::vector<int32_t>> columns(3), asMissing(3);
    for (std::size_t J = 0; J < 3; ++J) {
      for (std::ptrdiff_t i = 0; i < N; ++i) {
        // -1 .. k + 1: missing below and above the categories.
        const int32_t code = static_cast<int32_t>(rng() % (counts[J] + 3)) - 1;
        columns[J].push_back(i == 17 ? 0 : code);
        asMissing[J].push_back(J == 2 && code == 2 ? 0 : columns[J].back());
      }
    }
    const auto view = [](const std::vector<std::vector<int32_t>>& c) {
      return std::vector<CodeColumn>{{c[0].data(), 1}, {c[1].data(), 1}, {c[2].data(), 1}};
    };
    const ProjectionModel withExcluded{counts, quantifications, excluded, centre, eigenvalues};
    const ProjectionModel plain{counts, quantifications, {}, centre, eigenvalues};
    std::vector<double> one(static_cast<std::size_t>(N * P)), two(one.size()), same(one.size());
    projectObjects(withExcluded, view(columns), N, nullptr, one);
    Workers workers(2);
    projectObjects(withExcluded, view(columns), N, &workers, two);
    projectObjects(plain, view(asMissing), N, &workers, same);
    EXPECT_TRUE(sameBits(one, two)) << "P = " << P;
    EXPECT_TRUE(sameBits(one, same)) << "P = " << P;
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      EXPECT_TRUE(std::isnan(one[d * N + 17])) << "P = " << P << ", dimension " << d;
    }
    // Object 0 by hand, from its usable codes in variable order.
    std::vector<double> sum(static_cast<std::size_t>(P), 0.0);
    int32_t usable = 0;
    for (std::size_t J = 0, start = 0; J < 3; start += counts[J], ++J) {
      const int32_t code = asMissing[J][0];
      if (code >= 1 && code <= counts[J]) {
        ++usable;
        for (std::ptrdiff_t d = 0; d < P; ++d) {
          sum[d] += quantifications[(start + code - 1) * P + d];
        }
      }
    }
    for (std::ptrdiff_t d = 0; d < P && usable > 0; ++d) {
      EXPECT_EQ(one[d * N], (sum[d] / usable - centre[d]) / eigenvalues[d]) << "P = " << P;
    }
  }
}

}  // namespace
}  // namespace tallowmere
