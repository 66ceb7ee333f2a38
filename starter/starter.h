#pragma once
// One run of the starter: when an interactive user is present, applies a
// pending installation (only while neither the updater nor the browser runs),
// starts the browser with the starter's arguments and starts the updater
// unless it already runs (both found by the full path of their program file
// beside the starter). Everything it does goes to its log; it never waits
// for the programs it starts.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/status.h"
#include "starter/pending_installation.h"
#include "starter/starter_log_sink.h"

class CStarter {
 public:
  // What the run needs from the world.
  struct Deps {
    std::function<bool()> session_available;
    std::function<std::vector<platform::ProcessInfo>()> list_processes;
    // Starts a program with an argument vector and lets it run on.
    std::function<platform::Status(const std::string& program,
                                   const std::vector<std::string>& arguments)>
        start;
    StarterLogSink log;
    std::int64_t lock_timeout_ms = CPendingInstallation::kLockTimeoutMs;
  };

  // starter_folder: the folder of the starter program, without trailing separator.
  CStarter(std::string starter_folder, Deps deps);

  // The run. arguments: the starter's own arguments after its program name;
  // they reach the browser one by one, as they came.
  void Run(const std::vector<std::string>& arguments);

  // The starter's arguments as one text: each followed by one blank.
  static std::string JoinArguments(const std::vector<std::string>& arguments);

 private:
  void Start(const std::string& name, const std::string& program,
             const std::vector<std::string>& arguments);

  std::string starter_folder_;
  Deps deps_;
};
