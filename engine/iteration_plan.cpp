#include "iteration_plan.h"

#include <algorithm>

#include "vector_lanes.h"

namespace tallowmere {

namespace {

std::size_t count(std::ptrdiff_t n) {
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

// codes[i * (M1 + M2) + J] = entry(index) for every object and variable, where index is the
// category index c - 1 of a code c in 1 .. K and the dump's index K otherwise.
template <typename Code, typename Entry>
void fillCodes(Buffer<Code>& codes, Entry entry) {
  const AnalysisSettings& s = analysisSettings;
  const int32_t variables = variableCount();
  const int32_t K = s.maxCategories;
  const int32_t dump = std::max(K, 0);
  codes = Buffer<Code>(count(std::ptrdiff_t{s.objectCount} * variables));
  std::vector<int32_t> columns(count(variables));
  bool adjacent = true;
  for (int32_t J = 0; J < variables; ++J) {
    columns[J] = variableColumn(J);
    adjacent = adjacent && columns[J] == int64_t{columns[0]} + J;
  }
  // c in 1 .. K, in unsigned arithmetic that cannot overflow and that the compiler vectorises.
  const auto code = [&, limit = static_cast<uint32_t>(dump)](int32_t c) {
    const uint32_t index = static_cast<uint32_t>(c) - 1u;
    return static_cast<Code>(entry(index < limit ? static_cast<int32_t>(index) : dump));
  };
  Code* out = codes.data();
  if (adjacent && variables > 0) {
    // The usual layout: an object's codes are one run of its row, read in vector registers.
    for (std::ptrdiff_t i = 0; i < s.objectCount; ++i) {
      const int32_t* row = s.data + i * s.dataStride + columns[0];
      Code* objectCodes = out + i * variables;
      for (int32_t J = 0; J < variables; ++J) {
        objectCodes[J] = code(row[J]);
      }
    }
    return;
  }
  for (std::ptrdiff_t i = 0; i < s.objectCount; ++i) {
    const int32_t* row = s.data + i * s.dataStride;
    for (int32_t J = 0; J < variables; ++J) {
      *out++ = code(row[columns[J]]);
    }
  }
}

}  // namespace

RegressionWorkspace::RegressionWorkspace(std::ptrdiff_t k)
    : blockLength(count(k)), blockValue(count(k)), blockWeight(count(k)) {}

void buildIterationPlan(IterationPlan& plan, Workspace& workspace, const PlanOptions& options) {
  const AnalysisSettings& s = analysisSettings;
  const int32_t K = s.maxCategories;
  plan.options = options;
  plan.lanes = std::min(processorLanes(), options.maxLanes);
  plan.blockWidth = std::ptrdiff_t{std::max(K, 0)} + 1;
  const std::ptrdiff_t blocks = variableCount();
  plan.entryStride = entryStride(std::max(s.dimensionCount, 0));
  plan.entryOffsets = {};
  plan.byteCodes = {};
  plan.shortCodes = {};
  plan.wideCodes = {};
  const auto categoryIndex = [](int32_t index) { return index; };
  const std::ptrdiff_t E = plan.entryStride;
  // An offset is stored in a byte: the dump's, (B - 1) E, must be at most 255.
  if (options.entryOffsets && (plan.blockWidth - 1) * E <= 255) {
    // Offsets fit a byte here, and so do their products in 32 bits.
    const auto entry = static_cast<int32_t>(E);
    fillCodes(plan.entryOffsets, [entry](int32_t index) { return index * entry; });
  } else if (plan.blockWidth <= 256) {
    fillCodes(plan.byteCodes, categoryIndex);
  } else if (plan.blockWidth <= 65536) {
    fillCodes(plan.shortCodes, categoryIndex);
  } else {
    fillCodes(plan.wideCodes, categoryIndex);
  }

  workspace.table = Buffer<double>(count(blocks * plan.blockWidth * E));
  workspace.scratch.assign(count(2 * E), 0.0);
  workspace.regression = RegressionWorkspace(K);
}

}  // namespace tallowmere
