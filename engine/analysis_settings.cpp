#include "analysis_settings.h"

#include <algorithm>

namespace tallowmere {

AnalysisSettings analysisSettings;
uint32_t randomState = 1;

Problem problemFromSettings(const AnalysisSettings& s) {
  std::vector<Variable> variables;
  const auto add = [&](int32_t count, const int32_t* columns, const int32_t* categoryCounts,
                       const int32_t* single, const int32_t* levels, bool active) {
    for (int32_t j = 0; j < count; ++j) {
      variables.push_back(
          {.codes = {s.data != nullptr ? s.data + columns[j] : nullptr, s.dataStride},
           .categoryCount = categoryCounts[j],
           .active = active,
           .single = single[j],
           .level = levels[j]});
    }
  };
  add(std::max(s.activeCount, 0), s.activeColumns, s.activeCategoryCounts, s.activeSingle,
      s.activeLevels, true);
  add(std::max(s.passiveCount, 0), s.passiveColumns, s.passiveCategoryCounts, s.passiveSingle,
      s.passiveLevels, false);
  const CodeColumn weights = s.useWeights && s.data != nullptr
                                 ? CodeColumn{s.data + s.weightColumn, s.dataStride}
                                 : CodeColumn{};
  return makeProblem(s.objectCount, s.dimensionCount, std::move(variables), weights,
                     SlotLayout::uniform, s.maxCategories);
}

}  // namespace tallowmere
