#include "category_space.h"

#include <algorithm>
#include <cmath>

#include "fused_steps.h"
#include "object_passes.h"
#include "outer_loop.h"

namespace tallowmere {

namespace {

// out = table * v for a rows x S1 table.
void multiply(const std::vector<double>& table, std::ptrdiff_t rows, std::ptrdiff_t S1,
              const double* v, double* out) {
  for (std::ptrdiff_t r = 0; r < rows; ++r) {
    const double* row = table.data() + r * S1;
    double sum = 0.0;
    for (std::ptrdiff_t s = 0; s < S1; ++s) {
      sum += row[s] * v[s];
    }
    out[r] = sum;
  }
}

double dot(const double* a, const double* b, std::ptrdiff_t n) {
  double sum = 0.0;
  for (std::ptrdiff_t s = 0; s < n; ++s) {
    sum += a[s] * b[s];
  }
  return sum;
}

struct CategorySpaceSteps {
  RunState& run;
  CategorySpace& space;
  std::ptrdiff_t P, S, S1, S2;
  bool first = true;

  CategorySpaceSteps(RunState& r, CategorySpace& c)
      : run(r),
        space(c),
        P(r.problem.dimensionCount),
        S(r.problem.slotCount),
        S1(r.problem.activeSlotCount),
        S2(c.passiveTable.empty() ? 0 : S - S1) {}

  // Y = D^-1 B Z (and D_p^-1 B_p Z for the passive slots when they are wanted), with the zero
  // test of the passes over the objects; the first step comes from those passes.
  void centroids(std::span<double> Y) {
    const std::span<const double> D = run.categoryMarginals;
    if (first && !space.warm) {
      computeCategoryCentroids(run.problem, run.plan, run.work, run.objectWeights, D,
                               run.objectScores, Y);
      first = false;
    } else {
      double* passive = space.passiveProducts.data();
      for (std::ptrdiff_t d = 0; d < P; ++d) {
        const double* z = space.scores.data() + d * S1;
        double* product = space.products.data() + d * S1;
        multiply(space.activeTable, S1, S1, z, product);
        double* y = Y.data() + d * S;
        for (std::ptrdiff_t s = 0; s < S1; ++s) {
          y[s] = zeroTolerance > std::fabs(D[s]) ? 0.0 : product[s] / D[s];
        }
        if (S2 > 0) {
          multiply(space.passiveTable, S2, S1, z, passive);
          for (std::ptrdiff_t p = 0; p < S2; ++p) {
            y[S1 + p] = zeroTolerance > std::fabs(D[S1 + p]) ? 0.0 : passive[p] / D[S1 + p];
          }
        }
      }
    }
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      for (std::ptrdiff_t s = 0; s < S1; ++s) {
        space.weighted[d * S1 + s] = D[s] * Y[d * S + s];
      }
    }
  }

  // New scores C^-1 G Q from the active quantifications Q: evaluated against the current ones
  // through q_d = Q_d' G' W X_d and r_d = Q_d' B Q_d, then centred with the means D' Z / t and
  // orthonormalised by Gram-Schmidt in the metric of B, as the passes over the objects do in the
  // metric of m.
  void averageAndNormalise(std::span<const double> Y, std::span<double> eigenvalues, double& fit,
                           double& minimumCosine) {
    const double t = run.totalMarginal;
    const std::span<const double> D = run.categoryMarginals;
    double* cross = space.crossProducts.data();
    double* lengths = space.newLengths.data();
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      double* z = space.scores.data() + d * S1;
      std::copy_n(Y.data() + d * S, S1, z);
      double* product = space.products.data() + d * S1;
      multiply(space.activeTable, S1, S1, z, product);
      cross[d] = dot(z, space.weighted.data() + d * S1, S1);
      lengths[d] = dot(z, product, S1);
    }
    summariseProducts(cross, lengths, eigenvalues, fit, minimumCosine, t);
    normaliseCategoryScores(space, D.first(S1), t, P);
  }
};

}  // namespace

void normaliseCategoryScores(CategorySpace& space, std::span<const double> activeMarginals,
                             double totalMarginal, std::ptrdiff_t P) {
  const std::ptrdiff_t S1 = std::ssize(activeMarginals);
  const double t = totalMarginal;
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    double* z = space.scores.data() + d * S1;
    const double mean = dot(activeMarginals.data(), z, S1) / t;
    for (std::ptrdiff_t s = 0; s < S1; ++s) {
      z[s] -= mean;
    }
  }
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    double* z = space.scores.data() + d * S1;
    for (std::ptrdiff_t e = 0; e < d; ++e) {
      // B Z_e of the final Z_e is in products.
      const double coefficient = dot(space.products.data() + e * S1, z, S1) / t;
      const double* other = space.scores.data() + e * S1;
      for (std::ptrdiff_t s = 0; s < S1; ++s) {
        z[s] -= coefficient * other[s];
      }
    }
    double* product = space.products.data() + d * S1;
    multiply(space.activeTable, S1, S1, z, product);
    const double scale = std::sqrt(t / dot(z, product, S1));
    for (std::ptrdiff_t s = 0; s < S1; ++s) {
      z[s] *= scale;
      product[s] *= scale;
    }
  }
}

