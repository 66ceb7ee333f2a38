#pragma once
// The process services of the event actions on the real system: files, the
// start of programs and documents, the user's running processes and the
// confirmation dialog.

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/process.h"
#include "updater/process/process_services.h"
#include "updater/process/start_location.h"

// How long CloseApplication waits for the application to end.
struct CloseTimeouts {
  std::int64_t after_terminate_ms = 5000;  // after SIGTERM, before SIGKILL
  std::int64_t after_kill_ms = 2000;       // after SIGKILL
};

class CSystemProcessServices : public IProcessServices {
 public:
  explicit CSystemProcessServices(
      platform::IProcessControl& processes = platform::SystemProcessControl(),
      CloseTimeouts timeouts = {});

  bool FileExists(const std::string& path) override;
  // Starts the program or opens the location, and lets it run on by itself.
  void StartProgram(const std::string& location, const std::string& parameters,
                    const std::string& working_folder) override;
  // Only this user's processes count, this process excluded.
  bool IsProcessRunning(const std::string& file_name) override;
  // Asks the user's matching processes to end (SIGTERM), waits, then ends the
  // remaining ones (SIGKILL); true when none runs afterwards.
  bool CloseApplication(const std::string& title, const std::string& file_name) override;
  bool Confirm(const std::string& caption, const std::string& heading, const std::string& text,
               const std::string& yes_text, const std::string& no_text) override;

  // What StartProgram does, with the started child left to the caller (wait
  // for it with platform::WaitForProcess or release it). The pid is 0 when the
  // desktop's opener was used (its child is released).
  platform::StartResult Start(const std::string& location, const std::string& parameters,
                              const std::string& working_folder);

  // Set once a close or terminate request has been sent to a process; read by
  // the finishing work. Set on the install task's thread, read on the
  // process thread.
  bool ApplicationClosed() const { return application_closed_.load(); }
  // Records that another part (the install task) asked the application to close.
  void MarkApplicationClosed() { application_closed_ = true; }

 private:
  std::vector<platform::ProcessInfo> MatchingProcesses(const std::string& file_name);

  platform::IProcessControl& processes_;
  CloseTimeouts timeouts_;
  std::atomic<bool> application_closed_ = false;
};
