#include "marshalling.h"

#include <cstddef>
#include <cstdio>
#include <string>

namespace tallowmere::bridge {

IntArguments::IntArguments(JNIEnv* env, const std::array<jintArray, count>& arrays) {
  for (int p = 0; p < count; ++p) {
    if (arrays[p] == nullptr) {
      isNull_[p] = true;
      continue;
    }
    const jsize length = env->GetArrayLength(arrays[p]);
    copies_[p] = Buffer<int32_t>(static_cast<std::size_t>(length));
    if (length > 0) {
      env->GetIntArrayRegion(arrays[p], 0, length, copies_[p].data());
      checkPending(env);
    }
  }
}

TableRows measureRows(JNIEnv* env, jobjectArray table) {
  TableRows rows;
  if (table == nullptr) {
    rows.isNull = true;
    return rows;
  }
  const jsize count = env->GetArrayLength(table);
  rows.lengths = Buffer<int32_t>(static_cast<std::size_t>(count));
  forEachRow(env, table, 0, count, [&](jsize r, jobject row) {
    rows.lengths[r] = row == nullptr ? nullRow : env->GetArrayLength(static_cast<jarray>(row));
  });
  return rows;
}

TableShape shapeOf(const TableRows& rows) {
  return {static_cast<jsize>(rows.lengths.size()), rows.lengths[0]};
}

namespace {

// Row r of a table, which must still be a double[] of at least `columns` elements.
jdoubleArray exchangedRow(JNIEnv* env, jobject row, jsize r, jsize columns) {
  if (row == nullptr) {
    const std::string message = "row " + std::to_string(r) + " of a result table is null";
    throwJavaException(env, "java/lang/NullPointerException", message.c_str());
    throw JavaExceptionPending{};
  }
  const jsize length = env->GetArrayLength(static_cast<jarray>(row));
  if (length < columns) {
    const std::string message = "row " + std::to_string(r) + " of a result table has length " +
                                std::to_string(length) + ", shorter than its row 0's length " +
                                std::to_string(columns) + " (was it replaced during the call?)";
    throwJavaException(env, "java/lang/IllegalArgumentException", message.c_str());
    throw JavaExceptionPending{};
  }
  return static_cast<jdoubleArray>(row);
}

}  // namespace

void fetchRowsWithMarkers(JNIEnv* env, jobjectArray table, TableShape shape) {
  forEachRow(env, table, 1, shape.rows, [&](jsize r, jobject row) {
    exchangedRow(env, row, r, shape.columns);
    const int32_t marker = r - 1;
    std::printf("%d:1\n", marker);
    std::printf("%d:5\n", marker);
  });
}

ResultRows::ResultRows(jsize writtenRows, jsize writtenColumns)
    : writtenRows_(writtenRows),
      writtenColumns_(writtenColumns),
      cells_(static_cast<std::size_t>(writtenRows) * static_cast<std::size_t>(writtenColumns) + 1),
      rows_(static_cast<std::size_t>(writtenRows) + 1) {
  rows_[0] = cells_.data();
  for (jsize r = 1; r <= writtenRows; ++r) {
    rows_[r] = cells_.data() + static_cast<std::ptrdiff_t>(r - 1) * writtenColumns;
  }
}

void ResultRows::copyBack(JNIEnv* env, jobjectArray table, TableShape shape) const {
  if (writtenColumns_ == 0) {
    return;
  }
  forEachRow(env, table, 1, writtenRows_ + 1, [&](jsize r, jobject row) {
    env->SetDoubleArrayRegion(exchangedRow(env, row, r, shape.columns), 1, writtenColumns_,
                              rows_[r] + 1);
    checkPending(env);
  });
}

}  // namespace tallowmere::bridge
