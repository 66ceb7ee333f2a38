#pragma once
// The signals that ask a program to stop (SIGTERM at logout or from `kill`,
// SIGINT from a terminal, SIGHUP when the terminal goes) turned into a call on
// a thread of the watcher's own, so that the program can stop in order
// instead of dying in the middle of its work. The signal handler only writes
// the signal's number into a pipe; the call happens on the watcher's thread.
// While no watcher runs, the signals have their previous effect.

#include <functional>
#include <memory>
#include <thread>

#include "platform/status.h"

namespace platform {

class NativeFile;

class StopSignalWatcher {
 public:
  StopSignalWatcher();
  // Stops watching.
  ~StopSignalWatcher();
  StopSignalWatcher(const StopSignalWatcher&) = delete;
  StopSignalWatcher& operator=(const StopSignalWatcher&) = delete;

  // Installs the handlers and starts the thread; on_signal gets the signal's
  // number, once per signal received. One watcher at a time per process.
  Status Start(std::function<void(int signal)> on_signal);
  // Puts the previous handlers back and ends the thread.
  void Stop();

 private:
  std::thread thread_;
  std::unique_ptr<NativeFile> reader_;  // the read end of the handler's pipe
};

}  // namespace platform
