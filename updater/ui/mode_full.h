#pragma once
// The full mode: the wizard. Each page comes from the process's task-started
// message; the person's Next, Finish and Cancel become messages to the
// process. The window is the module's IWizardView; everything it shows is
// decided here, so all of it runs without a toolkit in the tests.

#include <cstdint>
#include <memory>
#include <string>

#include "updater/ui/countdown.h"
#include "updater/ui/mode_base.h"
#include "updater/ui/section_tree.h"
#include "updater/ui/window_module.h"
#include "updater/ui/wizard_dialogs.h"
#include "updater/ui/wizard_state.h"
#include "updater/ui/wizard_texts.h"
#include "updater/ui/wizard_view.h"

class CModeFull : public CModeBase, public IWizardActions {
 public:
  // The HTML message's countdown ticks once a second on this timer.
  static constexpr std::int64_t kCountdownTimer = 1;
  static constexpr std::int64_t kCountdownStepMs = 1000;

  // windows is the started window module; it outlives the mode.
  CModeFull(IModeHost& host, TaskId current_task, IWindowModule& windows);
  ~CModeFull() override;

  // Opens the wizard and enters the state of the task the mode was created
  // with at once.
  void Create() override;
  IEventLoop* EventLoop() override { return &windows_.Loop(); }

  TaskId CurrentTask() const { return state_.CurrentTask(); }

  // What the person does in the wizard.
  void OnNext() override;
  void OnFinish() override;
  void OnCancel() override;
  void OnAboutLink() override;
  void OnHideInTray() override;
  void OnLicenseChoice(bool agree) override;
  void OnSectionToggled(std::size_t row) override;
  void OnSectionSelected(std::size_t row) override;

 protected:
  void OnTaskStarted(TaskId task) override;
  void OnTaskComplete(TaskId task, std::int64_t result) override;
  void OnItemProgress(const ItemProgress& progress) override;
  void OnTotalProgress(int percent) override;
  void OnError(const ModeError& error) override;
  void OnWarning(const std::string& item) override;
  void OnQuestion(const ModeQuestion& question) override;
  void OnTimer(std::int64_t timer, std::int64_t round) override;

 private:
  void ShowPage(WizardPage page);
  void ShowSelection();
  void StartCountdown();
  void Forward();
  void UpdateButtons();
  bool AskYes(const MessageBoxRequest& request);

  IWindowModule& windows_;
  TaskId initial_task_;
  CWizardTexts texts_;
  CWizardDialogs dialogs_;
  CWizardState state_;
  CCountdown countdown_;
  CSectionTree tree_;
  std::string item_label_;             // the item label as the page shows it
  bool shortcuts_shown_ = false;       // the finish page shows its check box
  bool ended_ = false;                 // finish was asked for: nothing more to ask
  std::unique_ptr<IWizardView> view_;  // last: the window goes first
};
