#include "subspace_tracker.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

#include "problem.h"

namespace tallowmere {

namespace {

constexpr double unknown = std::numeric_limits<double>::infinity();

// Modified Gram-Schmidt in the metric of D. False when a column has no length left (the
// centroids do not span P dimensions), or the lengths are not finite.
bool orthonormalise(std::vector<double>& basis, std::span<const double> D, std::ptrdiff_t slots,
                    std::ptrdiff_t dimensions) {
  for (std::ptrdiff_t d = 0; d < dimensions; ++d) {
    double* q = basis.data() + d * slots;
    for (std::ptrdiff_t e = 0; e < d; ++e) {
      const double* p = basis.data() + e * slots;
      double product = 0.0;
      for (std::ptrdiff_t s = 0; s < slots; ++s) {
        product += D[s] * p[s] * q[s];
      }
      for (std::ptrdiff_t s = 0; s < slots; ++s) {
        q[s] -= product * p[s];
      }
    }
    double length = 0.0;
    for (std::ptrdiff_t s = 0; s < slots; ++s) {
      length += D[s] * q[s] * q[s];
    }
    if (!(length > 0.0) || !std::isfinite(length)) {
      return false;
    }
    const double scale = 1.0 / std::sqrt(length);
    for (std::ptrdiff_t s = 0; s < slots; ++s) {
      q[s] *= scale;
    }
  }
  return true;
}

// The D-length of the part of the current basis outside the previous one's span: the square
// root of the sum of the squared sines of the principal angles between the two subspaces.
double changeOfSpan(SubspaceTracker& t, std::span<const double> D) {
  const std::ptrdiff_t S = t.activeSlots, P = t.dimensions;
  std::vector<double>& residual = t.residual;
  double sum = 0.0;
  for (std::ptrdiff_t e = 0; e < P; ++e) {
    const double* q = t.current.data() + e * S;
    std::copy(q, q + S, residual.begin());
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      const double* p = t.previous.data() + d * S;
      double product = 0.0;
      for (std::ptrdiff_t s = 0; s < S; ++s) {
        product += D[s] * p[s] * q[s];
      }
      for (std::ptrdiff_t s = 0; s < S; ++s) {
        residual[s] -= product * p[s];
      }
    }
    for (std::ptrdiff_t s = 0; s < S; ++s) {
      sum += D[s] * residual[s] * residual[s];
    }
  }
  return std::sqrt(sum);
}

}  // namespace

void resetSubspaceTracker(const Problem& problem, SubspaceTracker& tracker) {
  tracker = SubspaceTracker{};
  tracker.activeSlots = problem.activeSlotCount;
  tracker.dimensions = problem.dimensionCount;
  const auto size = static_cast<std::size_t>(tracker.activeSlots * tracker.dimensions);
  tracker.previous.assign(size, 0.0);
  tracker.current.assign(size, 0.0);
  tracker.residual.assign(static_cast<std::size_t>(tracker.activeSlots), 0.0);
  tracker.distance = unknown;
}

void forgetRates(SubspaceTracker& tracker) {
  tracker.ratioCount = 0;
  tracker.lastChange = 0.0;
  std::fill(tracker.changes, tracker.changes + 3, 0.0);
  tracker.distance = unknown;
}

void observeSubspace(const Problem& problem, SubspaceTracker& tracker,
                     std::span<const double> categoryQuantifications,
                     std::span<const double> categoryMarginals) {
  SubspaceTracker& t = tracker;
  const std::ptrdiff_t S1 = t.activeSlots, P = t.dimensions, S = problem.slotCount;
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    std::copy_n(categoryQuantifications.data() + d * S, S1, t.current.data() + d * S1);
  }
  const std::span<const double> D = categoryMarginals.first(static_cast<std::size_t>(S1));
  if (!orthonormalise(t.current, D, S1, P)) {
    // No P-dimensional subspace to follow: start afresh with the next iteration.
    t.hasPrevious = false;
    t.ratioCount = 0;
    std::fill(t.changes, t.changes + 3, 0.0);
    t.distance = unknown;
    return;
  }
  if (t.hasPrevious) {
    const double change = changeOfSpan(t, D);
    if (t.lastChange > 0.0) {
      std::rotate(t.ratios, t.ratios + 1, t.ratios + 3);
      t.ratios[2] = change / t.lastChange;
      t.ratioCount = std::min(t.ratioCount + 1, 3);
    }
    t.lastChange = change;
    std::rotate(t.changes, t.changes + 1, t.changes + 3);
    t.changes[2] = change;
    // A change at the level of rounding cannot shrink further: the subspace is as settled as
    // double precision can tell.
    const double roundingLevel = 64 * DBL_EPSILON * std::sqrt(static_cast<double>(P));
    // The slowest of the last three rates, so that one lucky step does not end the run.
    const double rate = std::max({t.ratios[0], t.ratios[1], t.ratios[2]});
    const double recent = std::max({t.changes[0], t.changes[1], t.changes[2]});
    if (recent <= roundingLevel) {
      t.distance = recent;
    } else if (t.ratioCount == 3 && rate < 1.0) {
      t.distance = recent / (1.0 - rate);
    } else {
      t.distance = unknown;
    }
  }
  t.previous.swap(t.current);
  t.hasPrevious = true;
}

}  // namespace tallowmere
