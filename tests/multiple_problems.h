// Test problems whose active variables are all multiple, for the tests of the direct solution and
// of the runs it starts, and the typed run they are solved with.
#pragma once

#include <cstdint>
#include <random>

#include "analysis_solution.h"
#include "problem.h"

namespace tallowmere::testing {

int32_t uniform(std::mt19937& rng, int32_t low, int32_t high);

// Problems the typed API accepts: missing codes (0, or below with `negativeMissing`), weights of
// 0 to 4, categories without objects, passive variables single or multiple of every level, and
// active ones single too when `activeSingles` (rounds of the rank-one step: `innerIterations`, or
// 0 to 2 at random when it is negative).
struct AnalysisShape {
  int32_t minObjects, maxObjects;
  int32_t maxCategories;
  int32_t minActive, maxActive, maxPassive;
  bool activeSingles;
  int32_t innerIterations;
  bool negativeMissing;
};
Problem randomAnalysis(std::mt19937& rng, const AnalysisShape& shape);

// All active variables multiple, of 2 to 5 categories, with 3 to 6 active and up to 2 passive.
Problem randomMultiple(std::mt19937& rng, int32_t objects);

// Two groups of variables, the second a copy of the first, with every row of one group beside
// every row of the other: the groups are independent and alike, so that every eigenvalue of the
// analysis comes twice. Weights of 2, of which a few are then changed by one, part the pairs.
Problem twinProblem(std::mt19937& rng, int32_t changedWeights, int32_t rows = 14, int32_t half = 3,
                    int32_t K = 3);

// solveTyped with the given solver, subspace tolerance, cross-table work budget, warm start and
// monotone regression of the rank-one step.
Solution solve(const Problem& p, Solver solver, double tolerance = 1e-8,
               double categorySpaceWork = 0.0, bool warmStart = true, bool regress = true);

}  // namespace tallowmere::testing
