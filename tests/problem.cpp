#include "problem.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace tallowmere::testing {

int32_t Problem::column(int32_t J) const {
  return J < activeCount() ? activeColumns[J] : passiveColumns[J - activeCount()];
}
int32_t Problem::categoryCount(int32_t J) const {
  return J < activeCount() ? activeCategoryCounts[J] : passiveCategoryCounts[J - activeCount()];
}
int32_t Problem::single(int32_t J) const {
  return J < activeCount() ? activeSingle[J] : passiveSingle[J - activeCount()];
}
int32_t Problem::level(int32_t J) const {
  return J < activeCount() ? activeLevels[J] : passiveLevels[J - activeCount()];
}

std::vector<double> Problem::objectWeights() const {
  if (!realWeights.empty()) {
    return realWeights;
  }
  std::vector<double> weights(objectCount, 1.0);
  if (useWeights) {
    for (std::ptrdiff_t i = 0; i < objectCount; ++i) {
      weights[i] = data[i * dataStride + weightColumn];
    }
  }
  return weights;
}

AnalysisSettings Problem::settings() const {
  return {.dimensionCount = dimensionCount,
          .dataStride = dataStride,
          .objectCount = objectCount,
          .maxCategories = maxCategories,
          .maxIterations = maxIterations,
          .innerIterations = innerIterations,
          .activeCount = activeCount(),
          .passiveCount = passiveCount(),
          .weightColumn = weightColumn,
          .timing = false,
          .useWeights = useWeights,
          .writeObjectScores = writeObjectScores,
          .activeColumns = activeColumns.data(),
          .passiveColumns = passiveColumns.data(),
          .activeCategoryCounts = activeCategoryCounts.data(),
          .passiveCategoryCounts = passiveCategoryCounts.data(),
          .activeSingle = activeSingle.data(),
          .passiveSingle = passiveSingle.data(),
          .activeLevels = activeLevels.data(),
          .passiveLevels = passiveLevels.data(),
          .data = data.data(),
          .fitTolerance = fitTolerance,
          .cosineTolerance = cosineTolerance};
}

tallowmere::Problem Problem::typedProblem(bool interleaved) const {
  std::vector<int32_t> order;
  for (int32_t J = 0; J < variableCount(); ++J) {
    order.push_back(J);
  }
  if (interleaved) {
    // Passive variable q goes right after active variable q.
    order.clear();
    for (int32_t q = 0; q < std::max(activeCount(), passiveCount()); ++q) {
      if (q < activeCount()) {
        order.push_back(q);
      }
      if (q < passiveCount()) {
        order.push_back(activeCount() + q);
      }
    }
  }
  std::vector<Variable> variables;
  for (const int32_t J : order) {
    variables.push_back({.codes = {data.empty() ? nullptr : data.data() + column(J), dataStride},
                         .categoryCount = categoryCount(J),
                         .active = J < activeCount(),
                         .single = single(J),
                         .level = level(J)});
  }
  const CodeColumn weights = useWeights && !data.empty()
                                 ? CodeColumn{data.data() + weightColumn, dataStride}
                                 : CodeColumn{};
  tallowmere::Problem problem =
      makeProblem(objectCount, dimensionCount, std::move(variables), weights, SlotLayout::packed);
  if (!realWeights.empty()) {
    realWeightUnits = realWeights;
    weightUnits(realWeightUnits, problem.activeCount());
    problem.weightValues = realWeightUnits.data();
  }
  return problem;
}

SolutionOptions Problem::solutionOptions() const {
  return {.maxIterations = maxIterations,
          .innerIterations = innerIterations,
          .fitTolerance = fitTolerance,
          .cosineTolerance = cosineTolerance};
}

Solution solveTyped(const Problem& p, SolutionOptions options, bool interleaved) {
  options.maxIterations = p.maxIterations;
  options.innerIterations = p.innerIterations;
  options.fitTolerance = p.fitTolerance;
  options.cosineTolerance = p.cosineTolerance;
  Solution solution;
  computeSolution(p.typedProblem(interleaved), options, solution);
  return solution;
}

namespace {

int32_t uniform(std::mt19937& rng, int32_t low, int32_t high) {
  return std::uniform_int_distribution<int32_t>(low, high)(rng);
}

}  // namespace

