#include "principal_axes.h"

#include <Eigen/Eigenvalues>
#include <cmath>
#include <limits>
#include <vector>

#include "problem.h"

namespace tallowmere {

namespace {

struct Shape {
  std::ptrdiff_t P, S, activeSlots, variables;
};

Shape shape(const Problem& p) {
  return {p.dimensionCount, p.slotCount, p.activeSlotCount, p.variableCount()};
}

// values (P x count, dimension-major) := values * V, column by column of the P-vectors.
void rotateDimensionMajor(std::span<double> values, std::ptrdiff_t count,
                          const Eigen::MatrixXd& V) {
  const std::ptrdiff_t P = V.rows();
  std::vector<double> row(static_cast<std::size_t>(P));
  for (std::ptrdiff_t k = 0; k < count; ++k) {
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      double sum = 0.0;
      for (std::ptrdiff_t e = 0; e < P; ++e) {
        sum += values[e * count + k] * V(e, d);
      }
      row[d] = sum;
    }
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      values[d * count + k] = row[d];
    }
  }
}

}  // namespace

void rotateToPrincipalAxes(const Problem& problem, std::span<const double> categoryMarginals,
                           double totalMarginal, std::span<double> scores,
                           std::ptrdiff_t scoreCount, std::span<double> categoryCentroids,
                           std::span<double> categoryQuantifications, std::span<double> loadings,
                           std::span<double> eigenvalues) {
  const Shape n = shape(problem);
  if (n.P == 0) {
    return;
  }
  Eigen::MatrixXd R = Eigen::MatrixXd::Zero(n.P, n.P);
  for (std::ptrdiff_t d = 0; d < n.P; ++d) {
    for (std::ptrdiff_t e = 0; e < n.P; ++e) {
      double sum = 0.0;
      for (std::ptrdiff_t s = 0; s < n.activeSlots; ++s) {
        sum += categoryMarginals[s] * categoryQuantifications[d * n.S + s] *
               categoryCentroids[e * n.S + s];
      }
      R(d, e) = sum;
    }
  }
  // Symmetric in exact arithmetic: q_J = y_J for a multiple variable, and q_J' D_J y_J =
  // t a_J a_J' for a single one.
  const Eigen::MatrixXd symmetric = (R + R.transpose()) / 2.0;
  if (!symmetric.allFinite()) {
    std::fill(eigenvalues.begin(), eigenvalues.end(), std::numeric_limits<double>::quiet_NaN());
    return;
  }
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(symmetric);
  Eigen::MatrixXd V(n.P, n.P);
  for (std::ptrdiff_t d = 0; d < n.P; ++d) {
    // The solver orders eigenvalues increasingly.
    V.col(d) = solver.eigenvectors().col(n.P - 1 - d);
    eigenvalues[d] = solver.eigenvalues()(n.P - 1 - d) / totalMarginal;
  }
  rotateDimensionMajor(scores, scoreCount, V);
  rotateDimensionMajor(categoryCentroids, n.S, V);
  rotateDimensionMajor(categoryQuantifications, n.S, V);
  // Loadings are variable-major: a_J' := a_J' V.
  std::vector<double> rotated(static_cast<std::size_t>(n.P));
  for (std::ptrdiff_t J = 0; J < n.variables; ++J) {
    double* a = loadings.data() + J * n.P;
    for (std::ptrdiff_t d = 0; d < n.P; ++d) {
      double sum = 0.0;
      for (std::ptrdiff_t e = 0; e < n.P; ++e) {
        sum += a[e] * V(e, d);
      }
      rotated[d] = sum;
    }
    std::copy(rotated.begin(), rotated.end(), a);
  }
}

void dimensionEigenvalues(const Problem& problem, std::span<const double> categoryMarginals,
                          double totalMarginal, std::span<const double> categoryCentroids,
                          std::span<const double> categoryQuantifications,
                          std::span<double> eigenvalues) {
  const Shape n = shape(problem);
  for (std::ptrdiff_t d = 0; d < n.P; ++d) {
    double sum = 0.0;
    for (std::ptrdiff_t s = 0; s < n.activeSlots; ++s) {
      sum += categoryMarginals[s] * categoryQuantifications[d * n.S + s] *
             categoryCentroids[d * n.S + s];
    }
    eigenvalues[d] = sum / totalMarginal;
  }
}

void fixDimensionSigns(const Problem& problem, std::span<const double> categoryMarginals,
                       std::span<double> scores, std::ptrdiff_t scoreCount,
                       std::span<double> categoryCentroids,
                       std::span<double> categoryQuantifications, std::span<double> loadings) {
  const Shape n = shape(problem);
  for (std::ptrdiff_t d = 0; d < n.P; ++d) {
    const double* q = categoryQuantifications.data() + d * n.S;
    double largest = 0.0;
    for (std::ptrdiff_t s = 0; s < n.activeSlots; ++s) {
      if (categoryMarginals[s] > 0.0) {
        largest = std::max(largest, std::fabs(q[s]));
      }
    }
    // Equivalent inputs give quantifications equal up to rounding, far inside this margin, so
    // they pick the same category even where two are equally large (a binary variable with
    // equal frequencies).
    const double threshold = largest * (1.0 - 1e-6);
    double sign = 1.0;
    for (std::ptrdiff_t s = 0; s < n.activeSlots; ++s) {
      if (categoryMarginals[s] > 0.0 && std::fabs(q[s]) >= threshold && largest > 0.0) {
        sign = q[s] < 0.0 ? -1.0 : 1.0;
        break;
      }
    }
    if (sign > 0.0) {
      continue;
    }
    for (std::ptrdiff_t i = 0; i < scoreCount; ++i) {
      scores[d * scoreCount + i] = -scores[d * scoreCount + i];
    }
    for (std::ptrdiff_t s = 0; s < n.S; ++s) {
      categoryCentroids[d * n.S + s] = -categoryCentroids[d * n.S + s];
      categoryQuantifications[d * n.S + s] = -categoryQuantifications[d * n.S + s];
    }
    for (std::ptrdiff_t J = 0; J < n.variables; ++J) {
      loadings[J * n.P + d] = -loadings[J * n.P + d];
    }
  }
}

}  // namespace tallowmere
