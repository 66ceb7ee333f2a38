#pragma once
// The base of every task and worker thread: a message thread that remembers its
// owner from MessageId::kSetOwner and reports to the owner's queue. The owner keeps the
// object and joins it (destroying it joins); a task never deletes itself.

#include <cstdint>
#include <memory>

#include "updater/process/message_thread.h"

class CTaskThread {
 public:
  explicit CTaskThread(::TaskId task_id);
  virtual ~CTaskThread();
  CTaskThread(const CTaskThread&) = delete;
  CTaskThread& operator=(const CTaskThread&) = delete;

  ::TaskId Task() const { return task_id_; }

  // Starts the thread. The creator then posts MessageId::kSetOwner (payload: the
  // owner's std::shared_ptr<CMessageQueue>) and MessageId::kCommand 0.
  virtual void Start();
  virtual bool Post(Message message) { return thread_.Post(std::move(message)); }
  // Waits at most timeout_ms for the thread to end; true when it has ended.
  virtual bool WaitForEnd(std::int64_t timeout_ms) { return thread_.WaitForEnd(timeout_ms); }
  // Asks the thread to end and joins it.
  virtual void Stop() { thread_.Stop(); }

 protected:
  // Handles every message after MessageId::kSetOwner; MessageId::kQuit ends the thread
  // without reaching it.
  virtual void OnMessage(const Message& message) = 0;
  // Called on the thread just before it ends.
  virtual void OnEnd() {}

  // Posts a report to the owner; dropped when there is none or it has ended.
  void PostToOwner(Message message);
  // Posts a message to this thread's own queue (steps of long work).
  void PostToSelf(Message message) { thread_.Post(std::move(message)); }
  // Ends the thread's loop once the current message has been handled.
  void EndThread() { end_requested_ = true; }
  const std::shared_ptr<CMessageQueue>& Owner() const { return owner_; }
  // This thread's own queue: what it hands to its workers as their owner.
  const std::shared_ptr<CMessageQueue>& OwnQueue() const { return thread_.Queue(); }

 private:
  bool Dispatch(const Message& message);

  const ::TaskId task_id_;
  CMessageThread thread_;
  std::shared_ptr<CMessageQueue> owner_;
  bool end_requested_ = false;
};
