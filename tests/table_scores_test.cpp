// The object scores of the table solvers, computed from their coefficients a part at a time:
// the same bits as a pass over all the objects, whatever the parts and the threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "analysis_solution.h"
#include "multiple_problems.h"
#include "object_passes.h"
#include "problem.h"
#include "run_state.h"
#include "workers.h"

namespace tallowmere {
namespace {

using testing::Problem;
using testing::sameBits;

// The scores the passes over the objects give for coefficients Z: the averages of the
// quantifications Z (0 in the passive slots) under the run's weights and marginals.
std::vector<double> scoresOfThePasses(const tallowmere::Problem& problem,
                                      const std::vector<double>& Z, Workers& workers) {
  RunState run;
  allocateRun(run, problem, 0, {}, &workers);
  startRun(run, true);
  const std::ptrdiff_t P = problem.dimensionCount, S = problem.slotCount;
  const std::ptrdiff_t S1 = problem.activeSlotCount, N = problem.objectCount;
  std::vector<double> Y(static_cast<std::size_t>(P * S), 0.0);
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    std::copy_n(Z.data() + d * S1, S1, Y.data() + d * S);
  }
  std::vector<double> X(static_cast<std::size_t>(P * N));
  computeObjectAverages(run.problem, run.plan, run.work, run.objectWeights, run.objectMarginals, Y,
                        X);
  return X;
}

TEST(TableScores, PartsAndThreadsGiveThePassesBits) {
  std::mt19937 rng(2026);
  for (int trial = 0; trial < 16; ++trial) {
    SCOPED_TRACE(::testing::Message() << "trial " << trial);
    // Missing and negative codes, weights of 0 to 4 and passive variables; every third trial
    // with real weights, which the entry point turns into large whole units.
    Problem p = testing::randomAnalysis(rng, {.minObjects = 1,
                                              .maxObjects = 90000,
                                              .maxCategories = 5,
                                              .minActive = 1,
                                              .maxActive = 5,
                                              .maxPassive = 2,
                                              .activeSingles = false,
                                              .innerIterations = 0,
                                              .negativeMissing = trial % 2 == 0});
    // Some without weights: each object 1.
    if (trial % 4 == 2) {
      p.useWeights = false;
    }
    if (trial % 3 == 0) {
      p.realWeights.resize(static_cast<std::size_t>(p.objectCount));
      for (double& w : p.realWeights) {
        w = std::uniform_real_distribution<double>(0.0, 3.0)(rng);
      }
    }
    const tallowmere::Problem problem = p.typedProblem(trial % 4 == 1);
    SolutionOptions options = p.solutionOptions();
    options.solver = trial % 2 == 0 ? Solver::direct : Solver::crossTable;
    Solution solution;
    computeSolution(problem, options, solution);
    ASSERT_EQ(solution.solver, options.solver);

    Workers two(2);
    const std::vector<double> expected =
        scoresOfThePasses(problem, solution.scoreCoefficients, two);
    const std::vector<double> whole(solution.objectScores.begin(), solution.objectScores.end());
    EXPECT_TRUE(sameBits(whole, expected));

    const std::ptrdiff_t N = problem.objectCount, P = problem.dimensionCount;
    const std::ptrdiff_t a = testing::uniform(rng, 0, static_cast<int32_t>(N));
    const std::ptrdiff_t b =
        testing::uniform(rng, static_cast<int32_t>(a), static_cast<int32_t>(N));
    for (int threads : {1, 3}) {
      Workers workers(threads);
      std::vector<double> parts(static_cast<std::size_t>(P * N));
      for (auto [first, last] : {std::pair{std::ptrdiff_t{0}, a}, {a, b}, {b, N}}) {
        std::vector<double> part(static_cast<std::size_t>(P * (last - first)));
        computeObjectScores(problem, solution.scoreCoefficients, first, last, part,
                            threads == 1 ? nullptr : &workers);
        for (std::ptrdiff_t d = 0; d < P; ++d) {
          std::copy_n(part.data() + d * (last - first), last - first, parts.data() + d * N + first);
        }
      }
      EXPECT_TRUE(sameBits(parts, expected)) << threads << " threads, parts at " << a << ", " << b;
    }

    // The same codes as bytes and as shorts, as the Java side passes them (a missing or negative
    // code as 0): the same bits.
    for (const bool shorts : {false, true}) {
      tallowmere::Problem narrow = problem;
      std::vector<std::vector<uint8_t>> byteColumns(narrow.variables.size());
      std::vector<std::vector<uint16_t>> shortColumns(narrow.variables.size());
      for (std::size_t J = 0; J < narrow.variables.size(); ++J) {
        CodeColumn& codes = narrow.variables[J].codes;
        for (std::ptrdiff_t i = 0; i < N; ++i) {
          const int32_t code = std::max(codes[i], 0);
          byteColumns[J].push_back(static_cast<uint8_t>(code));
          shortColumns[J].push_back(static_cast<uint16_t>(code));
        }
        codes = shorts ? CodeColumn{.shorts = shortColumns[J].data()}
                       : CodeColumn{.bytes = byteColumns[J].data()};
      }
      std::vector<double> scores(static_cast<std::size_t>(P * N));
      computeObjectScores(narrow, solution.scoreCoefficients, 0, N, scores, nullptr);
      EXPECT_TRUE(sameBits(scores, expected)) << (shorts ? "short" : "byte") << " codes";
    }
  }
}

}  // namespace
}  // namespace tallowmere
