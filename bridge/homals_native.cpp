// The typed API's entry point, Quorvane.homals.HomalsNative.analyse: every Java array read once
// into the library's memory, every argument checked on those copies, one analysis of the problem
// they describe, and the solution written back as the engine lays it out. No lock and no
// process-wide state: analyses on different threads run side by side.
#include <jni.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Quorvane_homals_HomalsNative.h"
#include "analysis_solution.h"
#include "buffer.h"
#include "java_arrays.h"
#include "typed_arguments.h"

namespace tallowmere::bridge {
namespace {

// The engine's codes are the ones the Java side names.
static_assert(static_cast<int>(StopReason::iterationBound) ==
              Quorvane_homals_HomalsNative_STOP_ITERATION_BOUND);
static_assert(static_cast<int>(StopReason::fitChange) ==
              Quorvane_homals_HomalsNative_STOP_FIT_CHANGE);
static_assert(static_cast<int>(StopReason::cosine) == Quorvane_homals_HomalsNative_STOP_COSINE);
static_assert(static_cast<int>(StopReason::nanFit) == Quorvane_homals_HomalsNative_STOP_NAN_FIT);
static_assert(static_cast<int>(StopReason::subspace) == Quorvane_homals_HomalsNative_STOP_SUBSPACE);
static_assert(static_cast<int>(StopReason::direct) == Quorvane_homals_HomalsNative_STOP_DIRECT);
static_assert(static_cast<int>(Solver::automatic) == Quorvane_homals_HomalsNative_SOLVER_AUTOMATIC);
static_assert(static_cast<int>(Solver::objects) == Quorvane_homals_HomalsNative_SOLVER_OBJECTS);
static_assert(static_cast<int>(Solver::crossTable) ==
              Quorvane_homals_HomalsNative_SOLVER_CROSS_TABLE);
static_assert(static_cast<int>(Solver::direct) == Quorvane_homals_HomalsNative_SOLVER_DIRECT);

void setDoubles(JNIEnv* env, jdoubleArray array, std::span<const double> values) {
  env->SetDoubleArrayRegion(array, 0, static_cast<jsize>(values.size()), values.data());
  checkPending(env);
}

struct RunSettings {
  jint dimensionCount, maxIterations, innerIterations;
  jdouble fitTolerance, cosineTolerance, subspaceTolerance;
  jint solver;
  jdouble categorySpaceWork;
  jint threads;
};

void checkSettings(JNIEnv* env, const RunSettings& s) {
  requireRange(env, "dimensionCount", s.dimensionCount, s.dimensionCount >= 1, "at least 1");
  requireRange(env, "maxIterations", s.maxIterations, s.maxIterations >= 1, "at least 1");
  requireRange(env, "innerIterations", s.innerIterations, s.innerIterations >= 0, "0 or more");
  checkTolerance(env, "fitTolerance", s.fitTolerance);
  checkTolerance(env, "cosineTolerance", s.cosineTolerance);
  requireRange(env, "subspaceTolerance", s.subspaceTolerance,
               s.subspaceTolerance >= 0.0 && std::isfinite(s.subspaceTolerance),
               "a finite number of 0 or more");
  requireRange(env, "solver", s.solver, s.solver >= 0 && s.solver <= 3, "0, 1, 2 or 3");
  requireRange(env, "categorySpaceWork", s.categorySpaceWork,
               s.categorySpaceWork >= 0.0 && std::isfinite(s.categorySpaceWork),
               "a finite number of 0 or more");
  checkThreads(env, s.threads);
}

// The variables' descriptions besides their codes, read once and checked.
void readDescriptions(JNIEnv* env, TypedArguments& a, jsize variables, jintArray categoryCounts,
                      jbooleanArray passive, jintArray single, jintArray levels,
                      jobjectArray categoryValues, int64_t& activeCount) {
  a.counts = readInts(env, categoryCounts, "categoryCounts", variables);
  a.passive =
      readArray<jboolean>(env, passive, "passive", variables, &JNIEnv::GetBooleanArrayRegion);
  a.single = readInts(env, single, "single", variables);
  a.levels = readInts(env, levels, "levels", variables);
  activeCount = countActive(env, a);
  a.values = readValues(env, categoryValues, a.counts);
}

// The arrays a solution is written to; objectScores is null for a run from tables, and the score
// coefficients are written only by one.
struct Outputs {
  jdoubleArray objectScores, quantifications, centroids, loadings, eigenvalues;
  jintArray ties;
  jdoubleArray tableEigenvalues, pairCounts, report, scoreMoments, scoreCoefficients;
};

// Every output exactly as large as the layout needs, before anything runs. Returns whether the
// table's eigenvalues are asked for.
bool checkOutputs(JNIEnv* env, const Outputs& o, const tallowmere::Problem& problem,
                  int64_t objects, int64_t variables) {
  const int64_t P = problem.dimensionCount, S = problem.slotCount, S1 = problem.activeSlotCount;
  const std::pair<jarray, int64_t> outputs[] = {
      {o.quantifications, S * P},
      {o.centroids, S * P},
      {o.loadings, variables * P},
      {o.eigenvalues, P},
      {o.ties, P},
      {o.report, Quorvane_homals_HomalsNative_REPORT_LENGTH},
      {o.scoreMoments, 2 * P}};
  const char* names[] = {"quantifications", "centroids",   "loadings", "eigenvalues", "ties",
                         "report",          "scoreMoments"};
  for (std::size_t k = 0; k < std::size(outputs); ++k) {
    requireLength(env, outputs[k].first, names[k], outputs[k].second);
  }
  if (o.scoreCoefficients == nullptr) {
    requireLength(env, o.objectScores, "objectScores", objects * P);
  } else {
    requireLength(env, o.scoreCoefficients, "scoreCoefficients", S1 * P);
  }
  const jsize tableEigenvalueRoom = lengthOf(env, o.tableEigenvalues, "tableEigenvalues");
  if (tableEigenvalueRoom != 0 && tableEigenvalueRoom < S1) {
    illegal(env, "tableEigenvalues has length " + std::to_string(tableEigenvalueRoom) +
                     ", neither 0 nor at least " + std::to_string(S1));
  }
  const jsize pairCountLength = lengthOf(env, o.pairCounts, "pairCounts");
  if (pairCountLength != 0 && pairCountLength != S1 * S1) {
    illegal(env, "pairCounts has length " + std::to_string(pairCountLength) + ", neither 0 nor " +
                     std::to_string(S1 * S1));
  }
  return tableEigenvalueRoom > 0;
}

tallowmere::SolutionOptions solutionOptions(const RunSettings& s, bool tableEigenvalues) {
  return {.maxIterations = s.maxIterations,
          .innerIterations = s.innerIterations,
          .fitTolerance = s.fitTolerance,
          .cosineTolerance = s.cosineTolerance,
          .subspaceTolerance = s.subspaceTolerance,
          .solver = static_cast<tallowmere::Solver>(s.solver),
          .categorySpaceWork = s.categorySpaceWork,
          .threads = s.threads,
          .tableEigenvalues = tableEigenvalues};
}

// Objects scored at a time when a table solver's scores are computed here: a few megabytes.
constexpr std::ptrdiff_t scoredObjects = std::ptrdiff_t{1} << 18;

// A table solver's object scores, computed from its coefficients and written a part at a time,
// so that they never take their full size in the library as well as in the Java array.
void writeTableScores(JNIEnv* env, jdoubleArray objectScores, const tallowmere::Problem& problem,
                      const tallowmere::Solution& solution, jint threads) {
  const std::ptrdiff_t N = problem.objectCount, P = problem.dimensionCount;
  tallowmere::Workers workers(threads);
  std::vector<double> part(static_cast<std::size_t>(P * std::min(N, scoredObjects)));
  for (std::ptrdiff_t first = 0; first < N; first += scoredObjects) {
    const std::ptrdiff_t count = std::min(scoredObjects, N - first);
    tallowmere::computeObjectScores(problem, solution.scoreCoefficients, first, first + count, part,
                                    &workers);
    for (std::ptrdiff_t d = 0; d < P; ++d) {
      env->SetDoubleArrayRegion(objectScores, static_cast<jsize>(d * N + first),
                                static_cast<jsize>(count), part.data() + d * count);
      checkPending(env);
    }
  }
}

void writeSolution(JNIEnv* env, const Outputs& o, const tallowmere::Solution& solution) {
  if (o.objectScores != nullptr && !solution.objectScores.empty()) {
    setDoubles(env, o.objectScores, solution.objectScores);
  }
  if (o.scoreCoefficients != nullptr) {
    setDoubles(env, o.scoreCoefficients, solution.scoreCoefficients);
  }
  setDoubles(env, o.quantifications, solution.categoryQuantifications);
  setDoubles(env, o.centroids, solution.categoryCentroids);
  setDoubles(env, o.loadings, solution.loadings);
  setDoubles(env, o.eigenvalues, solution.eigenvalues);
  const std::vector<jint> tiedThrough(solution.tiedThrough.begin(), solution.tiedThrough.end());
  env->SetIntArrayRegion(o.ties, 0, static_cast<jsize>(tiedThrough.size()), tiedThrough.data());
  checkPending(env);
  setDoubles(env, o.tableEigenvalues, solution.tableEigenvalues);
  const bool pairsWritten = env->GetArrayLength(o.pairCounts) > 0 && !solution.pairCounts.empty();
  if (pairsWritten) {
    setDoubles(env, o.pairCounts, solution.pairCounts);
  }
  std::vector<double> moments(solution.scoreSums);
  moments.insert(moments.end(), solution.scoreSquares.begin(), solution.scoreSquares.end());
  setDoubles(env, o.scoreMoments, moments);
  const tallowmere::RunReport& r = solution.report;
  double values[Quorvane_homals_HomalsNative_REPORT_LENGTH] = {};
  values[Quorvane_homals_HomalsNative_REPORT_ITERATIONS] = r.iterations;
  values[Quorvane_homals_HomalsNative_REPORT_STOP_REASON] = static_cast<int>(r.stopReason);
  values[Quorvane_homals_HomalsNative_REPORT_SUBSPACE_DISTANCE] = r.subspaceChange;
  values[Quorvane_homals_HomalsNative_REPORT_SOLVER] = static_cast<int>(solution.solver);
  values[Quorvane_homals_HomalsNative_REPORT_PAIR_COUNTS] = pairsWritten ? 1.0 : 0.0;
  values[Quorvane_homals_HomalsNative_REPORT_TABLE_EIGENVALUES] =
      static_cast<double>(solution.tableEigenvalues.size());
  setDoubles(env, o.report, values);
}

// Per-c tables in the engine's layout (cross_table.h), read once: whole non-negative counts, the
// lower triangle of the active pairs empty, and every sum the engine forms from them (an entry
// over c, the active frequencies, a passive category's row) below 2^62.
tallowmere::CrossTables readTables(JNIEnv* env, jobjectArray tables, const tallowmere::Problem& p,
                                   int64_t activeCount) {
  tallowmere::CrossTables t;
  t.activeSlots = p.activeSlotCount;
  t.passiveSlots = p.slotCount - p.activeSlotCount;
  const std::ptrdiff_t S1 = t.activeSlots;
  requireLength(env, tables, "tables", activeCount);
  const auto size = static_cast<jsize>(t.tableSize());
  t.counts.resize(static_cast<std::size_t>(activeCount));
  constexpr int64_t limit = int64_t{1} << 62;
  std::vector<int64_t> entryTotals(static_cast<std::size_t>(size), 0);
  int64_t total = 0;
  forEachRow(env, tables, 0, static_cast<jsize>(activeCount), [&](jsize c, jobject row) {
    const std::string name = element("tables", static_cast<std::size_t>(c));
    std::vector<int64_t> table = readArray<int64_t>(env, static_cast<jlongArray>(row), name, size,
                                                    &JNIEnv::GetLongArrayRegion);
    bool any = false;
    for (std::ptrdiff_t e = 0; e < size; ++e) {
      const bool lower = e < S1 * S1 && e % S1 < e / S1;
      const bool diagonal = e < S1 * S1 && e % S1 == e / S1;
      if (table[e] < 0 || (lower && table[e] != 0) || table[e] > limit - entryTotals[e] ||
          (diagonal && table[e] > limit - total)) {
        illegal(env, element(name.c_str(), static_cast<std::size_t>(e)) + " = " +
                         std::to_string(table[e]) +
                         (table[e] < 0 ? " is negative"
                          : lower      ? " lies below the diagonal of the active pairs"
                                       : ": the counts pass 2^62"));
      }
      entryTotals[e] += table[e];
      total += diagonal ? table[e] : 0;
      any = any || table[e] != 0;
    }
    for (std::ptrdiff_t p = 0; p < t.passiveSlots; ++p) {
      int64_t row = 0;
      for (std::ptrdiff_t s = 0; s < S1; ++s) {
        const int64_t entry = table[S1 * S1 + p * S1 + s];
        if (entry > limit - row) {
          illegal(env, name + ": passive row " + std::to_string(p) + " sums past 2^62");
        }
        row += entry;
      }
    }
    if (any) {
      t.counts[c] = std::move(table);
    }
  });
  if (total == 0) {
    illegal(env, "tables: every frequency is 0; no object takes part");
  }
  return t;
}

}  // namespace
}  // namespace tallowmere::bridge

