#include "typed_arguments.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace tallowmere::bridge {

void reject(JNIEnv* env, const char* className, const std::string& message) {
  throwJavaException(env, className, message.c_str());
  throw JavaExceptionPending{};
}

void illegal(JNIEnv* env, const std::string& message) {
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

std::vector<jint> readInts(JNIEnv* env, jintArray array, const std::string& name, jsize length) {
  return readArray<jint>(env, array, name, length, &JNIEnv::GetIntArrayRegion);
}

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

void checkThreads(JNIEnv* env, jint threads) {
  requireRange(env, "threads", threads, threads >= 1 && threads <= 1024, "between 1 and 1024");
}

// Built by appending: GCC 12 warns falsely about a concatenation of temporaries (its bug 105329).
std::string element(const char* name, std::size_t index) {
  std::string text(name);
  text += '[';
  text += std::to_string(index);
  text += ']';
  return text;
}

void checkTolerance(JNIEnv* env, const char* name, double value) {
  requireRange(env, name, value, std::isnan(value) || (value >= 0.0 && std::isfinite(value)),
               "NaN or a finite number of 0 or more");
}

CodeColumn CodeCopy::column() const {
  if (!bytes.empty()) {
    return {.bytes = bytes.data()};
  }
  if (!shorts.empty()) {
    return {.shorts = shorts.data()};
  }
  return {.data = ints.data(), .stride = 1};
}

namespace {

// The first object whose code exceeds `limit`, or -1. The codes are scanned for their largest
// value first, a loop the compiler vectorises: over a large column that costs a fraction of the
// search for an index.
template <typename T>
jsize firstAbove(const T* codes, jsize objects, jint limit) {
  int32_t largest = 0;
  for (jsize i = 0; i < objects; ++i) {
    largest = std::max(largest, static_cast<int32_t>(codes[i]));
  }
  if (largest <= limit) {
    return -1;
  }
  for (jsize i = 0;; ++i) {
    if (codes[i] > limit) {
      return i;
    }
  }
}

jsize firstAbove(const CodeCopy& copy, jsize objects, jint limit) {
  if (!copy.bytes.empty()) {
    return firstAbove(copy.bytes.data(), objects, limit);
  }
  if (!copy.shorts.empty()) {
    return firstAbove(copy.shorts.data(), objects, limit);
  }
  return firstAbove(copy.ints.data(), objects, limit);
}

}  // namespace

std::vector<CodeCopy> readColumns(JNIEnv* env, jobjectArray codes, jsize variables,
                                  jsize& objects) {
  // The element classes are looked up once per call; a class reference is a local reference.
  const jclass intArray = env->FindClass("[I");
  const jclass shortArray = env->FindClass("[S");
  const jclass byteArray = env->FindClass("[B");
  checkPending(env);
  std::vector<CodeCopy> columns(static_cast<std::size_t>(variables));
  forEachRow(env, codes, 0, variables, [&](jsize v, jobject column) {
    const std::string name = element("codes", static_cast<std::size_t>(v));
    // The type first: the array functions must never see anything but an array.
    if (column != nullptr && !env->IsInstanceOf(column, intArray) &&
        !env->IsInstanceOf(column, byteArray) && !env->IsInstanceOf(column, shortArray)) {
      illegal(env, name + " is not an int[], a short[] or a byte[]");
    }
    const auto array = static_cast<jarray>(column);
    if (v == 0) {
      objects = lengthOf(env, array, name);
    }
    requireLength(env, array, name, objects);
    const auto n = static_cast<std::size_t>(objects);
    CodeCopy& copy = columns[static_cast<std::size_t>(v)];
    if (env->IsInstanceOf(column, intArray)) {
      copy.ints = Buffer<int32_t>(n);
      env->GetIntArrayRegion(static_cast<jintArray>(column), 0, objects, copy.ints.data());
    } else if (env->IsInstanceOf(column, byteArray)) {
      copy.bytes = Buffer<uint8_t>(n);
      env->GetByteArrayRegion(static_cast<jbyteArray>(column), 0, objects,
                              reinterpret_cast<jbyte*>(copy.bytes.data()));
    } else {
      copy.shorts = Buffer<uint16_t>(n);
      env->GetShortArrayRegion(static_cast<jshortArray>(column), 0, objects,
                               reinterpret_cast<jshort*>(copy.shorts.data()));
    }
    checkPending(env);
  });
  return columns;
}

int64_t countActive(JNIEnv* env, const TypedArguments& a) {
  int64_t active = 0;
  for (std::size_t v = 0; v < a.counts.size(); ++v) {
    if (a.counts[v] < 1) {
      illegal(env,
              element("categoryCounts", v) + " = " + std::to_string(a.counts[v]) + " is below 1");
    }
    if (a.single[v] != 0 && a.single[v] != 1) {
      illegal(env, element("single", v) + " = " + std::to_string(a.single[v]) + " is not 0 or 1");
    }
    if (a.levels[v] < 0 || a.levels[v] > 2) {
      illegal(env,
              element("levels", v) + " = " + std::to_string(a.levels[v]) + " is not 0, 1 or 2");
    }
    active += a.passive[v] == JNI_FALSE ? 1 : 0;
  }
  if (active == 0) {
    illegal(env, "passive: every variable is passive; an analysis needs an active one");
  }
  return active;
}

std::vector<std::vector<double>> readValues(JNIEnv* env, jobjectArray categoryValues,
                                            const std::vector<jint>& counts) {
  const auto variables = static_cast<jsize>(counts.size());
  requireLength(env, categoryValues, "categoryValues", variables);
  std::vector<std::vector<double>> values(counts.size());
  forEachRow(env, categoryValues, 0, variables, [&](jsize v, jobject row) {
    if (row == nullptr) {
      return;
    }
    const std::string name = element("categoryValues", static_cast<std::size_t>(v));
    values[v] = readArray<double>(env, static_cast<jdoubleArray>(row), name, counts[v],
                                  &JNIEnv::GetDoubleArrayRegion);
    bool spread = false;
    for (std::size_t c = 0; c < values[v].size(); ++c) {
      if (!std::isfinite(values[v][c])) {
        illegal(env, element(name.c_str(), c) + " = " + shown(values[v][c]) + " is not finite");
      }
      spread = spread || values[v][c] != values[v][0];
    }
    if (!spread && counts[v] > 1) {
      illegal(env, name + ": every value is " + shown(values[v][0]) + "; they must differ");
    }
  });
  return values;
}

Buffer<double> readWeights(JNIEnv* env, jdoubleArray weights, jsize objects, int64_t activeCount) {
  requireLength(env, weights, "weights", objects);
  Buffer<double> units(static_cast<std::size_t>(objects));
  env->GetDoubleArrayRegion(weights, 0, objects, units.data());
  checkPending(env);
  double largest = 0.0;
  for (jsize i = 0; i < objects; ++i) {
    const double w = units[i];
    if (!(w >= 0.0) || !std::isfinite(w)) {
      illegal(env, element("weights", static_cast<std::size_t>(i)) + " = " + shown(w) +
                       " is not a finite number of 0 or more");
    }
    largest = std::max(largest, w);
  }
  if (!(largest > 0.0)) {
    illegal(env, "weights: no object has a positive weight");
  }
  weightUnits(units, activeCount);
  return units;
}

Problem describe(JNIEnv* env, const TypedArguments& a) {
  std::vector<Variable> variables;
  int64_t activeCategories = 0;
  for (std::size_t v = 0; v < a.counts.size(); ++v) {
    const bool withCodes = !a.columns.empty();
    const CodeColumn codes = withCodes ? a.columns[v].column() : CodeColumn{};
    const jsize i = withCodes ? firstAbove(a.columns[v], a.objects, a.counts[v]) : -1;
    if (i >= 0) {
      illegal(env, element(element("codes", v).c_str(), static_cast<std::size_t>(i)) + " = " +
                       std::to_string(codes[i]) + " exceeds " + element("categoryCounts", v) +
                       " = " + std::to_string(a.counts[v]));
    }
    const bool active = a.passive[v] == JNI_FALSE;
    activeCategories += active ? a.counts[v] : 0;
    variables.push_back({.codes = codes,
                         .categoryCount = a.counts[v],
                         .active = active,
                         .single = a.single[v],
                         .level = a.levels[v],
                         .values = a.values[v].empty() ? nullptr : a.values[v].data()});
  }
  if (a.dimensionCount > activeCategories) {
    illegal(env, "dimensionCount = " + std::to_string(a.dimensionCount) + " exceeds the " +
                     std::to_string(activeCategories) + " categories of the active variables");
  }
  Problem problem = makeProblem(a.objects, a.dimensionCount, std::move(variables), CodeColumn{},
                                SlotLayout::packed);
  problem.weightValues = a.weights.empty() ? nullptr : a.weights.data();
  return problem;
}

}  // namespace tallowmere::bridge
