#pragma once
// The hidden user-interface mode: shows nothing and answers the process so
// that the run goes on without a user.

#include "updater/ui/mode_base.h"

class CModeHidden : public CModeBase {
 public:
  // The pause after a completed task, and the further pause after the download.
  static constexpr std::int64_t kCompletePauseMs = 250;
  static constexpr std::int64_t kDownloadPauseMs = 1000;

  CModeHidden(IModeHost& host, TaskId current_task);

  void Create() override;

  TaskId CurrentTask() const { return current_task_; }

 protected:
  void OnTaskStarted(TaskId task) override;
  void OnTaskComplete(TaskId task, std::int64_t result) override;
  void OnError(const ModeError& error) override;
  void OnWarning(const std::string& item) override;
  void OnQuestion(const ModeQuestion& question) override;

 private:
  TaskId current_task_;
};
