// The library's entry point, Quorvane.Tallowmere.runHomals: copies the Java arguments into
// native arrays, runs the engine once on them and writes the two result tables back.
#include <jni.h>

#include <cstdio>
#include <new>
#include <stdexcept>

#include "Quorvane_Tallowmere.h"
#include "engine.h"
#include "marshalling.h"

using tallowmere::bridge::IntArguments;
using tallowmere::bridge::JavaExceptionPending;
using tallowmere::bridge::measureTable;
using tallowmere::bridge::RowBuffers;

// Progress markers go to the C runtime's standard output, not through Java's streams, and are
// never flushed here.
extern "C" JNIEXPORT void JNICALL Java_Quorvane_Tallowmere_runHomals(
    JNIEnv* env, jclass, jint dimensionCount, jint dataStride, jint objectCount, jint maxCategories,
    jint maxIterations, jint innerIterations, jint activeCount, jint passiveCount,
    jint weightColumn, jboolean timing, jboolean useWeights, jboolean writeObjectScores,
    jintArray activeColumns, jintArray passiveColumns, jintArray activeCategoryCounts,
    jintArray passiveCategoryCounts, jintArray activeSingle, jintArray passiveSingle,
    jintArray activeLevels, jintArray passiveLevels, jintArray data, jdouble fitTolerance,
    jdouble cosineTolerance, jobjectArray objectScoreTable,
    jobjectArray categoryQuantificationTable) {
  try {
    // Any nonzero byte counts as true, not just JNI_TRUE.
    const bool timingFlag = timing != JNI_FALSE;
    const bool useWeightsFlag = useWeights != JNI_FALSE;
    const bool writeObjectScoresFlag = writeObjectScores != JNI_FALSE;

    // Declared first, destroyed last: the copies are freed and the held int[] contents given
    // back only after both tables' row buffers are gone.
    const IntArguments ints(
        env, {activeColumns, passiveColumns, activeCategoryCounts, passiveCategoryCounts,
              activeSingle, passiveSingle, activeLevels, passiveLevels, data});

    RowBuffers scores(measureTable(env, objectScoreTable));
    scores.copyIn(env, objectScoreTable, RowBuffers::Markers::off);

    RowBuffers categories(measureTable(env, categoryQuantificationTable));
    std::printf("2\n");
    categories.copyIn(env, categoryQuantificationTable, RowBuffers::Markers::on);
    std::printf("3\n");

    tallowmere::runAnalysis(dimensionCount, dataStride, objectCount, maxCategories, maxIterations,
                            innerIterations, activeCount, passiveCount, weightColumn, timingFlag,
                            useWeightsFlag, writeObjectScoresFlag, ints[0], ints[1], ints[2],
                            ints[3], ints[4], ints[5], ints[6], ints[7], ints[8], fitTolerance,
                            cosineTolerance, scores.table(), categories.table());
    std::printf("6\n");

    scores.copyBack(env, objectScoreTable);
    categories.copyBack(env, categoryQuantificationTable);
  } catch (const JavaExceptionPending&) {
    // Everything is given back by now; Java sees the pending exception.
  } catch (const std::bad_alloc&) {
    tallowmere::bridge::throwJavaException(env, "java/lang/OutOfMemoryError",
                                           "tallowmere: native memory exhausted");
  } catch (const std::length_error&) {
    // A row buffer request beyond what any allocation can hold (R * C past PTRDIFF_MAX / 8).
    tallowmere::bridge::throwJavaException(env, "java/lang/OutOfMemoryError",
                                           "tallowmere: result table too large");
  }
}
