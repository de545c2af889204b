// One complete analysis: settings, weights and marginals, a reproducible random start, the
// alternating least squares loop with its stopping tests, and the export of the results.
#include <vector>

#include "buffer.h"
#include "engine.h"
#include "fused_steps.h"
#include "iteration_plan.h"
#include "object_passes.h"
#include "outer_loop.h"
#include "run_state.h"

namespace tallowmere {

uint32_t randomState = 1;

namespace {

// Element counts of the working buffers; a negative count allocates nothing.
std::size_t bufferSize(std::ptrdiff_t elements) {
  return elements > 0 ? static_cast<std::size_t>(elements) : 0;
}

void setObjectWeights(std::span<int32_t> objectWeights) {
  const AnalysisSettings& s = analysisSettings;
  for (std::ptrdiff_t i = 0; i < s.objectCount; ++i) {
    objectWeights[i] = s.useWeights ? s.data[i * s.dataStride + s.weightColumn] : 1;
  }
}

void excludeObjectsWithoutActiveCodes(std::span<int32_t> objectWeights) {
  const AnalysisSettings& s = analysisSettings;
  for (std::ptrdiff_t i = 0; i < s.objectCount; ++i) {
    bool observed = false;
    for (int32_t j = 0; j < s.activeCount && !observed; ++j) {
      observed = objectCode(i, j) > 0;
    }
    if (!observed) {
      objectWeights[i] = 0;
    }
  }
}

// The steps of the outer loop as passes over the objects.
struct ObjectSpaceSteps {
  RunState& run;

  void centroids(std::span<double> categoryQuantifications) {
    computeCategoryCentroids(run.plan, run.work, run.objectWeights, run.categoryMarginals,
                             run.objectScores, categoryQuantifications);
  }

