#pragma once
// CInstall: the install task (TaskId::kInstall). It makes sure the application is
// not running (by the update file's close mode, asking the user through the
// update process), then lets its three sub-workers work one after another:
// CInstallFiles, CInstallIni, CInstallRegistry. It merges their progress into
// item and total percentages, forwards their errors, warnings and questions
// to the update process with the current item text, and passes the answers
// back. With self-update enabled it first writes the copy program into the
// user's temporary folder.
//
// Messages: MessageId::kSetOwner, MessageId::kCommand 0 (start), MessageId::kCommand 5/6 (end at
// once: a running close countdown is cut short), MessageId::kInstallProgress,
// MessageId::kInstallPartDone, MessageId::kError / MessageId::kWarning / MessageId::kQuestion from
// the sub-workers, MessageId::kWarningAck / MessageId::kAnswer from the owner. To the owner:
// MessageId::kQuestion (QuestionId::kCloseApplication, the application name), MessageId::kError
// UpdateError::kCloseApplication (the application name), MessageId::kItemProgress,
// MessageId::kTotalProgress and MessageId::kTaskComplete (TaskId::kInstall, 0).
//
// Close modes: "false" (and unknown values) never look for the application.
// "user": after each yes the task waits a second and checks again; while the
// application runs it asks again, and after a bounded number of checks it
// gives up with UpdateError::kCloseApplication. The other modes close it after a
// yes (CApplicationCloser: asked to end, watched, then ended); a failure to
// end it is UpdateError::kCloseApplication, so nothing is installed over a running
// program. A no is UpdateError::kCloseApplication before any change.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "platform/process.h"
#include "platform/status.h"
#include "updater/process/task_thread.h"
#include "updater/tasks/cancel_signal.h"
#include "updater/tasks/install/application_closer.h"
#include "updater/tasks/install/file_actions.h"
#include "updater/tasks/install/install_progress.h"
#include "updater/tasks/rollback/change_journal.h"

class CInstallFiles;
class CInstallIni;
class CInstallRegistry;

struct InstallDeps {
  CChangeJournal* journal = nullptr;               // nullptr: the process-wide journal
  platform::IProcessControl* processes = nullptr;  // nullptr: the real process list
  // The pause between checks of the running application; nullptr waits on
  // the task's cancel signal. Returns false when cancelled.
  CApplicationCloser::Pause pause;
  CloseCountdown countdown;
  int user_close_checks = 60;  // checks in the "user" close mode before giving up
  // The bytes of the copy program; empty: none is written (logged).
  std::function<std::span<const unsigned char>()> copy_program;
  // Where the copy program goes; "" takes the path table's temporary folder.
  std::string temp_folder;
  // Called when a request to end was sent to the application (the finishing
  // work restarts only an application the updater closed).
  std::function<void()> application_closed;
  ProgramStarter start;  // for "run" actions; empty: StartLocation
};

// The file name of the copy program on this platform.
std::string CopyProgramFileName();
// Writes the copy program into the folder with mode 0755, under a temporary
// name renamed into place; a symbolic link in its place is refused.
platform::Status WriteCopyProgram(const std::string& folder, std::span<const unsigned char> bytes);

class CInstall : public CTaskThread {
 public:
  explicit CInstall(InstallDeps deps = {});
  ~CInstall() override;

  void Start() override;
  // A cancel, finish or quit also ends a running wait of the close countdown.
  bool Post(Message message) override;
  void Stop() override;

 protected:
  void OnMessage(const Message& message) override;
  void OnEnd() override;

 private:
  void StartInstall();
  void AskToClose();
  void OnCloseAnswer(bool yes);
  void CloseFailed();
  void StartPart(int part);
  void OnPartDone(int part);
  void OnProgress(const InstallProgress& progress);
  void ForwardToWorkers(const Message& message);
  CTaskThread* Worker(int part);
  void StopWorkers();
  void WriteCopyProgramIfEnabled();

  InstallDeps deps_;
  CChangeJournal& journal_;
  CCancelSignal cancel_;
  CApplicationCloser closer_;
  std::unique_ptr<CInstallFiles> files_;
  std::unique_ptr<CInstallIni> ini_;
  std::unique_ptr<CInstallRegistry> registry_;
  int part_ = 0;
  int user_checks_ = 0;
  bool asking_ = false;
  std::string item_;
  std::int32_t last_worker_progress_ = 0;
  std::int64_t done_ = 0;
  int last_item_percent_ = -1;
  int last_total_percent_ = -1;
};
