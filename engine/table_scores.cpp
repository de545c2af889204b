// The object scores of a table solver, X = C^-1 G Z, a part of the objects at a time.
#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis_solution.h"

namespace tallowmere {

namespace {

// One variable's terms for `count` objects: code(i) is object i's code, weights null for 1 each
// (w z is then z itself, bit for bit).
template <typename Code>
void addVariable(Code code, std::ptrdiff_t count, int32_t k, const double* z, std::ptrdiff_t S1,
                 std::ptrdiff_t P, const double* weights, int64_t* observed, double* scores) {
  for (std::ptrdiff_t i = 0; i < count; ++i) {
    const int32_t c = code(i);
    if (c > 0 && c <= k) {
      ++observed[i];
      for (std::ptrdiff_t d = 0; d < P; ++d) {
        const double term = weights == nullptr ? z[d * S1 + c] : weights[i] * z[d * S1 + c];
        scores[d * count + i] += term;
      }
    }
  }
}

// Objects first .. last - 1 into `scores` (P x (last - first)). Each variable's column is read
// once, in variable order, so that every object's sum receives its terms in the order in which
// the passes over the objects add them: w_i z, a variable at a time, from 0.0.
void scoreObjects(const Problem& problem, std::span<const double> Z, std::ptrdiff_t first,
                  std::ptrdiff_t last, double* scores) {
  const std::ptrdiff_t P = problem.dimensionCount, S1 = problem.activeSlotCount;
  const std::ptrdiff_t count = last - first;
  const bool unitWeights = problem.unitWeights();
  std::vector<double> weights(unitWeights ? 0 : static_cast<std::size_t>(count));
  std::vector<int64_t> observed(static_cast<std::size_t>(count), 0);
  for (std::size_t i = 0; i < weights.size(); ++i) {
    weights[i] = problem.weight(first + static_cast<std::ptrdiff_t>(i));
  }
  const double* w = unitWeights ? nullptr : weights.data();
  std::fill(scores, scores + P * count, 0.0);
  for (const int32_t J : problem.activeVariables) {
    const CodeColumn codes = problem.variables[J].codes;
    const int32_t k = problem.categories(J);
    const double* z = Z.data() + problem.slotStart[J] - 1;
    // One loop per width of the codes, so that the loop does not ask which it is per object.
    if (codes.bytes != nullptr) {
      const uint8_t* bytes = codes.bytes + first;
      addVariable([bytes](std::ptrdiff_t i) { return int32_t{bytes[i]}; }, count, k, z, S1, P, w,
                  observed.data(), scores);
    } else if (codes.shorts != nullptr) {
      const uint16_t* shorts = codes.shorts + first;
      addVariable([shorts](std::ptrdiff_t i) { return int32_t{shorts[i]}; }, count, k, z, S1, P, w,
                  observed.data(), scores);
    } else {
      addVariable([&codes, first](std::ptrdiff_t i) { return codes[first + i]; }, count, k, z, S1,
                  P, w, observed.data(), scores);
    }
  }
  for (std::ptrdiff_t i = 0; i < count; ++i) {
    // The object's marginal, as the marginals' pass forms it: whole units times the count.
    const int64_t units = unitWeights ? 1 : static_cast<int64_t>(weights[i]);
    const double m = static_cast<double>(units * observed[i]);
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
