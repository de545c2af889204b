// The threads of one typed analysis: a pool that the run owns for its length and hands out to its
// parallel steps. A step divides its work into tasks that do not depend on the number of threads
// (fixed blocks of objects, or parts whose integer sums add up the same in any order), so the
// results are the same bits for every thread count. The native method's run uses none.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tallowmere {

class Workers {
 public:
  // `count` threads in all, the caller's among them: count - 1 are started.
  explicit Workers(int count);
  ~Workers();
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  int count() const { return static_cast<int>(threads_.size()) + 1; }

  // Calls task(k) for k = 0 .. tasks - 1, each once, on any of the threads, and returns when all
  // have returned. An exception of a task is rethrown here, once every task has ended.
  void run(std::ptrdiff_t tasks, const std::function<void(std::ptrdiff_t)>& task);

 private:
  void work();
  void takeTasks();

  std::vector<std::jthread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  const std::function<void(std::ptrdiff_t)>* task_ = nullptr;
  std::ptrdiff_t tasks_ = 0, next_ = 0, running_ = 0;
  long generation_ = 0;
  bool stopping_ = false;
  std::exception_ptr failure_;
};

// Objects per block of the blocked passes over the objects. Fixed, so that the blocks, and the
// order in which their sums are added, do not depend on the threads.
inline constexpr std::ptrdiff_t objectBlock = std::ptrdiff_t{1} << 15;

inline std::ptrdiff_t blockCount(std::ptrdiff_t objects) {
  return (objects + objectBlock - 1) / objectBlock;
}

// Calls f(block, first, last) for the fixed blocks of N objects on the workers, or f(0, 0, N)
// once on the calling thread without them.
template <typename F>
void forEachBlock(Workers* workers, std::ptrdiff_t N, F&& f) {
  if (workers == nullptr) {
    f(std::ptrdiff_t{0}, std::ptrdiff_t{0}, N);
    return;
  }
  workers->run(blockCount(N), [&](std::ptrdiff_t b) {
    f(b, b * objectBlock, std::min(N, (b + 1) * objectBlock));
  });
}

}  // namespace tallowmere
