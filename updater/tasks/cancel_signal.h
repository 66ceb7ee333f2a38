#pragma once
// A flag that ends waits: a thread that must pause (between checks of a
// running program) waits on it, and another thread cancels the wait at once.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class CCancelSignal {
 public:
  void Cancel() {
    {
      std::lock_guard lock(mutex_);
      cancelled_ = true;
    }
    changed_.notify_all();
  }
  bool IsCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
  }
  // Waits ms milliseconds unless cancelled first; true when the whole time passed.
  bool Pause(std::int64_t ms) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, std::chrono::milliseconds(ms > 0 ? ms : 0),
                              [this] { return cancelled_; });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool cancelled_ = false;
};
