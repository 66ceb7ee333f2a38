#include "updater/process/update_process.h"

#include <string>

#include "updater/core/exit_status.h"
#include "updater/core/language.h"
#include "updater/core/language_ids.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/event_table.h"
#include "updater/description/installed_sections.h"
#include "updater/description/update_file_data.h"
#include "updater/process/event_loop.h"
#include "updater/process/start_location.h"
#include "updater/process/task_steps.h"

namespace {

// The task after `task` in the sequence. 4 stands for no task and is passed
// over, so that the run reaches the section selection and the download by
// itself; past the installation (8) there is no further task.
TaskId NextTask(TaskId task) {
  return task == TaskId::kLicense ? TaskId::kSelectUpdate : static_cast<TaskId>(ToNumber(task) + 1);
}

// How long the cancel command and the end of the run wait for a task thread.
constexpr std::int64_t kTaskStopBoundMs = 60000;
// How long the end of the process waits for a task left behind earlier.
constexpr std::int64_t kAbandonedTaskBoundMs = 5000;
// How often a completed task is waited for (each wait is task_wait_ms).
constexpr int kCompletionWaits = 59;

void Log(std::string_view line) { CUpdaterLog::Instance().WriteLine(line); }

std::string Num(std::int64_t value) { return std::to_string(value); }

// The log line of an error code; nullptr for codes without one.
const char* ErrorLogPattern(UpdateError code) {
  switch (code) {
    case UpdateError::kUnknown:
      return "ERROR: unknown error";
    case UpdateError::kNoConnection:
      return "ERROR: no connection";
    case UpdateError::kServer:
      return "ERROR: server";
    case UpdateError::kNoDiskSpace:
      return "ERROR: no disk space";
    case UpdateError::kFileNotFound:
      return "ERROR: file %s not found";
    case UpdateError::kCopyFailed:
      return "ERROR: copy file %s";
    case UpdateError::kDeleteFailed:
      return "ERROR: delete file %s";
    case UpdateError::kRunFailed:
      return "ERROR: run file %s";
    case UpdateError::kCloseApplication:
      return "ERROR: close app";
    case UpdateError::kFileCorrupt:
      return "ERROR: file %s corrupt";
    case UpdateError::kNoNewVersion:
      return "No new version is found";
    case UpdateError::kWriteFailed:
      return "ERROR: write file %s";
    case UpdateError::kUnzipFailed:
      return "ERROR: unzip file %s";
    default:
      return nullptr;
  }
}

bool IsInterfaceMessage(MessageId id) {
  switch (id) {
    case MessageId::kError:
    case MessageId::kTaskStarted:
    case MessageId::kTaskComplete:
    case MessageId::kStatusChanged:
    case MessageId::kItemProgress:
    case MessageId::kTotalProgress:
    case MessageId::kWarning:
    case MessageId::kQuestion:
    case MessageId::kShowNotifier:
      return true;
    default:
      return false;
  }
}

}  // namespace

CUpdateProcess::CUpdateProcess(UpdateProcessDeps deps)
    : deps_(std::move(deps)),
      queue_(std::make_shared<CMessageQueue>(deps_.clock)),
      ask_user_(CAskUser::Deps{.dialogs = deps_.dialogs ? *deps_.dialogs : DialogService(),
                               .services = deps_.services,
                               .show_about = deps_.show_about,
                               .answer_task = [this](Message answer) {
                                 if (task_thread_) task_thread_->Post(std::move(answer));
                               }}) {}

CUpdateProcess::~CUpdateProcess() {
  // A thread still waiting for an answer is told "no" before anything ends.
  ask_user_.AnswerAllNo();
  interface_.reset();
  if (task_thread_) EndTaskThread(false);
  // A thread that never ended keeps its object: freeing it would leave the
  // thread running on freed memory. The process is ending anyway.
  for (auto& task : abandoned_tasks_) {
    task->Post(MakeMessage(MessageId::kQuit));
    if (!task->WaitForEnd(kAbandonedTaskBoundMs)) static_cast<void>(task.release());
  }
}

