// Steps of the outer iteration that the driver runs fused, private to the engine. Together they
// do exactly what computeObjectAverages, evaluateIteration, centreObjectScores and
// orthonormaliseObjectScores do in turn, with every sum receiving the same terms in the same
// order, in fewer passes over the objects.
#pragma once

#include <cstdint>
#include <span>

#include "iteration_plan.h"

namespace tallowmere {

// Per-dimension sums of one fused pass: <new, old>_m, <new, new>_m and sum_i m_i new_i.
struct EvaluationSums {
  double crossProducts[maxFixedDimensions];
  double newLengths[maxFixedDimensions];
  double centreSums[maxFixedDimensions];
};

// Whether the fused pass handles the current dimension count (1 .. maxFixedDimensions).
bool canAverageAndEvaluate();

// Computes the object averages from Y and replaces X by them, accumulating the sums that
// evaluation and centring need; X~ itself is never stored.
void averageAndEvaluate(std::span<const int32_t> objectWeights,
                        std::span<const double> objectMarginals,
                        std::span<const double> categoryQuantifications,
                        std::span<double> objectScores, EvaluationSums& sums);

// Eigenvalue q_d / t of every dimension, their sum, and the smallest weighted cosine
// q_d / sqrt(t r_d), from q_d = <new, old>_m and r_d = <new, new>_m (P values each), as
// evaluateIteration reports them.
void summariseProducts(const double* crossProducts, const double* newLengths,
                       std::span<double> eigenvalues, double& fit, double& minimumCosine,
                       double totalMarginal);

// The eigenvalues, fit and minimum cosine from the sums, as evaluateIteration reports them.
void summariseEvaluation(const EvaluationSums& sums, std::span<double> eigenvalues, double& fit,
                         double& minimumCosine, double totalMarginal);

// Centres X with the means sums.centreSums / t, then orthonormalises it.
void centreAndOrthonormalise(std::span<double> objectScores,
                             std::span<const double> objectMarginals, double totalMarginal,
                             const EvaluationSums& sums);

}  // namespace tallowmere