void drawCategoryStart(const Problem& problem, std::span<double> start) {
  const std::ptrdiff_t S = problem.slotCount;
  std::fill(start.begin(), start.end(), 0.0);
  for (int32_t d = 0; d < problem.dimensionCount; ++d) {
    for (int32_t r = 0; r < problem.activeCount(); ++r) {
      const int32_t J = problem.activeVariables[r];
      for (int32_t c = 0; c < problem.categories(J); ++c) {
        // splitmix64 of the category's place: independent of the layout and of the objects.
        uint64_t x = (static_cast<uint64_t>(d) << 42) ^ (static_cast<uint64_t>(r) << 21) ^
                     static_cast<uint64_t>(c);
        x += 0x9E3779B97F4A7C15u;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
        x ^= x >> 31;
        start[d * S + problem.slotStart[J] + c] = static_cast<double>(x >> 49);
      }
    }
  }
}

void drawCategorySpaceStart(const RunState& run, CategorySpace& space) {
  const Problem& problem = run.problem;
  const std::ptrdiff_t S = problem.slotCount, S1 = problem.activeSlotCount;
  std::vector<double> start(static_cast<std::size_t>(problem.dimensionCount * S));
  drawCategoryStart(problem, start);
  for (std::ptrdiff_t d = 0; d < problem.dimensionCount; ++d) {
    std::copy_n(start.data() + d * S, S1, space.scores.data() + d * S1);
  }
  normaliseCategoryScores(space,
                          std::span<const double>(run.categoryMarginals)
                              .first(static_cast<std::size_t>(run.problem.activeSlotCount)),
                          run.totalMarginal, run.problem.dimensionCount);
  space.warm = true;
}

void resetCategorySpace(const Problem& problem, CategorySpace& space) {
  const std::ptrdiff_t P = problem.dimensionCount;
  const std::ptrdiff_t S1 = problem.activeSlotCount;
  space.scores.assign(static_cast<std::size_t>(P * S1), 0.0);
  space.weighted.assign(space.scores.size(), 0.0);
  space.products.assign(space.scores.size(), 0.0);
  space.passiveProducts.assign(
      space.passiveTable.empty() ? 0 : static_cast<std::size_t>(problem.slotCount - S1), 0.0);
  space.crossProducts.assign(static_cast<std::size_t>(P), 0.0);
  space.newLengths.assign(static_cast<std::size_t>(P), 0.0);
}

RunReport iterateInCategorySpace(RunState& run, CategorySpace& space, const StoppingRule& rule,
                                 SubspaceTracker* tracker, Momentum* momentum) {
  CategorySpaceSteps steps(run, space);
  return runOuterLoop(run, steps, rule, tracker, momentum);
}

void centroidsFromCategorySpace(const RunState& run, const CategorySpace& space,
                                std::span<double> categoryCentroids) {
  const std::ptrdiff_t P = run.problem.dimensionCount, S = run.problem.slotCount;
  const std::ptrdiff_t S1 = run.problem.activeSlotCount;
  const std::ptrdiff_t S2 = space.passiveTable.empty() ? 0 : S - S1;
  const std::span<const double> D = run.categoryMarginals;
  std::vector<double> product(static_cast<std::size_t>(std::max(S1, S2)));
  std::fill(categoryCentroids.begin(), categoryCentroids.end(), 0.0);
  for (std::ptrdiff_t d = 0; d < P; ++d) {
    const double* z = space.scores.data() + d * S1;
    double* y = categoryCentroids.data() + d * S;
    multiply(space.activeTable, S1, S1, z, product.data());
    for (std::ptrdiff_t s = 0; s < S1; ++s) {
      y[s] = zeroTolerance > std::fabs(D[s]) ? 0.0 : product[s] / D[s];
    }
    if (S2 > 0) {
      multiply(space.passiveTable, S2, S1, z, product.data());
      for (std::ptrdiff_t p = 0; p < S2; ++p) {
        y[S1 + p] = zeroTolerance > std::fabs(D[S1 + p]) ? 0.0 : product[p] / D[S1 + p];
      }
    }
  }
}

}  // namespace tallowmere
