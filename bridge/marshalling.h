// The native copies of runHomals's arrays: own int32 copies of the int[] arguments and 1-based
// row buffers for the two double[][] result tables.
#pragma once

#include <jni.h>

#include <array>
#include <cstdint>
#include <vector>

#include "analysis_settings.h"
#include "argument_checks.h"
#include "java_arrays.h"

namespace tallowmere::bridge {

static_assert(sizeof(jint) == sizeof(int32_t) && sizeof(jdouble) == sizeof(double));

// Own int32 copies of the nine int[] arguments, in their parameter order (activeColumns first,
// data last). Each array's contents are obtained and copied in turn; data's contents are given
// back right after its copy, the other eight stay obtained until the object is destroyed, which
// frees the copies first and then gives the eight back in parameter order. A null array is
// skipped and recorded as null, for the argument checks to reject.
class IntArguments {
 public:
  static constexpr int count = intParameterCount;
  static constexpr int dataIndex = dataParameter;

  IntArguments(JNIEnv* env, const std::array<jintArray, count>& arrays);
  IntArguments(const IntArguments&) = delete;
  IntArguments& operator=(const IntArguments&) = delete;
  ~IntArguments();

  // Copy of argument p; an empty Java array gives an empty copy (whose data() may be null).
  const int32_t* operator[](int p) const { return copies_[p].data(); }
  // Argument p as the argument checks see it.
  IntArgument argument(int p) const { return {isNull_[p], copies_[p]}; }

 private:
  std::array<IntElements, count> held_;  // held_[dataIndex] stays empty
  std::array<std::vector<int32_t>, count> copies_;
  std::array<bool, count> isNull_{};
};

// The length of every row of a double[][] table (nullRow for a null row), or a null table.
// Measured before anything is copied, so that the argument checks see the whole table.
struct TableRows {
  bool isNull = false;
  std::vector<int32_t> lengths;

  TableArgument argument() const { return {isNull, lengths}; }
};

TableRows measureRows(JNIEnv* env, jobjectArray table);

// R, the length of a table, and C, the length of its row 0.
struct TableShape {
  jsize rows = 0;
  jsize columns = 0;
};

// The shape of a table whose rows have been measured and checked: at least row 0.
TableShape shapeOf(const TableRows& rows);

// A caller's table as the engine's ResultTable: R row pointers to buffers of C doubles, row
// buffer r standing for Java row r. Only rows 1 .. R-1 and, in them, elements 1 .. C-1 are
// exchanged with Java; row buffer 0 and element 0 stay zero and are never read.
class RowBuffers {
 public:
  explicit RowBuffers(TableShape shape);

  // Copies rows 1 .. R-1 from the Java table. With markers, prints "<r-1>:1" after obtaining
  // row r and "<r-1>:5" after copying it, before giving it back.
  enum class Markers { off, on };
  void copyIn(JNIEnv* env, jobjectArray table, Markers markers);
  // Writes rows 1 .. R-1 back into the Java table.
  void copyBack(JNIEnv* env, jobjectArray table) const;
  // Both copies fetch each row afresh and touch no more of it than its own length: a row that
  // another thread replaced by null or by a shorter one since it was measured raises
  // NullPointerException or IllegalArgumentException (JavaExceptionPending) instead.

  ResultTable table() const { return rows_.data(); }

 private:
  TableShape shape_;
  std::vector<double> cells_;  // R * C, row buffer r at r * C
  std::vector<double*> rows_;
};

}  // namespace tallowmere::bridge
