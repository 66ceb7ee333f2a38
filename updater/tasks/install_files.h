#pragma once
// CInstallFiles: the first sub-worker of the install task. It works through
// the actions of every file record that needs an update, in order: "copy" (on
// a CCopyFile worker), "delete", "run", "unzip", "setfileattr" and
// "register"; other types ("download") are passed over. Each action reports
// its item text ("<file name> (copy)" and so on, from the language) and
// progress units to the install task. Every change is recorded in the change
// journal before it is made.
//
// Messages: WMU_SET_OWNER, WMU_INSTALL_PART_START (start with the first file),
// WMU_NEXT_ACTION (own steps), WMU_BYTES_PROGRESS / WMU_WORKER_DONE /
// WMU_ERROR from the copy worker, WMU_ANSWER (questions 1 and 3),
// WMU_WARNING_ACK. To the owner: WMU_INSTALL_PROGRESS (payload: a copy of its
// InstallProgress), WMU_QUESTION (QUESTION_DELETE_FILE or
// QUESTION_REGISTER_FILE, text: the file), WMU_WARNING (0, the component that
// could not be registered; it goes on after WMU_WARNING_ACK), WMU_ERROR and
// WMU_INSTALL_PART_DONE INSTALL_PART_FILES after the last file.
//
// Errors: run of a missing file ERROR_FILE_NOT_FOUND, a run that cannot be
// started ERROR_RUN_FAILED, an unreadable archive or a failed extraction
// ERROR_UNZIP_FAILED (also, before anything is written, for an archive that
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
#include "updater/tasks/change_journal.h"
#include "updater/tasks/copy_file.h"
#include "updater/tasks/file_actions.h"
#include "updater/tasks/install_progress.h"
#include "updater/tasks/zip_extractor.h"

struct InstallFilesDeps {
  CChangeJournal* journal = nullptr;               // nullptr: the process-wide journal
  ProgramStarter start;                            // empty: StartRunLocation
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
  void Begin(std::string_view text_key, const CFileAction& action);
  void FinishAction();
  void Fail(int code, const std::string& text);
  void PostProgress();
  void EndCopy();

  void DoCopy(const CFileActionCopy& action);
  void DoDelete(const CFileActionDelete& action);
  void DoRun(const CFileActionRun& action);
  void DoUnzip(const CFileActionUnzip& action);
  void DoSetFileAttr(const CFileActionSetFileAttr& action);
  void DoRegister(const CFileActionRegister& action);
  void OnAnswer(int question, bool yes);

  CChangeJournal& journal_;
  ProgramStarter start_;
  CZipExtractor::FreeSpaceSource free_space_;
  const std::int32_t total_units_;
  std::size_t file_ = 0;
  std::size_t action_ = 0;
  bool running_ = false;
  Waiting waiting_ = Waiting::kNothing;
  int question_ = 0;
  InstallProgress progress_;
  std::unique_ptr<CCopyFile> copy_;
  std::atomic<bool> cancel_{false};
};
