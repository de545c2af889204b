#include "eigen_reference.h"

#include <algorithm>
#include <cmath>

namespace tallowmere::testing {

std::vector<int> scoredObjects(const Problem& p) {
  std::vector<int> objects;
  const std::vector<double> w = p.objectWeights();
  for (int i = 0; i < p.objectCount; ++i) {
    bool valid = false;
    for (int32_t j = 0; j < p.activeCount(); ++j) {
      valid = valid || p.code(i, j) > 0;
    }
    if (valid && w[i] > 0) {
      objects.push_back(i);
    }
  }
  return objects;
}

Eigensolution leadingEigenvectors(const Problem& p, const std::vector<int>& objects) {
  const std::vector<double> w = p.objectWeights();
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
  const double total = m.sum();
  // Symmetric form: B = M^-1/2 A M^-1/2, x = M^-1/2 v.
  const Eigen::VectorXd root = m.cwiseSqrt().cwiseInverse();
  const Eigen::MatrixXd B = root.asDiagonal() * A * root.asDiagonal();
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(B);
  const int P = p.dimensionCount;
  Eigensolution e{Eigen::MatrixXd(n, P), Eigen::VectorXd(P + 1)};
  for (int d = 0; d <= P; ++d) {
    // Ascending order: the last column is the trivial eigenvalue 1.
    e.values(d) = solver.eigenvalues()(n - 2 - d);
    if (d < P) {
      e.x.col(d) = root.asDiagonal() * solver.eigenvectors().col(n - 2 - d) * std::sqrt(total);
    }
  }
  return e;
}

double dimensionError(const double* scores, const Eigensolution& e, int d,
                      const std::vector<int>& objects) {
  const double sign = scores[objects[0]] * e.x(0, d) < 0 ? -1 : 1;
  double largest = 0.0, error = 0.0;
  for (std::size_t r = 0; r < objects.size(); ++r) {
    largest = std::max(largest, std::fabs(e.x(r, d)));
    error = std::max(error, std::fabs(scores[objects[r]] - sign * e.x(r, d)));
  }
  return error / largest;
}

}  // namespace tallowmere::testing
