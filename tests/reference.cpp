#include "reference.h"

#include <cmath>

namespace tallowmere::reference {

namespace {

constexpr double epsilon = 0x1p-52;

double weightedProduct(const Vector& m, const Vector& a, const Vector& b) {
  double sum = 0.0;
  for (std::size_t i = 0; i < m.size(); ++i) {
    sum = sum + (m[i] * a[i]) * b[i];
  }
  return sum;
}

bool activeSlot(const Problem& problem, std::size_t slot) {
  return slot < std::size_t(problem.maxCategories) * problem.activeCount();
}

}  // namespace

Matrix indicatorMatrix(const Problem& problem) {
  Matrix g(problem.objectCount, Vector(problem.slotCount(), 0.0));
  for (int32_t i = 0; i < problem.objectCount; ++i) {
    for (int32_t J = 0; J < problem.variableCount(); ++J) {
      const int32_t c = problem.code(i, J);
      if (c >= 1) {
        g[i][std::size_t(J) * problem.maxCategories + c - 1] = 1.0;
      }
    }
  }
  return g;
}

Marginals marginals(const Problem& problem) {
  const Matrix g = indicatorMatrix(problem);
  const std::vector<int32_t> w = problem.objectWeights();
  Marginals result{Vector(problem.objectCount, 0.0), Vector(problem.slotCount(), 0.0), 0.0};
  for (int32_t i = 0; i < problem.objectCount; ++i) {
    for (std::size_t slot = 0; slot < g[i].size(); ++slot) {
      const double term = g[i][slot] * w[i];
      if (activeSlot(problem, slot)) {
        result.object[i] = result.object[i] + term;
        result.total = result.total + term;
      }
      result.category[slot] = result.category[slot] + term;
    }
  }
  return result;
}

Matrix centroids(const Problem& problem, const Vector& categoryMarginals, const Matrix& scores) {
  const Matrix g = indicatorMatrix(problem);
  const std::vector<int32_t> w = problem.objectWeights();
  Matrix y(problem.dimensionCount, Vector(problem.slotCount(), 0.0));
  for (int32_t d = 0; d < problem.dimensionCount; ++d) {
    for (std::size_t slot = 0; slot < y[d].size(); ++slot) {
      double sum = 0.0;
      for (int32_t i = 0; i < problem.objectCount; ++i) {
        sum = sum + g[i][slot] * (double(w[i]) * scores[d][i]);
      }
      y[d][slot] =
          std::fabs(categoryMarginals[slot]) < epsilon ? 0.0 : sum / categoryMarginals[slot];
    }
  }
  return y;
}

Matrix objectAverages(const Problem& problem, const Vector& objectMarginals,
                      const Matrix& quantifications) {
  const Matrix g = indicatorMatrix(problem);
  const std::vector<int32_t> w = problem.objectWeights();
  Matrix x(problem.dimensionCount, Vector(problem.objectCount, 0.0));
  for (int32_t d = 0; d < problem.dimensionCount; ++d) {
    for (int32_t i = 0; i < problem.objectCount; ++i) {
      double sum = 0.0;
      for (std::size_t slot = 0; activeSlot(problem, slot); ++slot) {
        sum = sum + g[i][slot] * (double(w[i]) * quantifications[d][slot]);
      }
      x[d][i] = std::fabs(objectMarginals[i]) < epsilon ? 0.0 : sum / objectMarginals[i];
    }
  }
  return x;
}

void centre(Matrix& scores, const Vector& objectMarginals, double total) {
  for (Vector& x : scores) {
    const Vector ones(x.size(), 1.0);
    const double mean = weightedProduct(objectMarginals, x, ones) / total;
    for (double& value : x) {
      value = value - mean;
    }
  }
}

void orthonormalise(Matrix& scores, const Vector& objectMarginals, double total) {
  for (std::size_t d = 0; d < scores.size(); ++d) {
    for (std::size_t e = 0; e < d; ++e) {
      const double coefficient = weightedProduct(objectMarginals, scores[d], scores[e]) / total;
      for (std::size_t i = 0; i < scores[d].size(); ++i) {
        scores[d][i] = scores[d][i] - coefficient * scores[e][i];
      }
    }
    const double scale = std::sqrt(total / weightedProduct(objectMarginals, scores[d], scores[d]));
    for (double& value : scores[d]) {
      value = scale * value;
    }
  }
}

Evaluation evaluate(const Matrix& oldScores, const Matrix& newScores, const Vector& objectMarginals,
                    double total) {
  Evaluation result;
  for (std::size_t d = 0; d < oldScores.size(); ++d) {
    const double cross = weightedProduct(objectMarginals, newScores[d], oldScores[d]);
    const double length = weightedProduct(objectMarginals, newScores[d], newScores[d]);
    result.eigenvalues.push_back(cross / total);
    result.fit = result.fit + result.eigenvalues.back();
    const double cosine = cross / std::sqrt(total * length);
    if (cosine - result.minimumCosine < epsilon) {
      result.minimumCosine = cosine;
    }
  }
  return result;
}

Matrix unflatten(const std::vector<double>& flat, std::size_t rows, std::size_t columns) {
  Matrix matrix(rows, Vector(columns));
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < columns; ++c) {
      matrix[r][c] = flat[r * columns + c];
    }
  }
  return matrix;
}

std::vector<double> flatten(const Matrix& matrix) {
  std::vector<double> flat;
  for (const Vector& row : matrix) {
    flat.insert(flat.end(), row.begin(), row.end());
  }
  return flat;
}

}  // namespace tallowmere::reference
