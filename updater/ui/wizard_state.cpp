#include "updater/ui/wizard_state.h"

#include <utility>

CWizardState::CWizardState(std::string next_label) : next_label_(std::move(next_label)) {
  buttons_.next_label = next_label_;
}

namespace {

struct TaskPage {
  TaskId task;
  WizardPage page;
};

constexpr TaskPage kTaskPages[] = {
    {TaskId::kInit, WizardPage::kWelcome},
    {TaskId::kCheckVersion, WizardPage::kCheck},
    {TaskId::kHtmlMessage, WizardPage::kHtmlMessage},
    {TaskId::kLicense, WizardPage::kLicense},
    {TaskId::kSelectUpdate, WizardPage::kSelectUpdate},
    {TaskId::kDownload, WizardPage::kDownload},
    {TaskId::kInstall, WizardPage::kInstall},
    {TaskId::kRollback, WizardPage::kRollback},
};

}  // namespace

std::optional<WizardPage> CWizardState::TaskStarted(TaskId task) {
  std::optional<WizardPage> page;
  for (const TaskPage& row : kTaskPages)
    if (row.task == task) page = row.page;
  if (!page) return std::nullopt;
  task_ = task;
  page_ = *page;
  buttons_.next_label = next_label_;
  // The welcome page keeps its buttons; the selection page can be left at
  // once; every other page waits for its task (or the person).
  if (task != TaskId::kInit) buttons_.forward_enabled = task == TaskId::kSelectUpdate;
  if (task == TaskId::kRollback) buttons_.cancel_enabled = false;
  return page;
}

void CWizardState::TaskComplete(TaskId task) {
  switch (task) {
    case TaskId::kInit:
    case TaskId::kCheckVersion:
    case TaskId::kDownload:
      buttons_.forward_enabled = true;
      break;
    case TaskId::kInstall:
      buttons_.forward_enabled = true;
      installed_ = true;
      break;
    case TaskId::kRollback:
      ShowOnlyFinish();
      break;
    default:
      break;
  }
}

void CWizardState::NoNewVersion() { ShowOnlyFinish(); }

void CWizardState::EnableForward(bool enabled) { buttons_.forward_enabled = enabled; }

void CWizardState::SetNextLabel(std::string label) { buttons_.next_label = std::move(label); }

ForwardStep CWizardState::Forward() {
  if (buttons_.finish || !buttons_.forward_enabled) return ForwardStep::kNothing;
  if (installed_) {
    page_ = WizardPage::kFinish;
    ShowOnlyFinish();
    return ForwardStep::kShowFinish;
  }
  buttons_.forward_enabled = false;
  // The interactive tasks are completed by the mode; the process then moves
  // on by itself and the task's events run.
  if (task_ == TaskId::kHtmlMessage || task_ == TaskId::kLicense || task_ == TaskId::kSelectUpdate)
    return ForwardStep::kCompleteTask;
  return ForwardStep::kStartNext;
}

CancelStep CWizardState::Cancel(bool force_update) const {
  if (finished_) return CancelStep::kFinish;
  if (force_update || cancel_requested_ || !buttons_.cancel_enabled) return CancelStep::kNothing;
  return CancelStep::kAsk;
}

void CWizardState::CancelRequested() {
  cancel_requested_ = true;
  buttons_.cancel_enabled = false;
  buttons_.forward_enabled = false;
}

WizardButtons CWizardState::Buttons(bool force_update) const {
  WizardButtons shown = buttons_;
  shown.cancel_enabled = buttons_.cancel_enabled && !force_update && !cancel_requested_;
  // The close box cancels, or ends a run that can only end.
  shown.close_enabled = buttons_.finish || shown.cancel_enabled;
  // Once the run can only end there is nothing to follow in the tray.
  shown.hide_enabled = !finished_;
  return shown;
}

void CWizardState::ShowOnlyFinish() {
  finished_ = true;
  buttons_.finish = true;
  buttons_.forward_enabled = true;
  buttons_.cancel_enabled = false;
  buttons_.next_label = next_label_;
}
