#pragma once
// A flag that ends waits: a thread that must pause (between checks of a
// running program) waits on it, and another thread cancels the wait at once.
// A wait for something else (an answer of the user) links itself to the
// signal, so that a cancel ends that wait too.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

class CCancelSignal {
 public:
  void Cancel() {
    std::map<std::uint64_t, std::function<void()>> links;
    {
      std::lock_guard lock(mutex_);
      cancelled_ = true;
      links.swap(links_);
    }
    changed_.notify_all();
    for (auto& [id, on_cancel] : links) on_cancel();
  }
  // Calls on_cancel once when the signal is cancelled (at once when it is
  // already), unless Unlink comes first. Returns the link's number.
  std::uint64_t Link(std::function<void()> on_cancel) {
    {
      std::lock_guard lock(mutex_);
      if (!cancelled_) {
        links_.emplace(++last_link_, std::move(on_cancel));
        return last_link_;
      }
    }
    on_cancel();
    return 0;
  }
  void Unlink(std::uint64_t link) {
    std::lock_guard lock(mutex_);
    links_.erase(link);
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
  std::map<std::uint64_t, std::function<void()>> links_;
  std::uint64_t last_link_ = 0;
};
