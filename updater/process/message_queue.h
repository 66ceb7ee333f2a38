#pragma once
// A thread-safe message queue with timers. Posting never blocks; a post to a
// closed queue is dropped. Timers run on an injectable clock, so tests drive
// them by advancing a fake clock and pumping with TryTake.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "platform/clock.h"
#include "updater/process/messages.h"

class CMessageQueue {
 public:
  explicit CMessageQueue(const platform::IClock& clock = platform::SystemClock());

  // Appends a message. False (and the message dropped) when the queue is closed.
  bool Post(Message message);
  // Appends the message once delay_ms of the clock have passed. When it falls
  // due it goes behind every message posted before that moment.
  bool PostDelayed(Message message, std::int64_t delay_ms);

  // The next message that is ready, or nullopt when none is.
  std::optional<Message> TryTake();
  // Waits for the next message; nullopt once the queue is closed and empty.
  std::optional<Message> Take();
  // Waits at most timeout_ms of real time for the next message.
  std::optional<Message> TakeFor(std::int64_t timeout_ms);

  // Later posts are dropped; messages already queued can still be taken.
  void Close();
  bool IsClosed() const;
  // Posted messages ready now (timers not counted).
  std::size_t Size() const;
  // Whether a message ready now matches (timers not looked at).
  bool HasReady(const std::function<bool(const Message&)>& match) const;
  // Milliseconds until the earliest timer is due (0 when overdue), or nullopt.
  std::optional<std::int64_t> NextTimerDueIn() const;

  // Called after every post and timer, outside the lock: lets a toolkit loop
  // that serves this queue wake up.
  void SetWakeUp(std::function<void()> wake_up);

 private:
  void MoveDueTimersLocked();
  std::optional<Message> PopLocked();

  const platform::IClock& clock_;
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Message> messages_;
  std::multimap<std::int64_t, Message> timers_;  // due time -> message, in posting order
  bool closed_ = false;
  std::function<void()> wake_up_;
};
