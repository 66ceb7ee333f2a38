#pragma once
// The base of every task and worker thread: a message thread that remembers its
// owner from WMU_SET_OWNER and reports to the owner's queue. The owner keeps the
// object and joins it (destroying it joins); a task never deletes itself.

#include <cstdint>
#include <memory>

#include "updater/process/message_thread.h"

class CTaskThread {
 public:
  explicit CTaskThread(int task_id);
  virtual ~CTaskThread();
  CTaskThread(const CTaskThread&) = delete;
  CTaskThread& operator=(const CTaskThread&) = delete;

  int TaskId() const { return task_id_; }

  // Starts the thread. The creator then posts WMU_SET_OWNER (payload: the
  // owner's std::shared_ptr<CMessageQueue>) and WMU_COMMAND 0.
  virtual void Start();
  virtual bool Post(Message message) { return thread_.Post(std::move(message)); }
  // Waits at most timeout_ms for the thread to end; true when it has ended.
  virtual bool WaitForEnd(std::int64_t timeout_ms) { return thread_.WaitForEnd(timeout_ms); }
  // Asks the thread to end and joins it.
  virtual void Stop() { thread_.Stop(); }

 protected:
  // Handles every message after WMU_SET_OWNER; WMU_QUIT ends the thread
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

  const int task_id_;
  CMessageThread thread_;
  std::shared_ptr<CMessageQueue> owner_;
  bool end_requested_ = false;
};
