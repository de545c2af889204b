// Ordinal single variables: category scores made non-decreasing in category order by weighted
// pool-adjacent-violators, with the category marginals as weights.
#include "engine.h"

namespace tallowmere {

void monotoneRegression(int32_t categoryCount, const double* weights, double* values,
                        RegressionWorkspace& work) {
  if (categoryCount < 1) {
    return;
  }
  const int32_t k = categoryCount;
  // Block descriptions live at the index of the block's first category; other entries are
  // stale.
  int32_t* blockLength = work.blockLength.data();
  double* blockValue = work.blockValue.data();
  double* blockWeight = work.blockWeight.data();
  for (int32_t c = 0; c < k; ++c) {
    blockLength[c] = 1;
    blockValue[c] = values[c];
    blockWeight[c] = weights[c];
  }

  // Pool the leftmost violation and rescan from the first block after every pooling. A NaN
  // block value never compares as a violation, so such a block is never pooled again.
  int32_t s = 0;
  while (s + blockLength[s] != k) {
    const int32_t n = s + blockLength[s];
    if (blockValue[s] - blockValue[n] > zeroTolerance) {
      blockValue[s] = (blockWeight[n] * blockValue[n] + blockWeight[s] * blockValue[s]) /
                      (blockWeight[n] + blockWeight[s]);
      blockWeight[s] = blockWeight[n] + blockWeight[s];
      blockLength[s] = blockLength[n] + blockLength[s];
      s = 0;
    } else {
      s = n;
    }
  }
  for (int32_t first = 0; first < k; first += blockLength[first]) {
    for (int32_t c = first; c < first + blockLength[first]; ++c) {
      values[c] = blockValue[first];
    }
  }
}

void applyOrdinalRestrictions(const Problem& problem, std::span<const double> categoryMarginals,
                              std::span<double> singleQuantifications, RegressionWorkspace& work) {
  for (int32_t J = 0; J < problem.variableCount(); ++J) {
    if (problem.isOrdinal(J)) {
      monotoneRegression(problem.variables[J].categoryCount,
                         categoryMarginals.data() + problem.slotStart[J],
                         singleQuantifications.data() + problem.slotStart[J], work);
    }
  }
}

}  // namespace tallowmere