Problem randomProblem(std::mt19937& rng, const RandomShape& shape) {
  Problem p;
  p.dimensionCount = uniform(rng, shape.minDimensions, shape.maxDimensions);
  p.objectCount = uniform(rng, 0, shape.maxObjects);
  p.maxCategories = uniform(rng, shape.minCategories, shape.maxCategories);
  const int32_t active = uniform(rng, 0, shape.maxActive);
  const int32_t passive = uniform(rng, 0, shape.maxPassive);
  // Columns are a shuffled subset of a row with some unused positions and a weight column.
  p.dataStride = active + passive + 1 + uniform(rng, 0, 2);
  std::vector<int32_t> columns(p.dataStride);
  std::iota(columns.begin(), columns.end(), 0);
  std::shuffle(columns.begin(), columns.end(), rng);
  p.weightColumn = columns.back();
  p.useWeights = uniform(rng, 0, 3) != 0;
  auto addVariable = [&](int32_t index, std::vector<int32_t>& cols, std::vector<int32_t>& counts,
                         std::vector<int32_t>& single, std::vector<int32_t>& levels) {
    cols.push_back(columns[index]);
    // Mostly full variables, sometimes fewer categories than slots, rarely none.
    const int32_t roll = uniform(rng, 0, 9);
    counts.push_back(roll == 0 ? 0 : roll < 4 ? uniform(rng, 1, p.maxCategories) : p.maxCategories);
    single.push_back(uniform(rng, 0, 2) == 0 ? 0 : 1);
    levels.push_back(uniform(rng, -1, 3));
  };
  for (int32_t j = 0; j < active; ++j) {
    addVariable(j, p.activeColumns, p.activeCategoryCounts, p.activeSingle, p.activeLevels);
  }
  for (int32_t j = 0; j < passive; ++j) {
    addVariable(active + j, p.passiveColumns, p.passiveCategoryCounts, p.passiveSingle,
                p.passiveLevels);
  }
  p.data.assign(std::size_t(p.objectCount) * p.dataStride, 0);
  for (std::ptrdiff_t i = 0; i < p.objectCount; ++i) {
    int32_t* row = p.data.data() + i * p.dataStride;
    for (int32_t c = 0; c < p.dataStride; ++c) {
      row[c] = uniform(rng, -5, 5);  // unused columns hold noise
    }
    for (int32_t J = 0; J < p.variableCount(); ++J) {
      const int32_t k = p.categoryCount(J);
      row[p.column(J)] = uniform(rng, 0, 7) == 0 ? uniform(rng, -2, 0) : uniform(rng, 0, k);
    }
    const int32_t weightRoll = uniform(rng, 0, 9);
    row[p.weightColumn] = weightRoll == 0 ? 0 : weightRoll == 1 ? -1 : uniform(rng, 1, 4);
  }
  return p;
}

std::vector<double> randomValues(std::mt19937& rng, std::size_t count, double low, double high) {
  std::uniform_real_distribution<double> value(low, high);
  std::vector<double> values(count);
  for (double& v : values) {
    v = value(rng);
  }
  return values;
}

double roughlyNormal(std::mt19937& rng) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  double sum = 0.0;
  for (int r = 0; r < 12; ++r) {
    sum += unit(rng);
  }
  return sum - 6.0;
}

Marginals engineMarginals(const Problem& problem) {
  Marginals marginals;
  marginals.object.assign(problem.objectCount, 0.0);
  marginals.category.assign(problem.slotCount(), 0.0);
  const std::vector<double> weights = problem.objectWeights();
  computeMarginals(problem.engineProblem(), weights, marginals.object, marginals.category,
                   marginals.total);
  return marginals;
}

}  // namespace tallowmere::testing

namespace tallowmere::testing {

::testing::AssertionResult sameBits(double actual, double expected) {
  if (std::memcmp(&actual, &expected, sizeof(double)) == 0) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << std::hexfloat << actual << " is not " << expected;
}

::testing::AssertionResult sameBits(const std::vector<double>& actual,
                                    const std::vector<double>& expected) {
  if (actual.size() != expected.size()) {
    return ::testing::AssertionFailure()
           << "size " << actual.size() << " is not " << expected.size();
  }
  for (std::size_t e = 0; e < actual.size(); ++e) {
    if (!sameBits(actual[e], expected[e])) {
      return ::testing::AssertionFailure()
             << "element " << e << ": " << std::hexfloat << actual[e] << " is not " << expected[e];
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace tallowmere::testing

namespace tallowmere::testing {

RunTables::RunTables(std::size_t objectRowCount, std::size_t categoryRowCount, std::size_t width)
    : objectRows(objectRowCount, std::vector<double>(width, sentinel)),
      categoryRows(categoryRowCount, std::vector<double>(width, sentinel)) {
  for (auto& row : objectRows) {
    objectPointers.push_back(row.data());
  }
  for (auto& row : categoryRows) {
    categoryPointers.push_back(row.data());
  }
}

RunTables RunTables::sizedFor(const Problem& problem, std::size_t extra) {
  std::size_t categoryRows = 1;
  for (int32_t k : problem.activeCategoryCounts) {
    categoryRows += k > 0 ? k : 0;
  }
  const std::size_t objects = problem.objectCount > 0 ? problem.objectCount : 0;
  const std::size_t width = problem.dimensionCount > 0 ? problem.dimensionCount : 0;
  return RunTables(objects + 1 + extra, categoryRows + extra, width + 1 + extra);
}

RunReport runProblem(const Problem& p, RunTables& tables) {
  return runAnalysisReporting(p.settings(), tables.objectPointers.data(),
                              tables.categoryPointers.data());
}

::testing::AssertionResult sameTables(const RunTables& actual, const RunTables& expected) {
  const auto compare = [](const char* name, const std::vector<std::vector<double>>& a,
                          const std::vector<std::vector<double>>& b) {
    if (a.size() != b.size()) {
      return ::testing::AssertionFailure() << name << " rows differ in number";
    }
    for (std::size_t r = 0; r < a.size(); ++r) {
      if (auto same = sameBits(a[r], b[r]); !same) {
        return same << " in " << name << " row " << r;
      }
    }
    return ::testing::AssertionSuccess();
  };
  if (auto same = compare("object table", actual.objectRows, expected.objectRows); !same) {
    return same;
  }
  return compare("category table", actual.categoryRows, expected.categoryRows);
}

}  // namespace tallowmere::testing
