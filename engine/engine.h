// The analysis engine: homogeneity analysis by alternating least squares on flat arrays. Every
// step takes the problem it works on (problem.h, which states every buffer layout) and the
// buffers it reads and writes; none keeps state between calls. The native method's run,
// runAnalysis, keeps the process-wide settings record and generator state its contract names
// (analysis_settings.h); it builds its problem from that record and calls the same steps.
#pragma once

#include <cstdint>
#include <span>

#include "analysis_settings.h"
#include "iteration_plan.h"
#include "problem.h"
#include "run_report.h"

namespace tallowmere {

// ---- Marginals, centroids and object averages ----

// Adds each object's marginal (w_i times its number of valid active codes) into m, their total
// into t, and every category's summed weight (active and passive variables) into D, in doubles
// in object order. On the workers, when given, the weights must be whole numbers whose total
// times M1 is below 2^62 (problem.h): every sum is then made exactly in 64-bit integers, in blocks
// of objects, and rounded once, so that it does not depend on the objects' order or the threads.
void computeMarginals(const Problem& problem, std::span<const double> objectWeights,
                      std::span<double> objectMarginals, std::span<double> categoryMarginals,
                      double& totalMarginal, Workers* workers = nullptr);

// Sets every element of Y to the w-weighted mean of the scores of the objects in the category,
// or 0.0 where the category's marginal is zero, by one pass over the plan's codes.
void computeCategoryCentroids(const Problem& problem, const IterationPlan& plan, Workspace& work,
                              std::span<const double> objectWeights,
                              std::span<const double> categoryMarginals,
                              std::span<const double> objectScores,
                              std::span<double> categoryQuantifications);

// Sets every element of X~ to the weighted average of the object's active quantifications,
// or 0.0 where the object's marginal is zero.
void computeObjectAverages(const Problem& problem, const IterationPlan& plan, Workspace& work,
                           std::span<const double> objectWeights,
                           std::span<const double> objectMarginals,
                           std::span<const double> categoryQuantifications,
                           std::span<double> objectAverages);

// ---- Object-score normalisation and fit ----

// Removes from every dimension its mean weighted by m, dividing by the given total t.
void centreObjectScores(const Problem& problem, Workspace& work, std::span<double> objectScores,
                        std::span<const double> objectMarginals, double totalMarginal);

// Modified Gram-Schmidt in the metric of m: dimensions become m-orthogonal with squared
// m-length t. Zero or negative lengths give IEEE infinities and NaNs.
void orthonormaliseObjectScores(const Problem& problem, std::span<double> objectScores,
                                std::span<const double> objectMarginals, double totalMarginal);

// Writes the eigenvalue of every dimension, their sum and the smallest weighted cosine between
// old scores X and new scores X~, then copies X~ into X.
void evaluateIteration(const Problem& problem, Workspace& work,
                       std::span<const double> objectMarginals, std::span<double> objectScores,
                       std::span<const double> objectAverages, std::span<double> eigenvalues,
                       double& fit, double& minimumCosine, double totalMarginal);

// ---- Rank-one restrictions ----

// Sets every variable's block of z to its category values (problem.h; positions 0, 1, ... by
// default), standardised in the metric of D_J.
void initialiseSingleQuantifications(const Problem& problem,
                                     std::span<const double> categoryMarginals,
                                     std::span<double> singleQuantifications, double totalMarginal);

// Centres the k values in the metric of the k marginals and scales their weighted sum of
// squares to t. Divisions are unguarded: zero sums give IEEE infinities and NaNs.
void standardiseQuantification(int32_t categoryCount, double totalMarginal,
                               const double* categoryMarginals, double* singleQuantifications);

// a_Jd = (sum_c D_J[c] z_J[c] y_Jd[c]) / t for every single variable.
void computeLoadings(const Problem& problem, std::span<const double> categoryMarginals,
                     std::span<const double> categoryQuantifications,
                     std::span<const double> singleQuantifications, std::span<double> loadings,
                     double totalMarginal);

// z_J := z_J + Y_J a_J for every single variable of level below 2.
void accumulateSingleQuantifications(const Problem& problem,
                                     std::span<const double> categoryQuantifications,
                                     std::span<const double> loadings,
                                     std::span<double> singleQuantifications);

// One round of alternating least squares for every single variable of level below 2: z_J := the
// best scores for the loadings a_J, that is Y_J a_J, monotone-regressed for an ordinal variable,
// and standardised. A variable whose regression leaves no variance keeps its z_J. The typed
// entry point's rank-one step; each round lowers the loss, and it has the fixed points of the
// accumulating step above, which moves z_J by a fraction of the way only.
void regressSingleQuantifications(const Problem& problem, std::span<const double> categoryMarginals,
                                  std::span<const double> categoryQuantifications,
                                  std::span<const double> loadings,
                                  std::span<double> singleQuantifications, double totalMarginal,
                                  RegressionWorkspace& work);

// Re-standardises z_J of every single variable of level below 2.
void normaliseSingleQuantifications(const Problem& problem,
                                    std::span<const double> categoryMarginals,
                                    std::span<double> singleQuantifications, double totalMarginal);

// y_Jd := a_Jd * z_J for every single variable.
void imposeRankOne(const Problem& problem, std::span<const double> singleQuantifications,
                   std::span<const double> loadings, std::span<double> categoryQuantifications);

// ---- Weighted monotone regression ----

// Replaces z_J of every single ordinal variable by its monotone regression weighted by D_J.
// The work arrays hold at least K entries.
void applyOrdinalRestrictions(const Problem& problem, std::span<const double> categoryMarginals,
                              std::span<double> singleQuantifications, RegressionWorkspace& work);

// Weighted pool-adjacent-violators over k values; a decrease of at most 2^-52 between adjacent
// blocks is not a violation. A count below 1 reads and writes nothing. The work arrays hold at
// least k entries.
void monotoneRegression(int32_t categoryCount, const double* weights, double* values,
                        RegressionWorkspace& work);

// ---- Result export (runAnalysis) ----

// Row 1 + (categories of the earlier active variables) + c - 1, element 1 + d: the active
// quantifications, packed without gaps.
void exportCategoryQuantifications(const Problem& problem,
                                   std::span<const double> categoryQuantifications,
                                   ResultTable categoryQuantificationTable);

// Row 1 + i, element 1 + d: object i's score on dimension d.
void exportObjectScores(const Problem& problem, std::span<const double> objectScores,
                        ResultTable objectScoreTable);

// ---- Driver ----

// Sets `state` to 22695478, the state one step after 1, and fills X in memory order with the
// draws of the linear congruential generator modulo 2^32 from it, integers 0 .. 32767, so that
// every run begins from the same scores. `state` ends as the last state drawn.
void drawRandomStart(std::span<double> objectScores, uint32_t& state);

// One complete analysis from the 25 values of the native method, in its order. Returns 0.
// Throws std::bad_alloc, before either table is touched, when the working buffers cannot be
// allocated. Writes analysisSettings and randomState, so runs must not overlap.
int32_t runAnalysis(int32_t dimensionCount, int32_t dataStride, int32_t objectCount,
                    int32_t maxCategories, int32_t maxIterations, int32_t innerIterations,
                    int32_t activeCount, int32_t passiveCount, int32_t weightColumn, bool timing,
                    bool useWeights, bool writeObjectScores, const int32_t* activeColumns,
                    const int32_t* passiveColumns, const int32_t* activeCategoryCounts,
                    const int32_t* passiveCategoryCounts, const int32_t* activeSingle,
                    const int32_t* passiveSingle, const int32_t* activeLevels,
                    const int32_t* passiveLevels, const int32_t* data, double fitTolerance,
                    double cosineTolerance, ResultTable objectScoreTable,
                    ResultTable categoryQuantificationTable);

// The same run from its settings record, reporting how it ended; runAnalysis is this call, bit
// for bit.
RunReport runAnalysisReporting(const AnalysisSettings& settings, ResultTable objectScoreTable,
                               ResultTable categoryQuantificationTable);

// The stopping tests of runAnalysis: the iteration bound, the change of the fit and the
// smallest cosine; a NaN fit ends a run only when it has no bound.
StoppingRule nativeStoppingRule(const AnalysisSettings& settings);

}  // namespace tallowmere
