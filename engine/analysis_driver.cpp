// One complete analysis: weights and marginals, a reproducible random start, the alternating
// least squares loop with its stopping tests, and the export of the results.
#include "buffer.h"
#include "engine.h"
#include "fused_steps.h"
#include "iteration_plan.h"
#include "object_passes.h"
#include "outer_loop.h"
#include "run_state.h"
#include "workers.h"

namespace tallowmere {

namespace {

// Element counts of the working buffers; a negative count allocates nothing.
std::size_t bufferSize(std::ptrdiff_t elements) {
  return elements > 0 ? static_cast<std::size_t>(elements) : 0;
}

// Each object's weight; with `withoutUnobservedObjects`, 0 for an object without a valid active
// code.
void setObjectWeights(const Problem& problem, std::span<double> objectWeights,
                      bool withoutUnobservedObjects, Workers* workers) {
  forEachBlock(workers, problem.objectCount,
               [&](std::ptrdiff_t, std::ptrdiff_t first, std::ptrdiff_t last) {
                 for (std::ptrdiff_t i = first; i < last; ++i) {
                   bool observed = !withoutUnobservedObjects;
                   for (std::size_t j = 0; j < problem.activeVariables.size() && !observed; ++j) {
                     observed = problem.code(i, problem.activeVariables[j]) > 0;
                   }
                   objectWeights[i] = observed ? problem.weight(i) : 0;
                 }
               });
}

// The steps of the outer loop as passes over the objects.
struct ObjectSpaceSteps {
  RunState& run;

  void centroids(std::span<double> categoryQuantifications) {
    computeCategoryCentroids(run.problem, run.plan, run.work, run.objectWeights,
                             run.categoryMarginals, run.objectScores, categoryQuantifications);
  }

  void averageAndNormalise(std::span<const double> Y, std::span<double> eigenvalues, double& fit,
                           double& minimumCosine) {
    const Problem& problem = run.problem;
    const double t = run.totalMarginal;
    std::span<const double> w = run.objectWeights;
    std::span<const double> m = run.objectMarginals;
    std::span<double> X = run.objectScores;
    if (run.fused) {
      // Averages, evaluation, centring and orthonormalisation in fewer passes (fused_steps.h).
      averageAndEvaluate(problem, run.plan, run.work, w, m, Y, X, run.evaluationSums);
      summariseEvaluation(run.evaluationSums, eigenvalues, fit, minimumCosine, t);
      centreAndOrthonormalise(problem, X, m, t, run.evaluationSums);
    } else {
      computeObjectAverages(problem, run.plan, run.work, w, m, Y, run.objectAverages);
      evaluateIteration(problem, run.work, m, X, run.objectAverages, eigenvalues, fit,
                        minimumCosine, t);
      normaliseObjectScores(problem, run.work, X, m, t);
    }
  }
};

}  // namespace

void drawRandomStart(std::span<double> objectScores, uint32_t& state) {
  state = 22695478u;
  for (double& score : objectScores) {
    state = state * 22695477u + 1u;
    score = static_cast<double>((state >> 16) & 0x7FFFu);
  }
}

StoppingRule nativeStoppingRule(const AnalysisSettings& settings) {
  return {.maxIterations = settings.maxIterations,
          .fitTolerance = settings.fitTolerance,
          .cosineTolerance = settings.cosineTolerance};
}

void normaliseObjectScores(const Problem& problem, Workspace& work, std::span<double> objectScores,
                           std::span<const double> marginals, double totalMarginal) {
  centreObjectScores(problem, work, objectScores, marginals, totalMarginal);
  orthonormaliseObjectScores(problem, objectScores, marginals, totalMarginal);
}

void allocateRun(RunState& run, Problem problem, int32_t innerIterations,
                 const PlanOptions& options, Workers* workers) {
  run.problem = std::move(problem);
  run.innerIterations = innerIterations;
  run.workers = workers;
  const Problem& p = run.problem;
  const std::ptrdiff_t N = p.objectCount;
  const std::ptrdiff_t P = p.dimensionCount;
  const std::ptrdiff_t S = p.slotCount;
  run.objectWeights = Buffer<double>(bufferSize(N));
  run.objectScores = Buffer<double>(bufferSize(P * N));
  run.categoryQuantifications = Buffer<double>(bufferSize(P * S));
  // The fused steps replace the scores object by object and never store the averages.
  run.fused = fusedPassHandles(p.dimensionCount);
  run.objectAverages = Buffer<double>(run.fused ? 0 : bufferSize(P * N));
  run.objectMarginals = Buffer<double>(bufferSize(N));
  run.categoryMarginals = Buffer<double>(bufferSize(S));
  run.singleQuantifications = Buffer<double>(bufferSize(S));
  run.loadings = Buffer<double>(bufferSize(std::ptrdiff_t{p.variableCount()} * P));
  run.eigenvalues = Buffer<double>(bufferSize(P));
  buildIterationPlan(p, run.plan, run.work, options, workers);
  if (workers != nullptr) {
    useBlocks(run.plan, run.work, workers);
  }
}

void startRun(RunState& run, bool withoutUnobservedObjects) {
  const Problem& problem = run.problem;
  setObjectWeights(problem, run.objectWeights, withoutUnobservedObjects, run.workers);
  run.totalMarginal = 0.0;
  computeMarginals(problem, run.objectWeights, run.objectMarginals, run.categoryMarginals,
                   run.totalMarginal, run.workers);
  if (run.innerIterations > 0) {
    initialiseSingleQuantifications(problem, run.categoryMarginals, run.singleQuantifications,
                                    run.totalMarginal);
  }
  drawRandomStart(run.objectScores, run.randomState);
  normaliseObjectScores(problem, run.work, run.objectScores, run.objectMarginals,
                        run.totalMarginal);
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
  runAnalysisReporting({.dimensionCount = dimensionCount,
                        .dataStride = dataStride,
                        .objectCount = objectCount,
                        .maxCategories = maxCategories,
                        .maxIterations = maxIterations,
                        .innerIterations = innerIterations,
                        .activeCount = activeCount,
                        .passiveCount = passiveCount,
                        .weightColumn = weightColumn,
                        .timing = timing,
                        .useWeights = useWeights,
                        .writeObjectScores = writeObjectScores,
                        .activeColumns = activeColumns,
                        .passiveColumns = passiveColumns,
                        .activeCategoryCounts = activeCategoryCounts,
                        .passiveCategoryCounts = passiveCategoryCounts,
                        .activeSingle = activeSingle,
                        .passiveSingle = passiveSingle,
                        .activeLevels = activeLevels,
                        .passiveLevels = passiveLevels,
                        .data = data,
                        .fitTolerance = fitTolerance,
                        .cosineTolerance = cosineTolerance},
                       objectScoreTable, categoryQuantificationTable);
  return 0;
}

RunReport runAnalysisReporting(const AnalysisSettings& settings, ResultTable objectScoreTable,
                               ResultTable categoryQuantificationTable) {
  analysisSettings = settings;
  RunState run;
  allocateRun(run, problemFromSettings(settings), settings.innerIterations);
  startRun(run, false);
  randomState = run.randomState;
  const RunReport report = iterateRun(run, nativeStoppingRule(settings), nullptr, nullptr);

  const Problem& problem = run.problem;
  exportCategoryQuantifications(problem, run.categoryQuantifications, categoryQuantificationTable);
  if (settings.writeObjectScores) {
    normaliseObjectScores(problem, run.work, run.objectScores, run.objectMarginals,
                          run.totalMarginal);
    exportObjectScores(problem, run.objectScores, objectScoreTable);
  }
  return report;
}

}  // namespace tallowmere
