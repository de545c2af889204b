// The engine's settings and its generator are process-wide, so calls of both entry points take
// turns, each for its whole duration; each then gets exactly the result it would get alone.
#pragma once

#include <mutex>

namespace tallowmere::bridge {

inline std::mutex& engineMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace tallowmere::bridge
