// The native copies of runHomals's arrays: own int32 copies of the int[] arguments, and the cells
// of the two double[][] result tables that the engine writes.
#pragma once

#include <jni.h>

#include <array>
#include <cstdint>

#include "analysis_settings.h"
#include "argument_checks.h"
#include "buffer.h"
#include "java_arrays.h"

namespace tallowmere::bridge {

static_assert(sizeof(jint) == sizeof(int32_t) && sizeof(jdouble) == sizeof(double));

// Own int32 copies of the nine int[] arguments, in their parameter order (activeColumns first,
// data last), each read with one GetIntArrayRegion straight into the library's memory. Nothing
// of a Java array stays obtained and nothing is ever written back, so what another thread writes
// into one of these arrays during the call stays there. A null array is skipped and recorded as
// null, for the argument checks to reject.
class IntArguments {
 public:
  static constexpr int count = intParameterCount;

  IntArguments(JNIEnv* env, const std::array<jintArray, count>& arrays);

  // Copy of argument p; an empty Java array gives an empty copy (whose data() is null).
  const int32_t* operator[](int p) const { return copies_[p].data(); }
  // Argument p as the argument checks see it.
  IntArgument argument(int p) const { return {isNull_[p], {copies_[p].data(), copies_[p].size()}}; }

 private:
  std::array<Buffer<int32_t>, count> copies_;
  std::array<bool, count> isNull_{};
};

// The length of every row of a double[][] table (nullRow for a null row), or a null table.
// Measured before anything is copied, so that the argument checks see the whole table.
struct TableRows {
  bool isNull = false;
  Buffer<int32_t> lengths;

  TableArgument argument() const { return {isNull, {lengths.data(), lengths.size()}}; }
};

TableRows measureRows(JNIEnv* env, jobjectArray table);

// R, the length of a table, and C, the length of its row 0.
struct TableShape {
  jsize rows = 0;
  jsize columns = 0;
};

// The shape of a table whose rows have been measured and checked: at least row 0.
TableShape shapeOf(const TableRows& rows);

// Fetches rows 1 .. R-1 of a table in order and requires each to be a double[] of at least C
// elements, printing "<r-1>:1" and "<r-1>:5" for row r once it has been obtained. Its cells are
// not copied: the engine writes every cell that goes back (ResultRows).
void fetchRowsWithMarkers(JNIEnv* env, jobjectArray table, TableShape shape);

// The cells of a caller's table that the engine writes, rows 1 .. W and elements 1 .. P, as the
// engine's ResultTable over a packed buffer of W * P doubles: row r's pointer is the buffer plus
// (r - 1) * P, so that its element k lies at (r - 1) * P + k. Element 0 of a row shares memory
// with element P of the row before; the engine touches neither it nor row 0, nor any other
// cell. Nothing is copied in: the engine writes every one of these cells before they go back.
class ResultRows {
 public:
  ResultRows(jsize writtenRows, jsize writtenColumns);

  // Writes the cells back with one SetDoubleArrayRegion a row; every other cell of the Java
  // table keeps its value. Each row is fetched afresh: one that another thread replaced since it
  // was measured by null, or by one shorter than C, raises NullPointerException or
  // IllegalArgumentException (JavaExceptionPending).
  void copyBack(JNIEnv* env, jobjectArray table, TableShape shape) const;

  ResultTable table() const { return rows_.data(); }

 private:
  jsize writtenRows_;
  jsize writtenColumns_;
  Buffer<double> cells_;
  Buffer<double*> rows_;
};

}  // namespace tallowmere::bridge
