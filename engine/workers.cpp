#include "workers.h"

namespace tallowmere {

Workers::Workers(int count) {
  for (int t = 1; t < count; ++t) {
    threads_.emplace_back([this] { work(); });
  }
}

Workers::~Workers() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  threads_.clear();  // joins
}

// Takes tasks until none is left; the caller holds no lock.
void Workers::takeTasks() {
  std::unique_lock lock(mutex_);
  while (next_ < tasks_) {
    const std::ptrdiff_t k = next_++;
    ++running_;
    lock.unlock();
    try {
      (*task_)(k);
    } catch (...) {
      const std::lock_guard failed(mutex_);
      if (!failure_) {
        failure_ = std::current_exception();
      }
    }
    lock.lock();
    --running_;
  }
  if (running_ == 0) {
    finished_.notify_all();
  }
}

void Workers::work() {
  long seen = 0;
  while (true) {
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) {
        return;
      }
      seen = generation_;
    }
    takeTasks();
  }
}

void Workers::run(std::ptrdiff_t tasks, const std::function<void(std::ptrdiff_t)>& task) {
  if (threads_.empty() || tasks <= 1) {
    for (std::ptrdiff_t k = 0; k < tasks; ++k) {
      task(k);
    }
    return;
  }
  {
    const std::lock_guard lock(mutex_);
    task_ = &task;
    tasks_ = tasks;
    next_ = 0;
    running_ = 0;
    failure_ = nullptr;
    ++generation_;
  }
  wake_.notify_all();
  takeTasks();
  std::unique_lock lock(mutex_);
  finished_.wait(lock, [&] { return next_ >= tasks_ && running_ == 0; });
  task_ = nullptr;
  tasks_ = 0;
  if (failure_) {
    std::rethrow_exception(std::exchange(failure_, nullptr));
  }
}

}  // namespace tallowmere
