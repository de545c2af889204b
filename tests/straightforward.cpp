#include "straightforward.h"

#include <cmath>

namespace tallowmere::straightforward {

void computeCategoryCentroids(std::span<const int32_t> objectWeights,
                              std::span<const double> categoryMarginals,
                              std::span<const double> objectScores,
                              std::span<double> categoryQuantifications) {
  const AnalysisSettings& s = analysisSettings;
  const std::ptrdiff_t N = s.objectCount;
  const std::ptrdiff_t S = slotCount();
  for (std::ptrdiff_t d = 0; d < s.dimensionCount; ++d) {
    double* y = categoryQuantifications.data() + d * S;
    for (std::ptrdiff_t slot = 0; slot < S; ++slot) {
      y[slot] = 0.0;
    }
    for (std::ptrdiff_t i = 0; i < N; ++i) {
      const double b = static_cast<double>(objectWeights[i]) * objectScores[d * N + i];
      for (int32_t J = 0; J < variableCount(); ++J) {
        const int32_t c = objectCode(i, J);
        if (c > 0) {
          y[categorySlot(J, c)] += b;
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

void computeObjectAverages(std::span<const int32_t> objectWeights,
                           std::span<const double> objectMarginals,
                           std::span<const double> categoryQuantifications,
                           std::span<double> objectAverages) {
  const AnalysisSettings& s = analysisSettings;
  const std::ptrdiff_t N = s.objectCount;
  const std::ptrdiff_t S = slotCount();
  for (std::ptrdiff_t d = 0; d < s.dimensionCount; ++d) {
    const double* y = categoryQuantifications.data() + d * S;
    for (std::ptrdiff_t i = 0; i < N; ++i) {
      const double w = objectWeights[i];
      double sum = 0.0;
      for (int32_t j = 0; j < s.activeCount; ++j) {
        const int32_t c = objectCode(i, j);
        if (c > 0) {
          sum = sum + w * y[categorySlot(j, c)];
        }
      }
      objectAverages[d * N + i] =
          zeroTolerance > std::fabs(objectMarginals[i]) ? 0.0 : sum / objectMarginals[i];
    }
  }
}

void centreObjectScores(std::span<double> objectScores, std::span<const double> objectMarginals,
                        double totalMarginal) {
  const std::ptrdiff_t N = analysisSettings.objectCount;
  for (std::ptrdiff_t d = 0; d < analysisSettings.dimensionCount; ++d) {
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

void orthonormaliseObjectScores(std::span<double> objectScores,
                                std::span<const double> objectMarginals, double totalMarginal) {
  const std::ptrdiff_t N = analysisSettings.objectCount;
  for (std::ptrdiff_t d = 0; d < analysisSettings.dimensionCount; ++d) {
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

void evaluateIteration(std::span<const double> objectMarginals, std::span<double> objectScores,
                       std::span<const double> objectAverages, std::span<double> eigenvalues,
                       double& fit, double& minimumCosine, double totalMarginal) {
  const std::ptrdiff_t N = analysisSettings.objectCount;
  double fitSum = 0.0;
  double smallestCosine = 1.0;
  // The summary of dimension d only needs that dimension's two sums, so it follows its pass
  // directly; the order of every operation is that of a full pass followed by the summaries.
  for (std::ptrdiff_t d = 0; d < analysisSettings.dimensionCount; ++d) {
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

}  // namespace tallowmere::straightforward
