// One complete analysis: settings, weights and marginals, a reproducible random start, the
// alternating least squares loop with its stopping tests, and the export of the results.
#include <cmath>
#include <vector>

#include "buffer.h"
#include "engine.h"
#include "fused_steps.h"
#include "iteration_plan.h"

namespace tallowmere {

uint32_t randomState = 1;

namespace {

// Element counts of the working buffers; a negative count allocates nothing.
std::size_t bufferSize(std::ptrdiff_t elements) {
  return elements > 0 ? static_cast<std::size_t>(elements) : 0;
}

void storeSettings(const AnalysisSettings& settings) {
  analysisSettings = settings;
}

void setObjectWeights(std::span<int32_t> objectWeights) {
  const AnalysisSettings& s = analysisSettings;
  for (std::ptrdiff_t i = 0; i < s.objectCount; ++i) {
    objectWeights[i] = s.useWeights ? s.data[i * s.dataStride + s.weightColumn] : 1;
  }
}

void normaliseObjectScores(std::span<double> objectScores, std::span<const double> marginals,
                           double totalMarginal) {
  centreObjectScores(objectScores, marginals, totalMarginal);
  orthonormaliseObjectScores(objectScores, marginals, totalMarginal);
}

bool loopEnds(int32_t iterationsDone, double fit, double previousFit, double minimumCosine) {
  const AnalysisSettings& s = analysisSettings;
  if (iterationsDone == s.maxIterations) {
    return true;
  }
  if (zeroTolerance > std::fabs(fit - previousFit) - s.fitTolerance) {
    return true;
  }
  if (zeroTolerance > std::fabs(1.0 - minimumCosine) - s.cosineTolerance) {
    return true;
  }
  // Without an iteration bound a NaN fit would never let the loop end: nothing recovers from
  // it, since every later iteration computes from the same NaN scores.
  return s.maxIterations <= 0 && std::isnan(fit);
}

}  // namespace

// Linear congruential generator modulo 2^32; 22695478 is the state one step after 1.
void drawRandomStart(std::span<double> objectScores) {
  randomState = 22695478u;
  for (double& score : objectScores) {
    randomState = randomState * 22695477u + 1u;
    score = static_cast<double>((randomState >> 16) & 0x7FFFu);
  }
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
  storeSettings({dimensionCount, dataStride,      objectCount,          maxCategories,
                 maxIterations,  innerIterations, activeCount,          passiveCount,
                 weightColumn,   timing,          useWeights,           writeObjectScores,
                 activeColumns,  passiveColumns,  activeCategoryCounts, passiveCategoryCounts,
                 activeSingle,   passiveSingle,   activeLevels,         passiveLevels,
                 data,           fitTolerance,    cosineTolerance});

  const std::ptrdiff_t N = objectCount;
  const std::ptrdiff_t P = dimensionCount;
  const std::ptrdiff_t S = slotCount();
  const std::ptrdiff_t variables = std::ptrdiff_t{activeCount} + passiveCount;

  Buffer<int32_t> objectWeights(bufferSize(N));
  Buffer<double> objectScores(bufferSize(P * N));
  Buffer<double> categoryQuantifications(bufferSize(P * S));
  // The fused steps replace the scores object by object and never store the averages.
  const bool fused = canAverageAndEvaluate();
  Buffer<double> objectAverages(fused ? 0 : bufferSize(P * N));
  EvaluationSums evaluationSums{};
  Buffer<double> objectMarginals(bufferSize(N));
  Buffer<double> categoryMarginals(bufferSize(S));
  Buffer<double> singleQuantifications(bufferSize(S));
  Buffer<double> loadings(bufferSize(variables * P));
  Buffer<double> eigenvalues(bufferSize(P));
  IterationPlan plan;
  buildIterationPlan(plan);
  const RunPlanScope runPlan(plan);

  setObjectWeights(objectWeights);
  double totalMarginal = 0.0;
  computeMarginals(objectWeights, objectMarginals, categoryMarginals, totalMarginal);
  const bool rankOne = innerIterations > 0;
  if (rankOne) {
    initialiseSingleQuantifications(categoryMarginals, singleQuantifications, totalMarginal);
  }

  drawRandomStart(objectScores);
  normaliseObjectScores(objectScores, objectMarginals, totalMarginal);

  double previousFit = activeCount;
  int32_t iterationsDone = 0;
  while (true) {
    computeCategoryCentroids(objectWeights, categoryMarginals, objectScores,
                             categoryQuantifications);
    if (rankOne) {
      for (int32_t inner = 0; inner < innerIterations; ++inner) {
        computeLoadings(categoryMarginals, categoryQuantifications, singleQuantifications, loadings,
                        totalMarginal);
        accumulateSingleQuantifications(categoryQuantifications, loadings, singleQuantifications);
        applyOrdinalRestrictions(categoryMarginals, singleQuantifications);
        normaliseSingleQuantifications(categoryMarginals, singleQuantifications, totalMarginal);
      }
      imposeRankOne(singleQuantifications, loadings, categoryQuantifications);
    }
    double fit = 0.0;
    double minimumCosine = 0.0;
    if (fused) {
      // Averages, evaluation, centring and orthonormalisation in fewer passes (fused_steps.h).
      averageAndEvaluate(objectWeights, objectMarginals, categoryQuantifications, objectScores,
                         evaluationSums);
      summariseEvaluation(evaluationSums, eigenvalues, fit, minimumCosine, totalMarginal);
      centreAndOrthonormalise(objectScores, objectMarginals, totalMarginal, evaluationSums);
    } else {
      computeObjectAverages(objectWeights, objectMarginals, categoryQuantifications,
                            objectAverages);
      evaluateIteration(objectMarginals, objectScores, objectAverages, eigenvalues, fit,
                        minimumCosine, totalMarginal);
      normaliseObjectScores(objectScores, objectMarginals, totalMarginal);
    }
    ++iterationsDone;
    if (loopEnds(iterationsDone, fit, previousFit, minimumCosine)) {
      break;
    }
    previousFit = fit;
  }

  exportCategoryQuantifications(categoryQuantifications, categoryQuantificationTable);
  if (writeObjectScores) {
    normaliseObjectScores(objectScores, objectMarginals, totalMarginal);
    exportObjectScores(objectScores, objectScoreTable);
  }
  return 0;
}

}  // namespace tallowmere
