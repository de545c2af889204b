// Every step of a run written as plainly as it can be: loops in the order the sums are defined
// (dimension outermost, then variables, active before passive, then categories or objects), one
// accumulator at a time, codes read from the data matrix on every pass, work arrays allocated
// where they are needed. The engine's routines, however they are organised, must give these
// results bit for bit; nothing here calls the engine, so a fault there cannot hide in its own
// oracle. Every routine reads its counts and codes from the test's own description of the
// problem, in the layout of the native method's run: variables active first, K slots each.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine.h"
#include "problem.h"

namespace tallowmere::plain {

void computeMarginals(const testing::Problem& p, std::span<const double> objectWeights,
                      std::span<double> objectMarginals, std::span<double> categoryMarginals,
                      double& totalMarginal);
void computeCategoryCentroids(const testing::Problem& p, std::span<const double> objectWeights,
                              std::span<const double> categoryMarginals,
                              std::span<const double> objectScores,
                              std::span<double> categoryQuantifications);
void computeObjectAverages(const testing::Problem& p, std::span<const double> objectWeights,
                           std::span<const double> objectMarginals,
                           std::span<const double> categoryQuantifications,
                           std::span<double> objectAverages);
void centreObjectScores(const testing::Problem& p, std::span<double> objectScores,
                        std::span<const double> objectMarginals, double totalMarginal);
void orthonormaliseObjectScores(const testing::Problem& p, std::span<double> objectScores,
                                std::span<const double> objectMarginals, double totalMarginal);
void evaluateIteration(const testing::Problem& p, std::span<const double> objectMarginals,
                       std::span<double> objectScores, std::span<const double> objectAverages,
                       std::span<double> eigenvalues, double& fit, double& minimumCosine,
                       double totalMarginal);

// The rank-one steps, one variable at a time in matrix form (plain_rank_one.cpp).
void initialiseSingleQuantifications(const testing::Problem& p,
                                     std::span<const double> categoryMarginals,
                                     std::span<double> singleQuantifications, double totalMarginal);
// One inner iteration: a_J = Y_J' D_J z_J / t for every single variable; for nominal and
// ordinal ones z_J := standardised (monotone, when ordinal) z_J + Y_J a_J.
void innerIteration(const testing::Problem& p, std::span<const double> categoryMarginals,
                    std::span<const double> categoryQuantifications,
                    std::span<double> singleQuantifications, std::span<double> loadings,
                    double totalMarginal);
void imposeRankOne(const testing::Problem& p, std::span<const double> singleQuantifications,
                   std::span<const double> loadings, std::span<double> categoryQuantifications);
// Pool-adjacent-violators on a list of blocks: the leftmost violation first, then the scan
// starts again.
void monotoneRegression(int32_t categoryCount, const double* weights, double* values);

// The generator's draws from the state one step after 1, as integers 0 .. 32767.
void drawRandomStart(std::span<double> objectScores);

// A whole run of exactly `iterations` outer iterations, exported into the tables, with the fit
// and the smallest cosine of every iteration.
struct Trace {
  std::vector<double> fits, cosines;
};
Trace runIterations(const testing::Problem& problem, int iterations, testing::RunTables& tables);

}  // namespace tallowmere::plain
