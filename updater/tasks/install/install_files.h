#pragma once
// CInstallFiles: the first sub-worker of the install task. It works through
// the actions of every file record that needs an update, in order: "copy" (on
// a CCopyFile worker), "delete", "run", "unzip", "setfileattr" and
// "register"; other types ("download") are passed over. Each action reports
// its item text ("<file name> (copy)" and so on, from the language) and
// progress units to the install task. Every change is recorded in the change
// journal before it is made.
//
// Messages: MessageId::kSetOwner, MessageId::kInstallPartStart (start with the first file),
// MessageId::kNextAction (own steps), MessageId::kBytesProgress / MessageId::kWorkerDone /
// MessageId::kError from the copy worker, MessageId::kAnswer (questions 1 and 3),
// MessageId::kWarningAck. To the owner: MessageId::kInstallProgress (payload: a copy of its
// InstallProgress), MessageId::kQuestion (QuestionId::kDeleteFile or
// QuestionId::kRegisterFile, text: the file), MessageId::kWarning (0, the component that
// could not be registered; it goes on after MessageId::kWarningAck), MessageId::kError and
// MessageId::kInstallPartDone INSTALL_PART_FILES after the last file.
//
// Errors: run of a missing file UpdateError::kFileNotFound, a run that cannot be
// started UpdateError::kRunFailed, an unreadable archive or a failed extraction
// UpdateError::kUnzipFailed (also, before anything is written, for an archive that
// declares more bytes than its destination's volume has free), the copy
// worker's errors as they come. After an error the worker does nothing more
// until it is ended. A delete or attribute change that fails (or cannot be
// recorded) is logged and passed over.
//
// A "run" with wait blocks this thread until the program ends; Stop() ends
// that wait at once (the program runs on by itself).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "updater/process/task_thread.h"
#include "updater/tasks/install/copy_file.h"
#include "updater/tasks/install/file_actions.h"
#include "updater/tasks/install/install_progress.h"
#include "updater/tasks/install/zip_extractor.h"
#include "updater/tasks/rollback/change_journal.h"

struct InstallFilesDeps {
  CChangeJournal* journal = nullptr;               // nullptr: the process-wide journal
  ProgramStarter start;                            // empty: StartLocation
  CZipExtractor::FreeSpaceSource free_space = {};  // empty: the volume's own
};

class CInstallFiles : public CTaskThread {
 public:
  explicit CInstallFiles(InstallFilesDeps deps = {});
  ~CInstallFiles() override;

  void Start() override;
  // Ends a wait for a started program or a running copy, then the thread.
  void Stop() override;
  // Units of the whole part (every action of every file that needs an update).
  std::int32_t TotalUnits() const { return total_units_; }

 protected:
  void OnMessage(const Message& message) override;
  void OnEnd() override;

 private:
  enum class Waiting { kNothing, kAnswer, kCopy, kWarningAck };

  void StartFile();
  void NextAction();
  void RunAction();
  const FileAction& CurrentAction() const;
  // Starts the current action's progress under the text of the key.
  void Begin(std::string_view text_key);
  void FinishAction();
  void Fail(UpdateError code, const std::string& text, const std::string& reason);
  void PostProgress();
  void EndCopy();

  void DoCopy(const CFileActionCopy& action);
  void DoDelete(const CFileActionDelete& action);
  void DoRun(const CFileActionRun& action);
  void DoUnzip(const CFileActionUnzip& action);
  void DoSetFileAttr(const CFileActionSetFileAttr& action);
  void DoRegister(const CFileActionRegister& action);
  void OnAnswer(QuestionId question, bool yes);

  CChangeJournal& journal_;
  ProgramStarter start_;
  CZipExtractor::FreeSpaceSource free_space_;
  const std::int32_t total_units_;
  std::size_t file_ = 0;
  std::size_t action_ = 0;
  bool running_ = false;
  Waiting waiting_ = Waiting::kNothing;
  QuestionId question_{};
  InstallProgress progress_;
  std::unique_ptr<CCopyFile> copy_;
  std::atomic<bool> cancel_{false};
};
