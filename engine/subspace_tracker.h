// Convergence of the solution's subspace. Rotating the object scores within the subspace they
// span leaves the fit unchanged, so the fit settles long before the subspace does, and the
// dimensions themselves only come out right once the subspace is right and then rotated to
// principal axes. The tracker follows the subspace through the active category centroids of
// every iteration (they span its image in category space, a table of S1 x P values), and
// estimates how far it still is from its limit.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "problem.h"

namespace tallowmere {

struct SubspaceTracker {
  // Layout: D-orthonormal bases of the active slots, [d * activeSlots + slot].
  std::ptrdiff_t activeSlots = 0;
  std::ptrdiff_t dimensions = 0;
  std::vector<double> previous, current;
  std::vector<double> residual;  // activeSlots doubles of scratch
  bool hasPrevious = false;
  // Sizes of the last changes and the ratios of successive ones, newest last.
  double lastChange = 0.0;
  double changes[3] = {};  // the last three, newest last
  double ratios[3] = {};
  int ratioCount = 0;
  // Estimated distance of the current subspace from its limit (+inf while unknown).
  double distance = 0.0;
};

// Sizes the tracker for a problem; allocates, so call it before the loop.
void resetSubspaceTracker(const Problem& problem, SubspaceTracker& tracker);

// Forgets the changes and rates seen so far (the subspace stays): the distance is unknown again
// until three new rates are in.
void forgetRates(SubspaceTracker& tracker);

// Takes the active centroids of an iteration (Y, P x S dimension-major) with their marginals D:
// measures the change of their span from the previous iteration's, in the metric of D, and
// updates the estimated distance from the limit as change / (1 - rate), with the rate of
// convergence estimated from the ratios of the last changes.
void observeSubspace(const Problem& problem, SubspaceTracker& tracker,
                     std::span<const double> categoryQuantifications,
                     std::span<const double> categoryMarginals);

}  // namespace tallowmere
