#include "updater/process/message_queue.h"

#include <chrono>

CMessageQueue::CMessageQueue(const platform::IClock& clock) : clock_(clock) {}

bool CMessageQueue::Post(Message message) {
  std::function<void()> wake;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    messages_.push_back(std::move(message));
    wake = wake_up_;
  }
  ready_.notify_all();
  if (wake) wake();
  return true;
}

bool CMessageQueue::PostDelayed(Message message, std::int64_t delay_ms) {
  std::function<void()> wake;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    timers_.emplace(clock_.MonotonicMs() + (delay_ms > 0 ? delay_ms : 0), std::move(message));
    wake = wake_up_;
  }
  ready_.notify_all();
  if (wake) wake();
  return true;
}

void CMessageQueue::MoveDueTimersLocked() {
  const std::int64_t now = clock_.MonotonicMs();
  while (!timers_.empty() && timers_.begin()->first <= now) {
    messages_.push_back(std::move(timers_.begin()->second));
    timers_.erase(timers_.begin());
  }
}

std::optional<Message> CMessageQueue::PopLocked() {
  MoveDueTimersLocked();
  if (messages_.empty()) return std::nullopt;
  Message m = std::move(messages_.front());
  messages_.pop_front();
  return m;
}

std::optional<Message> CMessageQueue::TryTake() {
  std::lock_guard lock(mutex_);
  return PopLocked();
}

std::optional<Message> CMessageQueue::Take() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (auto m = PopLocked()) return m;
    if (closed_ && timers_.empty()) return std::nullopt;
    if (timers_.empty()) {
      ready_.wait(lock);
    } else {
      std::int64_t wait = timers_.begin()->first - clock_.MonotonicMs();
      ready_.wait_for(lock, std::chrono::milliseconds(wait > 0 ? wait : 0));
    }
  }
}

std::optional<Message> CMessageQueue::TakeFor(std::int64_t timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  std::unique_lock lock(mutex_);
  for (;;) {
    if (auto m = PopLocked()) return m;
    if (closed_ && timers_.empty()) return std::nullopt;
    auto until = deadline;
    if (!timers_.empty()) {
      std::int64_t wait = timers_.begin()->first - clock_.MonotonicMs();
      until = std::min(
          until, std::chrono::steady_clock::now() + std::chrono::milliseconds(wait > 0 ? wait : 0));
    }
    if (ready_.wait_until(lock, until) == std::cv_status::timeout &&
        std::chrono::steady_clock::now() >= deadline)
      return PopLocked();
  }
}

void CMessageQueue::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    timers_.clear();
  }
  ready_.notify_all();
}

bool CMessageQueue::IsClosed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

std::size_t CMessageQueue::Size() const {
  std::lock_guard lock(mutex_);
  return messages_.size();
}

bool CMessageQueue::HasReady(const std::function<bool(const Message&)>& match) const {
  std::lock_guard lock(mutex_);
  for (const Message& message : messages_)
    if (match(message)) return true;
  return false;
}

std::optional<std::int64_t> CMessageQueue::NextTimerDueIn() const {
  std::lock_guard lock(mutex_);
  if (timers_.empty()) return std::nullopt;
  std::int64_t wait = timers_.begin()->first - clock_.MonotonicMs();
  return wait > 0 ? wait : 0;
}

void CMessageQueue::SetWakeUp(std::function<void()> wake_up) {
  std::lock_guard lock(mutex_);
  wake_up_ = std::move(wake_up);
}
