#pragma once
// The update process: runs one update from TaskId::kInit to its end on the calling
// thread (the user-interface thread). It starts the tasks one after the other,
// runs the update file's event actions, forwards the tasks' reports to the
// mode and carries out the mode's commands, all by messages.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "updater/core/dialog_service.h"
#include "updater/description/event_table.h"
#include "updater/process/ask_user.h"
#include "updater/process/message_queue.h"
#include "updater/process/mode.h"
#include "updater/process/process_services.h"
#include "updater/process/task_thread.h"

// Creates the thread of a task (check version, download, install, rollback);
// nullptr when it cannot be created.
class ITaskFactory {
 public:
  virtual ~ITaskFactory() = default;
  virtual std::unique_ptr<CTaskThread> CreateTask(TaskId task_id) = 0;
};

struct UpdateProcessDeps {
  ITaskFactory& tasks;
  IModeFactory& modes;
  IProcessServices& services;
  const platform::IClock& clock = platform::SystemClock();
  // The work after a completed installation, run at the end of the process;
  // false when it failed.
  std::function<bool()> finish_update;
  // Shows the About box (modal for the user; the task keeps running).
  std::function<void()> show_about;
  // The bound of each wait for a task thread after its completion (1 s).
  std::int64_t task_wait_ms = 1000;
  // Configures the internet object at the start of the run (credentials,
  // time-out, the process queue as the owner of its worker). Empty: nothing.
  std::function<void(const std::shared_ptr<CMessageQueue>& process_queue)> configure_internet =
      nullptr;
  // The dialogs of the run (the finishing work's windows); nullptr: DialogService().
  IDialogService* dialogs = nullptr;
};

class CUpdateProcess : public IModeHost {
 public:
  explicit CUpdateProcess(UpdateProcessDeps deps);
  ~CUpdateProcess() override;

  // Runs the whole update: TaskId::kInit, the message loop, the end.
  void Run();

  // For tests and for a toolkit loop: start the run, then handle what is ready.
  void Begin();
  // Handles every message that is ready now; false once the run has ended.
  bool PumpReady();
  bool HasEnded() const { return ended_; }
  const std::shared_ptr<CMessageQueue>& Queue() const { return queue_; }

  // IModeHost
  void PostToProcess(Message message) override;
  void PostToProcessDelayed(Message message, std::int64_t delay_ms) override;
  void PostToInterface(Message message) override;
  void PostToInterfaceDelayed(Message message, std::int64_t delay_ms) override;

  // The one way to ask the user during the run (process thread only).
  CAskUser& User() { return ask_user_; }

  // State, for the mode and the tests.
  TaskId CurrentTask() const { return task_; }
  const std::string& ModeName() const { return mode_name_; }
  bool HasInterface() const { return static_cast<bool>(interface_); }
  bool InstallDone() const { return install_done_; }
  bool Cancelled() const { return cancelled_; }
  bool FinishRequested() const { return finish_requested_; }
  // The exit status of the run (exit_status.h), meaningful once it has ended.
  int ExitStatus() const;

 private:
  void InitInstance();
  void Dispatch(const Message& message);
  void StartTask(TaskId task, bool next = false);
  void StartNextTask();
  void StartTaskThread(TaskId task);
  void OnTaskComplete(TaskId task, std::int64_t result);
  void OnThreadMessage(CommandCode code, std::int64_t argument);
  void OnError(const Message& error);
  void ChangeMode(const std::string& name);
  bool CheckSelectedSections();
  // Runs the actions of the event in order; an action may end the list.
  void HandleEvents(const std::string& event);
  enum class EventOutcome { kGoOn, kStop };
  EventOutcome HandleEventAction(const CEventActionClose& close);
  EventOutcome HandleEventAction(const CEventActionRun& run);
  EventOutcome HandleEventAction(const CEventActionSetMode& set);
  EventOutcome HandleEventAction(const CEventActionSkipNextTask& skip);
  EventOutcome HandleEventAction(const CEventActionStartNextTask& start);
  EventOutcome HandleEventAction(const CEventActionCloseApplication& close);
  EventOutcome HandleEventAction(const CEventActionShowNotifier& notifier);
  void Announce(TaskId task);
  void Forward(const Message& message);
  void Ask(const Message& question);
  void OnAnswer(const Message& answer);
  void EndTaskThread(bool cancel_first);
  void ExitInstance();

  UpdateProcessDeps deps_;
  std::shared_ptr<CMessageQueue> queue_;
  CAskUser ask_user_;
  std::unique_ptr<CMode> interface_;
  std::uint64_t interface_generation_ = 0;
  std::string mode_name_;
  std::unique_ptr<CTaskThread> task_thread_;
  // Task threads that did not end within their bound; kept alive, never freed
  // while their thread may still run.
  std::vector<std::unique_ptr<CTaskThread>> abandoned_tasks_;
  Message last_interface_message_;
  bool has_last_interface_message_ = false;
  TaskId task_ = TaskId::kInit;
  bool finish_requested_ = false;
  bool install_done_ = false;
  bool mode_change_allowed_ = true;
  bool cancelled_ = false;
  // The outcome, for the exit status.
  bool failed_ = false;           // an error other than "no new version"
  bool install_started_ = false;  // the installation may have changed something
  bool install_error_ = false;    // the running installation reported an error
  bool rollback_done_ = false;
  std::int64_t rollback_failures_ = 0;  // changes the rollback could not undo
  bool finish_failed_ = false;
  bool begun_ = false;
  bool ended_ = false;
};
