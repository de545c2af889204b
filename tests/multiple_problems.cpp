#include "multiple_problems.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <vector>

namespace tallowmere::testing {

int32_t uniform(std::mt19937& rng, int32_t low, int32_t high) {
  return std::uniform_int_distribution<int32_t>(low, high)(rng);
}

Problem randomAnalysis(std::mt19937& rng, const AnalysisShape& shape) {
  Problem p;
  p.objectCount = uniform(rng, shape.minObjects, shape.maxObjects);
  p.maxCategories = uniform(rng, 2, shape.maxCategories);
  p.dimensionCount = uniform(rng, 1, 3);
  p.innerIterations = shape.innerIterations >= 0 ? shape.innerIterations : uniform(rng, 0, 2);
  const int32_t active = uniform(rng, shape.minActive, shape.maxActive);
  const int32_t passive = uniform(rng, 0, shape.maxPassive);
  p.dataStride = active + passive + 1;
  p.useWeights = true;
  p.weightColumn = active + passive;
  for (int32_t J = 0; J < active + passive; ++J) {
    const bool isActive = J < active;
    (isActive ? p.activeColumns : p.passiveColumns).push_back(J);
    (isActive ? p.activeCategoryCounts : p.passiveCategoryCounts)
        .push_back(uniform(rng, 2, p.maxCategories));
    (isActive ? p.activeSingle : p.passiveSingle)
        .push_back(isActive && !shape.activeSingles ? 0 : uniform(rng, 0, 1));
    (isActive ? p.activeLevels : p.passiveLevels).push_back(uniform(rng, 0, 2));
  }
  p.data.resize(std::size_t(p.objectCount) * p.dataStride);
  for (std::ptrdiff_t i = 0; i < p.objectCount; ++i) {
    int32_t* row = p.data.data() + i * p.dataStride;
    for (int32_t J = 0; J < active + passive; ++J) {
      const bool missing = uniform(rng, 0, 9) == 0;
      row[J] = missing ? (shape.negativeMissing ? uniform(rng, -1, 0) : 0)
                       : uniform(rng, 1, p.categoryCount(J));
    }
    row[p.weightColumn] = uniform(rng, 0, 4);
  }
  p.fitTolerance = std::numeric_limits<double>::quiet_NaN();
  p.cosineTolerance = std::numeric_limits<double>::quiet_NaN();
  return p;
}

Problem randomMultiple(std::mt19937& rng, int32_t objects) {
  return randomAnalysis(rng, {.minObjects = objects,
                              .maxObjects = objects,
                              .maxCategories = 5,
                              .minActive = 3,
                              .maxActive = 6,
                              .maxPassive = 2,
                              .activeSingles = false,
                              .innerIterations = 2,
                              .negativeMissing = false});
}

Problem twinProblem(std::mt19937& rng, int32_t changedWeights, int32_t rows, int32_t half,
                    int32_t K) {
  std::vector<int32_t> codes(std::size_t(rows) * half);
  const auto normal = [](std::mt19937& g) { return roughlyNormal(g); };
  for (int32_t r = 0; r < rows; ++r) {
    const double trait = normal(rng);
    for (int32_t j = 0; j < half; ++j) {
      const double value = trait + normal(rng);
      codes[r * half + j] = std::clamp(static_cast<int32_t>((value + 1.5) / 3.0 * K) + 1, 1, K);
    }
  }
  Problem p;
  p.objectCount = rows * rows;
  p.maxCategories = K;
  p.dimensionCount = uniform(rng, 0, 1) == 0 ? 1 : 3;
  p.dataStride = 2 * half + 1;
  p.useWeights = true;
  p.weightColumn = 2 * half;
  for (int32_t J = 0; J < 2 * half; ++J) {
    p.activeColumns.push_back(J);
    p.activeCategoryCounts.push_back(K);
    p.activeSingle.push_back(0);
    p.activeLevels.push_back(0);
  }
  for (int32_t a = 0; a < rows; ++a) {
    for (int32_t b = 0; b < rows; ++b) {
      for (int32_t j = 0; j < half; ++j) {
        p.data.push_back(codes[a * half + j]);
      }
      for (int32_t j = 0; j < half; ++j) {
        p.data.push_back(codes[b * half + j]);
      }
      p.data.push_back(2);
    }
  }
  for (int32_t c = 0; c < changedWeights; ++c) {
    const std::ptrdiff_t object = uniform(rng, 0, p.objectCount - 1);
    p.data[object * p.dataStride + p.weightColumn] += uniform(rng, 0, 1) * 2 - 1;
  }
  p.fitTolerance = std::numeric_limits<double>::quiet_NaN();
  p.cosineTolerance = std::numeric_limits<double>::quiet_NaN();
  return p;
}

Solution solve(const Problem& p, Solver solver, double tolerance, double categorySpaceWork,
               bool warmStart, bool regress) {
  SolutionOptions options;
  options.regressRankOne = regress;
  options.solver = solver;
  options.subspaceTolerance = tolerance;
  options.categorySpaceWork = categorySpaceWork;
  options.warmStart = warmStart;
  return solveTyped(p, options);
}

}  // namespace tallowmere::testing
