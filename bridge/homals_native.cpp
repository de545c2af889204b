// The typed API's entry point, Quorvane.homals.HomalsNative.analyse: every Java array read once
// into the library's memory, every argument checked on those copies, one analysis of the problem
// they describe, and the solution written back as the engine lays it out. No lock and no
// process-wide state: analyses on different threads run side by side.
#include <jni.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "Quorvane_homals_HomalsNative.h"
#include "analysis_solution.h"
#include "buffer.h"
#include "java_arrays.h"

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

[[noreturn]] void reject(JNIEnv* env, const char* className, const std::string& message) {
  throwJavaException(env, className, message.c_str());
  throw JavaExceptionPending{};
}

[[noreturn]] void illegal(JNIEnv* env, const std::string& message) {
  reject(env, "java/lang/IllegalArgumentException", message);
}

jsize lengthOf(JNIEnv* env, jarray array, const std::string& name) {
  if (array == nullptr) {
    reject(env, "java/lang/NullPointerException", name + " is null");
  }
  return env->GetArrayLength(array);
}

void requireLength(JNIEnv* env, jarray array, const std::string& name, int64_t length) {
  const jsize actual = lengthOf(env, array, name);
  if (actual != length) {
    illegal(env,
            name + " has length " + std::to_string(actual) + ", not " + std::to_string(length));
  }
}

template <typename T, typename Array, typename Get>
std::vector<T> readArray(JNIEnv* env, Array array, const std::string& name, jsize length, Get get) {
  requireLength(env, array, name, length);
  std::vector<T> values(static_cast<std::size_t>(length));
  (env->*get)(array, 0, length, values.data());
  checkPending(env);
  return values;
}

std::vector<jint> readInts(JNIEnv* env, jintArray array, const std::string& name, jsize length) {
  return readArray<jint>(env, array, name, length, &JNIEnv::GetIntArrayRegion);
}

