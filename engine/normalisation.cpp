// Object scores are kept centred in the metric of the object marginals, with m-orthogonal
// dimensions of squared m-length t. No quantity under a division or square root is guarded:
// degenerate data give IEEE infinities and NaNs, which flow on to the results.
#include <cmath>

#include "engine.h"

namespace tallowmere {

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

}  // namespace tallowmere
