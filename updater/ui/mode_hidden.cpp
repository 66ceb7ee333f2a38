#include "updater/ui/mode_hidden.h"

namespace {

bool IsInteractiveTask(int task) {
  return task == TASK_HTMLMESSAGE || task == TASK_LICENSE || task == TASK_SELECTUPDATE;
}

}  // namespace

CModeHidden::CModeHidden(IModeHost& host, int current_task)
    : host_(host), current_task_(current_task) {}

void CModeHidden::Create() {
  // Catch up: enter the state of the running task before anything else arrives.
  host_.PostToInterface(MakeMessage(WMU_TASK_STARTED, current_task_, 0));
}

void CModeHidden::OnMessage(const Message& message) {
  switch (message.id) {
    case WMU_TASK_STARTED:
      OnTaskStarted(static_cast<int>(message.wparam));
      break;
    case WMU_TASK_COMPLETE:
      OnTaskComplete(static_cast<int>(message.wparam));
      break;
    case WMU_ERROR:
      OnError(static_cast<int>(message.wparam));
      break;
    case WMU_WARNING:
      host_.PostToProcess(MakeMessage(WMU_WARNING_ACK, 0, 0));
      break;
    case WMU_QUESTION:
      // Yes to every question: files are deleted and registered, the
      // application is closed, without asking.
      host_.PostToProcess(MakeMessage(WMU_ANSWER, message.wparam, 0));
      break;
    default:
      break;  // progress, status and notifications show nowhere
  }
}

void CModeHidden::OnTaskStarted(int task) {
  current_task_ = task;
  // The HTML message is not shown, the licence counts as accepted and the
  // default selection of sections stands.
  if (IsInteractiveTask(task)) host_.PostToProcess(MakeMessage(WMU_TASK_COMPLETE, task, 0));
}

void CModeHidden::OnTaskComplete(int task) {
  // The pauses are timers, so the process thread never blocks on them.
  if (IsInteractiveTask(task)) return;  // the process moves on by itself
  switch (task) {
    case TASK_DOWNLOAD:
      host_.PostToProcessDelayed(MakeMessage(WMU_COMMAND, COMMAND_NEXT_TASK, 0),
                                 kCompletePauseMs + kDownloadPauseMs);
      break;
    case TASK_INSTALL:
    case TASK_ROLLBACK:
      host_.PostToProcessDelayed(MakeMessage(WMU_COMMAND, COMMAND_FINISH, 0), kCompletePauseMs);
      break;
    default:
      host_.PostToProcessDelayed(MakeMessage(WMU_COMMAND, COMMAND_NEXT_TASK, 0), kCompletePauseMs);
      break;
  }
}

void CModeHidden::OnError(int code) {
  if (code == ERROR_NO_NEW_VERSION) {
    host_.PostToProcess(MakeMessage(WMU_COMMAND, COMMAND_FINISH, 0));
  } else {
    host_.PostToProcess(MakeMessage(WMU_COMMAND, COMMAND_START_TASK, TASK_ROLLBACK));
  }
}
