// The object scores of a table solver, X = C^-1 G Z, a part of the objects at a time.
#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis_solution.h"

namespace tallowmere {

namespace {

// Objects first .. last - 1 into `scores` (P x (last - first)). Each variable's column is read
// once, in variable order, so that every object's sum receives its terms in the order in which
// the passes over the objects add them: w_i z, a variable at a time, from 0.0.
void scoreObjects(const Problem& problem, std::span<const double> Z, std::ptrdiff_t first,
                  std::ptrdiff_t last, double* scores) {
  const std::ptrdiff_t P = problem.dimensionCount, S1 = problem.activeSlotCount;
  const std::ptrdiff_t count = last - first;
  std::vector<double> weights(static_cast<std::size_t>(count));
  std::vector<int64_t> observed(static_cast<std::size_t>(count), 0);
  for (std::ptrdiff_t i = 0; i < count; ++i) {
    weights[i] = problem.weight(first + i);
  }
  std::fill(scores, scores + P * count, 0.0);
  for (const int32_t J : problem.activeVariables) {
    const CodeColumn codes = problem.variables[J].codes;
    const int32_t k = problem.categories(J);
    const double* z = Z.data() + problem.slotStart[J] - 1;
    for (std::ptrdiff_t i = 0; i < count; ++i) {
      const int32_t c = codes[first + i];
      if (c > 0 && c <= k) {
        ++observed[i];
        for (std::ptrdiff_t d = 0; d < P; ++d) {
          scores[d * count + i] += weights[i] * z[d * S1 + c];
        }
      }
    }
  }
  for (std::ptrdiff_t i = 0; i < count; ++i) {
    // The object's marginal, as the marginals' pass forms it: whole units times the count.
    const double m = static_cast<double>(static_cast<int64_t>(weights[i]) * observed[i]);
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      double& x = scores[d * count + i];
      x = zeroTolerance > std::fabs(m) ? 0.0 : x / m;
    }
  }
}

}  // namespace

void computeObjectScores(const Problem& problem, std::span<const double> Z, std::ptrdiff_t first,
                         std::ptrdiff_t last, std::span<double> scores, Workers* workers) {
  const std::ptrdiff_t P = problem.dimensionCount, count = last - first;
  // Blocks of the part, each written to its own rows and copied into place.
  forEachBlock(workers, count, [&](std::ptrdiff_t, std::ptrdiff_t from, std::ptrdiff_t to) {
    std::vector<double> block(static_cast<std::size_t>(P * (to - from)));
    scoreObjects(problem, Z, first + from, first + to, block.data());
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      std::copy_n(block.data() + d * (to - from), to - from, scores.data() + d * count + from);
    }
  });
}

}  // namespace tallowmere
