// Quorvane.homals.HomalsNative.project: scores of new objects from a saved solution
// (engine/projection.h). As with analyse, every Java array is read once into the library's memory
// and every argument is checked on those copies, so a caller that skips the Java side's checks
// gets an exception naming the argument, never a crash.
#include <jni.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "Quorvane_homals_HomalsNative.h"
#include "buffer.h"
#include "java_arrays.h"
#include "projection.h"
#include "typed_arguments.h"
#include "workers.h"

namespace tallowmere::bridge {
namespace {

constexpr int64_t largestArray = INT32_MAX;

// Every array but the codes and the output, read and checked.
struct ProjectionArguments {
  std::vector<double> eigenvalues;
  std::vector<jint> counts;
  std::vector<double> quantifications;
  std::vector<uint8_t> excluded;
  std::vector<double> centre;
};

std::vector<double> readEigenvalues(JNIEnv* env, jdoubleArray eigenvalues) {
  const jsize P = lengthOf(env, eigenvalues, "eigenvalues");
  if (P == 0) {
    illegal(env, "eigenvalues is empty; a model has at least one dimension");
  }
  std::vector<double> values =
      readArray<double>(env, eigenvalues, "eigenvalues", P, &JNIEnv::GetDoubleArrayRegion);
  for (std::size_t d = 0; d < values.size(); ++d) {
    // The formula divides by it; a solution's eigenvalues are above 0.
    if (!(values[d] > 0.0) || !std::isfinite(values[d])) {
      illegal(env, element("eigenvalues", d) + " = " + shown(values[d]) +
                       " is not a finite number above 0");
    }
  }
  return values;
}

// The category counts, each at least 1, and their sum S1, with S1 * P within a Java array.
int64_t readCounts(JNIEnv* env, jintArray categoryCounts, jsize variables, int64_t P,
                   std::vector<jint>& counts) {
  counts = readInts(env, categoryCounts, "categoryCounts", variables);
  int64_t slots = 0;
  for (std::size_t J = 0; J < counts.size(); ++J) {
    if (counts[J] < 1) {
      illegal(env,
              element("categoryCounts", J) + " = " + std::to_string(counts[J]) + " is below 1");
    }
    slots += counts[J];
  }
  if (slots * P > largestArray) {
    illegal(env, "categoryCounts: " + std::to_string(slots) + " categories times " +
                     std::to_string(P) + " dimensions exceed the largest Java array");
  }
  return slots;
}

std::vector<double> readFinite(JNIEnv* env, jdoubleArray array, const char* name, int64_t length) {
  std::vector<double> values = readArray<double>(env, array, name, static_cast<jsize>(length),
                                                 &JNIEnv::GetDoubleArrayRegion);
  for (std::size_t e = 0; e < values.size(); ++e) {
    if (!std::isfinite(values[e])) {
      illegal(env, element(name, e) + " = " + shown(values[e]) + " is not finite");
    }
  }
  return values;
}

std::vector<uint8_t> readExcluded(JNIEnv* env, jbooleanArray excluded, int64_t slots) {
  if (excluded == nullptr) {
    return {};
  }
  const std::vector<jboolean> flags = readArray<jboolean>(
      env, excluded, "excluded", static_cast<jsize>(slots), &JNIEnv::GetBooleanArrayRegion);
  std::vector<uint8_t> result(flags.size());
  for (std::size_t s = 0; s < flags.size(); ++s) {
    result[s] = flags[s] != JNI_FALSE ? 1 : 0;
  }
  return result;
}

// The codes, one column per active variable, each checked against its category count piece by
// piece as it is copied, while the piece is in the cache: the Java arrays are read once, and the
// scoring reads the checked copy, which no Java thread can change under it.
std::vector<Buffer<int32_t>> readCodes(JNIEnv* env, jobjectArray codes, jsize variables,
                                       const std::vector<jint>& counts, jsize& objects) {
  constexpr jsize piece = 4096;
  std::vector<Buffer<int32_t>> columns;
  columns.reserve(static_cast<std::size_t>(variables));
  forEachRow(env, codes, 0, variables, [&](jsize v, jobject row) {
    const auto J = static_cast<std::size_t>(v);
    const std::string name = element("codes", J);
    const auto array = static_cast<jintArray>(row);
    if (v == 0) {
      objects = lengthOf(env, array, name);
    }
    requireLength(env, array, name, objects);
    columns.emplace_back(static_cast<std::size_t>(objects));
    int32_t* column = columns.back().data();
    for (jsize first = 0; first < objects; first += piece) {
      const jsize length = std::min(piece, objects - first);
      env->GetIntArrayRegion(array, first, length, column + first);
      checkPending(env);
      for (jsize i = first; i < first + length; ++i) {
        if (column[i] > counts[J]) {
          illegal(env, element(name.c_str(), static_cast<std::size_t>(i)) + " = " +
                           std::to_string(column[i]) + " exceeds " + element("categoryCounts", J) +
                           " = " + std::to_string(counts[J]));
        }
      }
    }
  });
  return columns;
}

}  // namespace
}  // namespace tallowmere::bridge

using namespace tallowmere::bridge;  // NOLINT(google-build-using-namespace): this file's own

extern "C" JNIEXPORT void JNICALL Java_Quorvane_homals_HomalsNative_project(
    JNIEnv* env, jclass, jint threads, jobjectArray codes, jintArray categoryCounts,
    jdoubleArray quantifications, jbooleanArray excluded, jdoubleArray centre,
    jdoubleArray eigenvalues, jdoubleArray scores) {
  using tallowmere::Buffer;
  guarded(env, [&] {
    checkThreads(env, threads);
    ProjectionArguments a;
    a.eigenvalues = readEigenvalues(env, eigenvalues);
    const int64_t P = std::ssize(a.eigenvalues);
    const jsize variables = lengthOf(env, codes, "codes");
    if (variables == 0) {
      illegal(env, "codes has no variables; a model has at least one active variable");
    }
    const int64_t slots = readCounts(env, categoryCounts, variables, P, a.counts);
    a.quantifications = readFinite(env, quantifications, "quantifications", slots * P);
    a.excluded = readExcluded(env, excluded, slots);
    a.centre = readFinite(env, centre, "centre", P);
    jsize objects = 0;
    const std::vector<Buffer<int32_t>> columns =
        readCodes(env, codes, variables, a.counts, objects);
    if (int64_t{objects} * P > largestArray) {
      illegal(env, "codes: " + std::to_string(objects) + " objects times " + std::to_string(P) +
                       " dimensions exceed the largest Java array");
    }
    requireLength(env, scores, "scores", int64_t{objects} * P);

    std::vector<tallowmere::CodeColumn> codeColumns;
    for (const Buffer<int32_t>& column : columns) {
      codeColumns.push_back({column.data(), 1});
    }
    const tallowmere::ProjectionModel model{.categoryCounts = a.counts,
                                            .quantifications = a.quantifications,
                                            .excluded = a.excluded,
                                            .centre = a.centre,
                                            .eigenvalues = a.eigenvalues};
    Buffer<double> result(static_cast<std::size_t>(objects * P));
    tallowmere::Workers workers(threads);
    tallowmere::projectObjects(model, codeColumns, objects, &workers, result);
    env->SetDoubleArrayRegion(scores, 0, static_cast<jsize>(result.size()), result.data());
    checkPending(env);
  });
}
