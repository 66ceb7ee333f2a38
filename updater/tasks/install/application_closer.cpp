#include "updater/tasks/install/application_closer.h"

#include <algorithm>
#include <utility>

#include "updater/core/updater_log.h"

namespace {

void Log(const std::string& line) { CUpdaterLog::Instance().WriteLine(line); }

}  // namespace

CApplicationCloser::CApplicationCloser(platform::IProcessControl& processes, Pause pause,
                                       CloseCountdown countdown)
    : processes_(processes), pause_(std::move(pause)), countdown_(countdown) {}

std::vector<platform::ProcessInfo> CApplicationCloser::Matching(const std::string& program) {
  return platform::UsersProcessesRunning(processes_.ListProcesses(), processes_.CurrentProcessId(),
                                         program);
}

bool CApplicationCloser::IsRunning(const std::string& program) {
  return !Matching(program).empty();
}

CloseResult CApplicationCloser::Close(const std::string& program) {
  std::vector<platform::ProcessInfo> targets = Matching(program);
  if (targets.empty()) return CloseResult::kClosed;

  Log("close application: asking " + program + " to end");
  for (const platform::ProcessInfo& process : targets) {
    request_sent_ = true;
    platform::Status sent = processes_.TerminateProcess(process, false);
    if (!sent) Log("close application: " + sent.message());
  }
  auto still_running = [&] {
    std::vector<platform::ProcessInfo> running = Matching(program);
    std::erase_if(targets, [&running](const platform::ProcessInfo& target) {
      return std::none_of(running.begin(), running.end(),
                          [&target](const auto& process) { return process.pid == target.pid; });
    });
    return !running.empty();
  };
  for (int check = 0; check < countdown_.checks; ++check) {
    if (!pause_(countdown_.check_ms)) return CloseResult::kCancelled;
    if (!still_running()) return CloseResult::kClosed;
  }

  // End now: only processes that were asked first are ended.
  Log("close application: ending " + program + " now");
  std::vector<platform::ProcessId> ended;
  for (const platform::ProcessInfo& process : targets) {
    platform::Status sent = processes_.TerminateProcess(process, true);
    if (sent)
      ended.push_back(process.pid);
    else
      Log("close application: " + sent.message());
  }
  processes_.WaitForProcessesToEnd(ended, countdown_.after_kill_ms);
  if (still_running()) {
    Log("close application: " + program + " still runs");
    return CloseResult::kFailed;
  }
  return CloseResult::kClosed;
}
