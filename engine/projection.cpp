#include "projection.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "workers.h"

namespace tallowmere {

namespace {

// Objects summed together, variable by variable: a column's codes are then read in runs, and the
// chunk's sums (chunk * (P + 1) doubles) stay in the first-level cache for the usual P.
constexpr std::ptrdiff_t chunkObjects = 256;

// Each variable's categories as rows of P + 1 values, the P quantifications and a 1 that counts
// the variable as observed, behind a row 0 of zeros that every missing or excluded cell reads
// instead. An object's sums then take one row per variable with no branch on its code, which the
// random codes of real data would mispredict. Adding the zeros of row 0 leaves the sums' bits as
// they are: they start at +0, and no sum of doubles that starts at +0 becomes -0.
struct Rows {
  std::ptrdiff_t width = 0;           // P + 1
  std::vector<double> values;         // per variable (k_J + 1) x width, [row * width + e]
  std::vector<std::ptrdiff_t> first;  // per variable: the index of its row 0 in values
};

Rows layRows(const ProjectionModel& model, std::ptrdiff_t variableCount) {
  const std::ptrdiff_t P = std::ssize(model.eigenvalues);
  Rows rows;
  rows.width = P + 1;
  rows.first.resize(static_cast<std::size_t>(variableCount));
  std::ptrdiff_t size = 0;
  for (std::ptrdiff_t J = 0; J < variableCount; ++J) {
    rows.first[J] = size;
    size += (model.categoryCounts[J] + 1) * rows.width;
  }
  rows.values.assign(static_cast<std::size_t>(size), 0.0);
  std::ptrdiff_t slot = 0;
  for (std::ptrdiff_t J = 0; J < variableCount; ++J) {
    for (int32_t c = 1; c <= model.categoryCounts[J]; ++c, ++slot) {
      if (!model.excluded.empty() && model.excluded[slot] != 0) {
        continue;  // a row of zeros: counts as missing
      }
      double* row = rows.values.data() + rows.first[J] + c * rows.width;
      std::copy_n(model.quantifications.data() + slot * P, P, row);
      row[P] = 1.0;
    }
  }
  return rows;
}

// Adds variable J's rows to the sums of objects first .. last - 1. Width is the row width when it
// is known at compile time (0: rows.width), so that the adds of the usual P are unrolled.
template <std::ptrdiff_t Width>
void addVariable(const Rows& rows, std::ptrdiff_t J, CodeColumn codes, int32_t k,
                 std::ptrdiff_t first, std::ptrdiff_t last, double* sums) {
  const std::ptrdiff_t width = Width > 0 ? Width : rows.width;
  const double* table = rows.values.data() + rows.first[J];
  const auto categories = static_cast<uint32_t>(k);
  for (std::ptrdiff_t i = first; i < last; ++i) {
    const int32_t code = codes[i];
    // Codes 1 .. k read their category's row; 0, negative and larger codes row 0.
    const std::ptrdiff_t row = static_cast<uint32_t>(code) - 1u < categories ? code : 0;
    const double* values = table + row * width;
    double* sum = sums + (i - first) * width;
    for (std::ptrdiff_t e = 0; e < width; ++e) {
      sum[e] += values[e];
    }
  }
}

void addVariable(const Rows& rows, std::ptrdiff_t J, CodeColumn codes, int32_t k,
                 std::ptrdiff_t first, std::ptrdiff_t last, double* sums) {
  switch (rows.width) {
    case 2:
      return addVariable<2>(rows, J, codes, k, first, last, sums);
    case 3:
      return addVariable<3>(rows, J, codes, k, first, last, sums);
    case 4:
      return addVariable<4>(rows, J, codes, k, first, last, sums);
    case 5:
      return addVariable<5>(rows, J, codes, k, first, last, sums);
    case 6:
      return addVariable<6>(rows, J, codes, k, first, last, sums);
    default:
      return addVariable<0>(rows, J, codes, k, first, last, sums);
  }
}

void projectChunk(const ProjectionModel& model, const Rows& rows, std::span<const CodeColumn> codes,
                  std::ptrdiff_t N, std::ptrdiff_t first, std::ptrdiff_t last,
                  std::vector<double>& sums, std::span<double> scores) {
  const std::ptrdiff_t P = std::ssize(model.eigenvalues);
  const std::ptrdiff_t width = rows.width;
  std::fill(sums.begin(), sums.end(), 0.0);
  for (std::size_t J = 0; J < codes.size(); ++J) {
    addVariable(rows, static_cast<std::ptrdiff_t>(J), codes[J], model.categoryCounts[J], first,
                last, sums.data());
  }
  constexpr double none = std::numeric_limits<double>::quiet_NaN();
  for (std::ptrdiff_t i = first; i < last; ++i) {
    const double* sum = sums.data() + (i - first) * width;
    const double c = sum[P];  // a whole number of variables, exact
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      scores[d * N + i] = c == 0.0 ? none : (sum[d] / c - model.centre[d]) / model.eigenvalues[d];
    }
  }
}

}  // namespace

void projectObjects(const ProjectionModel& model, std::span<const CodeColumn> codes,
                    std::ptrdiff_t objectCount, Workers* workers, std::span<double> scores) {
  const Rows rows = layRows(model, std::ssize(codes));
  forEachBlock(workers, objectCount,
               [&](std::ptrdiff_t, std::ptrdiff_t blockFirst, std::ptrdiff_t blockLast) {
                 std::vector<double> sums(static_cast<std::size_t>(chunkObjects * rows.width));
                 for (std::ptrdiff_t first = blockFirst; first < blockLast; first += chunkObjects) {
                   const std::ptrdiff_t last = std::min(blockLast, first + chunkObjects);
                   projectChunk(model, rows, codes, objectCount, first, last, sums, scores);
                 }
               });
}

}  // namespace tallowmere
