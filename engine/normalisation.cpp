// Object scores are kept centred in the metric of the object marginals, with m-orthogonal
// dimensions of squared m-length t. No quantity under a division or square root is guarded:
// degenerate data give IEEE infinities and NaNs, which flow on to the results.
#include <algorithm>
#include <cmath>

#include "engine.h"
#include "fused_steps.h"
#include "iteration_plan.h"

namespace tallowmere {

namespace {

// The passes below handle all dimensions of an object together where the dimensions are
// independent, and fuse each elementwise update with the inner product that reads its result.
// Every sum still receives its terms one object at a time, in increasing object order.

template <int FixedP>
void centreScores(const Problem& problem, std::span<double> scratch, std::span<double> objectScores,
                  std::span<const double> objectMarginals, double totalMarginal) {
  const std::ptrdiff_t P = FixedP > 0 ? FixedP : problem.dimensionCount;
  const std::ptrdiff_t N = problem.objectCount;
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

}  // namespace

void summariseProducts(const double* crossProducts, const double* newLengths,
                       std::span<double> eigenvalues, double& fit, double& minimumCosine,
                       double totalMarginal) {
  double fitSum = 0.0;
  double smallestCosine = 1.0;
  for (std::size_t d = 0; d < eigenvalues.size(); ++d) {
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

namespace {

template <int FixedP>
void evaluateScores(const Problem& problem, std::span<double> scratch,
                    std::span<const double> objectMarginals, std::span<double> objectScores,
                    std::span<const double> objectAverages, std::span<double> eigenvalues,
                    double& fit, double& minimumCosine, double totalMarginal) {
  const std::ptrdiff_t P = FixedP > 0 ? FixedP : problem.dimensionCount;
  const std::ptrdiff_t N = problem.objectCount;
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
  summariseProducts(crossProducts, newLengths, eigenvalues, fit, minimumCosine, totalMarginal);
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

void centreObjectScores(const Problem& problem, Workspace& work, std::span<double> objectScores,
                        std::span<const double> objectMarginals, double totalMarginal) {
  withDimensionCount(problem.dimensionCount, [&](auto fixed) {
    centreScores<fixed()>(problem, work.scratch, objectScores, objectMarginals, totalMarginal);
  });
}

namespace {

// Modified Gram-Schmidt: for dimension d and e = 0 .. d, the product of x_d (as updated for the
// smaller e) with x_e gives either a projection to remove (e < d) or the squared length to scale
// to t (e = d). Each product is computed in the pass that makes its last input final; the
// first, (m x_0) x_0, is given.
void orthonormaliseFrom(std::ptrdiff_t P, std::ptrdiff_t N, double* X, const double* m,
                        double totalMarginal, double product) {
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

// The same Gram-Schmidt for a dimension count fixed at compile time, scheduled by the dimension
// that becomes final: once x_E is scaled, the products (m x_d) x_E of every later d need
// nothing else, so they are all formed in the scaling pass, and every later d then loses its
// projection on x_E in one pass, which also forms the squared length of x_(E+1), now fully
// updated. Each x_d still receives its updates in the order E = 0, 1, ..., and every product
// reads exactly the values it reads in the loop above, but there are 2P passes with P(P+1)/2
// products among them instead of P(P+1).
//
// With `means`, dimensions 1 .. P-1 are still to be centred (x_d - mean_d): the first scaling
// pass reads them anyway, and centres them before their first use.
template <int P, int E>
[[gnu::always_inline]] inline void finishDimension(double* X, const double* m, double totalMarginal,
                                                   std::ptrdiff_t N, double squaredLength,
                                                   const double* means) {
  if constexpr (E < P) {
    double* x = X + E * N;
    const double scale = std::sqrt(totalMarginal / squaredLength);
    double products[P] = {};  // products[d] = (m x_d) x_E for d > E
    double pendingMeans[P] = {};
    const bool centre = E == 0 && means != nullptr;
    if (centre) {
      std::copy(means, means + P, pendingMeans);
    }
    for (std::ptrdiff_t i = 0; i < N; ++i) {
      const double scaled = scale * x[i];
      x[i] = scaled;
      for (int d = E + 1; d < P; ++d) {
        if (centre) {
          X[d * N + i] = X[d * N + i] - pendingMeans[d];
        }
        products[d] = products[d] + (m[i] * X[d * N + i]) * scaled;
      }
    }
    if constexpr (E + 1 < P) {
      double coefficients[P] = {};
      for (int d = E + 1; d < P; ++d) {
        coefficients[d] = products[d] / totalMarginal;
      }
      double* next = X + (E + 1) * N;
      double nextLength = 0.0;
      for (std::ptrdiff_t i = 0; i < N; ++i) {
        const double final = x[i];
        for (int d = E + 1; d < P; ++d) {
          X[d * N + i] = X[d * N + i] - coefficients[d] * final;
        }
        nextLength = nextLength + (m[i] * next[i]) * next[i];
      }
      finishDimension<P, E + 1>(X, m, totalMarginal, N, nextLength, nullptr);
    }
  }
}

// Orthonormalises X given (m x_0) x_0 of its current scores; with `means`, dimensions 1 .. P-1
// are centred on the way.
void orthonormaliseWith(const Problem& problem, double* X, const double* m, double totalMarginal,
                        double product, const double* means) {
  const std::ptrdiff_t N = problem.objectCount;
  withDimensionCount(problem.dimensionCount, [&](auto fixed) {
    if constexpr (fixed() > 0) {
      finishDimension<fixed(), 0>(X, m, totalMarginal, N, product, means);
    } else {
      orthonormaliseFrom(problem.dimensionCount, N, X, m, totalMarginal, product);
    }
  });
}

}  // namespace

void orthonormaliseObjectScores(const Problem& problem, std::span<double> objectScores,
                                std::span<const double> objectMarginals, double totalMarginal) {
  const std::ptrdiff_t N = problem.objectCount;
  double* X = objectScores.data();
  const double* m = objectMarginals.data();
  const double first = problem.dimensionCount > 0 ? weightedProduct(m, X, X, N) : 0.0;
  orthonormaliseWith(problem, X, m, totalMarginal, first, nullptr);
}

void summariseEvaluation(const EvaluationSums& sums, std::span<double> eigenvalues, double& fit,
                         double& minimumCosine, double totalMarginal) {
  summariseProducts(sums.crossProducts, sums.newLengths, eigenvalues, fit, minimumCosine,
                    totalMarginal);
}

// Centring fused with orthonormalisation: dimension 0 is centred in the pass that forms its
// squared length, the others in the first pass that reads them.
void centreAndOrthonormalise(const Problem& problem, std::span<double> objectScores,
                             std::span<const double> objectMarginals, double totalMarginal,
                             const EvaluationSums& sums) {
  const std::ptrdiff_t P = problem.dimensionCount;
  const std::ptrdiff_t N = problem.objectCount;
  double* X = objectScores.data();
  const double* m = objectMarginals.data();
  double means[maxFixedDimensions];
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    means[d] = sums.centreSums[d] / totalMarginal;
  }
  double first = 0.0;
  for (std::ptrdiff_t i = 0; i < N; ++i) {
    X[i] = X[i] - means[0];
    first = first + (m[i] * X[i]) * X[i];
  }
  orthonormaliseWith(problem, X, m, totalMarginal, first, means);
}

void evaluateIteration(const Problem& problem, Workspace& work,
                       std::span<const double> objectMarginals, std::span<double> objectScores,
                       std::span<const double> objectAverages, std::span<double> eigenvalues,
                       double& fit, double& minimumCosine, double totalMarginal) {
  withDimensionCount(problem.dimensionCount, [&](auto fixed) {
    evaluateScores<fixed()>(problem, work.scratch, objectMarginals, objectScores, objectAverages,
                            eigenvalues, fit, minimumCosine, totalMarginal);
  });
}

}  // namespace tallowmere