void CUpdateProcess::Run() {
  Begin();
  bool toolkit_failed = false;
  while (!ended_) {
    IEventLoop* loop = interface_ && !toolkit_failed ? interface_->EventLoop() : nullptr;
    if (loop) {
      // A mode with windows: its toolkit serves the queue from now on, also
      // after a switch to a mode without windows.
      loop->Serve(*queue_, [this] { return PumpReady(); });
      if (!ended_) {
        Log("the toolkit loop stopped serving the update process, the plain loop goes on");
        toolkit_failed = true;
      }
      continue;
    }
    auto message = queue_->Take();
    if (!message) break;
    Dispatch(*message);
  }
}

void CUpdateProcess::Begin() {
  if (begun_) return;
  begun_ = true;
  InitInstance();
}

bool CUpdateProcess::PumpReady() {
  Begin();
  while (!ended_) {
    auto message = queue_->TryTake();
    if (!message) break;
    Dispatch(*message);
  }
  return !ended_;
}

void CUpdateProcess::PostToProcess(Message message) {
  message.interface_generation = 0;
  queue_->Post(std::move(message));
}

void CUpdateProcess::PostToProcessDelayed(Message message, std::int64_t delay_ms) {
  message.interface_generation = 0;
  queue_->PostDelayed(std::move(message), delay_ms);
}

void CUpdateProcess::PostToInterface(Message message) {
  if (!interface_) return;
  message.interface_generation = interface_generation_;
  queue_->Post(std::move(message));
}

void CUpdateProcess::PostToInterfaceDelayed(Message message, std::int64_t delay_ms) {
  if (!interface_) return;
  message.interface_generation = interface_generation_;
  queue_->PostDelayed(std::move(message), delay_ms);
}

void CUpdateProcess::InitInstance() {
  task_ = TaskId::kInit;
  interface_.reset();
  task_thread_.reset();
  mode_change_allowed_ = true;
  finish_requested_ = install_done_ = cancelled_ = false;
  failed_ = install_started_ = install_error_ = rollback_done_ = finish_failed_ = false;
  rollback_failures_ = 0;
  CInstalledSections::Instance().Load(InstalledSectionsPath());
  if (deps_.configure_internet) deps_.configure_internet(queue_);
  PostToProcess(MakeMessage(MessageId::kTaskComplete, TaskId::kInit, 0));
}

void CUpdateProcess::Dispatch(const Message& message) {
  if (message.interface_generation != 0) {
    // A message for the user interface: only the mode it was meant for sees it.
    if (interface_ && message.interface_generation == interface_generation_)
      interface_->OnMessage(message);
    return;
  }
  switch (message.id) {
    case MessageId::kQuit:
      ExitInstance();
      break;
    case MessageId::kCommand:
      Log(FillPlaceholders("CUpdateProcess::OnThreadMessage -> wParam = %d; lParam = %d",
                           {Num(message.wparam), Num(message.lparam)}));
      OnThreadMessage(CodeOf<CommandCode>(message), message.lparam);
      break;
    case MessageId::kTaskComplete:
      OnTaskComplete(CodeOf<TaskId>(message), message.lparam);
      break;
    case MessageId::kError:
      OnError(message);
      break;
    case MessageId::kWarning:
      if (message.wparam == 0)
        Log(FillPlaceholders("WARNING: file %s not registered", {message.text}));
      Forward(message);
      break;
    case MessageId::kWarningAck:
      if (task_thread_) task_thread_->Post(message);
      break;
    case MessageId::kQuestion:
      Log(FillPlaceholders("QUESTION_ID: %d", {Num(message.wparam)}));
      Ask(message);
      break;
    case MessageId::kAnswer:
      OnAnswer(message);
      break;
    case MessageId::kStatusChanged:
    case MessageId::kItemProgress:
    case MessageId::kTotalProgress:
      Forward(message);
      break;
    case MessageId::kShowAbout:
      // The task keeps running while the box is open; the box is modal only
      // for the user.
      Log("ABOUT: user wants to see about dialog");
      ask_user_.ShowAbout();
      Log("ABOUT: user closed about dialog");
      break;
    case MessageId::kChangeMode:
      Log(message.text);
      ChangeMode(message.text);
      // An open question reached the new mode with ChangeMode; the other
      // last message is posted again.
      if (interface_ && has_last_interface_message_ &&
          last_interface_message_.id != MessageId::kQuestion) {
        Message replay = last_interface_message_;
        PostToInterface(std::move(replay));
      }
      break;
    default:
      break;
  }
}