using namespace tallowmere::bridge;  // NOLINT(google-build-using-namespace): this file's own

extern "C" JNIEXPORT void JNICALL Java_Quorvane_homals_HomalsNative_analyse(
    JNIEnv* env, jclass, jint dimensionCount, jint maxIterations, jint innerIterations,
    jdouble fitTolerance, jdouble cosineTolerance, jdouble subspaceTolerance, jint solver,
    jdouble categorySpaceWork, jint threads, jobjectArray codes, jintArray categoryCounts,
    jbooleanArray passive, jintArray single, jintArray levels, jobjectArray categoryValues,
    jdoubleArray weights, jdoubleArray objectScores, jdoubleArray quantifications,
    jdoubleArray centroids, jdoubleArray loadings, jdoubleArray eigenvalues, jintArray ties,
    jdoubleArray tableEigenvalues, jdoubleArray pairCounts, jdoubleArray report,
    jdoubleArray scoreMoments) {
  guarded(env, [&] {
    const RunSettings settings{dimensionCount, maxIterations,     innerIterations,
                               fitTolerance,   cosineTolerance,   subspaceTolerance,
                               solver,         categorySpaceWork, threads};
    checkSettings(env, settings);
    const jsize variables = lengthOf(env, codes, "codes");
    if (variables == 0) {
      illegal(env, "codes has no variables");
    }
    TypedArguments a;
    a.dimensionCount = dimensionCount;
    a.columns = readColumns(env, codes, variables, a.objects);
    if (a.objects == 0) {
      illegal(env, "codes[0] has no objects");
    }
    int64_t activeCount = 0;
    readDescriptions(env, a, variables, categoryCounts, passive, single, levels, categoryValues,
                     activeCount);
    if (weights != nullptr) {
      a.weights = readWeights(env, weights, a.objects, activeCount);
    }
    tallowmere::Problem problem = describe(env, a);
    const Outputs outputs{objectScores, quantifications,  centroids,  loadings, eigenvalues,
                          ties,         tableEigenvalues, pairCounts, report,   scoreMoments,
                          nullptr};
    const bool tableEigenvaluesWanted = checkOutputs(env, outputs, problem, a.objects, variables);
    tallowmere::SolutionOptions options = solutionOptions(settings, tableEigenvaluesWanted);
    options.objectScores = false;
    // The run takes a copy; the problem's codes are the copies in `a`, which outlive both.
    tallowmere::Solution solution;
    tallowmere::computeSolution(problem, options, solution);
    writeSolution(env, outputs, solution);
    if (solution.solver != tallowmere::Solver::objects) {
      writeTableScores(env, objectScores, problem, solution, threads);
    }
  });
}

