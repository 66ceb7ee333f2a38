#include "updater/ui/mode_hidden.h"

namespace {

bool IsInteractiveTask(TaskId task) {
  return task == TaskId::kHtmlMessage || task == TaskId::kLicense || task == TaskId::kSelectUpdate;
}

}  // namespace

CModeHidden::CModeHidden(IModeHost& host, TaskId current_task)
    : host_(host), current_task_(current_task) {}

void CModeHidden::Create() {
  // Catch up: enter the state of the running task before anything else arrives.
  host_.PostToInterface(MakeMessage(MessageId::kTaskStarted, current_task_, 0));
}

void CModeHidden::OnMessage(const Message& message) {
  switch (message.id) {
    case MessageId::kTaskStarted:
      OnTaskStarted(CodeOf<TaskId>(message));
      break;
    case MessageId::kTaskComplete:
      OnTaskComplete(CodeOf<TaskId>(message));
      break;
    case MessageId::kError:
      OnError(CodeOf<UpdateError>(message));
      break;
    case MessageId::kWarning:
      host_.PostToProcess(MakeMessage(MessageId::kWarningAck, 0, 0));
      break;
    case MessageId::kQuestion:
      // Yes to every question: files are deleted and registered, the
      // application is closed, without asking.
      host_.PostToProcess(MakeMessage(MessageId::kAnswer, message.wparam, 0));
      break;
    default:
      break;  // progress, status and notifications show nowhere
  }
}

void CModeHidden::OnTaskStarted(TaskId task) {
  current_task_ = task;
  // The HTML message is not shown, the licence counts as accepted and the
  // default selection of sections stands.
  if (IsInteractiveTask(task)) host_.PostToProcess(MakeMessage(MessageId::kTaskComplete, task, 0));
}

void CModeHidden::OnTaskComplete(TaskId task) {
  // The pauses are timers, so the process thread never blocks on them.
  if (IsInteractiveTask(task)) return;  // the process moves on by itself
  switch (task) {
    case TaskId::kDownload:
      host_.PostToProcessDelayed(MakeMessage(MessageId::kCommand, CommandCode::kNextTask, 0),
                                 kCompletePauseMs + kDownloadPauseMs);
      break;
    case TaskId::kInstall:
    case TaskId::kRollback:
      host_.PostToProcessDelayed(MakeMessage(MessageId::kCommand, CommandCode::kFinish, 0),
                                 kCompletePauseMs);
      break;
    default:
      host_.PostToProcessDelayed(MakeMessage(MessageId::kCommand, CommandCode::kNextTask, 0),
                                 kCompletePauseMs);
      break;
  }
}

void CModeHidden::OnError(UpdateError code) {
  if (code == UpdateError::kNoNewVersion) {
    host_.PostToProcess(MakeMessage(MessageId::kCommand, CommandCode::kFinish, 0));
  } else {
    host_.PostToProcess(
        MakeMessage(MessageId::kCommand, CommandCode::kStartTask, ToNumber(TaskId::kRollback)));
  }
}
