#include "marshalling.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

namespace tallowmere::bridge {

IntArguments::IntArguments(JNIEnv* env, const std::array<jintArray, count>& arrays) {
  for (int p = 0; p < count; ++p) {
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

TableShape measureTable(JNIEnv* env, jobjectArray table) {
  const LocalRef row0 = tableRow(env, table, 0);
  TableShape shape;
  shape.columns = env->GetArrayLength(static_cast<jarray>(row0.get()));
  shape.rows = env->GetArrayLength(table);
  return shape;
}

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
    const LocalRef row = tableRow(env, table, r);
    const DoubleElements elements(env, static_cast<jdoubleArray>(row.get()));
    const int32_t marker = r - 1;
    if (markers == Markers::on) {
      std::printf("%d:1\n", marker);
    }
    if (shape_.columns > 1) {
      std::copy(elements.get() + 1, elements.get() + shape_.columns, rows_[r] + 1);
    }
    if (markers == Markers::on) {
      std::printf("%d:5\n", marker);
    }
  }
}

void RowBuffers::copyBack(JNIEnv* env, jobjectArray table) const {
  for (jsize r = 1; r < shape_.rows; ++r) {
    const LocalRef row = tableRow(env, table, r);
    const DoubleElements elements(env, static_cast<jdoubleArray>(row.get()));
    if (shape_.columns > 1) {
      std::copy(rows_[r] + 1, rows_[r] + shape_.columns, elements.get() + 1);
    }
  }
}

}  // namespace tallowmere::bridge
