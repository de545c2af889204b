// Synthetic survey-like data for the benchmarks: N objects, M categorical variables with K
// categories each, codes drawn with unequal category frequencies and about 3% missing.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "engine.h"

namespace tallowmere::bench {

struct SyntheticData {
  int32_t objectCount = 0;
  int32_t variableCount = 0;
  int32_t categories = 0;
  std::vector<int32_t> columns, categoryCounts, single, levels;
  std::vector<int32_t> data;  // row-major, stride variableCount + 1, weight in the last column
  int32_t stride() const { return variableCount + 1; }
};

inline SyntheticData makeSyntheticData(int32_t objects, int32_t variables, int32_t categories) {
  SyntheticData s;
  s.objectCount = objects;
  s.variableCount = variables;
  s.categories = categories;
  for (int32_t j = 0; j < variables; ++j) {
    s.columns.push_back(j);
    s.categoryCounts.push_back(categories);
    s.single.push_back(0);
    s.levels.push_back(0);
  }
  std::mt19937 rng(12345);
  // A latent trait links the variables, as in real questionnaires.
  std::normal_distribution<double> latent(0.0, 1.0);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  s.data.resize(std::size_t(objects) * s.stride());
  for (std::size_t i = 0; i < std::size_t(objects); ++i) {
    const double trait = latent(rng);
    int32_t* row = s.data.data() + i * s.stride();
    for (int32_t j = 0; j < variables; ++j) {
      if (unit(rng) < 0.03) {
        row[j] = 0;
        continue;
      }
      const double position = 0.5 * trait + latent(rng);
      const int32_t code = 1 + static_cast<int32_t>((position + 2.5) / 5.0 * categories);
      row[j] = code < 1 ? 1 : code > categories ? categories : code;
    }
    row[variables] = 1 + static_cast<int32_t>(unit(rng) * 3);
  }
  return s;
}

// The settings of a run on the synthetic data: every variable active, the weights from their
// column, object scores written.
inline AnalysisSettings settingsFor(const SyntheticData& in, int32_t dimensions,
                                    int32_t maxIterations, int32_t innerIterations,
                                    double fitTolerance, double cosineTolerance) {
  const int32_t M = in.variableCount;
  return {.dimensionCount = dimensions,
          .dataStride = in.stride(),
          .objectCount = in.objectCount,
          .maxCategories = in.categories,
          .maxIterations = maxIterations,
          .innerIterations = innerIterations,
          .activeCount = M,
          .passiveCount = 0,
          .weightColumn = M,
          .timing = false,
          .useWeights = true,
          .writeObjectScores = true,
          .activeColumns = in.columns.data(),
          .passiveColumns = nullptr,
          .activeCategoryCounts = in.categoryCounts.data(),
          .passiveCategoryCounts = nullptr,
          .activeSingle = in.single.data(),
          .passiveSingle = nullptr,
          .activeLevels = in.levels.data(),
          .passiveLevels = nullptr,
          .data = in.data.data(),
          .fitTolerance = fitTolerance,
          .cosineTolerance = cosineTolerance};
}

// The problem of the typed entry point on the synthetic data: every variable active and multiple
// unless `single` says otherwise, in the packed layout.
inline Problem typedProblemFor(const SyntheticData& in, int32_t dimensions) {
  std::vector<Variable> variables;
  for (int32_t j = 0; j < in.variableCount; ++j) {
    variables.push_back({.codes = {in.data.data() + j, in.stride()},
                         .categoryCount = in.categories,
                         .single = in.single[j],
                         .level = in.levels[j]});
  }
  return makeProblem(in.objectCount, dimensions, std::move(variables),
                     {in.data.data() + in.variableCount, in.stride()}, SlotLayout::packed);
}

}  // namespace tallowmere::bench
