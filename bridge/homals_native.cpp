// The typed API's entry point, Quorvane.homals.HomalsNative.analyse: one int[] of codes per
// variable, copied once into the row-major matrix the engine reads; the checks, the lock and the
// exceptions of runHomals; no markers; the solution and its run report written into Java arrays.
#include <jni.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "Quorvane_homals_HomalsNative.h"
#include "analysis_solution.h"
#include "argument_checks.h"
#include "engine_lock.h"
#include "java_arrays.h"

namespace tallowmere::bridge {
namespace {

[[noreturn]] void reject(JNIEnv* env, const char* className, const std::string& message) {
  throwJavaException(env, className, message.c_str());
  throw JavaExceptionPending{};
}

[[noreturn]] void illegal(JNIEnv* env, const std::string& message) {
  reject(env, "java/lang/IllegalArgumentException", message);
}

jsize lengthOf(JNIEnv* env, jarray array, const char* name) {
  if (array == nullptr) {
    reject(env, "java/lang/NullPointerException", std::string(name) + " is null");
  }
  return env->GetArrayLength(array);
}

void requireLength(JNIEnv* env, jarray array, const char* name, int64_t length) {
  const jsize actual = lengthOf(env, array, name);
  if (actual != length) {
    illegal(env, std::string(name) + " has length " + std::to_string(actual) + ", not " +
                     std::to_string(length));
  }
}

std::vector<int32_t> intArray(JNIEnv* env, jintArray array, const char* name, jsize length) {
  requireLength(env, array, name, length);
  std::vector<int32_t> values(static_cast<std::size_t>(length));
  env->GetIntArrayRegion(array, 0, length, values.data());
  checkPending(env);
  return values;
}

// The variables' description, split into the runHomals groups: active variables in the caller's
// order, then passive ones, with their columns in the row-major copy.
struct Groups {
  std::vector<int32_t> columns[2], counts[2], single[2], levels[2];  // [0] active, [1] passive
};

Groups splitVariables(const std::vector<int32_t>& counts, const std::vector<jboolean>& passive,
                      const std::vector<int32_t>& single, const std::vector<int32_t>& levels) {
  Groups g;
  for (std::size_t v = 0; v < counts.size(); ++v) {
    const int group = passive[v] != JNI_FALSE ? 1 : 0;
    g.columns[group].push_back(static_cast<int32_t>(v));
    g.counts[group].push_back(counts[v]);
    g.single[group].push_back(single[v]);
    g.levels[group].push_back(levels[v]);
  }
  return g;
}

// Copies the columns, and the weights after them, into rows of `stride` values. The objects go
// in blocks: every column's stretch of a block is fetched into a buffer that stays in cache and
// the block's rows are written from it in order, so each row of the copy is written once, whole.
// (Scattering one column at a time instead would sweep the whole copy once per column.)
std::unique_ptr<int32_t[]> rowMajorData(JNIEnv* env, jobjectArray codes, jintArray weights,
                                        jsize variables, jsize objects, int32_t stride) {
  forEachRow(env, codes, 0, variables, [&](jsize v, jobject column) {
    const std::string name = "codes[" + std::to_string(v) + "]";
    requireLength(env, static_cast<jarray>(column), name.c_str(), objects);
  });
  auto data = std::make_unique_for_overwrite<int32_t[]>(static_cast<std::size_t>(objects) *
                                                        static_cast<std::size_t>(stride));
  const jsize block = std::max<jsize>(64, (jsize{1} << 16) / stride);
  std::vector<int32_t> buffer(static_cast<std::size_t>(block) * static_cast<std::size_t>(stride));
  for (jsize start = 0; start < objects; start += block) {
    const jsize count = std::min(block, objects - start);
    const auto fetch = [&](jintArray column, int32_t position) {
      env->GetIntArrayRegion(column, start, count,
                             buffer.data() + std::ptrdiff_t{position} * block);
      checkPending(env);
    };
    forEachRow(env, codes, 0, variables,
               [&](jsize v, jobject column) { fetch(static_cast<jintArray>(column), v); });
    if (weights != nullptr) {
      fetch(weights, variables);
    }
    int32_t* out = data.get() + static_cast<std::ptrdiff_t>(start) * stride;
    for (jsize i = 0; i < count; ++i) {
      for (int32_t v = 0; v < stride; ++v) {
        *out++ = buffer[static_cast<std::size_t>(v) * static_cast<std::size_t>(block) +
                        static_cast<std::size_t>(i)];
      }
    }
  }
  return data;
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
    jdouble fitTolerance, jdouble cosineTolerance, jdouble subspaceTolerance, jboolean accelerate,
    jint solver, jdouble categorySpaceWork, jobjectArray codes, jintArray categoryCounts,
    jbooleanArray passive, jintArray single, jintArray levels, jintArray weights,
    jdoubleArray objectScores, jdoubleArray quantifications, jdoubleArray centroids,
    jdoubleArray loadings, jdoubleArray eigenvalues, jintArray ties, jdoubleArray pairCounts,
    jdoubleArray report) {
  try {
    const std::lock_guard<std::mutex> lock(engineMutex());
    const jsize variables = lengthOf(env, codes, "codes");
    if (variables == 0) {
      illegal(env, "codes has no variables");
    }
    jsize objects = 0;
    forEachRow(env, codes, 0, 1, [&](jsize, jobject first) {
      objects = lengthOf(env, static_cast<jarray>(first), "codes[0]");
    });
    const std::vector<int32_t> counts = intArray(env, categoryCounts, "categoryCounts", variables);
    requireLength(env, passive, "passive", variables);
    std::vector<jboolean> passiveFlags(static_cast<std::size_t>(variables));
    env->GetBooleanArrayRegion(passive, 0, variables, passiveFlags.data());
    checkPending(env);
    const std::vector<int32_t> singleFlags = intArray(env, single, "single", variables);
    const std::vector<int32_t> levelCodes = intArray(env, levels, "levels", variables);
    if (weights != nullptr) {
      requireLength(env, weights, "weights", objects);
    }
    if (dimensionCount < 0) {
      illegal(env, "dimensionCount = " + std::to_string(dimensionCount) + " is negative");
    }
    if (solver < 0 || solver > 3) {
      illegal(env, "solver = " + std::to_string(solver) + " is not 0, 1, 2 or 3");
    }
    if (!(categorySpaceWork >= 0.0) || !std::isfinite(categorySpaceWork)) {
      illegal(env, "categorySpaceWork = " + std::to_string(categorySpaceWork) +
                       " is not a finite number of 0 or more");
    }
    requireLength(env, ties, "ties", std::max(dimensionCount, 0));

    int64_t rows = 0;
    int32_t maxCategories = 0;
    for (const int32_t k : counts) {
      rows += std::max(k, 0);
      maxCategories = std::max(maxCategories, k);
    }
    const int64_t P = std::max(dimensionCount, 0);
    const std::pair<jdoubleArray, int64_t> outputs[] = {{objectScores, int64_t{objects} * P},
                                                        {quantifications, rows * P},
                                                        {centroids, rows * P},
                                                        {loadings, int64_t{variables} * P},
                                                        {eigenvalues, P},
                                                        {report, 8}};
    const char* outputNames[] = {"objectScores", "quantifications", "centroids",
                                 "loadings",     "eigenvalues",     "report"};
    // The pair counts are wanted only when the caller gives room for them.
    int64_t activeRows = 0;
    for (jsize v = 0; v < variables; ++v) {
      activeRows += passiveFlags[v] != JNI_FALSE ? 0 : std::max(counts[v], 0);
    }
    const jsize pairCountLength = lengthOf(env, pairCounts, "pairCounts");
    if (pairCountLength != 0 && pairCountLength != activeRows * activeRows) {
      illegal(env, "pairCounts has length " + std::to_string(pairCountLength) + ", neither 0 nor " +
                       std::to_string(activeRows * activeRows));
    }
    for (std::size_t o = 0; o < std::size(outputs); ++o) {
      requireLength(env, outputs[o].first, outputNames[o], outputs[o].second);
    }

    const int32_t stride = variables + (weights != nullptr ? 1 : 0);
    Groups groups = splitVariables(counts, passiveFlags, singleFlags, levelCodes);
    // The checks of runHomals, on the same values it would receive.
    Arguments arguments;
    arguments.dimensionCount = dimensionCount;
    arguments.dataStride = stride;
    arguments.objectCount = objects;
    arguments.maxCategories = maxCategories;
    arguments.activeCount = static_cast<int32_t>(groups.columns[0].size());
    arguments.passiveCount = static_cast<int32_t>(groups.columns[1].size());
    arguments.weightColumn = variables;
    arguments.useWeights = weights != nullptr;
    arguments.hasTables = false;
    // The engine addresses the data with int32 offsets; the other sizes are checked below.
    if (int64_t{objects} * stride > INT32_MAX) {
      illegal(env, std::to_string(objects) + " objects of " + std::to_string(stride) +
                       " values each exceed 2147483647 values, the largest data matrix");
    }
    const std::unique_ptr<int32_t[]> data =
        rowMajorData(env, codes, weights, variables, objects, stride);
    const std::vector<int32_t>* arrays[] = {
        &groups.columns[0], &groups.columns[1], &groups.counts[0], &groups.counts[1],
        &groups.single[0],  &groups.single[1],  &groups.levels[0], &groups.levels[1]};
    for (int p = 0; p < dataParameter; ++p) {
      arguments.arrays[p] = {false, *arrays[p]};
    }
    arguments.arrays[dataParameter] = {
        false, {data.get(), static_cast<std::size_t>(objects) * static_cast<std::size_t>(stride)}};
    const CheckResult check = checkArguments(arguments);
    if (!check.accepted()) {
      reject(env, javaExceptionClass(check.rejection), check.message);
    }

    const tallowmere::AnalysisSettings settings{dimensionCount,
                                                stride,
                                                objects,
                                                maxCategories,
                                                maxIterations,
                                                innerIterations,
                                                arguments.activeCount,
                                                arguments.passiveCount,
                                                variables,
                                                false,
                                                weights != nullptr,
                                                true,
                                                groups.columns[0].data(),
                                                groups.columns[1].data(),
                                                groups.counts[0].data(),
                                                groups.counts[1].data(),
                                                groups.single[0].data(),
                                                groups.single[1].data(),
                                                groups.levels[0].data(),
                                                groups.levels[1].data(),
                                                data.get(),
                                                fitTolerance,
                                                cosineTolerance};
    tallowmere::SolutionOptions options;
    options.subspaceTolerance = subspaceTolerance;
    options.accelerate = accelerate != JNI_FALSE;
    options.solver = static_cast<tallowmere::Solver>(solver);
    options.categorySpaceWork = categorySpaceWork;
    tallowmere::Solution solution;
    try {
      tallowmere::computeSolution(settings, options, solution);
    } catch (const std::bad_alloc&) {
      reject(env, "java/lang/OutOfMemoryError",
             "tallowmere: cannot allocate the analysis's working buffers");
    }

    // Engine slots (variable J = active then passive, K per block) to the caller's rows.
    const int64_t S = int64_t{maxCategories} * variables;
    std::vector<int64_t> rowOfVariable(static_cast<std::size_t>(variables));
    for (int64_t v = 0, row = 0; v < variables; ++v) {
      rowOfVariable[v] = row;
      row += std::max(counts[v], 0);
    }
    std::vector<double> packedQuantifications(static_cast<std::size_t>(rows * P));
    std::vector<double> packedCentroids(packedQuantifications.size());
    std::vector<double> packedLoadings(static_cast<std::size_t>(variables * P));
    int32_t J = 0;
    for (const int group : {0, 1}) {
      for (const int32_t v : groups.columns[group]) {
        for (int64_t c = 0; c < std::max(counts[v], 0); ++c) {
          for (int64_t d = 0; d < P; ++d) {
            const int64_t from = d * S + int64_t{J} * maxCategories + c;
            const int64_t to = (rowOfVariable[v] + c) * P + d;
            packedQuantifications[to] = solution.categoryQuantifications[from];
            packedCentroids[to] = solution.categoryCentroids[from];
          }
        }
        for (int64_t d = 0; d < P; ++d) {
          packedLoadings[v * P + d] = solution.loadings[J * P + d];
        }
        ++J;
      }
    }
    const tallowmere::RunReport& r = solution.report;
    setDoubles(env, objectScores, solution.objectScores);
    setDoubles(env, quantifications, packedQuantifications);
    setDoubles(env, centroids, packedCentroids);
    setDoubles(env, loadings, packedLoadings);
    setDoubles(env, eigenvalues, solution.eigenvalues);
    const std::vector<jint> tiedThrough(solution.tiedThrough.begin(), solution.tiedThrough.end());
    env->SetIntArrayRegion(ties, 0, static_cast<jsize>(tiedThrough.size()), tiedThrough.data());
    checkPending(env);
    const bool pairsWritten = pairCountLength > 0 && !solution.pairCounts.empty();
    if (pairsWritten) {
      // Engine slots of the active variables (J * K + c) to the caller's active rows.
      std::vector<double> packed(static_cast<std::size_t>(activeRows * activeRows));
      const int64_t S1 = int64_t{maxCategories} * arguments.activeCount;
      std::vector<int64_t> slots;
      for (int32_t j = 0; j < arguments.activeCount; ++j) {
        for (int32_t c = 0; c < std::max(groups.counts[0][j], 0); ++c) {
          slots.push_back(int64_t{j} * maxCategories + c);
        }
      }
      for (std::size_t a = 0; a < slots.size(); ++a) {
        for (std::size_t b = 0; b < slots.size(); ++b) {
          packed[a * slots.size() + b] = solution.pairCounts[slots[a] * S1 + slots[b]];
        }
      }
      setDoubles(env, pairCounts, packed);
    }
    const double reportValues[] = {static_cast<double>(r.iterations),
                                   static_cast<double>(r.stopReason),
                                   r.fit,
                                   r.fitChange,
                                   r.minimumCosine,
                                   r.subspaceChange,
                                   static_cast<double>(solution.solver),
                                   pairsWritten ? 1.0 : 0.0};
    setDoubles(env, report, reportValues);
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
