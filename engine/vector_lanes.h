// Short vectors of doubles for passes that handle all dimensions of one object at once. Each
// lane does exactly the scalar operation of its dimension, so results do not depend on the
// vector width; the width is chosen at run time from what the processor supports.
#pragma once

#include <cstring>

// The helpers are always inlined, so no vector crosses a call boundary and the calling
// convention of 256-bit values does not matter.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace tallowmere {

using Lanes2 = double __attribute__((vector_size(16)));
using Lanes4 = double __attribute__((vector_size(32)));

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

// True when the processor runs 256-bit vector instructions (AVX2) and the wide passes may be
// used; tests switch it off to check the baseline passes on the same machine.
bool wideLanesAvailable();
void setWideLanesAllowed(bool allowed);

}  // namespace tallowmere
