// The hot steps of an iteration written exactly as their loops are stated: dimension
// outermost, then objects, then variables, one accumulator at a time, codes read from the data
// matrix on every pass. The engine's optimised routines must match them bit for bit.
#pragma once

#include <cstdint>
#include <span>

#include "engine.h"

namespace tallowmere::straightforward {

void computeCategoryCentroids(std::span<const int32_t> objectWeights,
                              std::span<const double> categoryMarginals,
                              std::span<const double> objectScores,
                              std::span<double> categoryQuantifications);
void computeObjectAverages(std::span<const int32_t> objectWeights,
                           std::span<const double> objectMarginals,
                           std::span<const double> categoryQuantifications,
                           std::span<double> objectAverages);
void centreObjectScores(std::span<double> objectScores, std::span<const double> objectMarginals,
                        double totalMarginal);
void orthonormaliseObjectScores(std::span<double> objectScores,
                                std::span<const double> objectMarginals, double totalMarginal);
void evaluateIteration(std::span<const double> objectMarginals, std::span<double> objectScores,
                       std::span<const double> objectAverages, std::span<double> eigenvalues,
                       double& fit, double& minimumCosine, double totalMarginal);

}  // namespace tallowmere::straightforward
