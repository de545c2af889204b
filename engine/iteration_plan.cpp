#include "iteration_plan.h"

#include <algorithm>

#include "vector_lanes.h"
#include "workers.h"

namespace tallowmere {

namespace {

std::size_t count(std::ptrdiff_t n) {
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

// codes[i * V + v] = entry(index) for every object and plan position, where index is the
// category index c - 1 of a code c in 1 .. K and the dump's index K otherwise.
template <typename Code, typename Entry>
void fillCodes(const Problem& problem, const IterationPlan& plan, Buffer<Code>& codes, Entry entry,
               Workers* workers) {
  const int32_t variables = plan.variableCount;
  const int32_t dump = problem.maxCategories;
  codes = Buffer<Code>(count(problem.objectCount * variables));
  std::vector<CodeColumn> columns(count(variables));
  // Without objects the columns may be null, and no offset may be taken from them.
  bool adjacent = problem.objectCount > 0;
  for (int32_t v = 0; v < variables; ++v) {
    columns[v] = problem.variables[plan.order[v]].codes;
    // Compact columns (data null) are never side by side.
    adjacent = adjacent && columns[0].data != nullptr && columns[v].data == columns[0].data + v &&
               columns[v].stride == columns[0].stride;
  }
  // c in 1 .. K, in unsigned arithmetic that cannot overflow and that the compiler vectorises.
  const auto code = [&, limit = static_cast<uint32_t>(dump)](int32_t c) {
    const uint32_t index = static_cast<uint32_t>(c) - 1u;
    return static_cast<Code>(entry(index < limit ? static_cast<int32_t>(index) : dump));
  };
  Code* out = codes.data();
  // Every object's codes stand alone: the blocks change nothing but the threads.
  forEachBlock(workers, problem.objectCount,
               [&](std::ptrdiff_t, std::ptrdiff_t first, std::ptrdiff_t last) {
                 if (adjacent && variables > 0) {
                   // A row-major matrix with the variables side by side: an object's codes are one
                   // run of its row, read in vector registers.
                   const std::ptrdiff_t stride = columns[0].stride;
                   for (std::ptrdiff_t i = first; i < last; ++i) {
                     const int32_t* row = columns[0].data + i * stride;
                     Code* objectCodes = out + i * variables;
                     for (int32_t v = 0; v < variables; ++v) {
                       objectCodes[v] = code(row[v]);
                     }
                   }
                   return;
                 }
                 for (std::ptrdiff_t i = first; i < last; ++i) {
                   Code* objectCodes = out + i * variables;
                   for (int32_t v = 0; v < variables; ++v) {
                     objectCodes[v] = code(columns[v][i]);
                   }
                 }
               });
}

}  // namespace

RegressionWorkspace::RegressionWorkspace(std::ptrdiff_t k)
    : blockLength(count(k)), blockValue(count(k)), blockWeight(count(k)) {}

void buildIterationPlan(const Problem& problem, IterationPlan& plan, Workspace& workspace,
                        const PlanOptions& options, Workers* workers) {
  const int32_t K = problem.maxCategories;
  plan.options = options;
  plan.objectCount = problem.objectCount;
  plan.dimensionCount = problem.dimensionCount;
  plan.variableCount = problem.variableCount();
  plan.activeCount = problem.activeCount();
  plan.order = problem.activeVariables;
  plan.order.insert(plan.order.end(), problem.passiveVariables.begin(),
                    problem.passiveVariables.end());
  plan.lanes = std::min(processorLanes(), options.maxLanes);
  plan.blockWidth = std::ptrdiff_t{K} + 1;
  const std::ptrdiff_t blocks = plan.variableCount;
  plan.entryStride = entryStride(problem.dimensionCount);
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
    fillCodes(
        problem, plan, plan.entryOffsets, [entry](int32_t index) { return index * entry; },
        workers);
  } else if (plan.blockWidth <= 256) {
    fillCodes(problem, plan, plan.byteCodes, categoryIndex, workers);
  } else if (plan.blockWidth <= 65536) {
    fillCodes(problem, plan, plan.shortCodes, categoryIndex, workers);
  } else {
    fillCodes(problem, plan, plan.wideCodes, categoryIndex, workers);
  }

  workspace.table = Buffer<double>(count(blocks * plan.blockWidth * E));
  workspace.scratch.assign(count(2 * E), 0.0);
  workspace.regression = RegressionWorkspace(K);
}

}  // namespace tallowmere
