// Copies the results into the caller's 1-based tables, bit for bit; computes nothing.
#include "engine.h"

namespace tallowmere {

void exportCategoryQuantifications(std::span<const double> categoryQuantifications,
                                   ResultTable categoryQuantificationTable) {
  const AnalysisSettings& s = analysisSettings;
  const std::ptrdiff_t S = slotCount();
  std::ptrdiff_t row = 1;
  std::ptrdiff_t base = 0;
  // Rows are packed: slots beyond k_j and passive variables produce no row.
  for (int32_t j = 0; j < s.activeCount; ++j) {
    for (int32_t c = 0; c < s.activeCategoryCounts[j]; ++c) {
      for (int32_t d = 0; d < s.dimensionCount; ++d) {
        categoryQuantificationTable[row][1 + d] = categoryQuantifications[d * S + base + c];
      }
      ++row;
    }
    base += s.maxCategories;
  }
}

void exportObjectScores(std::span<const double> objectScores, ResultTable objectScoreTable) {
  const std::ptrdiff_t N = analysisSettings.objectCount;
  for (std::ptrdiff_t i = 0; i < N; ++i) {
    for (int32_t d = 0; d < analysisSettings.dimensionCount; ++d) {
      objectScoreTable[1 + i][1 + d] = objectScores[d * N + i];
    }
  }
}

}  // namespace tallowmere
