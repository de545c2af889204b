// Test problems: a description of one analysis in the native method's terms, which tests turn into
// the engine's problem, and a generator of random ones that cover missing codes, zero and negative
// weights, empty categories, passive variables and single variables of every level.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "analysis_solution.h"
#include "engine.h"

namespace tallowmere::testing {

struct Problem {
  int32_t dimensionCount = 1;
  int32_t objectCount = 0;
  int32_t maxCategories = 1;
  int32_t dataStride = 0;
  int32_t maxIterations = 100;
  int32_t innerIterations = 0;
  int32_t weightColumn = 0;
  bool useWeights = false;
  bool writeObjectScores = true;
  double fitTolerance = 1e-10;
  double cosineTolerance = 1e-10;
  std::vector<int32_t> activeColumns, passiveColumns;
  std::vector<int32_t> activeCategoryCounts, passiveCategoryCounts;
  std::vector<int32_t> activeSingle, passiveSingle;
  std::vector<int32_t> activeLevels, passiveLevels;
  std::vector<int32_t> data;
  // Real weights for the typed entry point, in place of the weight column when not empty.
  std::vector<double> realWeights;

  int32_t activeCount() const { return static_cast<int32_t>(activeColumns.size()); }
  int32_t passiveCount() const { return static_cast<int32_t>(passiveColumns.size()); }
  int32_t variableCount() const { return activeCount() + passiveCount(); }
  std::ptrdiff_t slotCount() const { return std::ptrdiff_t{maxCategories} * variableCount(); }
  int32_t column(int32_t J) const;
  int32_t categoryCount(int32_t J) const;
  int32_t single(int32_t J) const;
  int32_t level(int32_t J) const;
  int32_t code(std::ptrdiff_t i, int32_t J) const { return data[i * dataStride + column(J)]; }
  std::vector<double> objectWeights() const;

  // Every field as the settings record of a run of this problem.
  AnalysisSettings settings() const;
  // The engine's problem as runAnalysis builds it from that record.
  tallowmere::Problem engineProblem() const { return problemFromSettings(settings()); }
  // The engine's problem as the typed entry point builds it: the same variables, in the same
  // order or (with `interleaved`) passive and active ones alternating where they can, in the
  // packed slot layout.
  tallowmere::Problem typedProblem(bool interleaved = false) const;
  // The units the typed entry point makes of realWeights (weightUnits), which typedProblem reads.
  mutable std::vector<double> realWeightUnits;
  // The typed run's options that this problem's fields set.
  SolutionOptions solutionOptions() const;
};

// The engine's problem of a test problem, as runAnalysis builds it, with a plan and workspace for
// calling the steps one at a time. Points into the test problem's data, which must outlive it.
struct EngineSteps {
  tallowmere::Problem problem;
  IterationPlan plan;
  Workspace work;

  explicit EngineSteps(const Problem& p, const PlanOptions& options = {})
      : problem(p.engineProblem()) {
    buildIterationPlan(problem, plan, work, options);
  }
};

// computeSolution on the problem as the typed entry point gives it (typedProblem), with the
// problem's iteration bound, rounds of the rank-one step and tolerances over `options`.
Solution solveTyped(const Problem& p, SolutionOptions options, bool interleaved = false);

struct RandomShape {
  int32_t maxObjects = 40;
  int32_t maxActive = 4;
  int32_t maxPassive = 3;
  int32_t maxCategories = 5;
  int32_t maxDimensions = 3;
  int32_t minCategories = 1;
  int32_t minDimensions = 1;
};

Problem randomProblem(std::mt19937& rng, const RandomShape& shape = {});

std::vector<double> randomValues(std::mt19937& rng, std::size_t count, double low = -1.0,
                                 double high = 1.0);

// A draw of mean 0 and variance 1, close to normal: the sum of 12 uniform draws less 6.
// std::normal_distribution calls the C library's logarithm, whose last bits differ between
// machines, and test problems must be the same everywhere.
double roughlyNormal(std::mt19937& rng);

// Marginals of a problem, computed by the engine.
struct Marginals {
  std::vector<double> object, category;
  double total = 0.0;
};
Marginals engineMarginals(const Problem& problem);

}  // namespace tallowmere::testing

#include <gtest/gtest.h>

namespace tallowmere::testing {

// Bitwise equality of two arrays of doubles (NaNs compare by their bits), naming the first
// differing element.
::testing::AssertionResult sameBits(const std::vector<double>& actual,
                                    const std::vector<double>& expected);
::testing::AssertionResult sameBits(double actual, double expected);

}  // namespace tallowmere::testing

namespace tallowmere::testing {

// A caller's two result tables as rows of doubles, every cell first set to a sentinel, with
// the row-pointer arrays the engine writes through.
struct RunTables {
  std::vector<std::vector<double>> objectRows, categoryRows;
  std::vector<double*> objectPointers, categoryPointers;

  RunTables(std::size_t objectRowCount, std::size_t categoryRowCount, std::size_t width);
  RunTables(const RunTables&) = delete;
  RunTables& operator=(const RunTables&) = delete;
  // Exactly the rows and columns the results need, plus `extra` rows and columns of margin.
  static RunTables sizedFor(const Problem& problem, std::size_t extra = 0);
};

inline constexpr double sentinel = -12345.625;

// runAnalysis on the problem's inputs; returns how the run ended.
RunReport runProblem(const Problem& problem, RunTables& tables);

// Bitwise comparison of two tables of the same shape.
::testing::AssertionResult sameTables(const RunTables& actual, const RunTables& expected);

}  // namespace tallowmere::testing
