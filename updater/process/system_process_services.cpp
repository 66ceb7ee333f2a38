#include "updater/process/system_process_services.h"

#include <algorithm>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/system_paths.h"
#include "updater/core/dialog_service.h"
#include "updater/core/text.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"

CSystemProcessServices::CSystemProcessServices(platform::IProcessControl& processes,
                                               CloseTimeouts timeouts)
    : processes_(processes), timeouts_(timeouts) {}

bool CSystemProcessServices::FileExists(const std::string& path) {
  return platform::FileExists(path);
}

platform::StartResult CSystemProcessServices::Start(const std::string& location,
                                                    const std::string& parameters,
                                                    const std::string& working_folder) {
  return StartLocation(location, parameters, working_folder);
}

void CSystemProcessServices::StartProgram(const std::string& location,
                                          const std::string& parameters,
                                          const std::string& working_folder) {
  platform::StartResult result = Start(location, parameters, working_folder);
  if (result.status && result.pid > 0) platform::ReleaseChild(result.pid);
}

std::vector<platform::ProcessInfo> CSystemProcessServices::MatchingProcesses(
    const std::string& file_name) {
  return platform::UsersProcessesRunning(processes_.ListProcesses(), processes_.CurrentProcessId(),
                                         file_name);
}

bool CSystemProcessServices::IsProcessRunning(const std::string& file_name) {
  return !MatchingProcesses(file_name).empty();
}

bool CSystemProcessServices::CloseApplication(const std::string& /*title*/,
                                              const std::string& file_name) {
  std::vector<platform::ProcessInfo> running = MatchingProcesses(file_name);
  if (running.empty()) return true;

  // First asked to end, then ended; the second round reaches only processes of
  // the first list, so none is killed without having been asked.
  std::vector<platform::ProcessInfo> targets = running;
  for (bool force : {false, true}) {
    std::vector<platform::ProcessId> signalled;
    for (const platform::ProcessInfo& process : targets) {
      application_closed_ = true;
      if (processes_.TerminateProcess(process, force)) signalled.push_back(process.pid);
    }
    processes_.WaitForProcessesToEnd(
        signalled, force ? timeouts_.after_kill_ms : timeouts_.after_terminate_ms);
    running = MatchingProcesses(file_name);
    if (running.empty()) return true;
    std::erase_if(targets, [&running](const platform::ProcessInfo& target) {
      return std::none_of(
          running.begin(), running.end(),
          [&target](const platform::ProcessInfo& process) { return process.pid == target.pid; });
    });
  }
  return false;
}

bool CSystemProcessServices::Confirm(const std::string& caption, const std::string& heading,
                                     const std::string& text, const std::string& /*yes_text*/,
                                     const std::string& /*no_text*/) {
  MessageBoxRequest request;
  request.kind = MessageBoxKind::kQuestion;
  request.caption = caption;
  request.text = heading.empty() ? text : heading + "\n\n" + text;
  request.yes_no = true;
  return DialogService().ShowMessageBox(request) == MessageBoxAnswer::kYes;
}