void CUpdateProcess::Forward(const Message& message) {
  if (!interface_) return;
  if (IsInterfaceMessage(message.id)) {
    last_interface_message_ = message;
    last_interface_message_.interface_generation = 0;
    has_last_interface_message_ = true;
  }
  PostToInterface(message);
}

void CUpdateProcess::Ask(const Message& question) {
  Message for_mode = ask_user_.Open(question, interface_generation_);
  if (!interface_) {
    // Nobody can answer: no, at once, so that the asker does not wait.
    OnAnswer(MakeAnswer(for_mode, false));
    return;
  }
  Forward(for_mode);
}

void CUpdateProcess::OnAnswer(const Message& answer) {
  if (ask_user_.Answer(answer, interface_generation_)) {
    Log(FillPlaceholders("QUESTIONANSWER_ID: question: %d -> answer: %d",
                         {Num(answer.wparam), Num(answer.lparam)}));
  } else {
    Log(FillPlaceholders("QUESTIONANSWER_ID: question: %d -> answer: %d ignored (no open question)",
                         {Num(answer.wparam), Num(answer.lparam)}));
  }
}

void CUpdateProcess::Announce(TaskId task) {
  if (interface_) Forward(MakeMessage(MessageId::kTaskStarted, task, 0));
}

void CUpdateProcess::StartNextTask() { StartTask(NextTask(task_), true); }

void CUpdateProcess::StartTask(TaskId task, bool next) {
  if (cancelled_ && (next || task != TaskId::kRollback)) return;
  task_ = task;
  if (next && task_ > TaskId::kInstall) {
    // Nothing follows (the installation was skipped): end the run in order
    // instead of waiting for a task that never comes.
    PostToProcess(MakeMessage(MessageId::kCommand, CommandCode::kFinish, 0));
    return;
  }
  const TaskStep* step = FindTaskStep(task_);
  if (!step || !step->started) return;
  Log(std::string("starting task: ") + step->log_name);
  // The rollback is a real task: it undoes what the installation did and
  // completes like the others, so every mode can end the run after it.
  if (task_ == TaskId::kRollback) install_done_ = false;
  if (step->Interactive() && !step->shows(CUpdateFileData::Instance())) {
    // Nothing to show: the page is passed over.
    PostToProcess(MakeMessage(MessageId::kTaskComplete, task_, 0));
    return;
  }
  if (step->before_event) HandleEvents(step->before_event);
  Announce(task_);
  if (step->has_thread) StartTaskThread(task_);
}

void CUpdateProcess::StartTaskThread(TaskId task) {
  // A task that still runs is ended first, so only one task runs at a time.
  EndTaskThread(false);
  std::unique_ptr<CTaskThread> thread = deps_.tasks.CreateTask(task);
  if (!thread) {
    failed_ = true;
    PostToProcess(MakeMessage(MessageId::kQuit));
    return;
  }
  if (task == TaskId::kInstall) {
    install_started_ = true;
    install_error_ = false;
  }
  thread->Start();
  Message owner = MakeMessage(MessageId::kSetOwner);
  owner.payload = queue_;
  thread->Post(std::move(owner));
  thread->Post(MakeMessage(MessageId::kCommand, CommandCode::kStartWorking, 0));
  task_thread_ = std::move(thread);
}

