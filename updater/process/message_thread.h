#pragma once
// A thread with its own message queue. The owner of the object joins the
// thread (the destructor does it); nothing deletes itself while others may
// still post to it. Other threads keep a shared handle to the queue, so a post
// to a thread that has ended is dropped safely.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "updater/process/message_queue.h"

class CMessageThread {
 public:
  // Handles one message; returning false ends the thread's loop. MessageId::kQuit
  // ends it as well, after the handler has seen it.
  using Handler = std::function<bool(const Message&)>;

  explicit CMessageThread(const platform::IClock& clock = platform::SystemClock());
  // Posts MessageId::kQuit and joins.
  virtual ~CMessageThread();
  CMessageThread(const CMessageThread&) = delete;
  CMessageThread& operator=(const CMessageThread&) = delete;

  // Starts the thread that serves the queue with the handler.
  void Start(Handler handler);
  // The queue other threads post to.
  const std::shared_ptr<CMessageQueue>& Queue() const { return queue_; }
  bool Post(Message message) { return queue_->Post(std::move(message)); }

  // Waits at most timeout_ms for the thread's loop to end; true when it has.
  bool WaitForEnd(std::int64_t timeout_ms);
  bool HasEnded() const;
  // Posts MessageId::kQuit (if the loop still runs) and joins the thread.
  void Stop();

 private:
  std::shared_ptr<CMessageQueue> queue_;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable ended_cv_;
  bool started_ = false;
  bool ended_ = false;
};
