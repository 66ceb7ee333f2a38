#include "updater/ui/mode_hidden.h"

namespace {

bool IsInteractiveTask(TaskId task) {
  return task == TaskId::kHtmlMessage || task == TaskId::kLicense || task == TaskId::kSelectUpdate;
}

}  // namespace

CModeHidden::CModeHidden(IModeHost& host, TaskId current_task)
    : CModeBase(host), current_task_(current_task) {}

void CModeHidden::Create() {
  // Catch up: enter the state of the running task before anything else arrives.
  Host().PostToInterface(MakeMessage(MessageId::kTaskStarted, current_task_, 0));
}

void CModeHidden::OnTaskStarted(TaskId task) {
  current_task_ = task;
  // The HTML message is not shown, the licence counts as accepted and the
  // default selection of sections stands.
  if (IsInteractiveTask(task)) CompleteTask(task);
}

void CModeHidden::OnTaskComplete(TaskId task, std::int64_t /*result*/) {
  // The pauses are timers, so the process thread never blocks on them.
  if (IsInteractiveTask(task)) return;  // the process moves on by itself
  switch (task) {
    case TaskId::kDownload:
      CommandLater(CommandCode::kNextTask, kCompletePauseMs + kDownloadPauseMs);
      break;
    case TaskId::kInstall:
    case TaskId::kRollback:
      CommandLater(CommandCode::kFinish, kCompletePauseMs);
      break;
    default:
      CommandLater(CommandCode::kNextTask, kCompletePauseMs);
      break;
  }
}

void CModeHidden::OnError(const ModeError& error) {
  if (error.code == UpdateError::kNoNewVersion)
    Command(CommandCode::kFinish);
  else
    Command(CommandCode::kStartTask, ToNumber(TaskId::kRollback));
}

void CModeHidden::OnWarning(const std::string& /*item*/) { AcknowledgeWarning(); }

void CModeHidden::OnQuestion(const ModeQuestion& question) {
  // Yes to every question: files are deleted and registered, the application
  // is closed, without asking. Nobody can enter proxy credentials: no.
  Answer(question, question.id != QuestionId::kProxyCredentials);
}
