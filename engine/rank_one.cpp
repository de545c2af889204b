// Single (rank-one) variables: one score per category, z_J, and one loading per dimension,
// a_J, with quantifications y_Jd = a_Jd * z_J. Nominal z_J are free, ordinal ones monotone,
// numerical ones fixed at their standardised category numbers.
#include <algorithm>
#include <cmath>
#include <vector>

#include "engine.h"

namespace tallowmere {

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

void initialiseSingleQuantifications(const Problem& problem,
                                     std::span<const double> categoryMarginals,
                                     std::span<double> singleQuantifications,
                                     double totalMarginal) {
  for (int32_t J = 0; J < problem.variableCount(); ++J) {
    double* z = singleQuantifications.data() + problem.slotStart[J];
    const double* values = problem.variables[J].values;
    for (std::ptrdiff_t c = 0; c < problem.blockSize(J); ++c) {
      z[c] = values != nullptr && c < problem.categories(J) ? values[c] : static_cast<double>(c);
    }
  }
  for (int32_t J = 0; J < problem.variableCount(); ++J) {
    standardiseQuantification(problem.variables[J].categoryCount, totalMarginal,
                              categoryMarginals.data() + problem.slotStart[J],
                              singleQuantifications.data() + problem.slotStart[J]);
  }
}

void computeLoadings(const Problem& problem, std::span<const double> categoryMarginals,
                     std::span<const double> categoryQuantifications,
                     std::span<const double> singleQuantifications, std::span<double> loadings,
                     double totalMarginal) {
  const int32_t P = problem.dimensionCount;
  const std::ptrdiff_t S = problem.slotCount;
  for (int32_t d = 0; d < P; ++d) {
    for (int32_t J = 0; J < problem.variableCount(); ++J) {
      if (!problem.isSingle(J)) {
        continue;
      }
      const double* D = categoryMarginals.data() + problem.slotStart[J];
      const double* z = singleQuantifications.data() + problem.slotStart[J];
      const double* y = categoryQuantifications.data() + d * S + problem.slotStart[J];
      double sum = 0.0;
      for (int32_t c = 0; c < problem.variables[J].categoryCount; ++c) {
        sum = sum + (D[c] * z[c]) * y[c];
      }
      loadings[std::ptrdiff_t{J} * P + d] = sum / totalMarginal;
    }
  }
}

void accumulateSingleQuantifications(const Problem& problem,
                                     std::span<const double> categoryQuantifications,
                                     std::span<const double> loadings,
                                     std::span<double> singleQuantifications) {
  const int32_t P = problem.dimensionCount;
  const std::ptrdiff_t S = problem.slotCount;
  for (int32_t d = 0; d < P; ++d) {
    for (int32_t J = 0; J < problem.variableCount(); ++J) {
      if (!problem.hasFreeScores(J)) {
        continue;
      }
      const double a = loadings[std::ptrdiff_t{J} * P + d];
      const double* y = categoryQuantifications.data() + d * S + problem.slotStart[J];
      double* z = singleQuantifications.data() + problem.slotStart[J];
      for (int32_t c = 0; c < problem.variables[J].categoryCount; ++c) {
        z[c] = a * y[c] + z[c];
      }
    }
  }
}

void regressSingleQuantifications(const Problem& problem, std::span<const double> categoryMarginals,
                                  std::span<const double> categoryQuantifications,
                                  std::span<const double> loadings,
                                  std::span<double> singleQuantifications, double totalMarginal,
                                  RegressionWorkspace& work) {
  const int32_t P = problem.dimensionCount;
  const std::ptrdiff_t S = problem.slotCount;
  std::vector<double> target;
  for (int32_t J = 0; J < problem.variableCount(); ++J) {
    if (!problem.hasFreeScores(J)) {
      continue;
    }
    const int32_t k = problem.variables[J].categoryCount;
    target.assign(static_cast<std::size_t>(std::max(k, 0)), 0.0);
    for (int32_t d = 0; d < P; ++d) {
      const double a = loadings[std::ptrdiff_t{J} * P + d];
      const double* y = categoryQuantifications.data() + d * S + problem.slotStart[J];
      for (int32_t c = 0; c < k; ++c) {
        target[c] = a * y[c] + target[c];
      }
    }
    const double* D = categoryMarginals.data() + problem.slotStart[J];
    if (problem.isOrdinal(J)) {
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
      std::copy(target.begin(), target.end(), singleQuantifications.begin() + problem.slotStart[J]);
    }
  }
}

void normaliseSingleQuantifications(const Problem& problem,
                                    std::span<const double> categoryMarginals,
                                    std::span<double> singleQuantifications, double totalMarginal) {
  for (int32_t J = 0; J < problem.variableCount(); ++J) {
    if (problem.hasFreeScores(J)) {
      standardiseQuantification(problem.variables[J].categoryCount, totalMarginal,
                                categoryMarginals.data() + problem.slotStart[J],
                                singleQuantifications.data() + problem.slotStart[J]);
    }
  }
}

void imposeRankOne(const Problem& problem, std::span<const double> singleQuantifications,
                   std::span<const double> loadings, std::span<double> categoryQuantifications) {
  const int32_t P = problem.dimensionCount;
  const std::ptrdiff_t S = problem.slotCount;
  for (int32_t d = 0; d < P; ++d) {
    for (int32_t J = 0; J < problem.variableCount(); ++J) {
      if (!problem.isSingle(J)) {
        continue;
      }
      const double a = loadings[std::ptrdiff_t{J} * P + d];
      const double* z = singleQuantifications.data() + problem.slotStart[J];
      double* y = categoryQuantifications.data() + d * S + problem.slotStart[J];
      for (int32_t c = 0; c < problem.variables[J].categoryCount; ++c) {
        y[c] = a * z[c];
      }
    }
  }
}

}  // namespace tallowmere
