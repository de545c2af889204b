// Single (rank-one) variables: one score per category, z_J, and one loading per dimension,
// a_J, with quantifications y_Jd = a_Jd * z_J. Nominal z_J are free, ordinal ones monotone,
// numerical ones fixed at their standardised category numbers.
#include <algorithm>
#include <cmath>
#include <vector>

#include "engine.h"
#include "monotone_regression.h"

namespace tallowmere {

namespace {

std::ptrdiff_t blockStart(int32_t variable) {
  return std::ptrdiff_t{variable} * analysisSettings.maxCategories;
}

}  // namespace

void standardiseQuantification(int32_t categoryCount, double totalMarginal,
                               const double* categoryMarginals, double* singleQuantifications) {
  const double* D = categoryMarginals;
  double* z = singleQuantifications;
  double weightedSum = 0.0;
  double marginalSum = 0.0;
  for (int32_t c = 0; c < categoryCount; ++c) {
    weightedSum = weightedSum + D[c] * z[c];
    marginalSum = marginalSum + D[c];
  }
  const double mean = weightedSum / marginalSum;
  double squares = 0.0;
  for (int32_t c = 0; c < categoryCount; ++c) {
    z[c] = z[c] - mean;
    squares = squares + (z[c] * D[c]) * z[c];
  }
  const double scale = std::sqrt(totalMarginal / squares);
  for (int32_t c = 0; c < categoryCount; ++c) {
    z[c] = scale * z[c];
  }
}

void initialiseSingleQuantifications(std::span<const double> categoryMarginals,
                                     std::span<double> singleQuantifications,
                                     double totalMarginal) {
  const std::ptrdiff_t K = analysisSettings.maxCategories;
  const std::ptrdiff_t S = slotCount();
  for (std::ptrdiff_t slot = 0; slot < S; ++slot) {
    singleQuantifications[slot] = static_cast<double>(slot % K);
  }
  for (int32_t J = 0; J < variableCount(); ++J) {
    standardiseQuantification(variableCategoryCount(J), totalMarginal,
                              categoryMarginals.data() + blockStart(J),
                              singleQuantifications.data() + blockStart(J));
  }
}

void computeLoadings(std::span<const double> categoryMarginals,
                     std::span<const double> categoryQuantifications,
                     std::span<const double> singleQuantifications, std::span<double> loadings,
                     double totalMarginal) {
  const int32_t P = analysisSettings.dimensionCount;
  const std::ptrdiff_t S = slotCount();
  for (int32_t d = 0; d < P; ++d) {
    for (int32_t J = 0; J < variableCount(); ++J) {
      if (!isSingle(J)) {
        continue;
      }
      const double* D = categoryMarginals.data() + blockStart(J);
      const double* z = singleQuantifications.data() + blockStart(J);
      const double* y = categoryQuantifications.data() + d * S + blockStart(J);
      double sum = 0.0;
      for (int32_t c = 0; c < variableCategoryCount(J); ++c) {
        sum = sum + (D[c] * z[c]) * y[c];
      }
      loadings[std::ptrdiff_t{J} * P + d] = sum / totalMarginal;
    }
  }
}

void accumulateSingleQuantifications(std::span<const double> categoryQuantifications,
                                     std::span<const double> loadings,
                                     std::span<double> singleQuantifications) {
  const int32_t P = analysisSettings.dimensionCount;
  const std::ptrdiff_t S = slotCount();
  for (int32_t d = 0; d < P; ++d) {
    for (int32_t J = 0; J < variableCount(); ++J) {
      if (!hasFreeScores(J)) {
        continue;
      }
      const double a = loadings[std::ptrdiff_t{J} * P + d];
      const double* y = categoryQuantifications.data() + d * S + blockStart(J);
      double* z = singleQuantifications.data() + blockStart(J);
      for (int32_t c = 0; c < variableCategoryCount(J); ++c) {
        z[c] = a * y[c] + z[c];
      }
    }
  }
}

void regressSingleQuantifications(std::span<const double> categoryMarginals,
                                  std::span<const double> categoryQuantifications,
                                  std::span<const double> loadings,
                                  std::span<double> singleQuantifications, double totalMarginal,
                                  RegressionWorkspace& work) {
  const int32_t P = analysisSettings.dimensionCount;
  const std::ptrdiff_t S = slotCount();
  std::vector<double> target;
  for (int32_t J = 0; J < variableCount(); ++J) {
    if (!hasFreeScores(J)) {
      continue;
    }
    const int32_t k = variableCategoryCount(J);
    target.assign(static_cast<std::size_t>(std::max(k, 0)), 0.0);
    for (int32_t d = 0; d < P; ++d) {
      const double a = loadings[std::ptrdiff_t{J} * P + d];
      const double* y = categoryQuantifications.data() + d * S + blockStart(J);
      for (int32_t c = 0; c < k; ++c) {
        target[c] = a * y[c] + target[c];
      }
    }
    const double* D = categoryMarginals.data() + blockStart(J);
    if (isOrdinal(J)) {
      monotoneRegression(k, D, target.data(), work);
    }
    double mean = 0.0, weight = 0.0;
    for (int32_t c = 0; c < k; ++c) {
      mean += D[c] * target[c];
      weight += D[c];
    }
    mean /= weight;
    double squares = 0.0;
    for (int32_t c = 0; c < k; ++c) {
      squares += D[c] * (target[c] - mean) * (target[c] - mean);
    }
    if (squares > 0.0 && std::isfinite(squares)) {
      standardiseQuantification(k, totalMarginal, D, target.data());
      std::copy(target.begin(), target.end(), singleQuantifications.begin() + blockStart(J));
    }
  }
}

void normaliseSingleQuantifications(std::span<const double> categoryMarginals,
                                    std::span<double> singleQuantifications, double totalMarginal) {
  for (int32_t J = 0; J < variableCount(); ++J) {
    if (hasFreeScores(J)) {
      standardiseQuantification(variableCategoryCount(J), totalMarginal,
                                categoryMarginals.data() + blockStart(J),
                                singleQuantifications.data() + blockStart(J));
    }
  }
}

void imposeRankOne(std::span<const double> singleQuantifications, std::span<const double> loadings,
                   std::span<double> categoryQuantifications) {
  const int32_t P = analysisSettings.dimensionCount;
  const std::ptrdiff_t S = slotCount();
  for (int32_t d = 0; d < P; ++d) {
    for (int32_t J = 0; J < variableCount(); ++J) {
      if (!isSingle(J)) {
        continue;
      }
      const double a = loadings[std::ptrdiff_t{J} * P + d];
      const double* z = singleQuantifications.data() + blockStart(J);
      double* y = categoryQuantifications.data() + d * S + blockStart(J);
      for (int32_t c = 0; c < variableCategoryCount(J); ++c) {
        y[c] = a * z[c];
      }
    }
  }
}

}  // namespace tallowmere
