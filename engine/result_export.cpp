// Copies the results into the caller's 1-based tables, bit for bit; computes nothing.
#include "engine.h"

namespace tallowmere {

void exportCategoryQuantifications(const Problem& problem,
                                   std::span<const double> categoryQuantifications,
                                   ResultTable categoryQuantificationTable) {
  const std::ptrdiff_t S = problem.slotCount;
  std::ptrdiff_t row = 1;
  // Rows are packed: slots beyond k_j and passive variables produce no row.
  for (const int32_t J : problem.activeVariables) {
    const std::ptrdiff_t base = problem.slotStart[J];
    for (int32_t c = 0; c < problem.variables[J].categoryCount; ++c) {
      for (int32_t d = 0; d < problem.dimensionCount; ++d) {
        categoryQuantificationTable[row][1 + d] = categoryQuantifications[d * S + base + c];
      }
      ++row;
    }
  }
}

void exportObjectScores(const Problem& problem, std::span<const double> objectScores,
                        ResultTable objectScoreTable) {
  const std::ptrdiff_t N = problem.objectCount;
  for (std::ptrdiff_t i = 0; i < N; ++i) {
    for (int32_t d = 0; d < problem.dimensionCount; ++d) {
      objectScoreTable[1 + i][1 + d] = objectScores[d * N + i];
    }
  }
}

}  // namespace tallowmere
