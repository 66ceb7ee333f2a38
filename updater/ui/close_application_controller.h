#pragma once
// The close-application dialog's logic, apart from the window: the application
// is asked to close; a timer ticks once a second, counting down from 60; the
// dialog ends with OK when the application is gone, or when the countdown runs
// out or the user presses End now (the application's processes are then
// terminated), and with Cancel when the user cancels.

#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"

// The running check and the close request, by the executable's file name.
class ICloseApplicationProcesses {
 public:
  virtual ~ICloseApplicationProcesses() = default;
  virtual bool IsProcessRunning(const std::string& file_name) = 0;
  // Asks the processes to end (terminate false) or ends them (true).
  virtual void CloseProcesses(const std::string& file_name, bool terminate) = 0;
};

// The user's own processes (this one excluded) that run the program, on the
// real system or on an injected process list.
class CSystemCloseApplicationProcesses : public ICloseApplicationProcesses {
 public:
  explicit CSystemCloseApplicationProcesses(
      platform::IProcessControl& processes = platform::SystemProcessControl());
  bool IsProcessRunning(const std::string& file_name) override;
  void CloseProcesses(const std::string& file_name, bool terminate) override;

 private:
  std::vector<platform::ProcessInfo> Running(const std::string& file_name);

  platform::IProcessControl& processes_;
};

class CCloseApplicationController {
 public:
  static constexpr int kCountdown = 60;

  // An empty title is the language's "application".
  CCloseApplicationController(std::string title, const std::string& executable_path,
                              ICloseApplicationProcesses& processes);

  // Asks the application to close; the timer then ticks once a second.
  void Start();
  // One tick of the timer; the dialog's result when it ends.
  std::optional<int> Tick();
  // End now: terminates the application; the dialog ends with OK.
  int EndNow();
  // Cancel: the application keeps running.
  int Cancel() const;

  const std::string& Caption() const { return caption_; }  // also the heading
  const std::string& Explanation() const { return explanation_; }
  const std::string& EndNowLabel() const { return end_now_label_; }
  const std::string& CancelLabel() const { return cancel_label_; }
  const std::string& ExecutableName() const { return executable_name_; }
  int ProgressRange() const { return kCountdown; }
  int ProgressPosition() const { return progress_; }
  bool TimerRunning() const { return timer_running_; }

 private:
  std::string FormatExplanation() const;

  ICloseApplicationProcesses& processes_;
  std::string title_;
  std::string executable_name_;
  std::string caption_;
  std::string explanation_;
  std::string end_now_label_;
  std::string cancel_label_;
  int countdown_ = kCountdown;
  int progress_ = 0;
  bool timer_running_ = false;
};
