// The library's entry point, Quorvane.Tallowmere.runHomals: copies the Java arguments into native
// arrays, checks them, runs the engine once on them and writes the cells it computed back into
// the two result tables.
#include <jni.h>

#include <cstdio>
#include <exception>
#include <mutex>
#include <new>
#include <stdexcept>

#include "Quorvane_Tallowmere.h"
#include "argument_checks.h"
#include "engine.h"
#include "engine_lock.h"
#include "marshalling.h"

namespace {

using tallowmere::bridge::Arguments;
using tallowmere::bridge::CheckResult;
using tallowmere::bridge::IntArguments;
using enum tallowmere::bridge::IntParameter;
using tallowmere::bridge::JavaExceptionPending;
using tallowmere::bridge::ResultRows;
using tallowmere::bridge::TableRows;
using tallowmere::bridge::throwJavaException;

}  // namespace

// Progress markers go to the C runtime's standard output, not through Java's streams, and are
// never flushed here. Nothing is printed before every argument has passed the checks.
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
    const std::lock_guard<std::mutex> lock(tallowmere::bridge::engineMutex());

    // Any nonzero byte counts as true, not just JNI_TRUE.
    const bool timingFlag = timing != JNI_FALSE;
    const bool useWeightsFlag = useWeights != JNI_FALSE;
    const bool writeObjectScoresFlag = writeObjectScores != JNI_FALSE;

    const IntArguments ints(
        env, {activeColumns, passiveColumns, activeCategoryCounts, passiveCategoryCounts,
              activeSingle, passiveSingle, activeLevels, passiveLevels, data});
    const TableRows scoreRows = tallowmere::bridge::measureRows(env, objectScoreTable);
    const TableRows categoryRows =
        tallowmere::bridge::measureRows(env, categoryQuantificationTable);

    Arguments arguments;
    arguments.dimensionCount = dimensionCount;
    arguments.dataStride = dataStride;
    arguments.objectCount = objectCount;
    arguments.maxCategories = maxCategories;
    arguments.activeCount = activeCount;
    arguments.passiveCount = passiveCount;
    arguments.weightColumn = weightColumn;
    arguments.useWeights = useWeightsFlag;
    arguments.writeObjectScores = writeObjectScoresFlag;
    for (int p = 0; p < IntArguments::count; ++p) {
      arguments.arrays[p] = ints.argument(p);
    }
    arguments.objectScoreTable = scoreRows.argument();
    arguments.categoryQuantificationTable = categoryRows.argument();
    const CheckResult check = tallowmere::bridge::checkArguments(arguments);
    if (!check.accepted()) {
      throwJavaException(env, tallowmere::bridge::javaExceptionClass(check.rejection),
                         check.message.c_str());
      return;
    }

    // The engine writes object scores into rows 1 .. N (when asked to) and quantifications into
    // one row per active category, elements 1 .. P of each.
    const auto scoreShape = tallowmere::bridge::shapeOf(scoreRows);
    const auto categoryShape = tallowmere::bridge::shapeOf(categoryRows);
    const ResultRows scores(writeObjectScoresFlag ? objectCount : 0, dimensionCount);
    const ResultRows categories(static_cast<jsize>(tallowmere::bridge::categoryRowCount(arguments)),
                                dimensionCount);
    std::printf("2\n");
    tallowmere::bridge::fetchRowsWithMarkers(env, categoryQuantificationTable, categoryShape);
    std::printf("3\n");

    try {
      tallowmere::runAnalysis(dimensionCount, dataStride, objectCount, maxCategories, maxIterations,
                              innerIterations, activeCount, passiveCount, weightColumn, timingFlag,
                              useWeightsFlag, writeObjectScoresFlag, ints[activeColumnsParameter],
                              ints[passiveColumnsParameter], ints[activeCategoryCountsParameter],
                              ints[passiveCategoryCountsParameter], ints[activeSingleParameter],
                              ints[passiveSingleParameter], ints[activeLevelsParameter],
                              ints[passiveLevelsParameter], ints[dataParameter], fitTolerance,
                              cosineTolerance, scores.table(), categories.table());
    } catch (const std::bad_alloc&) {
      // The engine allocates its working buffers before it writes anything, and the tables are
      // written only after a complete run, so both tables keep their contents.
      throwJavaException(env, "java/lang/OutOfMemoryError",
                         "tallowmere: cannot allocate the analysis's working buffers");
      return;
    } catch (const std::length_error&) {
      throwJavaException(env, "java/lang/OutOfMemoryError",
                         "tallowmere: the analysis's working buffers are too large");
      return;
    }
    std::printf("6\n");

    scores.copyBack(env, objectScoreTable, scoreShape);
    categories.copyBack(env, categoryQuantificationTable, categoryShape);
  } catch (const JavaExceptionPending&) {
    // Everything is given back by now; Java sees the pending exception.
  } catch (const std::bad_alloc&) {
    throwJavaException(env, "java/lang/OutOfMemoryError", "tallowmere: native memory exhausted");
  } catch (const std::exception& e) {
    // No C++ exception may unwind into the virtual machine.
    throwJavaException(env, "java/lang/Error", e.what());
  } catch (...) {
    throwJavaException(env, "java/lang/Error", "tallowmere: unexpected native failure");
  }
}
