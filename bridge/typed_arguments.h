// Reading and checking the typed entry point's arguments: each Java array read once into the
// library's memory, and every limit checked on those copies, so that another thread changing an
// array meanwhile cannot slip a value past a check. A broken limit raises the Java exception
// that names it and throws JavaExceptionPending.
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "buffer.h"
#include "java_arrays.h"
#include "problem.h"

namespace tallowmere::bridge {

[[noreturn]] void reject(JNIEnv* env, const char* className, const std::string& message);
[[noreturn]] void illegal(JNIEnv* env, const std::string& message);

// Java sees what went wrong in a native method's body as an exception; nothing escapes into the
// JVM.
template <typename F>
void guarded(JNIEnv* env, F&& body) {
  try {
    body();
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

// The threads a typed call may use: 1 to 1024 (more would only cost their stacks).
void checkThreads(JNIEnv* env, jint threads);

// The length of an array that must not be null.
jsize lengthOf(JNIEnv* env, jarray array, const std::string& name);
void requireLength(JNIEnv* env, jarray array, const std::string& name, int64_t length);

template <typename T, typename Array, typename Get>
std::vector<T> readArray(JNIEnv* env, Array array, const std::string& name, jsize length, Get get) {
  requireLength(env, array, name, length);
  std::vector<T> values(static_cast<std::size_t>(length));
  (env->*get)(array, 0, length, values.data());
  checkPending(env);
  return values;
}

std::vector<jint> readInts(JNIEnv* env, jintArray array, const std::string& name, jsize length);

// A number as a message shows it: whole numbers without a fraction.
std::string shown(double value);

void requireRange(JNIEnv* env, const char* name, double value, bool ok, const char* limits);

// "name[index]".
std::string element(const char* name, std::size_t index);

// A tolerance: NaN switches its test off; otherwise finite and not negative.
void checkTolerance(JNIEnv* env, const char* name, double value);

// One variable's codes as copied: an int[] column as int32 values, a byte[] or short[] one as
// the unsigned values of its elements, without widening.
struct CodeCopy {
  Buffer<int32_t> ints;
  Buffer<uint8_t> bytes;
  Buffer<uint16_t> shorts;

  CodeColumn column() const;
};

// The variables' codes, each column fetched from the array of columns once and copied once, so
// that another thread replacing a column meanwhile changes nothing here: an int[], a short[] or
// a byte[] per variable. Sets `objects` to the length of column 0, which every column must share.
std::vector<CodeCopy> readColumns(JNIEnv* env, jobjectArray codes, jsize variables, jsize& objects);

// Every variable's category values, read once: an empty vector where the Java element is null
// (the categories' positions), else k finite values that are not all equal.
std::vector<std::vector<double>> readValues(JNIEnv* env, jobjectArray categoryValues,
                                            const std::vector<jint>& counts);

// The object weights as whole-number units (weightUnits in problem.h), read once: finite and not
// negative, with a positive one among them.
Buffer<double> readWeights(JNIEnv* env, jdoubleArray weights, jsize objects, int64_t activeCount);

// The typed entry point's copied arguments.
struct TypedArguments {
  jint dimensionCount = 0;
  jsize objects = 0;
  std::vector<CodeCopy> columns;
  std::vector<jint> counts;
  std::vector<jboolean> passive;
  std::vector<jint> single, levels;
  std::vector<std::vector<double>> values;
  Buffer<double> weights;  // units; empty: every object weighs 1
};

// The problem the copied arguments describe, once their values are checked: category counts,
// flags and levels, codes within their counts, an active variable, and dimensions within the
// active categories. Without columns, a problem of no objects, as tables describe it. The problem
// points into the arguments, which must outlive it.
Problem describe(JNIEnv* env, const TypedArguments& arguments);

// Checks category counts, flags and levels, and counts the active variables; at least one.
int64_t countActive(JNIEnv* env, const TypedArguments& arguments);

}  // namespace tallowmere::bridge
