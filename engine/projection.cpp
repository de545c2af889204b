#include "projection.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "workers.h"

namespace tallowmere {

namespace {

// Objects summed together, variable by variable: a column's codes are then read in runs, and the
// chunk's sums (chunk * P doubles) stay in the first-level cache for the usual P.
constexpr std::ptrdiff_t chunkObjects = 256;

struct Chunk {
  std::vector<double> sums;     // chunkObjects x P, [object * P + d]
  std::vector<int32_t> counts;  // chunkObjects
};

// Adds variable J's quantifications to the sums of objects first .. last - 1 and counts it where
// it is observed.
void addVariable(const ProjectionModel& model, CodeColumn codes, std::ptrdiff_t slotStart,
                 int32_t k, std::ptrdiff_t first, std::ptrdiff_t last, Chunk& chunk) {
  const std::ptrdiff_t P = std::ssize(model.eigenvalues);
  const bool anyExcluded = !model.excluded.empty();
  for (std::ptrdiff_t i = first; i < last; ++i) {
    const int32_t code = codes[i];
    if (code < 1 || code > k) {
      continue;
    }
    const std::ptrdiff_t slot = slotStart + code - 1;
    if (anyExcluded && model.excluded[slot] != 0) {
      continue;
    }
    const double* row = model.quantifications.data() + slot * P;
    double* sum = chunk.sums.data() + (i - first) * P;
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      sum[d] += row[d];
    }
    ++chunk.counts[i - first];
  }
}

void projectChunk(const ProjectionModel& model, std::span<const CodeColumn> codes,
                  std::span<const std::ptrdiff_t> slotStarts, std::ptrdiff_t N,
                  std::ptrdiff_t first, std::ptrdiff_t last, Chunk& chunk,
                  std::span<double> scores) {
  const std::ptrdiff_t P = std::ssize(model.eigenvalues);
  std::fill(chunk.sums.begin(), chunk.sums.end(), 0.0);
  std::fill(chunk.counts.begin(), chunk.counts.end(), 0);
  for (std::size_t J = 0; J < codes.size(); ++J) {
    addVariable(model, codes[J], slotStarts[J], model.categoryCounts[J], first, last, chunk);
  }
  constexpr double none = std::numeric_limits<double>::quiet_NaN();
  for (std::ptrdiff_t i = first; i < last; ++i) {
    const int32_t c = chunk.counts[i - first];
    const double* sum = chunk.sums.data() + (i - first) * P;
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      scores[d * N + i] = c == 0 ? none : (sum[d] / c - model.centre[d]) / model.eigenvalues[d];
    }
  }
}

}  // namespace

void projectObjects(const ProjectionModel& model, std::span<const CodeColumn> codes,
                    std::ptrdiff_t objectCount, Workers* workers, std::span<double> scores) {
  const std::ptrdiff_t P = std::ssize(model.eigenvalues);
  std::vector<std::ptrdiff_t> slotStarts(codes.size());
  std::ptrdiff_t next = 0;
  for (std::size_t J = 0; J < codes.size(); ++J) {
    slotStarts[J] = next;
    next += model.categoryCounts[J];
  }
  forEachBlock(workers, objectCount,
               [&](std::ptrdiff_t, std::ptrdiff_t blockFirst, std::ptrdiff_t blockLast) {
                 Chunk chunk{.sums = std::vector<double>(chunkObjects * P),
                             .counts = std::vector<int32_t>(chunkObjects)};
                 for (std::ptrdiff_t first = blockFirst; first < blockLast; first += chunkObjects) {
                   const std::ptrdiff_t last = std::min(blockLast, first + chunkObjects);
                   projectChunk(model, codes, slotStarts, objectCount, first, last, chunk, scores);
                 }
               });
}

}  // namespace tallowmere
