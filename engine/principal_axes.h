// Rotation of a finished solution to principal axes, and the sign of each dimension. Private to
// the engine; the conventions are stated with computeSolution (analysis_solution.h).
#pragma once

#include <span>

#include "problem.h"

namespace tallowmere {

// Rotates scores (P x scoreCount: the object scores, P x N, or the category-space scores Z,
// P x S1, category_space.h), centroids and quantifications (P x S) and loadings
// ((M1 + M2) x P) to the eigenvectors of R = sum over the active slots of D q y' (q the
// quantifications, y the centroids), in decreasing order of eigenvalue, and writes the
// eigenvalues of R divided by t. Leaves everything unrotated, with NaN eigenvalues, when R is not
// finite.
void rotateToPrincipalAxes(const Problem& problem, std::span<const double> categoryMarginals,
                           double totalMarginal, std::span<double> scores,
                           std::ptrdiff_t scoreCount, std::span<double> categoryCentroids,
                           std::span<double> categoryQuantifications, std::span<double> loadings,
                           std::span<double> eigenvalues);

// The diagonal of R divided by t: each dimension's eigenvalue as it stands, unrotated.
void dimensionEigenvalues(const Problem& problem, std::span<const double> categoryMarginals,
                          double totalMarginal, std::span<const double> categoryCentroids,
                          std::span<const double> categoryQuantifications,
                          std::span<double> eigenvalues);

// Flips dimensions so that the first active category with weight whose quantification is within
// a relative 10^-6 of the largest absolute one is positive; scores as for the rotation.
void fixDimensionSigns(const Problem& problem, std::span<const double> categoryMarginals,
                       std::span<double> scores, std::ptrdiff_t scoreCount,
                       std::span<double> categoryCentroids,
                       std::span<double> categoryQuantifications, std::span<double> loadings);

}  // namespace tallowmere
