#include "iteration_plan.h"

#include "vector_lanes.h"

#include <algorithm>

namespace tallowmere {

namespace {

IterationPlan* runPlan = nullptr;

std::size_t count(std::ptrdiff_t n) {
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

template <typename Code>
void fillCodes(std::vector<Code>& codes, int32_t dump) {
  const AnalysisSettings& s = analysisSettings;
  const int32_t variables = variableCount();
  const int32_t K = s.maxCategories;
  codes.resize(count(std::ptrdiff_t{s.objectCount} * variables));
  std::vector<int32_t> columns(count(variables));
  for (int32_t J = 0; J < variables; ++J) {
    columns[J] = variableColumn(J);
  }
  Code* out = codes.data();
  for (std::ptrdiff_t i = 0; i < s.objectCount; ++i) {
    const int32_t* row = s.data + i * s.dataStride;
    for (int32_t J = 0; J < variables; ++J) {
      const int32_t c = row[columns[J]];
      *out++ = static_cast<Code>(c > 0 && c <= K ? c - 1 : dump);
    }
  }
}

}  // namespace

void buildIterationPlan(IterationPlan& plan) {
  const AnalysisSettings& s = analysisSettings;
  const int32_t K = s.maxCategories;
  plan.blockWidth = std::ptrdiff_t{std::max(K, 0)} + 1;
  const int32_t dump = std::max(K, 0);
  plan.byteCodes.clear();
  plan.shortCodes.clear();
  plan.wideCodes.clear();
  if (plan.blockWidth <= 256) {
    fillCodes(plan.byteCodes, dump);
  } else if (plan.blockWidth <= 65536) {
    fillCodes(plan.shortCodes, dump);
  } else {
    fillCodes(plan.wideCodes, dump);
  }
  const std::ptrdiff_t blocks = variableCount();
  const std::ptrdiff_t dimensions = std::max(s.dimensionCount, 0);
  plan.entryStride = std::max<std::ptrdiff_t>(4, (dimensions + 3) / 4 * 4);
  plan.table.assign(count(blocks * plan.blockWidth * plan.entryStride), 0.0);
  plan.blockLength.assign(count(K), 0);
  plan.blockValue.assign(count(K), 0.0);
  plan.blockWeight.assign(count(K), 0.0);
  plan.dimensionScratch.assign(count(2 * plan.entryStride), 0.0);
}

IterationPlan& iterationPlan(IterationPlan& local) {
  if (runPlan != nullptr) {
    return *runPlan;
  }
  buildIterationPlan(local);
  return local;
}

IterationPlan& regressionWorkspace(IterationPlan& local, int32_t k) {
  if (runPlan != nullptr && runPlan->blockLength.size() >= count(k)) {
    return *runPlan;
  }
  local.blockLength.resize(count(k));
  local.blockValue.resize(count(k));
  local.blockWeight.resize(count(k));
  return local;
}

std::span<double> dimensionScratch(std::vector<double>& local) {
  if (runPlan != nullptr) {
    return runPlan->dimensionScratch;
  }
  local.assign(count(2 * std::ptrdiff_t{analysisSettings.dimensionCount} + 8), 0.0);
  return local;
}

namespace {
bool wideLanesAllowed = true;
}

bool wideLanesAvailable() {
  static const bool supported = __builtin_cpu_supports("avx2");
  return supported && wideLanesAllowed;
}

void setWideLanesAllowed(bool allowed) {
  wideLanesAllowed = allowed;
}

RunPlanScope::RunPlanScope(IterationPlan& plan) {
  runPlan = &plan;
}
RunPlanScope::~RunPlanScope() {
  runPlan = nullptr;
}

}  // namespace tallowmere
