// Converged analyses against the eigenvectors of the problem found densely, independently of the
// engine (eigen_reference.h).
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>
#include <limits>

#include "analysis_solution.h"
#include "dataset.h"
#include "eigen_reference.h"
#include "engine.h"
#include "problem.h"

namespace tallowmere {
namespace {

using testing::dimensionError;
using testing::Eigensolution;
using testing::leadingEigenvectors;
using testing::Problem;
using testing::RunTables;
using testing::scoredObjects;

class EigenCheck : public ::testing::TestWithParam<const char*> {};

TEST_P(EigenCheck, ConvergedScoresAreLeadingEigenvectors) {
  Problem p = testing::datasetProblem(GetParam(), 2);
  p.maxIterations = 3000;
  p.fitTolerance = -1.0;
  p.cosineTolerance = -1.0;
  RunTables tables = RunTables::sizedFor(p);
  testing::runProblem(p, tables);

  const std::vector<int> objects = scoredObjects(p);
  const Eigensolution expected = leadingEigenvectors(p, objects);
  std::vector<double> scores(std::size_t(p.objectCount) * 2);
  for (int d = 0; d < 2; ++d) {
    ASSERT_GT(expected.values(d) - expected.values(d + 1), 1e-3) << "dimension " << d;
    for (int i = 0; i < p.objectCount; ++i) {
      scores[std::size_t(d) * p.objectCount + i] = tables.objectRows[1 + i][1 + d];
    }
    EXPECT_LT(dimensionError(scores.data() + d * p.objectCount, expected, d, objects), 1e-8)
        << "dimension " << d;
  }
}

INSTANTIATE_TEST_SUITE_P(RealData, EigenCheck,
                         ::testing::Values("haireyecolor", "haireyecolor-persons", "esoph"));

// The typed API's analysis at its default settings: every dimension within 1e-6 of the
// eigenvector, relative to its largest score, wherever eigenvalue P is separated from P + 1,
// and the eigenvalues in decreasing order; within 1e-10 for the direct solution. Vote at 16
// dimensions has two pairs of eigenvalues only a few per cent apart, which the fit alone leaves
// unresolved.
struct SolutionCase {
  const char* dataset;
  int32_t dimensions;
  bool accelerate;
  Solver solver = Solver::crossTable;
};
void PrintTo(const SolutionCase& c, std::ostream* out) {
  *out << c.dataset << " P=" << c.dimensions << (c.accelerate ? "" : " plain")
       << (c.solver == Solver::direct ? " direct" : "");
}

class SolutionCheck : public ::testing::TestWithParam<SolutionCase> {};

TEST_P(SolutionCheck, EveryDimensionIsAnEigenvectorAtDefaultSettings) {
  const SolutionCase& c = GetParam();
  Problem p = testing::datasetProblem(c.dataset, c.dimensions);
  p.maxIterations = 1000;
  p.fitTolerance = std::numeric_limits<double>::quiet_NaN();
  p.cosineTolerance = std::numeric_limits<double>::quiet_NaN();
  SolutionOptions options;
  options.accelerate = c.accelerate;
  options.solver = c.solver;
  const Solution solution = testing::solveTyped(p, options);
  const bool direct = c.solver == Solver::direct;
  EXPECT_EQ(solution.solver, c.solver);
  EXPECT_EQ(solution.report.stopReason, direct ? StopReason::direct : StopReason::subspace);
  RecordProperty("iterations", solution.report.iterations);

  const std::vector<int> objects = scoredObjects(p);
  const Eigensolution expected = leadingEigenvectors(p, objects);
  ASSERT_GT(expected.values(c.dimensions - 1) - expected.values(c.dimensions), 1e-3);
  for (int d = 0; d < c.dimensions; ++d) {
    EXPECT_NEAR(solution.eigenvalues[d], expected.values(d), 1e-10) << "dimension " << d;
    EXPECT_LT(
        dimensionError(solution.objectScores.data() + d * p.objectCount, expected, d, objects),
        direct ? 1e-10 : 1e-6)
        << "dimension " << d;
  }
}

INSTANTIATE_TEST_SUITE_P(RealData, SolutionCheck,
                         ::testing::Values(SolutionCase{"haireyecolor", 2, true},
                                           SolutionCase{"haireyecolor-persons", 3, true},
                                           SolutionCase{"esoph", 3, true},
                                           SolutionCase{"esoph", 3, false},
                                           SolutionCase{"vote", 3, true},
                                           SolutionCase{"vote", 16, true},
                                           SolutionCase{"haireyecolor", 2, true, Solver::direct},
                                           SolutionCase{"esoph", 3, true, Solver::direct},
                                           SolutionCase{"vote", 3, true, Solver::direct},
                                           SolutionCase{"vote", 16, true, Solver::direct}));

// Counts as weights and one row per person describe the same people.
TEST(Weights, CountsGiveTheQuantificationsOfRepeatedRows) {
  Problem weighted = testing::datasetProblem("haireyecolor", 2);
  Problem persons = testing::datasetProblem("haireyecolor-persons", 2);
  RunTables a = RunTables::sizedFor(weighted), b = RunTables::sizedFor(persons);
  for (Problem* p : {&weighted, &persons}) {
    p->maxIterations = 3000;
    p->fitTolerance = -1.0;
    p->cosineTolerance = -1.0;
  }
  testing::runProblem(weighted, a);
  testing::runProblem(persons, b);
  for (int d = 1; d <= 2; ++d) {
    const double sign = a.categoryRows[1][d] * b.categoryRows[1][d] < 0 ? -1 : 1;
    for (std::size_t r = 1; r < a.categoryRows.size(); ++r) {
      EXPECT_NEAR(a.categoryRows[r][d], sign * b.categoryRows[r][d], 1e-8)
          << "row " << r << " dimension " << d;
    }
  }
}

}  // namespace
}  // namespace tallowmere
