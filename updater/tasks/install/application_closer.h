#pragma once
// Closes the application before the installation replaces its files: the
// user's processes that run the application are asked to end (SIGTERM), then
// watched once a second for a bounded number of checks; those still running
// then are ended at once ("End now", SIGKILL). Closing succeeds only when no
// such process runs afterwards, so the installation never overwrites a
// program that still runs.
//
// The pause between checks is injected: the install task waits on its cancel
// signal (a cancel ends the close at once), tests answer at once.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/process.h"

struct CloseCountdown {
  int checks = 60;                    // checks, one per pause, before "End now"
  std::int64_t check_ms = 1000;       // the pause before each check
  std::int64_t after_kill_ms = 2000;  // how long "End now" waits for the end
};

enum class CloseResult {
  kClosed,     // nothing of the application runs (any more)
  kFailed,     // it still runs after "End now"
  kCancelled,  // the wait was cancelled; it may still run
};

class CApplicationCloser {
 public:
  // Waits ms milliseconds; false when the wait was cancelled.
  using Pause = std::function<bool(std::int64_t ms)>;

  CApplicationCloser(platform::IProcessControl& processes, Pause pause,
                     CloseCountdown countdown = {});

  // Whether one of this user's processes (this one excluded) runs the program
  // (a path: that very file; a bare name: any program of that name).
  bool IsRunning(const std::string& program);
  // The countdown described above.
  CloseResult Close(const std::string& program);
  // True once a request to end has been sent to a process.
  bool RequestSent() const { return request_sent_; }

 private:
  std::vector<platform::ProcessInfo> Matching(const std::string& program);

  platform::IProcessControl& processes_;
  Pause pause_;
  CloseCountdown countdown_;
  bool request_sent_ = false;
};
