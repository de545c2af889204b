// Whole runs: the random start, the stopping tests, reproducibility and the export layout.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "dataset.h"
#include "engine.h"
#include "plain_loops.h"
#include "problem.h"

namespace tallowmere {
namespace {

using testing::Problem;
using testing::RunTables;
using testing::sameBits;
using testing::sameTables;
using testing::sentinel;

using plain::runIterations;
using plain::Trace;

Trace traceOf(const Problem& p, int iterations) {
  RunTables tables = RunTables::sizedFor(p);
  return runIterations(p, iterations, tables);
}

// runAnalysis must give the tables of exactly `iterations` hand-composed iterations, and say so
// in its report.
::testing::AssertionResult stopsAfter(const Problem& p, int iterations) {
  RunTables actual = RunTables::sizedFor(p, 1), expected = RunTables::sizedFor(p, 1);
  const RunReport report = testing::runProblem(p, actual);
  runIterations(p, iterations, expected);
  if (report.iterations != iterations) {
    return ::testing::AssertionFailure() << "the report counts " << report.iterations;
  }
  return sameTables(actual, expected);
}

StopReason stopReasonOf(const Problem& p) {
  RunTables tables = RunTables::sizedFor(p);
  return testing::runProblem(p, tables).stopReason;
}

Problem hairEyeColour() {
  Problem p = testing::datasetProblem("haireyecolor-persons", 2);
  p.fitTolerance = -1.0;
  p.cosineTolerance = -1.0;
  return p;
}

TEST(RandomStart, FirstSixDraws) {
  std::vector<double> x(6, -1.0);
  uint32_t state = 99;
  drawRandomStart(x, state);
  EXPECT_EQ(x, (std::vector<double>{130, 10982, 1090, 11656, 7117, 17595}));
  // Nothing to draw: the state is still reset.
  drawRandomStart({}, state);
  EXPECT_EQ(state, 22695478u);
  // The native method's run leaves the process-wide state at its last draw.
  Problem p = hairEyeColour();
  p.maxIterations = 1;
  RunTables tables = RunTables::sizedFor(p);
  randomState = 7;
  testing::runProblem(p, tables);
  std::vector<double> draws(std::size_t(p.objectCount) * p.dimensionCount);
  drawRandomStart(draws, state);
  EXPECT_EQ(randomState, state);
}

TEST(Stopping, IterationBoundIsExact) {
  for (int bound : {1, 2, 7}) {
    Problem p = hairEyeColour();
    p.maxIterations = bound;
    EXPECT_TRUE(stopsAfter(p, bound)) << bound;
    EXPECT_FALSE(stopsAfter(p, bound + 1)) << bound;
    EXPECT_EQ(stopReasonOf(p), StopReason::iterationBound);
  }
}

TEST(Stopping, FirstFitIsComparedWithActiveCount) {
  Problem p = hairEyeColour();
  p.maxIterations = 50;
  const Trace trace = traceOf(p, 2);
  const double firstChange = std::fabs(trace.fits[0] - p.activeCount());
  p.fitTolerance = firstChange + 1e-9;
  EXPECT_TRUE(stopsAfter(p, 1));
  // Just below the first change the run goes on, and the smaller second change ends it.
  p.fitTolerance = firstChange - 1e-9;
  ASSERT_LT(std::fabs(trace.fits[1] - trace.fits[0]), p.fitTolerance);
  EXPECT_TRUE(stopsAfter(p, 2));
}

// With a bound far off and without any (0 or below), the fit test alone ends the run.
TEST(Stopping, FitChangeBelowToleranceEndsTheRun) {
  Problem p = hairEyeColour();
  p.fitTolerance = 1e-9;
  const Trace trace = traceOf(p, 400);
  int expected = 0;
  double previous = p.activeCount();
  while (!(0x1p-52 > std::fabs(trace.fits[expected] - previous) - p.fitTolerance)) {
    previous = trace.fits[expected++];
  }
  ASSERT_GT(expected, 3);
  for (int bound : {400, 0, -1}) {
    p.maxIterations = bound;
    EXPECT_TRUE(stopsAfter(p, expected + 1)) << bound;
    EXPECT_EQ(stopReasonOf(p), StopReason::fitChange) << bound;
  }
}

TEST(Stopping, CosineToleranceOfOneEndsTheFirstIteration) {
  Problem p = hairEyeColour();
  p.maxIterations = 50;
  p.cosineTolerance = 1.0;
  const Trace trace = traceOf(p, 1);
  ASSERT_GE(trace.cosines[0], 0.0);
  EXPECT_TRUE(stopsAfter(p, 1));
  EXPECT_EQ(stopReasonOf(p), StopReason::cosine);
}

TEST(Stopping, NaNRunWithoutIterationBoundReturns) {
  // Three dimensions from two distinct objects: the third dimension's length is zero.
  Problem p;
  p.dimensionCount = 3;
  p.objectCount = 2;
  p.maxCategories = 2;
  p.dataStride = 1;
  p.activeColumns = {0};
  p.activeCategoryCounts = {2};
  p.activeSingle = {0};
  p.activeLevels = {0};
  p.data = {1, 2};
  p.maxIterations = 0;
  p.fitTolerance = -1.0;
  p.cosineTolerance = -1.0;
  const Trace trace = traceOf(p, 1);
  ASSERT_TRUE(std::isnan(trace.fits[0]));
  EXPECT_TRUE(stopsAfter(p, 1));
  EXPECT_EQ(stopReasonOf(p), StopReason::nanFit);
  // With a bound the run keeps its iteration count.
  p.maxIterations = 3;
  EXPECT_TRUE(stopsAfter(p, 3));
}

TEST(Run, RandomProblemsFollowTheStepsInOrder) {
  std::mt19937 rng(4242);
  for (int trial = 0; trial < 150; ++trial) {
    SCOPED_TRACE(trial);
    Problem p = testing::randomProblem(rng, {.maxDimensions = 10});
    p.maxIterations = 1 + trial % 4;
    p.innerIterations = trial % 3;
    p.fitTolerance = -1.0;
    p.cosineTolerance = -1.0;
    p.writeObjectScores = trial % 5 != 0;
    ASSERT_TRUE(stopsAfter(p, p.maxIterations));
  }
}

TEST(Run, ReproducibleWhateverRanBefore) {
  Problem first = testing::datasetProblem("esoph", 3);
  first.maxIterations = 40;
  Problem other = hairEyeColour();
  other.maxIterations = 3;
  RunTables a = RunTables::sizedFor(first), b = RunTables::sizedFor(first);
  RunTables between = RunTables::sizedFor(other);
  testing::runProblem(first, a);
  testing::runProblem(other, between);
  randomState = 12345;
  testing::runProblem(first, b);
  EXPECT_TRUE(sameTables(a, b));
}

TEST(Run, SingleFlagsIgnoredWithoutInnerIterations) {
  Problem multiple = testing::datasetProblem("esoph", 2);
  multiple.maxIterations = 20;
  Problem single = multiple;
  single.activeSingle = {1, 1, 1};
  single.activeLevels = {1, 2, 0};
  RunTables a = RunTables::sizedFor(multiple), b = RunTables::sizedFor(single);
  testing::runProblem(multiple, a);
  testing::runProblem(single, b);
  EXPECT_TRUE(sameTables(a, b));
}

TEST(Run, RankOneRunFollowsTheStepsInOrder) {
  Problem p = testing::datasetProblem("esoph", 2);
  p.maxIterations = 15;
  p.innerIterations = 2;
  p.activeSingle = {1, 1, 0};
  p.activeLevels = {1, 2, 0};
  EXPECT_TRUE(stopsAfter(p, 15));
}

TEST(Run, UnweightedRunNeverReadsTheWeightColumn) {
  Problem p = hairEyeColour();
  p.maxIterations = 2;
  p.useWeights = false;
  p.weightColumn = 1 << 30;  // any read lands far outside data
  EXPECT_TRUE(stopsAfter(p, 2));
}

TEST(Run, ObjectTableUntouchedWithoutWriteObjectScores) {
  Problem p = hairEyeColour();
  p.maxIterations = 2;
  p.writeObjectScores = false;
  RunTables tables = RunTables::sizedFor(p);
  testing::runProblem(p, tables);
  for (const auto& row : tables.objectRows) {
    EXPECT_TRUE(sameBits(row, std::vector<double>(row.size(), sentinel)));
  }
  EXPECT_EQ(tables.categoryRows[1][1] == sentinel, false);
}

// Export layout: K = 5, active k = (2, 0, 3), one passive variable; Y[d][slot] = 100 d + slot.
TEST(Export, CategoryRowsArePackedOverActiveVariables) {
  Problem p;
  p.dimensionCount = 2;
  p.maxCategories = 5;
  p.activeColumns = {0, 1, 2};
  p.activeCategoryCounts = {2, 0, 3};
  p.activeSingle = p.activeLevels = {0, 0, 0};
  p.passiveColumns = {3};
  p.passiveCategoryCounts = {4};
  p.passiveSingle = p.passiveLevels = {0};
  std::vector<double> Y(2 * 20);
  for (int d = 0; d < 2; ++d) {
    for (int slot = 0; slot < 20; ++slot) {
      Y[d * 20 + slot] = 100.0 * d + slot;
    }
  }
  RunTables tables(1, 9, 5);
  exportCategoryQuantifications(p.engineProblem(), Y, tables.categoryPointers.data());
  const double s = sentinel;
  const std::vector<std::vector<double>> expected = {
      {s, s, s, s, s},    {s, 0, 100, s, s},  {s, 1, 101, s, s},
      {s, 10, 110, s, s}, {s, 11, 111, s, s}, {s, 12, 112, s, s},
      {s, s, s, s, s},    {s, s, s, s, s},    {s, s, s, s, s}};
  for (std::size_t r = 0; r < expected.size(); ++r) {
    EXPECT_TRUE(sameBits(tables.categoryRows[r], expected[r])) << r;
  }
}

TEST(Export, ObjectRowsFollowObjectOrder) {
  Problem p;
  p.dimensionCount = 2;
  p.objectCount = 3;
  const std::vector<double> X = {0.5, 1.5, 2.5, -0.5, -1.5, -2.5};
  RunTables tables(5, 1, 4);
  exportObjectScores(p.engineProblem(), X, tables.objectPointers.data());
  const double s = sentinel;
  const std::vector<std::vector<double>> expected = {
      {s, s, s, s}, {s, 0.5, -0.5, s}, {s, 1.5, -1.5, s}, {s, 2.5, -2.5, s}, {s, s, s, s}};
  for (std::size_t r = 0; r < expected.size(); ++r) {
    EXPECT_TRUE(sameBits(tables.objectRows[r], expected[r])) << r;
  }
}

TEST(Export, NothingWithoutActiveVariablesOrObjects) {
  Problem p;
  p.dimensionCount = 2;
  p.objectCount = 0;
  RunTables tables(1, 1, 1);
  exportCategoryQuantifications(p.engineProblem(), {}, tables.categoryPointers.data());
  exportObjectScores(p.engineProblem(), {}, tables.objectPointers.data());
  EXPECT_EQ(tables.objectRows[0][0], sentinel);
  EXPECT_EQ(tables.categoryRows[0][0], sentinel);
}

}  // namespace
}  // namespace tallowmere
