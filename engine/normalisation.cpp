// Object scores are kept centred in the metric of the object marginals, with m-orthogonal
// dimensions of squared m-length t. No quantity under a division or square root is guarded:
// degenerate data give IEEE infinities and NaNs, which flow on to the results.
#include <cmath>

#include "engine.h"
#include "iteration_plan.h"

namespace tallowmere {

namespace {

// The passes below handle all dimensions of an object together where the dimensions are
// independent, and fuse each elementwise update with the inner product that reads its result.
// Every sum still receives its terms one object at a time, in increasing object order.

template <int FixedP>
void centreScores(std::span<double> scratch, std::span<double> objectScores,
                  std::span<const double> objectMarginals, double totalMarginal) {
  const std::ptrdiff_t P = FixedP > 0 ? FixedP : analysisSettings.dimensionCount;
  const std::ptrdiff_t N = analysisSettings.objectCount;
  double* X = objectScores.data();
  double fixedSums[FixedP > 0 ? FixedP : 1];
  double* sums = FixedP > 0 ? fixedSums : scratch.data();
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    sums[d] = 0.0;
  }
  for (std::ptrdiff_t i = 0; i < N; ++i) {
    const double m = objectMarginals[i];
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      sums[d] = sums[d] + m * X[d * N + i];
    }
  }
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    const double mean = sums[d] / totalMarginal;
    double* x = X + d * N;
    for (std::ptrdiff_t i = 0; i < N; ++i) {
      x[i] = x[i] - mean;
    }
  }
}

template <int FixedP>
void evaluateScores(std::span<double> scratch, std::span<const double> objectMarginals,
                    std::span<double> objectScores, std::span<const double> objectAverages,
                    std::span<double> eigenvalues, double& fit, double& minimumCosine,
                    double totalMarginal) {
  const std::ptrdiff_t P = FixedP > 0 ? FixedP : analysisSettings.dimensionCount;
  const std::ptrdiff_t N = analysisSettings.objectCount;
  double* X = objectScores.data();
  const double* averages = objectAverages.data();
  double fixedSums[FixedP > 0 ? 2 * FixedP : 1];
  double* crossProducts = FixedP > 0 ? fixedSums : scratch.data();  // <new, old>_m
  double* newLengths = crossProducts + P;                           // <new, new>_m
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    crossProducts[d] = 0.0;
    newLengths[d] = 0.0;
  }
  for (std::ptrdiff_t i = 0; i < N; ++i) {
    const double m = objectMarginals[i];
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      const double y = averages[d * N + i];
      const double weighted = m * y;
      crossProducts[d] = crossProducts[d] + weighted * X[d * N + i];
      newLengths[d] = newLengths[d] + weighted * y;
      X[d * N + i] = y;
    }
  }
  double fitSum = 0.0;
  double smallestCosine = 1.0;
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    eigenvalues[d] = crossProducts[d] / totalMarginal;
    fitSum = fitSum + eigenvalues[d];
    const double cosine = crossProducts[d] / std::sqrt(totalMarginal * newLengths[d]);
    // Differences below 2^-52 replace the minimum too; a NaN cosine never does.
    if (cosine - smallestCosine < zeroTolerance) {
      smallestCosine = cosine;
    }
  }
  fit = fitSum;
  minimumCosine = smallestCosine;
}

// sum_i (m_i * a_i) * b_i
double weightedProduct(const double* m, const double* a, const double* b, std::ptrdiff_t n) {
  double sum = 0.0;
  for (std::ptrdiff_t i = 0; i < n; ++i) {
    sum = sum + (m[i] * a[i]) * b[i];
  }
  return sum;
}

// x := x - coefficient * other, returning sum_i (m_i * x_i) * next_i of the updated x.
double subtractAndMultiply(double* x, const double* other, double coefficient, const double* m,
                           const double* next, std::ptrdiff_t n) {
  double sum = 0.0;
  for (std::ptrdiff_t i = 0; i < n; ++i) {
    x[i] = x[i] - coefficient * other[i];
    sum = sum + (m[i] * x[i]) * next[i];
  }
  return sum;
}

// x := scale * x, returning sum_i (m_i * next_i) * first_i, where first may be x itself.
double scaleAndMultiply(double* x, double scale, const double* m, const double* next,
                        const double* first, std::ptrdiff_t n) {
  double sum = 0.0;
  for (std::ptrdiff_t i = 0; i < n; ++i) {
    x[i] = scale * x[i];
    sum = sum + (m[i] * next[i]) * first[i];
  }
  return sum;
}

}  // namespace

void centreObjectScores(std::span<double> objectScores, std::span<const double> objectMarginals,
                        double totalMarginal) {
  std::vector<double> local;
  const std::span<double> scratch = dimensionScratch(local);
  withDimensionCount(analysisSettings.dimensionCount, [&](auto fixed) {
    centreScores<fixed()>(scratch, objectScores, objectMarginals, totalMarginal);
  });
}

// Modified Gram-Schmidt: for dimension d and e = 0 .. d, the product of x_d (as updated for the
// smaller e) with x_e gives either a projection to remove (e < d) or the squared length to scale
// to t (e = d). Each product is computed in the pass that makes its last input final.
void orthonormaliseObjectScores(std::span<double> objectScores,
                                std::span<const double> objectMarginals, double totalMarginal) {
  const std::ptrdiff_t P = analysisSettings.dimensionCount;
  const std::ptrdiff_t N = analysisSettings.objectCount;
  const double* m = objectMarginals.data();
  double* X = objectScores.data();
  double product = P > 0 ? weightedProduct(m, X, X, N) : 0.0;  // (m x_0) x_0
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    double* x = X + d * N;
    for (std::ptrdiff_t e = 0; e < d; ++e) {
      // Dimension e is final with squared length t: product / t is x's coefficient on it. The
      // same pass forms (m x_d) x_(e+1), the next product (x_(e+1) is x itself when e+1 = d).
      product = subtractAndMultiply(x, X + e * N, product / totalMarginal, m, X + (e + 1) * N, N);
    }
    const double scale = std::sqrt(totalMarginal / product);
    if (d + 1 < P) {
      // With x_d final, the first product of the next dimension, (m x_(d+1)) x_0.
      product = scaleAndMultiply(x, scale, m, X + (d + 1) * N, X, N);
    } else {
      for (std::ptrdiff_t i = 0; i < N; ++i) {
        x[i] = scale * x[i];
      }
    }
  }
}

void evaluateIteration(std::span<const double> objectMarginals, std::span<double> objectScores,
                       std::span<const double> objectAverages, std::span<double> eigenvalues,
                       double& fit, double& minimumCosine, double totalMarginal) {
  std::vector<double> local;
  const std::span<double> scratch = dimensionScratch(local);
  withDimensionCount(analysisSettings.dimensionCount, [&](auto fixed) {
    evaluateScores<fixed()>(scratch, objectMarginals, objectScores, objectAverages, eigenvalues,
                            fit, minimumCosine, totalMarginal);
  });
}

}  // namespace tallowmere
