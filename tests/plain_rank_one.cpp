// The rank-one steps and the monotone regression of the plain loops: one variable at a time, in
// matrix form.
#include <cmath>
#include <vector>

#include "plain_loops.h"

namespace tallowmere::plain {

namespace {

// Centres one variable's k scores in the metric of its k marginals and scales their weighted
// sum of squares to t.
void standardise(int32_t k, double t, const double* D, double* z) {
  double weighted = 0.0, total = 0.0;
  for (int32_t c = 0; c < k; ++c) {
    weighted = weighted + D[c] * z[c];
    total = total + D[c];
  }
  const double mean = weighted / total;
  double squares = 0.0;
  for (int32_t c = 0; c < k; ++c) {
    z[c] = z[c] - mean;
    squares = squares + (z[c] * D[c]) * z[c];
  }
  for (int32_t c = 0; c < k; ++c) {
    z[c] = std::sqrt(t / squares) * z[c];
  }
}

}  // namespace

void initialiseSingleQuantifications(const testing::Problem& p,
                                     std::span<const double> categoryMarginals,
                                     std::span<double> singleQuantifications,
                                     double totalMarginal) {
  const int32_t K = p.maxCategories;
  for (int32_t J = 0; J < p.variableCount(); ++J) {
    for (int32_t c = 0; c < K; ++c) {
      singleQuantifications[std::size_t(J) * K + c] = c;
    }
    standardise(p.categoryCount(J), totalMarginal, &categoryMarginals[std::size_t(J) * K],
                &singleQuantifications[std::size_t(J) * K]);
  }
}

void innerIteration(const testing::Problem& p, std::span<const double> categoryMarginals,
                    std::span<const double> categoryQuantifications,
                    std::span<double> singleQuantifications, std::span<double> loadings,
                    double totalMarginal) {
  const int32_t P = p.dimensionCount, K = p.maxCategories;
  const std::ptrdiff_t S = p.slotCount();
  const double t = totalMarginal;
  for (int32_t J = 0; J < p.variableCount(); ++J) {
    if (p.single(J) != 1) {
      continue;
    }
    const int32_t k = p.categoryCount(J);
    const double* DJ = &categoryMarginals[std::size_t(J) * K];
    double* zJ = &singleQuantifications[std::size_t(J) * K];
    for (int32_t d = 0; d < P; ++d) {
      const double* yJd = &categoryQuantifications[d * S + J * K];
      double product = 0.0;
      for (int32_t c = 0; c < k; ++c) {
        product = product + (DJ[c] * zJ[c]) * yJd[c];
      }
      loadings[std::size_t(J) * P + d] = product / t;
    }
    if (p.level(J) >= 2) {
      continue;
    }
    for (int32_t c = 0; c < k; ++c) {
      for (int32_t d = 0; d < P; ++d) {
        zJ[c] =
            zJ[c] + loadings[std::size_t(J) * P + d] * categoryQuantifications[d * S + J * K + c];
      }
    }
    if (p.level(J) == 1) {
      monotoneRegression(k, DJ, zJ);
    }
    standardise(k, t, DJ, zJ);
  }
}

void imposeRankOne(const testing::Problem& p, std::span<const double> singleQuantifications,
                   std::span<const double> loadings, std::span<double> categoryQuantifications) {
  const int32_t P = p.dimensionCount, K = p.maxCategories;
  const std::ptrdiff_t S = p.slotCount();
  for (int32_t J = 0; J < p.variableCount(); ++J) {
    if (p.single(J) != 1) {
      continue;
    }
    for (int32_t d = 0; d < P; ++d) {
      for (int32_t c = 0; c < p.categoryCount(J); ++c) {
        categoryQuantifications[d * S + J * K + c] =
            loadings[std::size_t(J) * P + d] * singleQuantifications[std::size_t(J) * K + c];
      }
    }
  }
}

void monotoneRegression(int32_t categoryCount, const double* weights, double* values) {
  struct Block {
    double value, weight;
    int32_t length;
  };
  std::vector<Block> blocks;
  for (int32_t c = 0; c < categoryCount; ++c) {
    blocks.push_back({values[c], weights[c], 1});
  }
  for (std::size_t b = 0; b + 1 < blocks.size();) {
    Block& left = blocks[b];
    const Block& right = blocks[b + 1];
    if (left.value - right.value > 0x1p-52) {
      left.value =
          (right.weight * right.value + left.weight * left.value) / (right.weight + left.weight);
      left.weight = right.weight + left.weight;
      left.length = right.length + left.length;
      blocks.erase(blocks.begin() + b + 1);
      b = 0;
    } else {
      ++b;
    }
  }
  int32_t c = 0;
  for (const Block& block : blocks) {
    for (int32_t n = 0; n < block.length; ++n) {
      values[c++] = block.value;
    }
  }
}

}  // namespace tallowmere::plain
