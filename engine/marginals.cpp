// The two halves of every alternating least squares step (objects to categories and back) and
// the weighted frequencies both divide by. Codes are read from the data matrix on every pass;
// no indicator matrix is formed.
#include <cmath>

#include "engine.h"

namespace tallowmere {

void computeMarginals(std::span<const int32_t> objectWeights, std::span<double> objectMarginals,
                      std::span<double> categoryMarginals, double& totalMarginal) {
  const AnalysisSettings& s = analysisSettings;
  for (std::ptrdiff_t i = 0; i < s.objectCount; ++i) {
    const double b = objectWeights[i];
    for (int32_t j = 0; j < s.activeCount; ++j) {
      const int32_t c = objectCode(i, j);
      if (c > 0) {
        objectMarginals[i] = objectMarginals[i] + b;
        totalMarginal = totalMarginal + b;
        categoryMarginals[categorySlot(j, c)] += b;
      }
    }
    // Passive categories get their frequencies, but passive codes never weigh on an object.
    for (int32_t J = s.activeCount; J < variableCount(); ++J) {
      const int32_t c = objectCode(i, J);
      if (c > 0) {
        categoryMarginals[categorySlot(J, c)] += b;
      }
    }
  }
}

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

}  // namespace tallowmere
