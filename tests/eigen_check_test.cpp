// A converged all-multiple analysis solves a generalised eigenproblem: with W = diag(w),
// G_j the indicator matrix and D_j the marginals of variable j, and M = diag(m), the object
// scores span the leading non-trivial eigenvectors of
//     A x = lambda M x,   A = sum_j W G_j D_j^-1 G_j' W.
// (The constant vector is the trivial solution with lambda = 1.) Solved here with Eigen,
// independently of the engine.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>

#include "dataset.h"
#include "engine.h"
#include "problem.h"

namespace tallowmere {
namespace {

using testing::Problem;
using testing::RunTables;

// Eigenvectors of the problem, rows of objects with positive marginal only, scaled to
// x' M x = t, for the P largest non-trivial eigenvalues.
Eigen::MatrixXd leadingEigenvectors(const Problem& p, const std::vector<int>& objects,
                                    double& total) {
  const std::vector<int32_t> w = p.objectWeights();
  const int n = static_cast<int>(objects.size());
  Eigen::MatrixXd A = Eigen::MatrixXd::Zero(n, n);
  Eigen::VectorXd m = Eigen::VectorXd::Zero(n);
  for (int32_t j = 0; j < p.activeCount(); ++j) {
    Eigen::MatrixXd G = Eigen::MatrixXd::Zero(n, p.categoryCount(j));
    for (int r = 0; r < n; ++r) {
      const int32_t code = p.code(objects[r], j);
      if (code > 0) {
        G(r, code - 1) = w[objects[r]];  // W G_j
        m(r) += w[objects[r]];
      }
    }
    Eigen::VectorXd D = G.colwise().sum();
    Eigen::VectorXd inverse = D.unaryExpr([](double v) { return v == 0.0 ? 0.0 : 1.0 / v; });
    A += G * inverse.asDiagonal() * G.transpose();
  }
  total = m.sum();
  // Symmetric form: B = M^-1/2 A M^-1/2, x = M^-1/2 v.
  const Eigen::VectorXd root = m.cwiseSqrt().cwiseInverse();
  const Eigen::MatrixXd B = root.asDiagonal() * A * root.asDiagonal();
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(B);
  const int P = p.dimensionCount;
  Eigen::MatrixXd x(n, P);
  for (int d = 0; d < P; ++d) {
    // Ascending order: the last column is the trivial eigenvalue 1.
    const Eigen::VectorXd v = solver.eigenvectors().col(n - 2 - d);
    EXPECT_GT(solver.eigenvalues()(n - 2 - d) - solver.eigenvalues()(n - 3 - d), 1e-3)
        << "eigenvalues too close to compare dimension " << d;
    x.col(d) = root.asDiagonal() * v * std::sqrt(total);  // v'v = 1, so x'Mx = t
  }
  return x;
}

class EigenCheck : public ::testing::TestWithParam<const char*> {};

TEST_P(EigenCheck, ConvergedScoresAreLeadingEigenvectors) {
  Problem p = testing::datasetProblem(GetParam(), 2);
  p.maxIterations = 3000;
  p.fitTolerance = -1.0;
  p.cosineTolerance = -1.0;
  RunTables tables = RunTables::sizedFor(p);
  testing::runProblem(p, tables);

  std::vector<int> objects;
  const std::vector<int32_t> w = p.objectWeights();
  for (int i = 0; i < p.objectCount; ++i) {
    bool valid = false;
    for (int32_t j = 0; j < p.activeCount(); ++j) {
      valid = valid || p.code(i, j) > 0;
    }
    if (valid && w[i] > 0) {
      objects.push_back(i);
    }
  }
  double total = 0.0;
  const Eigen::MatrixXd expected = leadingEigenvectors(p, objects, total);
  for (int d = 0; d < p.dimensionCount; ++d) {
    const double sign = tables.objectRows[1 + objects[0]][1 + d] * expected(0, d) < 0 ? -1 : 1;
    double largest = 0.0;
    for (std::size_t r = 0; r < objects.size(); ++r) {
      const double score = tables.objectRows[1 + objects[r]][1 + d];
      largest = std::max(largest, std::fabs(score - sign * expected(r, d)));
    }
    EXPECT_LT(largest, 1e-8) << "dimension " << d;
  }
}

INSTANTIATE_TEST_SUITE_P(RealData, EigenCheck,
                         ::testing::Values("haireyecolor", "haireyecolor-persons", "esoph"));

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
