// Short vectors of doubles for passes that handle all dimensions of one object at once. Each
// lane does exactly the scalar operation of its dimension, so results do not depend on the
// vector width; the width is chosen at run time from what the processor supports. The vectors
// are GCC's generic vector extensions: on a processor without them the compiler splits them into
// the widest it has, lane by lane.
#pragma once

#include <cstring>

namespace tallowmere {

using Lanes2 = double __attribute__((vector_size(16)));
using Lanes4 = double __attribute__((vector_size(32)));
using Lanes8 = double __attribute__((vector_size(64)));

template <typename V>
inline constexpr int laneCount = sizeof(V) / sizeof(double);

template <typename V>
[[gnu::always_inline]] inline V loadLanes(const double* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename V>
[[gnu::always_inline]] inline void storeLanes(double* p, V v) {
  std::memcpy(p, &v, sizeof v);
}

template <typename V>
[[gnu::always_inline]] inline V broadcastLanes(double x) {
  V v;
  for (int lane = 0; lane < laneCount<V>; ++lane) {
    v[lane] = x;
  }
  return v;
}

// The widest vectors, in doubles, that the processor runs natively: 2 (the baseline), 4 (AVX2)
// or 8 (AVX-512). Probed once.
int processorLanes();

}  // namespace tallowmere
