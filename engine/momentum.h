// Heavy-ball acceleration of the alternating least squares iteration when it is linear (every
// active variable multiple). Each iteration multiplies the scores by the averaging-of-centroids
// operator, whose eigenvalues are the analysis's eigenvalues; the subspace of the first P of them
// then settles at the rate lambda_(P+1) / lambda_P, which is slow when they are close. The
// recurrence U_(k+1) = A U_k - beta U_(k-1), with beta = lambda_(P+1)^2 / 4, damps every
// eigenvalue up to lambda_(P+1) to the same modulus sqrt(beta) and keeps those above it growing
// faster, which turns a rate of 0.96 into one of about 0.75.
//
// The iteration keeps its normalised scores, so the recurrence is carried by the active
// quantifications instead: with Y_k the centroids of iteration k, the quantifications that are
// averaged become Y'_k = Y_k - beta Y'_(k-1) R^-1, where R = Y_k' D Y'_(k-1) / t is the
// transformation that the last centring and orthonormalisation applied to the averages of
// Y'_(k-1). All of it is S1 x P work; the passes over the objects do not change.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "problem.h"

namespace tallowmere {

struct SubspaceTracker;

struct Momentum {
  std::ptrdiff_t activeSlots = 0;
  std::ptrdiff_t dimensions = 0;
  // Layout of each: [d * activeSlots + slot].
  std::vector<double> previous;        // Y'_(k-1), the quantifications last averaged
  std::vector<double> representation;  // Q with H Q = the scores before the current ones
  std::vector<double> scratch, carried;
  bool hasPrevious = false;
  bool hasRepresentation = false;
  double beta = 0.0;    // 0 until lambda_(P+1) can be estimated
  int sinceChange = 0;  // iterations since beta last changed
  int growing = 0;      // successive iterations in which the subspace moved more than before
  double changeAtUpdate = 0.0;  // the subspace's move when beta last changed
  bool abandoned = false;
};

// Sizes the state for a problem; allocates, so call it before the loop.
void resetMomentum(const Problem& problem, Momentum& momentum);

// Whether the recurrence is accelerating the run now.
inline bool accelerating(const Momentum& momentum) {
  return momentum.beta > 0.0 && !momentum.abandoned;
}

// Ends the acceleration for the rest of the run.
inline void abandonMomentum(Momentum& momentum) {
  momentum.beta = 0.0;
  momentum.abandoned = true;
}

// Replaces the active centroids Y (P x S, dimension-major) of the current iteration by the
// quantifications of the accelerated recurrence. beta starts at 0 and is raised whenever the
// tracker's last three rates agree, from the lambda_(P+1) that they imply (estimateBeta), with
// lambda_P the smallest eigenvalue of Y' D Y / t. When the subspace then keeps moving more for 20
// iterations, or moves ten times as much as when beta last changed, beta goes back to 0 for good.
void applyMomentum(const Problem& problem, Momentum& momentum, const SubspaceTracker& tracker,
                   std::span<double> categoryQuantifications,
                   std::span<const double> categoryMarginals, double totalMarginal);

}  // namespace tallowmere