void CUpdateProcess::EndTaskThread(bool cancel_first) {
  if (!task_thread_) return;
  if (cancel_first) task_thread_->Post(MakeMessage(MessageId::kCommand, CommandCode::kCancel, 0));
  task_thread_->Post(MakeMessage(MessageId::kQuit));
  if (task_thread_->WaitForEnd(kTaskStopBoundMs)) {
    task_thread_->Stop();
    task_thread_.reset();
  } else {
    // A task that does not end within the bound is left behind; its object
    // stays alive so that the thread never touches freed memory.
    Log("task thread did not end in time");
    abandoned_tasks_.push_back(std::move(task_thread_));
  }
}

void CUpdateProcess::OnTaskComplete(TaskId task, std::int64_t result) {
  if (cancelled_ && task != TaskId::kRollback) return;
  if (task != task_) return;  // a late report of a task that was replaced
  if (task_thread_) {
    for (int i = 0; i < kCompletionWaits; ++i) {
      Log("CUpdateProcess::OnTaskComplete - Waiting...");
      if (task_thread_->WaitForEnd(deps_.task_wait_ms)) break;
    }
    if (task_thread_->WaitForEnd(0)) {
      task_thread_->Stop();
      task_thread_.reset();
    } else {
      abandoned_tasks_.push_back(std::move(task_thread_));
    }
  }
  const TaskStep* step = FindTaskStep(task);
  if (!step) {
    Forward(MakeMessage(MessageId::kTaskComplete, task, result));
    return;
  }
  if (task == TaskId::kSelectUpdate) CheckSelectedSections();
  if (task == TaskId::kInstall && install_error_) {
    // Some workers go on after an error and complete the task anyway. The
    // installation is not finished: the interface already has the error and
    // chooses what follows (the rollback), so the completion is not passed on
    // and the events after the installation do not run.
    Log("task ended after an error: TASK_INSTALL");
    return;
  }
  Log(std::string("task ready: ") + step->log_name);
  switch (task) {
    case TaskId::kInit:
      ChangeMode(CUpdaterSettings::Instance().Values().run_mode);
      if (!interface_) {
        // Nothing would drive the tasks: end the run in order.
        Log("no user interface for mode '" + CUpdaterSettings::Instance().Values().run_mode +
            "', update process ends");
        failed_ = true;
        PostToProcess(MakeMessage(MessageId::kQuit));
      }
      break;
    case TaskId::kInstall:
      install_done_ = true;
      break;
    case TaskId::kRollback:
      install_done_ = false;
      rollback_done_ = true;
      rollback_failures_ = result;
      break;
    default:
      break;
  }
  if (step->after_event) HandleEvents(step->after_event);
  if (step->moves_on) StartNextTask();
  Forward(MakeMessage(MessageId::kTaskComplete, task, result));
}

void CUpdateProcess::OnThreadMessage(CommandCode code, std::int64_t argument) {
  switch (code) {
    case CommandCode::kNextTask:
      Log("CUpdateProcess::OnThreadMessage -> start next task");
      StartNextTask();
      break;
    case CommandCode::kSkipNextTask:
      Log("CUpdateProcess::OnThreadMessage -> skip next task");
      task_ = NextTask(task_);
      break;
    case CommandCode::kFinish:
      Log("CUpdateProcess::OnThreadMessage -> finish update process");
      finish_requested_ = true;
      PostToProcess(MakeMessage(MessageId::kQuit));
      break;
    case CommandCode::kCancel:
      Log("CUpdateProcess::OnThreadMessage -> cancel update process");
      cancelled_ = true;
      ask_user_.AnswerAllNo();
      EndTaskThread(true);
      if (task_ < TaskId::kInstall)
        PostToProcess(MakeMessage(MessageId::kQuit));
      else
        StartTask(TaskId::kRollback);
      break;
    case CommandCode::kStartTask:
      Log("CUpdateProcess::OnThreadMessage -> start specific task");
      if (ToNumber(task_) < argument) StartTask(static_cast<TaskId>(argument));
      break;
    default:
      break;
  }
}

