// The normalisation steps of the outer iteration as the driver runs them, private to the engine:
// with the run's workspace instead of per-call scratch, and fused with the object pass where that
// saves passes (object_passes.h). Together they do exactly what evaluateIteration,
// centreObjectScores and orthonormaliseObjectScores do in turn, with every sum receiving the same
// terms in the same order. All defined in normalisation.cpp.
#pragma once

#include <cstdint>
#include <span>

#include "iteration_plan.h"

namespace tallowmere {

// Eigenvalue q_d / t of every dimension (P = eigenvalues.size()), their sum, and the smallest
// weighted cosine q_d / sqrt(t r_d), from q_d = <new, old>_m and r_d = <new, new>_m, as
// evaluateIteration reports them.
void summariseProducts(const double* crossProducts, const double* newLengths,
                       std::span<double> eigenvalues, double& fit, double& minimumCosine,
                       double totalMarginal);

// The eigenvalues, fit and minimum cosine from the sums, as evaluateIteration reports them.
void summariseEvaluation(const EvaluationSums& sums, std::span<double> eigenvalues, double& fit,
                         double& minimumCosine, double totalMarginal);

// Centres X with the means sums.centreSums / t, then orthonormalises it.
void centreAndOrthonormalise(const Problem& problem, std::span<double> objectScores,
                             std::span<const double> objectMarginals, double totalMarginal,
                             const EvaluationSums& sums);

}  // namespace tallowmere
