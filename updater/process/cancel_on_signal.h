#pragma once
// While it lives, a stop signal (SIGTERM, SIGINT, SIGHUP: platform/stop_signals.h)
// cancels the update process as the Cancel button does: the running task is
// stopped and, from the installation on, the changes are rolled back in order
// before the process ends. The first signal is logged and posted as
// CommandCode::kCancel to the process queue; later ones are logged only.

#include <atomic>
#include <memory>

#include "platform/stop_signals.h"
#include "updater/process/message_queue.h"

class CCancelOnSignal {
 public:
  explicit CCancelOnSignal(std::shared_ptr<CMessageQueue> process_queue);
  ~CCancelOnSignal();
  CCancelOnSignal(const CCancelOnSignal&) = delete;
  CCancelOnSignal& operator=(const CCancelOnSignal&) = delete;

 private:
  std::shared_ptr<CMessageQueue> queue_;
  std::atomic<bool> cancelled_{false};
  platform::StopSignalWatcher watcher_;
};
