// How a run decides to stop, and what it reports about the end: the native method's tests on the
// iteration count, the fit and the cosine, and, for the typed entry point, a test on how far the
// solution's subspace still moves.
#pragma once

#include <cstdint>
#include <limits>

namespace tallowmere {

// Numbered as the Java side reads them; keep the values.
enum class StopReason : int32_t {
  iterationBound = 0,  // iterationsDone reached maxIterations
  fitChange = 1,       // the fit changed by less than fitTolerance
  cosine = 2,          // 1 - the smallest cosine fell below cosineTolerance
  nanFit = 3,          // the fit became NaN; nothing can recover from NaN scores
  subspace = 4,        // the subspace spanned by the solution settled (SubspaceTracker)
  direct = 5,          // no iterations: the solution is the cross-table's eigenvectors
};

// True for the reasons that mean the solution settled rather than that the run was cut off.
inline bool isConvergence(StopReason reason) {
  return reason == StopReason::fitChange || reason == StopReason::cosine ||
         reason == StopReason::subspace || reason == StopReason::direct;
}

struct RunReport {
  int32_t iterations = 0;
  StopReason stopReason = StopReason::iterationBound;
  double fit = 0.0;
  double fitChange = 0.0;      // fit minus the fit it was compared with in the last iteration
  double minimumCosine = 1.0;  // of the last iteration
  // Estimated distance of the last subspace from its limit; NaN when not tracked.
  double subspaceChange = std::numeric_limits<double>::quiet_NaN();
};

// When the outer loop ends. A NaN tolerance switches its test off: the comparison with NaN is
// false. The native method's rule is nativeStoppingRule() in engine.h.
struct StoppingRule {
  int32_t maxIterations = 0;  // an equality test; 0 or less sets no bound
  double fitTolerance = std::numeric_limits<double>::quiet_NaN();
  double cosineTolerance = std::numeric_limits<double>::quiet_NaN();
  // Stop once the estimated distance of the subspace from its limit is at most this; 0 or NaN:
  // not tracked.
  double subspaceTolerance = 0.0;
  // A NaN fit ends a run without a bound in any case; with this set it ends every run.
  bool stopOnNaNFit = false;
};

}  // namespace tallowmere
