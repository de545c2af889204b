#include "typed_arguments.h"

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

}  // namespace tallowmere::bridge