void CUpdateProcess::OnError(const Message& error) {
  const UpdateError code = CodeOf<UpdateError>(error);
  if (const char* pattern = ErrorLogPattern(code)) Log(FillPlaceholders(pattern, {error.text}));
  if (code == UpdateError::kNoNewVersion)
    HandleEvents("ONNONEWVERSION");
  else
    failed_ = true;
  if (task_ == TaskId::kInstall && code != UpdateError::kNoNewVersion) install_error_ = true;
  // The mode gets the code, the text and the reason (the payload), nothing else.
  Message forward = MakeMessage(MessageId::kError, code, error.lparam, error.text);
  if (ErrorDetailOf(error)) forward.payload = error.payload;
  Forward(forward);
}

void CUpdateProcess::ChangeMode(const std::string& name) {
  if (!mode_change_allowed_) {
    Log("CHANGING OF USER INTERFACE NOT ALLOWED");
    return;
  }
  Log("START CHANGING USER INTERFACE");
  Log("  destroy existing user interface");
  const char* line = nullptr;
  if (name == "full")
    line = "  create new user interface: FULL MODE";
  else if (name == "silent" || name == "verysilent")
    line = "  create new user interface: SILENT MODE";
  else if (name == "hidden")
    line = "  create new user interface: HIDDEN MODE";
  if (line) {
    interface_.reset();
    Log(line);
    ++interface_generation_;
    interface_ = deps_.modes.CreateMode(name, *this, task_);
    mode_name_ = name;
    if (interface_) {
      interface_->Create();
      // The questions still open are asked of the new mode; answers of the
      // old one no longer count.
      for (Message& question : ask_user_.AskAgain(interface_generation_))
        PostToInterface(std::move(question));
    } else {
      ask_user_.AnswerAllNo();
    }
  }
  Log("END CHANGING USER INTERFACE");
}

bool CUpdateProcess::CheckSelectedSections() {
  CUpdateFileData& data = CUpdateFileData::Instance();
  if (data.check_separately) return true;
  Log("CHECKING FOR SELECTED SECTIONS BY USER");
  std::vector<std::string> selected;
  for (const auto& section : data.sections) {
    if (!section.selected) continue;
    selected.push_back(section.name);
    Log("  * " + section.name);
  }
  for (auto& file : data.files) {
    if (file.section.empty()) {
      file.update_needed = true;
      continue;
    }
    file.update_needed = false;
    for (const auto& name : selected)
      if (file.section == name) file.update_needed = true;
  }
  Log("NEW VERSIONS FOR SELECTED SECTIONS");
  for (const auto& name : selected) {
    for (const auto& section : data.sections) {
      if (section.name != name) continue;
      CInstalledSections::Instance().SetVersion(section.name, section.version);
      Log("  * " + name + " -> " + section.version);
    }
  }
  return true;
}

void CUpdateProcess::HandleEvents(const std::string& event) {
  const CEventData* list = CEventTable::Instance().Find(event);
  if (!list) return;
  for (const EventAction& action : list->actions)
    if (std::visit([this](const auto& kind) { return HandleEventAction(kind); }, action) ==
        EventOutcome::kStop)
      return;
}

CUpdateProcess::EventOutcome CUpdateProcess::HandleEventAction(const CEventActionClose&) {
  Log("handle eventaction CLOSE");
  ChangeMode("hidden");
  mode_change_allowed_ = false;
  PostToProcess(MakeMessage(
      MessageId::kCommand,
      install_done_ || finish_requested_ ? CommandCode::kFinish : CommandCode::kCancel, 0));
  return EventOutcome::kGoOn;
}

CUpdateProcess::EventOutcome CUpdateProcess::HandleEventAction(const CEventActionRun& run) {
  const RunTarget target = RunTargetOf(run.location);
  // A program that is not there ends the event's list.
  if (!target.web && !deps_.services.FileExists(target.location)) return EventOutcome::kStop;
  Log("handle eventaction RUN (" + target.location + ")");
  deps_.services.StartProgram(target.location, run.parameters, target.working_folder);
  return EventOutcome::kGoOn;
}