  void averageAndNormalise(std::span<const double> Y, std::span<double> eigenvalues, double& fit,
                           double& minimumCosine) {
    const double t = run.totalMarginal;
    std::span<const int32_t> w = run.objectWeights;
    std::span<const double> m = run.objectMarginals;
    std::span<double> X = run.objectScores;
    if (run.fused) {
      // Averages, evaluation, centring and orthonormalisation in fewer passes (fused_steps.h).
      averageAndEvaluate(run.plan, run.work, w, m, Y, X, run.evaluationSums);
      summariseEvaluation(run.evaluationSums, eigenvalues, fit, minimumCosine, t);
      centreAndOrthonormalise(X, m, t, run.evaluationSums);
    } else {
      computeObjectAverages(run.plan, run.work, w, m, Y, run.objectAverages);
      evaluateIteration(run.work, m, X, run.objectAverages, eigenvalues, fit, minimumCosine, t);
      normaliseObjectScores(run.work, X, m, t);
    }
  }
};

}  // namespace

// Linear congruential generator modulo 2^32; 22695478 is the state one step after 1.
void drawRandomStart(std::span<double> objectScores) {
  randomState = 22695478u;
  for (double& score : objectScores) {
    randomState = randomState * 22695477u + 1u;
    score = static_cast<double>((randomState >> 16) & 0x7FFFu);
  }
}

StoppingRule nativeStoppingRule() {
  const AnalysisSettings& s = analysisSettings;
  StoppingRule rule;
  rule.maxIterations = s.maxIterations;
  rule.fitTolerance = s.fitTolerance;
  rule.cosineTolerance = s.cosineTolerance;
  return rule;
}

void normaliseObjectScores(Workspace& work, std::span<double> objectScores,
                           std::span<const double> marginals, double totalMarginal) {
  centreObjectScores(work, objectScores, marginals, totalMarginal);
  orthonormaliseObjectScores(objectScores, marginals, totalMarginal);
}

void allocateRun(RunState& run, const PlanOptions& options) {
  const AnalysisSettings& s = analysisSettings;
  const std::ptrdiff_t N = s.objectCount;
  const std::ptrdiff_t P = s.dimensionCount;
  const std::ptrdiff_t S = slotCount();
  const std::ptrdiff_t variables = std::ptrdiff_t{s.activeCount} + s.passiveCount;
  run.objectWeights = Buffer<int32_t>(bufferSize(N));
  run.objectScores = Buffer<double>(bufferSize(P * N));
  run.categoryQuantifications = Buffer<double>(bufferSize(P * S));
  // The fused steps replace the scores object by object and never store the averages.
  run.fused = fusedPassHandles(s.dimensionCount);
  run.objectAverages = Buffer<double>(run.fused ? 0 : bufferSize(P * N));
  run.objectMarginals = Buffer<double>(bufferSize(N));
  run.categoryMarginals = Buffer<double>(bufferSize(S));
  run.singleQuantifications = Buffer<double>(bufferSize(S));
  run.loadings = Buffer<double>(bufferSize(variables * P));
  run.eigenvalues = Buffer<double>(bufferSize(P));
  buildIterationPlan(run.plan, run.work, options);
}

void startRun(RunState& run, bool withoutUnobservedObjects) {
  setObjectWeights(run.objectWeights);
  if (withoutUnobservedObjects) {
    excludeObjectsWithoutActiveCodes(run.objectWeights);
  }
  run.totalMarginal = 0.0;
  computeMarginals(run.objectWeights, run.objectMarginals, run.categoryMarginals,
                   run.totalMarginal);
  if (analysisSettings.innerIterations > 0) {
    initialiseSingleQuantifications(run.categoryMarginals, run.singleQuantifications,
                                    run.totalMarginal);
  }
  drawRandomStart(run.objectScores);
  normaliseObjectScores(run.work, run.objectScores, run.objectMarginals, run.totalMarginal);
}

RunReport iterateRun(RunState& run, const StoppingRule& rule, SubspaceTracker* tracker,
                     Momentum* momentum) {
  ObjectSpaceSteps steps{run};
  return runOuterLoop(run, steps, rule, tracker, momentum);
}

int32_t runAnalysis(int32_t dimensionCount, int32_t dataStride, int32_t objectCount,
                    int32_t maxCategories, int32_t maxIterations, int32_t innerIterations,
                    int32_t activeCount, int32_t passiveCount, int32_t weightColumn, bool timing,
                    bool useWeights, bool writeObjectScores, const int32_t* activeColumns,
                    const int32_t* passiveColumns, const int32_t* activeCategoryCounts,
                    const int32_t* passiveCategoryCounts, const int32_t* activeSingle,
                    const int32_t* passiveSingle, const int32_t* activeLevels,
                    const int32_t* passiveLevels, const int32_t* data, double fitTolerance,
                    double cosineTolerance, ResultTable objectScoreTable,
                    ResultTable categoryQuantificationTable) {
  runAnalysisReporting(
      {dimensionCount, dataStride,      objectCount,          maxCategories,
       maxIterations,  innerIterations, activeCount,          passiveCount,
       weightColumn,   timing,          useWeights,           writeObjectScores,
       activeColumns,  passiveColumns,  activeCategoryCounts, passiveCategoryCounts,
       activeSingle,   passiveSingle,   activeLevels,         passiveLevels,
       data,           fitTolerance,    cosineTolerance},
      objectScoreTable, categoryQuantificationTable);
  return 0;
}

RunReport runAnalysisReporting(const AnalysisSettings& settings, ResultTable objectScoreTable,
                               ResultTable categoryQuantificationTable) {
  analysisSettings = settings;
  RunState run;
  allocateRun(run);
  startRun(run, false);
  const RunReport report = iterateRun(run, nativeStoppingRule(), nullptr, nullptr);

  exportCategoryQuantifications(run.categoryQuantifications, categoryQuantificationTable);
  if (settings.writeObjectScores) {
    normaliseObjectScores(run.work, run.objectScores, run.objectMarginals, run.totalMarginal);
    exportObjectScores(run.objectScores, objectScoreTable);
  }
  return report;
}

}  // namespace tallowmere
