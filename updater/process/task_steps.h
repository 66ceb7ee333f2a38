#pragma once
// The table that drives the start and the completion of every task of the
// update process: its name in the log, the events run before and after it,
// whether it runs on a thread of its own, and, for a task the user takes part
// in, whether the update file gives it anything to show.
//
// Starting a task logs "starting task: <log name>", runs the before-event,
// announces the task to the mode and starts its thread. A task the user takes
// part in whose update file shows nothing completes at once instead. Its
// completion logs "task ready: <log name>", runs the after-event and, when the
// task moves on by itself, starts the next task. CUpdateProcess adds what
// belongs to one task only (the mode at kInit, the sections before the end of
// kSelectUpdate, the outcome of kInstall and kRollback).

#include <span>

#include "updater/description/update_file_data.h"
#include "updater/process/messages.h"

struct TaskStep {
  TaskId id;
  const char* log_name;      // "TASK_DOWNLOAD"
  const char* before_event;  // run when the task starts; nullptr: none
  const char* after_event;   // run when the task completes; nullptr: none
  bool started = true;       // false: the process completes it itself (kInit)
  bool has_thread = false;   // runs on a task thread (ITaskFactory)
  // For a page the user takes part in: whether the update file gives it
  // something to show; when not, the task completes at once. nullptr: the
  // task is no such page.
  bool (*shows)(const CUpdateFileData& data) = nullptr;
  // Its completion starts the next task (the mode does it for the others).
  bool moves_on = false;

  bool Interactive() const { return shows != nullptr; }
};

// Every task of the process, in the order of their ids.
std::span<const TaskStep> TaskSteps();
// The step of a task; nullptr for an id without one (kWorker).
const TaskStep* FindTaskStep(TaskId task);
