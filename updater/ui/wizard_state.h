#pragma once
// Where the wizard stands and which of its buttons work: the page of a
// started task, the buttons after a completed one, and what Next, Finish and
// Cancel mean at each point. Pure state; the mode posts what it decides.
//
// Two flags only ever go from false to true: installed (the installation
// completed) and finished (the run can only end: the installation was
// acknowledged, the rollback completed, or there is no new version). With a
// forced update (known only once the update file is read, so it is asked each
// time) Cancel never works and the close box works only while Finish shows.

#include <optional>
#include <string>

#include "updater/process/messages.h"
#include "updater/ui/wizard_view.h"

// What the forward step asks for.
enum class ForwardStep {
  kNothing,       // Next is not available now
  kShowFinish,    // the installation was acknowledged: the finish page, only Finish
  kCompleteTask,  // an interactive task is done (the process moves on by itself)
  kStartNext,     // the process starts the next task
};

// What Cancel (the button, Escape, the close box) asks for.
enum class CancelStep {
  kNothing,
  kFinish,  // the run can only end: it ends
  kAsk,     // ask the person whether to stop updating
};

class CWizardState {
 public:
  explicit CWizardState(std::string next_label);

  TaskId CurrentTask() const { return task_; }
  bool Installed() const { return installed_; }
  bool Finished() const { return finished_; }
  WizardPage Page() const { return page_; }

  // A task started: it becomes the current task; its page (nullopt for an id
  // that has no page, which changes nothing).
  std::optional<WizardPage> TaskStarted(TaskId task);
  // A task completed: the buttons and flags its completion sets.
  void TaskComplete(TaskId task);
  // There is no new version: only Finish, on the page that shows.
  void NoNewVersion();

  // Next may be pressed (the licence's choice, the end of a countdown).
  void EnableForward(bool enabled);
  void SetNextLabel(std::string label);

  // The person pressed Next. Next stays unavailable until the next page or
  // completion, so a second press before then asks for nothing.
  ForwardStep Forward();
  // The person pressed Finish: true when Finish shows (the run ends).
  bool FinishPressed() const { return buttons_.finish && buttons_.forward_enabled; }
  CancelStep Cancel(bool force_update) const;
  // The person said yes to stopping: nothing more to cancel.
  void CancelRequested();

  // The buttons as they show, a forced update applied.
  WizardButtons Buttons(bool force_update) const;

 private:
  void ShowOnlyFinish();

  std::string next_label_;
  TaskId task_ = TaskId::kInit;
  WizardPage page_ = WizardPage::kWelcome;
  WizardButtons buttons_;  // before the forced update is applied
  bool installed_ = false;
  bool finished_ = false;
  bool cancel_requested_ = false;
};
