// The analysis as the typed Java API runs it: the same alternating least squares as runAnalysis,
// stopped when the solution's subspace has settled rather than its fit, and finished by a
// rotation to principal axes so that every dimension, not only their sum, is the solution's.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis_settings.h"
#include "run_report.h"

namespace tallowmere {

struct SolutionOptions {
  // The run stops once the estimated distance of its subspace from the limit is at most this
  // (dimensionless: sines of the angles between subspaces). 0 or NaN: only the tests below.
  double subspaceTolerance = 1e-8;
  // Heavy-ball acceleration (momentum.h) when every active variable is multiple and the subspace
  // is tracked.
  bool accelerate = true;
};

// Layouts as in analysis_settings.h (S = slotCount(), all variables, active then passive):
//   objectScores            P x N  [d * N + i]; objects without weight or without a valid
//                                   active code have no meaningful score
//   categoryQuantifications P x S  [d * S + slot]; rank-one a_Jd z_J for single variables
//   categoryCentroids       P x S  [d * S + slot]; weighted means of the object scores
//   loadings                (M1 + M2) x P  [J * P + d]; written for single variables only
//   eigenvalues             P      decreasing
struct Solution {
  std::vector<double> objectScores;
  std::vector<double> categoryQuantifications;
  std::vector<double> categoryCentroids;
  std::vector<double> loadings;
  std::vector<double> eigenvalues;
  RunReport report;
};

// Runs the analysis described by `settings` (every field used as runAnalysis uses it, except
// that fitTolerance and cosineTolerance take part only when they are not NaN, and a NaN fit ends
// the run) and fills `solution`:
// - objects without a valid active code weigh 0, so that they shape no passive category;
// - after the loop the object scores are normalised once more; the centroids of every variable
//   are taken from them, and the loadings of single variables recomputed from those centroids;
// - the solution is rotated to principal axes: with R = sum over active variables of
//   Q_j' D_j Y_j (Q the quantifications, Y the centroids; R is symmetric), object scores,
//   centroids, quantifications and loadings are multiplied by the eigenvectors of R, ordered by
//   decreasing eigenvalue, and eigenvalue d of the analysis is that of R divided by t;
// - the sign of each dimension is set so that, among the active categories with weight, the
//   first (in variable and category order) whose quantification is within a relative 10^-6 of
//   the largest absolute one is positive.
// Not reentrant, like runAnalysis. Throws std::bad_alloc when the buffers cannot be allocated.
void computeSolution(const AnalysisSettings& settings, const SolutionOptions& options,
                     Solution& solution);

}  // namespace tallowmere
