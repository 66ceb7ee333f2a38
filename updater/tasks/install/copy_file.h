#pragma once
// CCopyFile: the worker of one copy action of the installation. It copies a
// file in pieces and reports its progress to its owner (the files sub-worker)
// like the download worker does.
//
// Messages: MessageId::kSetOwner (the owner's queue), MessageId::kWorkerStart (do the copy
// prepared by Copy). To the owner: MessageId::kBytesProgress (units done, weight) as
// the units grow, then MessageId::kWorkerDone, or MessageId::kError with UpdateError::kFileNotFound
// (no source), UpdateError::kWriteFailed (the destination cannot be made or
// recorded), UpdateError::kCopyFailed (reading or writing failed); the text is the
// path concerned. The worker ends after its report.
//
// The copy is written under a temporary name beside the destination and
// renamed into place, so no half-written program is ever seen under its
// name; the destination's folder, the old file and the temporary name are
// recorded in the change journal before anything changes (so the next start
// removes the part a killed run leaves). A copy of a file onto itself is done
// without touching it; with fail_if_exists an existing destination is kept.
// The new file has the permission bits of the file it replaces (executable
// bits included), or of the source when it is new, always writable by the
// owner (a read-only destination is replaced); it gets the source's
// modification time.

#include <atomic>
#include <cstdint>
#include <string>

#include "updater/process/task_thread.h"
#include "updater/tasks/rollback/change_journal.h"

class CCopyFile : public CTaskThread {
 public:
  // journal: where the change is recorded; nullptr takes the process-wide one.
  explicit CCopyFile(CChangeJournal* journal = nullptr);
  ~CCopyFile() override;

  void Start() override;
  // Cancels a running copy (the destination stays as it was) and ends.
  void Stop() override;

  // Prepares the copy and posts MessageId::kWorkerStart to the worker; call after
  // Start and MessageId::kSetOwner.
  void Copy(const std::string& source, const std::string& destination, bool fail_if_exists);

 protected:
  void OnMessage(const Message& message) override;
  void OnEnd() override;

 private:
  void Run(const Message& message);
  // Reports the error `code` for `path`, with the reason.
  void Fail(UpdateError code, const std::string& path, const std::string& reason);

  CChangeJournal& journal_;
  std::atomic<bool> cancel_{false};
};
