// The outer loop of alternating least squares, shared by every way of running an analysis: the
// passes over the objects (analysis_driver.cpp) and the iteration on the category cross-table
// (category_space.cpp) supply the steps; the order of the steps, the rank-one restrictions, the
// subspace tracking and the stopping tests are the same for all. Private to the engine.
//
// A Steps type provides
//   void centroids(std::span<double> Y)   the centroids of the current scores, P x S
//   void averageAndNormalise(std::span<const double> Y, std::span<double> eigenvalues,
//                            double& fit, double& minimumCosine)
//       new scores from the quantifications Y, their evaluation against the current ones
//       (eigenvalues, fit, smallest cosine), then centring and orthonormalisation.
#pragma once

#include <cmath>
#include <optional>

#include "engine.h"
#include "momentum.h"
#include "run_report.h"
#include "run_state.h"
#include "subspace_tracker.h"

namespace tallowmere {

// The first test that ends the loop after `iterationsDone` iterations, if any.
inline std::optional<StopReason> stopReason(const StoppingRule& rule, int32_t iterationsDone,
                                            double fit, double previousFit, double minimumCosine,
                                            const SubspaceTracker* tracker) {
  if (iterationsDone == rule.maxIterations) {
    return StopReason::iterationBound;
  }
  if (zeroTolerance > std::fabs(fit - previousFit) - rule.fitTolerance) {
    return StopReason::fitChange;
  }
  if (zeroTolerance > std::fabs(1.0 - minimumCosine) - rule.cosineTolerance) {
    return StopReason::cosine;
  }
  if (tracker != nullptr && tracker->distance <= rule.subspaceTolerance) {
    return StopReason::subspace;
  }
  // Without an iteration bound a NaN fit would never let the loop end: nothing recovers from
  // it, since every later iteration computes from the same NaN scores.
  if ((rule.maxIterations <= 0 || rule.stopOnNaNFit) && std::isnan(fit)) {
    return StopReason::nanFit;
  }
  return std::nullopt;
}

template <typename Steps>
RunReport runOuterLoop(RunState& run, Steps& steps, const StoppingRule& rule,
                       SubspaceTracker* tracker, Momentum* momentum) {
  const Problem& problem = run.problem;
  const int32_t innerIterations = run.innerIterations;
  const double t = run.totalMarginal;
  std::span<const double> D = run.categoryMarginals;
  std::span<double> Y = run.categoryQuantifications;
  std::span<double> z = run.singleQuantifications, a = run.loadings;

  double previousFit = problem.activeCount();
  int32_t iterationsDone = 0;
  while (true) {
    steps.centroids(Y);
    if (tracker != nullptr) {
      observeSubspace(problem, *tracker, Y, D);
      if (momentum != nullptr) {
        applyMomentum(problem, *momentum, *tracker, Y, D, t);
      }
    }
    if (innerIterations > 0) {
      for (int32_t inner = 0; inner < innerIterations; ++inner) {
        computeLoadings(problem, D, Y, z, a, t);
        if (run.regressRankOne) {
          regressSingleQuantifications(problem, D, Y, a, z, t, run.work.regression);
        } else {
          accumulateSingleQuantifications(problem, Y, a, z);
          applyOrdinalRestrictions(problem, D, z, run.work.regression);
          normaliseSingleQuantifications(problem, D, z, t);
        }
      }
      if (run.regressRankOne) {
        // The loadings that fit the final scores best.
        computeLoadings(problem, D, Y, z, a, t);
      }
      imposeRankOne(problem, z, a, Y);
    }
    double fit = 0.0;
    double minimumCosine = 0.0;
    steps.averageAndNormalise(Y, run.eigenvalues, fit, minimumCosine);
    ++iterationsDone;
    std::optional<StopReason> reason =
        stopReason(rule, iterationsDone, fit, previousFit, minimumCosine, tracker);
    if (reason == StopReason::subspace && momentum != nullptr && accelerating(*momentum)) {
      // An accelerated run's moves can rise and fall over dozens of iterations, and shrink for
      // long stretches on the way to a low point, where the estimate looks far better than the
      // distance is. The plain iteration shrinks its moves steadily, so it confirms the end.
      abandonMomentum(*momentum);
      forgetRates(*tracker);
      reason.reset();
    }
    if (reason) {
      RunReport report;
      report.iterations = iterationsDone;
      report.stopReason = *reason;
      report.fit = fit;
      report.fitChange = fit - previousFit;
      report.minimumCosine = minimumCosine;
      if (tracker != nullptr) {
        report.subspaceChange = tracker->distance;
      }
      return report;
    }
    previousFit = fit;
  }
}

}  // namespace tallowmere
