#include "marshalling.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>

namespace tallowmere::bridge {

IntArguments::IntArguments(JNIEnv* env, const std::array<jintArray, count>& arrays) {
  for (int p = 0; p < count; ++p) {
    if (arrays[p] == nullptr) {
      isNull_[p] = true;
      continue;
    }
    IntElements elements(env, arrays[p]);
    const jsize length = env->GetArrayLength(arrays[p]);
    copies_[p].assign(elements.get(), elements.get() + length);
    if (p == dataIndex) {
      elements.release();
    } else {
      held_[p] = std::move(elements);
    }
  }
}

IntArguments::~IntArguments() {
  for (std::vector<int32_t>& copy : copies_) {
    std::vector<int32_t>().swap(copy);
  }
  for (IntElements& elements : held_) {
    elements.release();
  }
}

TableRows measureRows(JNIEnv* env, jobjectArray table) {
  TableRows rows;
  if (table == nullptr) {
    rows.isNull = true;
    return rows;
  }
  const jsize count = env->GetArrayLength(table);
  rows.lengths.resize(static_cast<std::size_t>(count));
  for (jsize r = 0; r < count; ++r) {
    const LocalRef row(env, env->GetObjectArrayElement(table, r));
    checkPending(env);
    rows.lengths[r] =
        row.get() == nullptr ? nullRow : env->GetArrayLength(static_cast<jarray>(row.get()));
  }
  return rows;
}

TableShape shapeOf(const TableRows& rows) {
  return {static_cast<jsize>(rows.lengths.size()), rows.lengths.front()};
}

namespace {

// Row r of a table with at least `columns` elements, obtained with its contents.
struct ExchangedRow {
  LocalRef row;
  DoubleElements elements;
};

ExchangedRow exchangedRow(JNIEnv* env, jobjectArray table, jsize r, jsize columns) {
  LocalRef row = tableRow(env, table, r);
  const jsize length = env->GetArrayLength(static_cast<jarray>(row.get()));
  if (length < columns) {
    const std::string message = "row " + std::to_string(r) + " of a result table has length " +
                                std::to_string(length) + ", shorter than its row 0's length " +
                                std::to_string(columns) + " (was it replaced during the call?)";
    throwJavaException(env, "java/lang/IllegalArgumentException", message.c_str());
    throw JavaExceptionPending{};
  }
  DoubleElements elements(env, static_cast<jdoubleArray>(row.get()));
  return {std::move(row), std::move(elements)};
}

}  // namespace

RowBuffers::RowBuffers(TableShape shape)
    : shape_(shape),
      cells_(static_cast<std::size_t>(shape.rows) * static_cast<std::size_t>(shape.columns)),
      rows_(static_cast<std::size_t>(shape.rows)) {
  for (jsize r = 0; r < shape.rows; ++r) {
    rows_[r] = cells_.data() + static_cast<std::ptrdiff_t>(r) * shape.columns;
  }
}

void RowBuffers::copyIn(JNIEnv* env, jobjectArray table, Markers markers) {
  for (jsize r = 1; r < shape_.rows; ++r) {
    const ExchangedRow row = exchangedRow(env, table, r, shape_.columns);
    const int32_t marker = r - 1;
    if (markers == Markers::on) {
      std::printf("%d:1\n", marker);
    }
    if (shape_.columns > 1) {
      std::copy(row.elements.get() + 1, row.elements.get() + shape_.columns, rows_[r] + 1);
    }
    if (markers == Markers::on) {
      std::printf("%d:5\n", marker);
    }
  }
}

void RowBuffers::copyBack(JNIEnv* env, jobjectArray table) const {
  for (jsize r = 1; r < shape_.rows; ++r) {
    const ExchangedRow row = exchangedRow(env, table, r, shape_.columns);
    if (shape_.columns > 1) {
      std::copy(rows_[r] + 1, rows_[r] + shape_.columns, row.elements.get() + 1);
    }
  }
}

}  // namespace tallowmere::bridge
