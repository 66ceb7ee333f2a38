#pragma once
// The check-version task (TaskId::kCheckVersion): obtains the update file, follows
// its update-sequence redirections, loads it, asks the vendor's update API,
// fetches the self-update description and decides whether there is a new
// version. It answers its owner exactly once: MessageId::kTaskComplete
// (TaskId::kCheckVersion, 0) when there is one, otherwise MessageId::kError with
// UpdateError::kNoConnection, UpdateError::kServer ("updatefile.xml"), UpdateError::kFileCorrupt
// ("updatefile.xml") or UpdateError::kNoNewVersion; then its thread ends. Without
// an application folder (no application location) it logs
// "APPLICATION LOCATION ERROR: ..." and answers UpdateError::kUnknown at once.
//
// Downloads run on the network's transfer worker, which reports to this task
// (it makes itself the owner when it starts); meanwhile the task keeps serving
// its queue, so MessageId::kCommand 5 or 6 ends it at any time, and ending stops a
// running transfer. A download that fails removes what it left in place of
// the file it was meant to fetch.
//
// Files, all in %updatertemp%: updatefile.xml (the working copy of
// %updater%updatefile.xml, overwritten by each redirection, deleted once
// loaded) and selfupdate.xml (the self-update description).
//
// With a public key in the settings every description comes with its
// signature (CDescriptionSignatures): the shipped file's is copied beside the
// working copy, a fetched file's is fetched from its address with ".minisig"
// appended. A description whose signature is missing or does not hold is
// removed unread, with the log line "signature: ...", and the check answers
// UpdateError::kFileCorrupt with its name; a description of a version older
// than the installed one installs nothing (UpdateError::kNoNewVersion).

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "updater/description/description_signature.h"
#include "updater/description/update_sequence.h"
#include "updater/process/task_thread.h"
#include "updater/tasks/check/check_version_network.h"

struct CheckVersionDeps {
  // The network (CCheckVersionInternet in the program); nullptr stands for
  // CCheckVersionOffline.
  std::shared_ptr<ICheckVersionNetwork> network;
  // SELF-UPDATE SEAM: prepares the replacement of the updater from the
  // self-update description at the given path (it may append a file record
  // and an ONCLOSE action before the decision). Empty: nothing is prepared.
  std::function<void(const std::string& self_update_file)> prepare_self_update;
};

class CCheckVersion : public CTaskThread {
 public:
  explicit CCheckVersion(CheckVersionDeps deps = {});
  ~CCheckVersion() override;

 protected:
  void OnMessage(const Message& message) override;
  void OnEnd() override;

 private:
  enum class Phase { kIdle, kUpdateFile, kSelfUpdate, kEnded };

  void StartCheck();
  // False after the log line and the answer when "%app%" names no folder.
  bool ApplicationFolderKnown();
  void NextUpdateFileStep();
  void QueryUpdateApi();
  void StartSelfUpdatePhase();
  // True when the download has begun; its outcome then comes as
  // MessageId::kWorkerDone or MessageId::kError and goes to OnTransferEnded.
  bool BeginDownload(const std::string& location, const std::string& path);
  // The same for a description, which is followed by its signature when
  // signatures are checked.
  bool BeginDescriptionDownload(const std::string& location, const std::string& path);
  // True when the description at path may be read; otherwise the check has
  // ended with the error.
  bool AcceptDescription(const std::string& path, const std::string& source, const char* name);
  void RefuseDescription(const std::string& path, const std::string& source, const char* name,
                         const std::string& why);
  // With signatures checked: true (after the log line) when the update file
  // describes a version older than the installed one.
  bool DescribesOlderVersion();
  void OnTransferEnded(bool complete);
  void Decide();
  void OnDownloadFailed();
  void Finish(Message report);
  void PrepareWorkingCopy();

  CheckVersionDeps deps_;
  Phase phase_ = Phase::kIdle;
  // A download of this task has begun and its outcome has not come yet.
  bool transfer_pending_ = false;
  ErrorDetail failure_;  // why the last download failed
  std::optional<CUpdateSequenceFollower> sequence_;
  std::string working_copy_;
  std::string self_update_file_;
  std::optional<CDescriptionSignatures> signatures_;
  // Where the working copy came from: "" for the shipped file.
  std::string update_file_source_;
  // The description being fetched, and whether its signature is being fetched now.
  std::string description_location_;
  std::string description_path_;
  bool fetching_signature_ = false;
};
