#pragma once
// The hidden user-interface mode: shows nothing and answers the process so
// that the run goes on without a user.

#include "updater/process/mode.h"

class CModeHidden : public CMode {
 public:
  // The pause after a completed task, and the further pause after the download.
  static constexpr std::int64_t kCompletePauseMs = 250;
  static constexpr std::int64_t kDownloadPauseMs = 1000;

  CModeHidden(IModeHost& host, TaskId current_task);

  void Create() override;
  void OnMessage(const Message& message) override;

  TaskId CurrentTask() const { return current_task_; }

 private:
  void OnTaskStarted(TaskId task);
  void OnTaskComplete(TaskId task);
  void OnError(UpdateError code);

  IModeHost& host_;
  TaskId current_task_;
};
