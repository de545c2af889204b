#include "plain_loops.h"

#include <cmath>

namespace tallowmere::plain {

void computeMarginals(const testing::Problem& p, std::span<const double> objectWeights,
                      std::span<double> objectMarginals, std::span<double> categoryMarginals,
                      double& totalMarginal) {
  for (std::ptrdiff_t i = 0; i < p.objectCount; ++i) {
    const double b = objectWeights[i];
    for (int32_t J = 0; J < p.variableCount(); ++J) {
      const int32_t c = p.code(i, J);
      if (c <= 0) {
        continue;
      }
      if (J < p.activeCount()) {
        objectMarginals[i] = objectMarginals[i] + b;
        totalMarginal = totalMarginal + b;
      }
      categoryMarginals[(std::ptrdiff_t{J} * p.maxCategories + c - 1)] =
          categoryMarginals[(std::ptrdiff_t{J} * p.maxCategories + c - 1)] + b;
    }
  }
}

void computeCategoryCentroids(const testing::Problem& p, std::span<const double> objectWeights,
                              std::span<const double> categoryMarginals,
                              std::span<const double> objectScores,
                              std::span<double> categoryQuantifications) {
  const std::ptrdiff_t N = p.objectCount;
  const std::ptrdiff_t S = p.slotCount();
  for (std::ptrdiff_t d = 0; d < p.dimensionCount; ++d) {
    double* y = categoryQuantifications.data() + d * S;
    for (std::ptrdiff_t slot = 0; slot < S; ++slot) {
      y[slot] = 0.0;
    }
    for (std::ptrdiff_t i = 0; i < N; ++i) {
      const double b = static_cast<double>(objectWeights[i]) * objectScores[d * N + i];
      for (int32_t J = 0; J < p.variableCount(); ++J) {
        const int32_t c = p.code(i, J);
        if (c > 0) {
          y[(std::ptrdiff_t{J} * p.maxCategories + c - 1)] += b;
        }
      }
    }
    for (std::ptrdiff_t slot = 0; slot < S; ++slot) {
      y[slot] = zeroTolerance > std::fabs(categoryMarginals[slot])
                    ? 0.0
                    : y[slot] / categoryMarginals[slot];
    }
  }
}

void computeObjectAverages(const testing::Problem& p, std::span<const double> objectWeights,
                           std::span<const double> objectMarginals,
                           std::span<const double> categoryQuantifications,
                           std::span<double> objectAverages) {
  const std::ptrdiff_t N = p.objectCount;
  const std::ptrdiff_t S = p.slotCount();
  for (std::ptrdiff_t d = 0; d < p.dimensionCount; ++d) {
    const double* y = categoryQuantifications.data() + d * S;
    for (std::ptrdiff_t i = 0; i < N; ++i) {
      const double w = objectWeights[i];
      double sum = 0.0;
      for (int32_t j = 0; j < p.activeCount(); ++j) {
        const int32_t c = p.code(i, j);
        if (c > 0) {
          sum = sum + w * y[(std::ptrdiff_t{j} * p.maxCategories + c - 1)];
        }
      }
      objectAverages[d * N + i] =
          zeroTolerance > std::fabs(objectMarginals[i]) ? 0.0 : sum / objectMarginals[i];
    }
  }
}

void centreObjectScores(const testing::Problem& p, std::span<double> objectScores,
                        std::span<const double> objectMarginals, double totalMarginal) {
  const std::ptrdiff_t N = p.objectCount;
  for (std::ptrdiff_t d = 0; d < p.dimensionCount; ++d) {
    double* x = objectScores.data() + d * N;
    double sum = 0.0;
    for (std::ptrdiff_t i = 0; i < N; ++i) {
      sum = sum + objectMarginals[i] * x[i];
    }
    const double mean = sum / totalMarginal;
    for (std::ptrdiff_t i = 0; i < N; ++i) {
      x[i] = x[i] - mean;
    }
  }
}

void orthonormaliseObjectScores(const testing::Problem& p, std::span<double> objectScores,
                                std::span<const double> objectMarginals, double totalMarginal) {
  const std::ptrdiff_t N = p.objectCount;
  for (std::ptrdiff_t d = 0; d < p.dimensionCount; ++d) {
    double* x = objectScores.data() + d * N;
    for (std::ptrdiff_t e = 0; e <= d; ++e) {
      const double* other = objectScores.data() + e * N;
      double product = 0.0;
      for (std::ptrdiff_t i = 0; i < N; ++i) {
        product = product + (objectMarginals[i] * x[i]) * other[i];
      }
      if (e < d) {
        // Dimension e is final with squared length t, so product / t is the projection
        // coefficient of x on it.
        const double coefficient = product / totalMarginal;
        for (std::ptrdiff_t i = 0; i < N; ++i) {
          x[i] = x[i] - coefficient * other[i];
        }
      } else {
        const double scale = std::sqrt(totalMarginal / product);
        for (std::ptrdiff_t i = 0; i < N; ++i) {
          x[i] = scale * x[i];
        }
      }
    }
  }
}

void evaluateIteration(const testing::Problem& p, std::span<const double> objectMarginals,
                       std::span<double> objectScores, std::span<const double> objectAverages,
                       std::span<double> eigenvalues, double& fit, double& minimumCosine,
                       double totalMarginal) {
  const std::ptrdiff_t N = p.objectCount;
  double fitSum = 0.0;
  double smallestCosine = 1.0;
  // The summary of dimension d only needs that dimension's two sums, so it follows its pass
  // directly; the order of every operation is that of a full pass followed by the summaries.
  for (std::ptrdiff_t d = 0; d < p.dimensionCount; ++d) {
    double* x = objectScores.data() + d * N;
    const double* y = objectAverages.data() + d * N;
    double crossProduct = 0.0;  // <new, old>_m
    double newLength = 0.0;     // <new, new>_m
    for (std::ptrdiff_t i = 0; i < N; ++i) {
      const double weighted = objectMarginals[i] * y[i];
      crossProduct = crossProduct + weighted * x[i];
      newLength = newLength + weighted * y[i];
      x[i] = y[i];
    }
    eigenvalues[d] = crossProduct / totalMarginal;
    fitSum = fitSum + eigenvalues[d];
    const double cosine = crossProduct / std::sqrt(totalMarginal * newLength);
    // Differences below 2^-52 replace the minimum too; a NaN cosine never does.
    if (cosine - smallestCosine < zeroTolerance) {
      smallestCosine = cosine;
    }
  }
  fit = fitSum;
  minimumCosine = smallestCosine;
}

void drawRandomStart(std::span<double> objectScores) {
  uint32_t state = 22695478u;
  for (double& score : objectScores) {
    state = state * 22695477u + 1u;
    score = static_cast<double>((state >> 16) & 0x7FFFu);
  }
}

Trace runIterations(const testing::Problem& p, int iterations, testing::RunTables& tables) {
  const std::size_t N = p.objectCount, P = p.dimensionCount, S = p.slotCount();
  const std::vector<double> w = p.objectWeights();
  std::vector<double> m(N), D(S), X(P * N), averages(P * N), Y(P * S), z(S);
  std::vector<double> a(std::size_t(p.variableCount()) * P), eigenvalues(P);
  double t = 0.0;
  computeMarginals(p, w, m, D, t);
  if (p.innerIterations > 0) {
    initialiseSingleQuantifications(p, D, z, t);
  }
  drawRandomStart(X);
  centreObjectScores(p, X, m, t);
  orthonormaliseObjectScores(p, X, m, t);
  Trace trace;
  for (int iteration = 0; iteration < iterations; ++iteration) {
    computeCategoryCentroids(p, w, D, X, Y);
    if (p.innerIterations > 0) {
      for (int inner = 0; inner < p.innerIterations; ++inner) {
        innerIteration(p, D, Y, z, a, t);
      }
      imposeRankOne(p, z, a, Y);
    }
    computeObjectAverages(p, w, m, Y, averages);
    double fit = 0.0, cosine = 0.0;
    evaluateIteration(p, m, X, averages, eigenvalues, fit, cosine, t);
    centreObjectScores(p, X, m, t);
    orthonormaliseObjectScores(p, X, m, t);
    trace.fits.push_back(fit);
    trace.cosines.push_back(cosine);
  }
  // Category rows packed over the active variables' categories; object rows in order.
  std::size_t row = 1;
  for (int32_t j = 0; j < p.activeCount(); ++j) {
    for (int32_t c = 0; c < p.activeCategoryCounts[j]; ++c, ++row) {
      for (std::size_t d = 0; d < P; ++d) {
        tables.categoryRows[row][1 + d] = Y[d * S + std::size_t(j) * p.maxCategories + c];
      }
    }
  }
  if (p.writeObjectScores) {
    centreObjectScores(p, X, m, t);
    orthonormaliseObjectScores(p, X, m, t);
    for (std::size_t i = 0; i < N; ++i) {
      for (std::size_t d = 0; d < P; ++d) {
        tables.objectRows[1 + i][1 + d] = X[d * N + i];
      }
    }
  }
  return trace;
}

}  // namespace tallowmere::plain
