#include "momentum.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

#include "problem.h"
#include "subspace_tracker.h"

namespace tallowmere {

namespace {

// Y' D Z / t over the active slots: element (d, e) pairs dimension d of y with e of z.
Eigen::MatrixXd crossProducts(const double* y, std::ptrdiff_t yStride, const double* z,
                              std::ptrdiff_t zStride, std::span<const double> D,
                              std::ptrdiff_t slots, std::ptrdiff_t P, double t) {
  Eigen::MatrixXd product(P, P);
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    for (std::ptrdiff_t e = 0; e < P; ++e) {
      double sum = 0.0;
      for (std::ptrdiff_t s = 0; s < slots; ++s) {
        sum += D[s] * y[d * yStride + s] * z[e * zStride + s];
      }
      product(d, e) = sum / t;
    }
  }
  return product;
}

// A new beta from the observed rate of the recurrence with the current one, or the current beta
// while the rates do not say anything reliable. With roots z of z^2 - lambda z + beta = 0, the
// wanted subspace grows with z_P (lambda_P's larger root) and the error shrinks by z_(P+1) / z_P,
// so the observed rate gives z_(P+1) and lambda_(P+1) = z_(P+1) + beta / z_(P+1); with beta = 0
// that is simply rate * lambda_P. Once beta is at its best, the rate only shows sqrt(beta) / z_P.
double estimateBeta(const SubspaceTracker& tracker, const Eigen::MatrixXd& gram, double beta) {
  if (tracker.ratioCount < 3) {
    return beta;
  }
  const double low = std::min({tracker.ratios[0], tracker.ratios[1], tracker.ratios[2]});
  const double high = std::max({tracker.ratios[0], tracker.ratios[1], tracker.ratios[2]});
  // Only a settled rate describes the slowest component.
  if (!(low > 0.0) || !(high < 1.0) || high > 1.01 * low) {
    return beta;
  }
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> ritz((gram + gram.transpose()) / 2.0,
                                                            Eigen::EigenvaluesOnly);
  const double lambda = ritz.eigenvalues()(0);  // lambda_P
  const double discriminant = lambda * lambda - 4.0 * beta;
  if (!(lambda > 0.0) || !std::isfinite(lambda) || !(discriminant > 0.0)) {
    return beta;
  }
  const double wanted = (lambda + std::sqrt(discriminant)) / 2.0;
  const double next = high * wanted;
  if (next * next <= 1.0001 * beta) {
    return beta;
  }
  const double nextLambda = std::min(next + beta / next, lambda);
  // The closer lambda_(P+1) is to lambda_P, the more the rate depends on beta sitting right at
  // lambda_(P+1)^2 / 4, and the better the estimate has to be to get there; a little below it
  // the damped root is double and slower, and a little above it costs little. So: a margin of a
  // tenth of the relative gap, at most 2 %, and never near lambda_P^2 / 4, where the wanted
  // eigenvalues would be damped too.
  const double gap = (lambda - nextLambda) / nextLambda;
  const double margin = 1.0 - std::min(0.02, 0.1 * gap);
  const double candidate =
      std::min(margin * margin * nextLambda * nextLambda, 0.998 * lambda * lambda) / 4.0;
  return candidate > 1.001 * beta ? candidate : beta;
}

// out = in T for S1 x P matrices stored dimension-major.
void multiply(const std::vector<double>& in, const Eigen::MatrixXd& T, std::vector<double>& out,
              std::ptrdiff_t S1, std::ptrdiff_t P) {
  for (std::ptrdiff_t s = 0; s < S1; ++s) {
    for (std::ptrdiff_t e = 0; e < P; ++e) {
      double sum = 0.0;
      for (std::ptrdiff_t d = 0; d < P; ++d) {
        sum += in[d * S1 + s] * T(d, e);
      }
      out[e * S1 + s] = sum;
    }
  }
}

}  // namespace

void resetMomentum(const Problem& problem, Momentum& momentum) {
  momentum = Momentum{};
  momentum.activeSlots = problem.activeSlotCount;
  momentum.dimensions = problem.dimensionCount;
  const auto size = static_cast<std::size_t>(momentum.activeSlots * momentum.dimensions);
  momentum.previous.assign(size, 0.0);
  momentum.scratch.assign(size, 0.0);
  momentum.representation.assign(size, 0.0);
  momentum.carried.assign(size, 0.0);
}

void applyMomentum(const Problem& problem, Momentum& momentum, const SubspaceTracker& tracker,
                   std::span<double> categoryQuantifications,
                   std::span<const double> categoryMarginals, double totalMarginal) {
  Momentum& mo = momentum;
  const std::ptrdiff_t S1 = mo.activeSlots, P = mo.dimensions, S = problem.slotCount;
  if (P == 0 || S1 == 0) {
    return;
  }
  double* Y = categoryQuantifications.data();
  const double t = totalMarginal;
  // A change of beta disturbs the recurrence for a few iterations. A subspace that then keeps
  // moving more for long, or comes to move ten times as much as when beta changed, has met a
  // beta too large for it (the estimate comes from a few rates): fall back to the plain
  // iteration, which always settles.
  mo.growing = tracker.ratioCount > 0 && tracker.ratios[2] > 1.0 ? mo.growing + 1 : 0;
  if (mo.beta > 0.0 && (mo.growing >= 20 || tracker.lastChange > 10.0 * mo.changeAtUpdate)) {
    mo.beta = 0.0;
    mo.abandoned = true;
  }
  // The Ritz values come from the centroids themselves, before they are changed below.
  if (!mo.abandoned && ++mo.sinceChange >= 4) {
    const double beta =
        estimateBeta(tracker, crossProducts(Y, S, Y, S, categoryMarginals, S1, P, t), mo.beta);
    if (beta != mo.beta) {
      mo.beta = beta;
      mo.sinceChange = 0;
      mo.changeAtUpdate = tracker.lastChange;
    }
  }
  if (mo.hasPrevious) {
    // T = R^-1 turned the averages of the last quantifications into the current scores, whose
    // centroids Y are: R = Y' D Y'_(k-1) / t. Then previous T represents the current scores,
    // and the representation of the scores before them, times T, carries them to the same
    // normalisation.
    const Eigen::MatrixXd R =
        crossProducts(Y, S, mo.previous.data(), S1, categoryMarginals, S1, P, t);
    const Eigen::FullPivLU<Eigen::MatrixXd> lu(R);
    if (!R.allFinite() || !lu.isInvertible()) {
      mo.hasRepresentation = false;
    } else {
      const Eigen::MatrixXd T = lu.inverse();
      multiply(mo.previous, T, mo.scratch, S1, P);
      if (mo.beta > 0.0 && mo.hasRepresentation) {
        multiply(mo.representation, T, mo.carried, S1, P);
        for (std::ptrdiff_t d = 0; d < P; ++d) {
          for (std::ptrdiff_t s = 0; s < S1; ++s) {
            Y[d * S + s] -= mo.beta * mo.carried[d * S1 + s];
          }
        }
      }
      mo.representation.swap(mo.scratch);
      mo.hasRepresentation = true;
    }
  }
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    std::copy_n(Y + d * S, S1, mo.previous.data() + d * S1);
  }
  mo.hasPrevious = true;
}

}  // namespace tallowmere
