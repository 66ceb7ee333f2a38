#pragma once
// Where a question asked from another thread (the proxy credentials, from the
// transfer) receives its answer: the asking thread waits on it, the update
// process fills it on its own thread. The first answer counts; a later one (a
// cancel after the user answered, the end of the run) changes nothing, so a
// question is answered exactly once.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

struct QuestionAnswer {
  bool yes = false;
  std::string user_name;  // QuestionId::kProxyCredentials: what was entered
  std::string password;
};

class CAnswerSlot {
 public:
  // Stores the answer unless one is there already; true when it was stored.
  bool Give(QuestionAnswer answer) {
    {
      std::lock_guard lock(mutex_);
      if (answer_) return false;
      answer_ = std::move(answer);
    }
    given_.notify_all();
    return true;
  }
  bool IsAnswered() const {
    std::lock_guard lock(mutex_);
    return answer_.has_value();
  }
  // Waits at most timeout_ms for the answer; nullopt when none came in time.
  std::optional<QuestionAnswer> WaitFor(std::int64_t timeout_ms) {
    std::unique_lock lock(mutex_);
    given_.wait_for(lock, std::chrono::milliseconds(timeout_ms > 0 ? timeout_ms : 0),
                    [this] { return answer_.has_value(); });
    return answer_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable given_;
  std::optional<QuestionAnswer> answer_;
};