CUpdateProcess::EventOutcome CUpdateProcess::HandleEventAction(const CEventActionSetMode& set) {
  Log("handle eventaction SETMODE");
  ChangeMode(set.mode);
  return EventOutcome::kGoOn;
}

CUpdateProcess::EventOutcome CUpdateProcess::HandleEventAction(const CEventActionSkipNextTask&) {
  Log("handle eventaction SKIPNEXTTASK");
  PostToProcess(MakeMessage(MessageId::kCommand, CommandCode::kSkipNextTask, 0));
  return EventOutcome::kGoOn;
}

CUpdateProcess::EventOutcome CUpdateProcess::HandleEventAction(const CEventActionStartNextTask&) {
  Log("handle eventaction STARTNEXTTASK");
  PostToProcess(MakeMessage(MessageId::kCommand, CommandCode::kNextTask, 0));
  return EventOutcome::kGoOn;
}

CUpdateProcess::EventOutcome CUpdateProcess::HandleEventAction(
    const CEventActionCloseApplication& close) {
  Log("handle eventaction CLOSEAPPLICATION");
  if (!deps_.services.IsProcessRunning(close.file_name)) return EventOutcome::kGoOn;
  bool go_ahead = true;
  if (close.ask_user) {
    const CLanguage& language = CLanguage::Instance();
    go_ahead = ask_user_.Confirm(
        ConfirmRequest{.caption = language.GetText(IDS_CONFIRMATION_CLOSEAPPLICATION_TITLE),
                       .heading = language.GetText(IDS_CONFIRMATION_TITLE),
                       .text = FillPlaceholders(
                           language.GetText(IDS_CONFIRMATION_CLOSEAPPLICATION_EXPLANATION),
                           {close.title, CUpdaterSettings::Instance().Values().name, close.title}),
                       .yes_text = language.GetText(IDS_GENERAL_YES),
                       .no_text = language.GetText(IDS_GENERAL_NO)});
  }
  if (go_ahead && deps_.services.CloseApplication(close.title, close.file_name))
    return EventOutcome::kGoOn;
  // The application stays: the run cannot go on, and neither does the list.
  PostToProcess(MakeMessage(MessageId::kError, UpdateError::kCloseApplication, 0, close.title));
  return EventOutcome::kStop;
}

CUpdateProcess::EventOutcome CUpdateProcess::HandleEventAction(
    const CEventActionShowNotifier& notifier) {
  // The notifier belongs to the silent mode; in any other the list ends here.
  if (mode_name_ != "silent") return EventOutcome::kStop;
  Log("handle eventaction SHOWNOTIFIER");
  if (interface_)
    Forward(MakeMessage(MessageId::kShowNotifier, 0, 0, notifier.title, notifier.description));
  return EventOutcome::kGoOn;
}

int CUpdateProcess::ExitStatus() const {
  if (install_started_ && (failed_ || cancelled_)) {
    // The installation may have changed something: was all of it undone?
    if (!rollback_done_ || rollback_failures_ > 0) return kExitRollbackIncomplete;
    return cancelled_ ? kExitCancelled : kExitRolledBack;
  }
  if (cancelled_) return kExitCancelled;
  if (failed_) return kExitFailed;
  if (finish_failed_) return kExitFinishFailed;
  return kExitOk;
}

void CUpdateProcess::ExitInstance() {
  ask_user_.AnswerAllNo();
  interface_.reset();
  EndTaskThread(false);
  if (task_ != TaskId::kRollback && finish_requested_) {
    HandleEvents("ONCLOSE");
    interface_.reset();  // a "close" action may have made a hidden mode
  }
  if (install_done_ && deps_.finish_update && !deps_.finish_update()) {
    Log("the finishing work failed");
    finish_failed_ = true;
  }
  if (abandoned_tasks_.empty()) {
    CEventTable::ResetInstance();
    CUpdateFileData::ResetInstance();
  }
  ended_ = true;
  queue_->Close();
}
