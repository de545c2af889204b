// Quorvane.homals.HomalsNative.scoreRows: the text of objects.csv's numeric cells for a block of
// objects, or its whole rows numbered from first + 1 (number_text.h). Only the block's slice of
// each array is copied in, once, and every size and bound is checked first, so a wrong call gets an
// exception naming the argument.
#include <jni.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "Quorvane_homals_HomalsNative.h"
#include "java_arrays.h"
#include "number_text.h"
#include "typed_arguments.h"

using namespace tallowmere::bridge;  // NOLINT(google-build-using-namespace): this file's own

extern "C" JNIEXPORT jint JNICALL Java_Quorvane_homals_HomalsNative_scoreRows(
    JNIEnv* env, jclass, jdoubleArray scores, jint objectCount, jint dimensions,
    jdoubleArray weights, jint first, jint last, jbyteArray text, jintArray rowEnds,
    jboolean numbered) {
  jint written = 0;
  guarded(env, [&] {
    if (objectCount < 0 || dimensions < 0) {
      illegal(env, "objectCount " + std::to_string(objectCount) + " and dimensions " +
                       std::to_string(dimensions) + " must not be negative");
    }
    const int64_t N = objectCount, P = dimensions;
    requireLength(env, scores, "scores", N * P);
    if (weights != nullptr) {
      requireLength(env, weights, "weights", N);
    }
    if (first < 0 || first > last || last > objectCount) {
      illegal(env, "rows " + std::to_string(first) + " to " + std::to_string(last) +
                       " are not within 0 to " + std::to_string(objectCount));
    }
    const int64_t rows = int64_t{last} - first;
    const bool withNumbers = numbered != JNI_FALSE;
    const auto room =
        static_cast<int64_t>(maxScoreRow(static_cast<std::size_t>(P), withNumbers)) * rows;
    if (lengthOf(env, text, "text") < room) {
      illegal(env, "text has room for " + std::to_string(env->GetArrayLength(text)) + " bytes; " +
                       std::to_string(rows) + " rows need up to " + std::to_string(room));
    }
    if (lengthOf(env, rowEnds, "rowEnds") < rows) {
      illegal(env, "rowEnds has room for " + std::to_string(env->GetArrayLength(rowEnds)) +
                       " rows, not " + std::to_string(rows));
    }
    // The block's scores, [d * rows + k] for object first + k, and its weights. A table is
    // written a block at a time by the same few threads: each keeps its buffers from block to
    // block instead of faulting in fresh pages for every one.
    thread_local std::vector<double> block, blockWeights;
    thread_local std::vector<char> bytes;
    thread_local std::vector<int32_t> ends;
    block.resize(static_cast<std::size_t>(rows * P));
    for (int64_t d = 0; d < P; ++d) {
      env->GetDoubleArrayRegion(scores, static_cast<jsize>(d * N + first), static_cast<jsize>(rows),
                                block.data() + d * rows);
    }
    blockWeights.resize(weights != nullptr ? static_cast<std::size_t>(rows) : 0);
    if (weights != nullptr) {
      env->GetDoubleArrayRegion(weights, first, static_cast<jsize>(rows), blockWeights.data());
    }
    checkPending(env);
    bytes.resize(std::max(bytes.size(), static_cast<std::size_t>(room)));
    ends.resize(static_cast<std::size_t>(rows));
    const std::size_t length = scoreRows(block, rows, P, blockWeights, 0, rows, bytes.data(),
                                         ends.data(), withNumbers ? int64_t{first} + 1 : 0);
    env->SetByteArrayRegion(text, 0, static_cast<jsize>(length),
                            reinterpret_cast<const jbyte*>(bytes.data()));
    env->SetIntArrayRegion(rowEnds, 0, static_cast<jsize>(rows), ends.data());
    checkPending(env);
    written = static_cast<jint>(length);
  });
  return written;
}
