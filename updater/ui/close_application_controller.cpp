#include "updater/ui/close_application_controller.h"

#include <utility>

#include "platform/path.h"
#include "updater/core/language.h"
#include "updater/core/language_ids.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/ui/dialog_results.h"

CSystemCloseApplicationProcesses::CSystemCloseApplicationProcesses(
    platform::IProcessControl& processes)
    : processes_(processes) {}

std::vector<platform::ProcessInfo> CSystemCloseApplicationProcesses::Running(
    const std::string& file_name) {
  return platform::UsersProcessesRunning(processes_.ListProcesses(), processes_.CurrentProcessId(),
                                         file_name);
}

bool CSystemCloseApplicationProcesses::IsProcessRunning(const std::string& file_name) {
  return !Running(file_name).empty();
}

void CSystemCloseApplicationProcesses::CloseProcesses(const std::string& file_name,
                                                      bool terminate) {
  for (const platform::ProcessInfo& process : Running(file_name)) {
    if (platform::Status sent = processes_.TerminateProcess(process, terminate); !sent)
      CUpdaterLog::Instance().WriteLine("close application: " + sent.message());
  }
}

CCloseApplicationController::CCloseApplicationController(std::string title,
                                                         const std::string& executable_path,
                                                         ICloseApplicationProcesses& processes)
    : processes_(processes),
      title_(std::move(title)),
      executable_name_(platform::FileNameOf(executable_path)) {
  const CLanguage& language = CLanguage::Instance();
  if (title_.empty()) title_ = language.GetText(IDS_CLOSEAPPLICATION_APPLICATION);
  caption_ = FillPlaceholders(language.GetText(IDS_CLOSEAPPLICATION_TITLE), {title_});
  explanation_ = FormatExplanation();
  end_now_label_ = language.GetText(IDS_CLOSEAPPLICATION_ENDNOW);
  cancel_label_ = language.GetText(IDS_GENERAL_CANCEL);
}

std::string CCloseApplicationController::FormatExplanation() const {
  return FillPlaceholders(CLanguage::Instance().GetText(IDS_CLOSEAPPLICATION_EXPLANATION),
                          {title_, std::to_string(countdown_), title_});
}

void CCloseApplicationController::Start() {
  progress_ = 0;
  timer_running_ = true;
  processes_.CloseProcesses(executable_name_, false);
}

std::optional<int> CCloseApplicationController::Tick() {
  if (!timer_running_) return std::nullopt;
  if (!processes_.IsProcessRunning(executable_name_)) {
    timer_running_ = false;
    return kDialogOk;
  }
  --countdown_;
  if (countdown_ < 1) {
    timer_running_ = false;
    return EndNow();
  }
  explanation_ = FormatExplanation();
  ++progress_;
  return std::nullopt;
}

int CCloseApplicationController::EndNow() {
  timer_running_ = false;
  processes_.CloseProcesses(executable_name_, true);
  return kDialogOk;
}

int CCloseApplicationController::Cancel() const { return kDialogCancel; }
