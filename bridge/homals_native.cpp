// The typed API's entry point, Quorvane.homals.HomalsNative.analyse: every Java array read once
// into the library's memory, every argument checked on those copies, one analysis of the problem
// they describe, and the solution written back as the engine lays it out. No lock and no
// process-wide state: analyses on different threads run side by side.
#include <jni.h>

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

// More threads than this would only cost their stacks.
constexpr jint maxThreads = 1024;

void setDoubles(JNIEnv* env, jdoubleArray array, std::span<const double> values) {
  env->SetDoubleArrayRegion(array, 0, static_cast<jsize>(values.size()), values.data());
  checkPending(env);
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
    jdoubleArray tableEigenvalues, jdoubleArray pairCounts, jdoubleArray report) {
  using tallowmere::Buffer;
  try {
    requireRange(env, "dimensionCount", dimensionCount, dimensionCount >= 1, "at least 1");
    requireRange(env, "maxIterations", maxIterations, maxIterations >= 1, "at least 1");
    requireRange(env, "innerIterations", innerIterations, innerIterations >= 0, "0 or more");
    checkTolerance(env, "fitTolerance", fitTolerance);
    checkTolerance(env, "cosineTolerance", cosineTolerance);
    requireRange(env, "subspaceTolerance", subspaceTolerance,
                 subspaceTolerance >= 0.0 && std::isfinite(subspaceTolerance),
                 "a finite number of 0 or more");
    requireRange(env, "solver", solver, solver >= 0 && solver <= 3, "0, 1, 2 or 3");
    requireRange(env, "categorySpaceWork", categorySpaceWork,
                 categorySpaceWork >= 0.0 && std::isfinite(categorySpaceWork),
                 "a finite number of 0 or more");
    requireRange(env, "threads", threads, threads >= 1 && threads <= maxThreads,
                 "between 1 and 1024");

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
    a.counts = readInts(env, categoryCounts, "categoryCounts", variables);
    a.passive =
        readArray<jboolean>(env, passive, "passive", variables, &JNIEnv::GetBooleanArrayRegion);
    a.single = readInts(env, single, "single", variables);
    a.levels = readInts(env, levels, "levels", variables);
    const int64_t activeCount = countActive(env, a);
    a.values = readValues(env, categoryValues, a.counts);
    if (weights != nullptr) {
      a.weights = readWeights(env, weights, a.objects, activeCount);
    }
    tallowmere::Problem problem = describe(env, a);
    const jsize objects = a.objects;

    // Every output exactly as large as the layout needs, before anything runs.
    const int64_t P = dimensionCount, S = problem.slotCount, S1 = problem.activeSlotCount;
    const std::pair<jarray, int64_t> outputs[] = {
        {objectScores, int64_t{objects} * P},
        {quantifications, S * P},
        {centroids, S * P},
        {loadings, int64_t{variables} * P},
        {eigenvalues, P},
        {ties, P},
        {report, Quorvane_homals_HomalsNative_REPORT_LENGTH}};
    const char* outputNames[] = {"objectScores", "quantifications", "centroids",
                                 "loadings",     "eigenvalues",     "ties",
                                 "report"};
    for (std::size_t o = 0; o < std::size(outputs); ++o) {
      requireLength(env, outputs[o].first, outputNames[o], outputs[o].second);
    }
    const jsize tableEigenvalueRoom = lengthOf(env, tableEigenvalues, "tableEigenvalues");
    if (tableEigenvalueRoom != 0 && tableEigenvalueRoom < S1) {
      illegal(env, "tableEigenvalues has length " + std::to_string(tableEigenvalueRoom) +
                       ", neither 0 nor at least " + std::to_string(S1));
    }
    const jsize pairCountLength = lengthOf(env, pairCounts, "pairCounts");
    if (pairCountLength != 0 && pairCountLength != S1 * S1) {
      illegal(env, "pairCounts has length " + std::to_string(pairCountLength) + ", neither 0 nor " +
                       std::to_string(S1 * S1));
    }

    const tallowmere::SolutionOptions options{.maxIterations = maxIterations,
                                              .innerIterations = innerIterations,
                                              .fitTolerance = fitTolerance,
                                              .cosineTolerance = cosineTolerance,
                                              .subspaceTolerance = subspaceTolerance,
                                              .solver = static_cast<tallowmere::Solver>(solver),
                                              .categorySpaceWork = categorySpaceWork,
                                              .threads = threads,
                                              .tableEigenvalues = tableEigenvalueRoom > 0};
    tallowmere::Solution solution;
    tallowmere::computeSolution(std::move(problem), options, solution);

    setDoubles(env, objectScores, solution.objectScores);
    setDoubles(env, quantifications, solution.categoryQuantifications);
    setDoubles(env, centroids, solution.categoryCentroids);
    setDoubles(env, loadings, solution.loadings);
    setDoubles(env, eigenvalues, solution.eigenvalues);
    const std::vector<jint> tiedThrough(solution.tiedThrough.begin(), solution.tiedThrough.end());
    env->SetIntArrayRegion(ties, 0, static_cast<jsize>(tiedThrough.size()), tiedThrough.data());
    checkPending(env);
    setDoubles(env, tableEigenvalues, solution.tableEigenvalues);
    const bool pairsWritten = pairCountLength > 0 && !solution.pairCounts.empty();
    if (pairsWritten) {
      setDoubles(env, pairCounts, solution.pairCounts);
    }
    const tallowmere::RunReport& r = solution.report;
    double values[Quorvane_homals_HomalsNative_REPORT_LENGTH] = {};
    values[Quorvane_homals_HomalsNative_REPORT_ITERATIONS] = r.iterations;
    values[Quorvane_homals_HomalsNative_REPORT_STOP_REASON] = static_cast<int>(r.stopReason);
    values[Quorvane_homals_HomalsNative_REPORT_SUBSPACE_DISTANCE] = r.subspaceChange;
    values[Quorvane_homals_HomalsNative_REPORT_SOLVER] = static_cast<int>(solution.solver);
    values[Quorvane_homals_HomalsNative_REPORT_PAIR_COUNTS] = pairsWritten ? 1.0 : 0.0;
    values[Quorvane_homals_HomalsNative_REPORT_TABLE_EIGENVALUES] =
        static_cast<double>(solution.tableEigenvalues.size());
    setDoubles(env, report, values);
  } catch (const JavaExceptionPending&) {
    // Java sees the pending exception.
  } catch (const std::bad_alloc&) {
    throwJavaException(env, "java/lang/OutOfMemoryError", "tallowmere: native memory exhausted");
  } catch (const std::length_error&) {
    throwJavaException(env, "java/lang/OutOfMemoryError", "tallowmere: the analysis is too large");
  } catch (const std::exception& e) {
    throwJavaException(env, "java/lang/Error", e.what());
  } catch (...) {
    throwJavaException(env, "java/lang/Error", "tallowmere: unexpected native failure");
  }
}