extern "C" JNIEXPORT void JNICALL Java_Quorvane_homals_HomalsNative_analyseTables(
    JNIEnv* env, jclass, jint dimensionCount, jint maxIterations, jint innerIterations,
    jdouble fitTolerance, jdouble cosineTolerance, jdouble subspaceTolerance, jint solver,
    jdouble categorySpaceWork, jint threads, jobjectArray tables, jintArray categoryCounts,
    jbooleanArray passive, jintArray single, jintArray levels, jobjectArray categoryValues,
    jdoubleArray quantifications, jdoubleArray centroids, jdoubleArray loadings,
    jdoubleArray eigenvalues, jintArray ties, jdoubleArray tableEigenvalues,
    jdoubleArray pairCounts, jdoubleArray report, jdoubleArray scoreMoments,
    jdoubleArray scoreCoefficients) {
  guarded(env, [&] {
    const RunSettings settings{dimensionCount, maxIterations,     innerIterations,
                               fitTolerance,   cosineTolerance,   subspaceTolerance,
                               solver,         categorySpaceWork, threads};
    checkSettings(env, settings);
    if (solver == static_cast<jint>(tallowmere::Solver::objects)) {
      illegal(env, "solver = 1: tables have no objects to pass over");
    }
    const jsize variables = lengthOf(env, categoryCounts, "categoryCounts");
    if (variables == 0) {
      illegal(env, "categoryCounts has no variables");
    }
    TypedArguments a;
    a.dimensionCount = dimensionCount;
    int64_t activeCount = 0;
    readDescriptions(env, a, variables, categoryCounts, passive, single, levels, categoryValues,
                     activeCount);
    tallowmere::Problem problem = describe(env, a);
    const Outputs outputs{
        nullptr,          quantifications, centroids, loadings,     eigenvalues,      ties,
        tableEigenvalues, pairCounts,      report,    scoreMoments, scoreCoefficients};
    const bool tableEigenvaluesWanted = checkOutputs(env, outputs, problem, 0, variables);
    const tallowmere::CrossTables counts = readTables(env, tables, problem, activeCount);
    tallowmere::Solution solution;
    tallowmere::computeSolutionFromTables(
        std::move(problem), counts, solutionOptions(settings, tableEigenvaluesWanted), solution);
    writeSolution(env, outputs, solution);
  });
}