// A number as a message shows it: whole numbers without a fraction.
std::string shown(double value) {
  if (std::isfinite(value) && value == std::rint(value) && std::fabs(value) < 1e15) {
    return std::to_string(static_cast<int64_t>(value));
  }
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

void requireRange(JNIEnv* env, const char* name, double value, bool ok, const char* limits) {
  if (!ok) {
    illegal(env, std::string(name) + " = " + shown(value) + " is not " + limits);
  }
}

// "name[index]", built by appending (GCC 12 warns falsely about a concatenation of temporaries,
// its bug 105329).
std::string element(const char* name, std::size_t index) {
  std::string text(name);
  text += '[';
  text += std::to_string(index);
  text += ']';
  return text;
}

// A tolerance: NaN switches its test off; otherwise finite and not negative.
void checkTolerance(JNIEnv* env, const char* name, double value) {
  requireRange(env, name, value, std::isnan(value) || (value >= 0.0 && std::isfinite(value)),
               "NaN or a finite number of 0 or more");
}

// The variables' codes, each column fetched from the array of columns once and copied once, so
// that another thread replacing a column meanwhile changes nothing here.
std::vector<Buffer<int32_t>> readColumns(JNIEnv* env, jobjectArray codes, jsize variables,
                                         jsize& objects) {
  std::vector<Buffer<int32_t>> columns;
  columns.reserve(static_cast<std::size_t>(variables));
  forEachRow(env, codes, 0, variables, [&](jsize v, jobject column) {
    const std::string name = element("codes", static_cast<std::size_t>(v));
    const auto array = static_cast<jintArray>(column);
    if (v == 0) {
      objects = lengthOf(env, array, name);
    }
    requireLength(env, array, name, objects);
    columns.emplace_back(static_cast<std::size_t>(objects));
    env->GetIntArrayRegion(array, 0, objects, columns.back().data());
    checkPending(env);
  });
  return columns;
}

Problem describe(JNIEnv* env, jint dimensionCount, const std::vector<Buffer<int32_t>>& columns,
                 const std::vector<jint>& counts, const std::vector<jboolean>& passive,
                 const std::vector<jint>& single, const std::vector<jint>& levels,
                 const Buffer<int32_t>& weights, jsize objects) {
  std::vector<Variable> variables;
  int64_t activeCategories = 0;
  for (std::size_t v = 0; v < columns.size(); ++v) {
    if (counts[v] < 1) {
      illegal(env,
              element("categoryCounts", v) + " = " + std::to_string(counts[v]) + " is below 1");
    }
    if (single[v] != 0 && single[v] != 1) {
      illegal(env, element("single", v) + " = " + std::to_string(single[v]) + " is not 0 or 1");
    }
    if (levels[v] < 0 || levels[v] > 2) {
      illegal(env, element("levels", v) + " = " + std::to_string(levels[v]) + " is not 0, 1 or 2");
    }
    for (jsize i = 0; i < objects; ++i) {
      if (columns[v][i] > counts[v]) {
        illegal(env, element(element("codes", v).c_str(), static_cast<std::size_t>(i)) + " = " +
                         std::to_string(columns[v][i]) + " exceeds " +
                         element("categoryCounts", v) + " = " + std::to_string(counts[v]));
      }
    }
    const bool active = passive[v] == JNI_FALSE;
    activeCategories += active ? counts[v] : 0;
    variables.push_back({.codes = {columns[v].data(), 1},
                         .categoryCount = counts[v],
                         .active = active,
                         .single = single[v],
                         .level = levels[v]});
  }
  if (activeCategories == 0) {
    illegal(env, "passive: every variable is passive; an analysis needs an active one");
  }
  if (dimensionCount > activeCategories) {
    illegal(env, "dimensionCount = " + std::to_string(dimensionCount) + " exceeds the " +
                     std::to_string(activeCategories) + " categories of the active variables");
  }
  int64_t totalWeight = weights.empty() ? int64_t{objects} : 0;
  for (std::size_t i = 0; i < weights.size(); ++i) {
    if (weights[i] < 0) {
      illegal(env, element("weights", i) + " = " + std::to_string(weights[i]) + " is negative");
    }
    totalWeight += weights[i];
  }
  // The marginals are sums of whole numbers, exact in double precision, and so the same however
  // the objects are split among threads, while they stay below 2^53.
  int64_t active = 0;
  for (const Variable& variable : variables) {
    active += variable.active ? 1 : 0;
  }
  if (totalWeight > (int64_t{1} << 53) / active) {
    illegal(env, "weights: their total, " + std::to_string(totalWeight) + ", times the " +
                     std::to_string(active) + " active variables reaches 2^53");
  }
  return makeProblem(objects, dimensionCount, std::move(variables),
                     weights.empty() ? CodeColumn{} : CodeColumn{weights.data(), 1},
                     SlotLayout::packed);
}

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
    jbooleanArray passive, jintArray single, jintArray levels, jintArray weights,
    jdoubleArray objectScores, jdoubleArray quantifications, jdoubleArray centroids,
    jdoubleArray loadings, jdoubleArray eigenvalues, jintArray ties, jdoubleArray pairCounts,
    jdoubleArray report) {
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
    jsize objects = 0;
    const std::vector<Buffer<int32_t>> columns = readColumns(env, codes, variables, objects);
    if (objects == 0) {
      illegal(env, "codes[0] has no objects");
    }
    const std::vector<jint> counts = readInts(env, categoryCounts, "categoryCounts", variables);
    const std::vector<jboolean> passiveFlags =
        readArray<jboolean>(env, passive, "passive", variables, &JNIEnv::GetBooleanArrayRegion);
    const std::vector<jint> singleFlags = readInts(env, single, "single", variables);
    const std::vector<jint> levelCodes = readInts(env, levels, "levels", variables);
    Buffer<int32_t> objectWeights;
    if (weights != nullptr) {
      requireLength(env, weights, "weights", objects);
      objectWeights = Buffer<int32_t>(static_cast<std::size_t>(objects));
      env->GetIntArrayRegion(weights, 0, objects, objectWeights.data());
      checkPending(env);
    }
    tallowmere::Problem problem = describe(env, dimensionCount, columns, counts, passiveFlags,
                                           singleFlags, levelCodes, objectWeights, objects);

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
                                              .threads = threads};
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
