// The weighted frequencies that both halves of every iteration divide by: each object's marginal,
// their total and every category's summed weight, read from the codes of the variables.
#include <vector>

#include "engine.h"
#include "workers.h"

namespace tallowmere {

namespace {

// A variable's codes and the slot before its first category, for the loop over the objects.
struct Column {
  CodeColumn codes;
  std::ptrdiff_t slotBefore;
};

std::vector<Column> columnsOf(const Problem& problem, const std::vector<int32_t>& variables) {
  std::vector<Column> columns;
  for (const int32_t J : variables) {
    const Variable& v = problem.variables[J];
    columns.push_back({v.codes, problem.slotStart[J] - 1});
  }
  return columns;
}

// Adds the marginals of objects first .. last - 1 into m, D and t.
void addMarginals(const std::vector<Column>& active, const std::vector<Column>& passive,
                  std::span<const double> objectWeights, std::span<double> objectMarginals,
                  double* D, double& totalMarginal, std::ptrdiff_t first, std::ptrdiff_t last) {
  // The object's and the total sums live in registers, so that the compiler need not fear that
  // a category's sum shares their memory and can keep their additions back to back; each sum
  // still receives its terms one by one, in the same order.
  double total = totalMarginal;
  for (std::ptrdiff_t i = first; i < last; ++i) {
    const double b = objectWeights[i];
    double m = objectMarginals[i];
    for (const Column& column : active) {
      const int32_t c = column.codes[i];
      if (c > 0) {
        m = m + b;
        total = total + b;
        D[column.slotBefore + c] += b;
      }
    }
    objectMarginals[i] = m;
    // Passive categories get their frequencies, but passive codes never weigh on an object.
    for (const Column& column : passive) {
      const int32_t c = column.codes[i];
      if (c > 0) {
        D[column.slotBefore + c] += b;
      }
    }
  }
  totalMarginal = total;
}

}  // namespace

void computeMarginals(const Problem& problem, std::span<const double> objectWeights,
                      std::span<double> objectMarginals, std::span<double> categoryMarginals,
                      double& totalMarginal, Workers* workers) {
  const std::vector<Column> active = columnsOf(problem, problem.activeVariables);
  const std::vector<Column> passive = columnsOf(problem, problem.passiveVariables);
  if (workers == nullptr) {
    addMarginals(active, passive, objectWeights, objectMarginals, categoryMarginals.data(),
                 totalMarginal, 0, problem.objectCount);
    return;
  }
  // Whole-number weights summed exactly in 64-bit integers, block by block, and rounded once:
  // the same values whatever the blocks or the threads, and the same as the sums in doubles
  // while those are exact.
  const std::size_t S = categoryMarginals.size();
  const std::ptrdiff_t blocks = blockCount(problem.objectCount);
  std::vector<int64_t> blockD(static_cast<std::size_t>(blocks) * S, 0);
  std::vector<int64_t> blockTotal(static_cast<std::size_t>(blocks), 0);
  forEachBlock(workers, problem.objectCount,
               [&](std::ptrdiff_t b, std::ptrdiff_t first, std::ptrdiff_t last) {
                 int64_t* D = blockD.data() + b * S;
                 int64_t total = 0;
                 for (std::ptrdiff_t i = first; i < last; ++i) {
                   const auto w = static_cast<int64_t>(objectWeights[i]);
                   int64_t observed = 0;
                   for (const Column& column : active) {
                     const int32_t c = column.codes[i];
                     if (c > 0) {
                       ++observed;
                       D[column.slotBefore + c] += w;
                     }
                   }
                   for (const Column& column : passive) {
                     const int32_t c = column.codes[i];
                     if (c > 0) {
                       D[column.slotBefore + c] += w;
                     }
                   }
                   objectMarginals[i] += static_cast<double>(w * observed);
                   total += w * observed;
                 }
                 blockTotal[b] = total;
               });
  int64_t total = 0;
  for (std::ptrdiff_t b = 0; b < blocks; ++b) {
    total += blockTotal[b];
  }
  totalMarginal += static_cast<double>(total);
  for (std::size_t slot = 0; slot < S; ++slot) {
    int64_t sum = 0;
    for (std::ptrdiff_t b = 0; b < blocks; ++b) {
      sum += blockD[b * S + slot];
    }
    categoryMarginals[slot] += static_cast<double>(sum);
  }
}

}  // namespace tallowmere
