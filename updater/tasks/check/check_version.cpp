#include "updater/tasks/check/check_version.h"

#include <utility>

#include "platform/file_system.h"
#include "platform/path.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/installed_sections.h"
#include "updater/description/update_file_data.h"
#include "updater/description/update_file_loader.h"
#include "updater/description/versions.h"
#include "updater/tasks/check/new_version_check.h"
#include "updater/tasks/net/update_api_answer.h"

namespace {

// The file name the errors about the update file carry.
constexpr char kUpdateFileName[] = "updatefile.xml";
constexpr char kSelfUpdateFileName[] = "selfupdate.xml";

// A file below the updater's temporary folder; "" while that folder is unknown,
// so that nothing is ever written relative to the current folder.
std::string InUpdaterTemp(const std::string& name) {
  const CUpdaterPaths& paths = CUpdaterPaths::Instance();
  if (paths.Entry(kPathUpdaterTemp).empty()) return {};
  return paths.Expand("%updatertemp%" + name);
}

}  // namespace

CCheckVersion::CCheckVersion(CheckVersionDeps deps)
    : CTaskThread(TaskId::kCheckVersion), deps_(std::move(deps)) {
  if (!deps_.network) deps_.network = std::make_shared<CCheckVersionOffline>();
}

// The thread uses the members: it is joined before they go.
CCheckVersion::~CCheckVersion() { Stop(); }

void CCheckVersion::OnMessage(const Message& message) {
  if (phase_ == Phase::kEnded) return;
  switch (message.id) {
    case MessageId::kCommand:
      if (CodeOf<CommandCode>(message) == CommandCode::kStartWorking && phase_ == Phase::kIdle) {
        StartCheck();
      } else if (CodeOf<CommandCode>(message) == CommandCode::kFinish ||
                 CodeOf<CommandCode>(message) == CommandCode::kCancel) {
        phase_ = Phase::kEnded;
        EndThread();
      }
      break;
    case MessageId::kWorkerDone:
    case MessageId::kError:
      // Only the outcome of the download this task is waiting for counts.
      if (transfer_pending_) {
        transfer_pending_ = false;
        if (const ErrorDetail* detail = ErrorDetailOf(message)) failure_ = *detail;
        OnTransferEnded(message.id == MessageId::kWorkerDone);
      }
      break;
    default:
      break;
  }
}

void CCheckVersion::OnEnd() { deps_.network->Abort(); }

bool CCheckVersion::ApplicationFolderKnown() {
  const std::string& problem = CUpdaterPaths::Instance().ApplicationFolderProblem();
  if (problem.empty()) return true;
  CUpdaterLog::Instance().WriteLine("APPLICATION LOCATION ERROR: " + problem +
                                    "; no update is installed");
  Finish(MakeError(UpdateError::kUnknown, "", ErrorDetail{0, problem, {}}));
  return false;
}

void CCheckVersion::StartCheck() {
  phase_ = Phase::kUpdateFile;
  // Without the application's folder every "%app%" path would begin at the
  // file-system root: the run stops before anything is fetched.
  if (!ApplicationFolderKnown()) return;
  // The outcome of every download of this check comes to this task.
  deps_.network->SetOwner(OwnQueue());
  const SettingsValues& settings = CUpdaterSettings::Instance().Values();
  if (settings.check_connection && !deps_.network->CheckConnection()) {
    Finish(MakeError(UpdateError::kNoConnection, "",
                     ErrorDetail{0, "none of the connection check hosts answers", {}}));
    return;
  }
  signatures_.emplace(settings.public_key, SignatureTimesPath());
  PrepareWorkingCopy();
  sequence_.emplace(settings.version);
  NextUpdateFileStep();
}

void CCheckVersion::PrepareWorkingCopy() {
  working_copy_ = InUpdaterTemp(kUpdateFileName);
  if (working_copy_.empty()) return;
  // One level: the folders above were made when the paths were set up.
  const std::string folder =
      platform::WithoutTrailingSeparators(CUpdaterPaths::Instance().Entry(kPathUpdaterTemp));
  if (platform::FolderExists(platform::FolderOf(folder))) platform::CreateFolders(folder);

  // A failed copy is not reported: the load that follows fails. A working copy
  // left by an earlier run is removed, so that it is never taken instead. The
  // copy is this run's alone (it is removed when read): no flush to the disk.
  const std::string shipped = CUpdaterPaths::Instance().Expand("%updater%updatefile.xml");
  std::optional<std::string> bytes = platform::ReadFile(shipped, kMaxUpdateFileBytes);
  if (!bytes || !platform::WriteFileAtomic(
                    working_copy_, *bytes, platform::FilePermissions::kPrivate,
                    platform::ExistingPermissions::kKeep, platform::Durability::kThisRun))
    platform::RemoveFile(working_copy_);
  update_file_source_.clear();

  // Its signature goes beside it; one left by an earlier run never counts.
  const std::string signature = working_copy_ + kSignatureSuffix;
  platform::RemoveFile(signature);
  if (!signatures_->enabled()) return;
  std::optional<std::string> signature_bytes =
      platform::ReadFile(shipped + kSignatureSuffix, kMinisignMaxFileBytes);
  if (signature_bytes)
    (void)platform::WriteFileAtomic(
        signature, *signature_bytes, platform::FilePermissions::kPrivate,
        platform::ExistingPermissions::kKeep, platform::Durability::kThisRun);
}

bool CCheckVersion::AcceptDescription(const std::string& path, const std::string& source,
                                      const char* name) {
  const std::string refused = signatures_->Check(path, source);
  if (refused.empty()) return true;
  RefuseDescription(path, source, name, refused);
  return false;
}

void CCheckVersion::RefuseDescription(const std::string& path, const std::string& source,
                                      const char* name, const std::string& why) {
  CUpdaterLog::Instance().WriteLine(std::string("signature: ") + name + " refused: " + why +
                                    (source.empty() ? "" : " (" + source + ")"));
  platform::RemoveFile(path);
  platform::RemoveFile(path + kSignatureSuffix);
  Finish(MakeError(UpdateError::kFileCorrupt, name,
                   ErrorDetail{0, "signature: " + why, source.empty() ? path : source}));
}

void CCheckVersion::NextUpdateFileStep() {
  if (working_copy_.empty()) {
    Finish(MakeMessage(MessageId::kError, UpdateError::kFileCorrupt, 0, kUpdateFileName));
    return;
  }
  // Nothing of a description is read before its signature holds.
  if (!AcceptDescription(working_copy_, update_file_source_, kUpdateFileName)) return;
  const SequenceStep step = sequence_->Next(working_copy_);
  switch (step.kind) {
    case SequenceStep::Kind::kDownload:
      // The download replaces the working copy; once it is there, the next
      // step looks at the new file.
      update_file_source_ = step.location;
      if (!BeginDescriptionDownload(step.location, working_copy_)) OnDownloadFailed();
      return;
    case SequenceStep::Kind::kTooManyRedirections:
      platform::RemoveFile(working_copy_);
      Finish(MakeError(UpdateError::kServer, kUpdateFileName,
                       ErrorDetail{0, "too many redirections", {}}));
      return;
    case SequenceStep::Kind::kLoad:
      break;
  }

  if (!LoadUpdateFile(working_copy_)) {
    platform::RemoveFile(working_copy_);
    Finish(MakeMessage(MessageId::kError, UpdateError::kFileCorrupt, 0, kUpdateFileName));
    return;
  }
  QueryUpdateApi();
  platform::RemoveFile(working_copy_);

  if (CUpdateFileData::Instance().self_update) {
    StartSelfUpdatePhase();
  } else {
    Decide();
  }
}

void CCheckVersion::QueryUpdateApi() {
  const SettingsValues& settings = CUpdaterSettings::Instance().Values();
  // Without a host no query is made.
  if (settings.api_host.empty()) return;
  const std::string url = UpdateApiUrl(settings.api_host, settings.version);
  if (url.empty()) {
    CUpdaterLog::Instance().WriteLine("UPDATE API: APIHOST is not a host name, no query");
    return;
  }
  // An empty or unusable answer changes nothing.
  const UpdateApiAnswer answer = ParseUpdateApiAnswer(deps_.network->QueryUpdateApi(url));
  if (!answer.refused.empty()) CUpdaterLog::Instance().WriteLine("UPDATE API: " + answer.refused);
  ApplyUpdateApiAnswer(answer, CUpdateFileData::Instance());
}

void CCheckVersion::StartSelfUpdatePhase() {
  phase_ = Phase::kSelfUpdate;
  self_update_file_ = InUpdaterTemp(kSelfUpdateFileName);
  // Only a description fetched by this check counts.
  if (!self_update_file_.empty()) platform::RemoveFile(self_update_file_);
  const std::string& location = CUpdaterSettings::Instance().Values().self_update;
  // Its download failing is no error: the decision follows in any case.
  if (!location.empty() && !self_update_file_.empty() &&
      BeginDescriptionDownload(location, self_update_file_))
    return;
  Decide();
}

bool CCheckVersion::BeginDownload(const std::string& location, const std::string& path) {
  transfer_pending_ = deps_.network->DownloadFile(location, path);
  if (!transfer_pending_) failure_ = ErrorDetail{0, "the address cannot be used", location};
  return transfer_pending_;
}

bool CCheckVersion::BeginDescriptionDownload(const std::string& location, const std::string& path) {
  description_location_ = location;
  description_path_ = path;
  fetching_signature_ = false;
  platform::RemoveFile(path + kSignatureSuffix);
  return BeginDownload(location, path);
}

void CCheckVersion::OnTransferEnded(bool complete) {
  const char* name = phase_ == Phase::kSelfUpdate ? kSelfUpdateFileName : kUpdateFileName;
  if (complete && signatures_->enabled() && !fetching_signature_) {
    // The description is there: its signature follows.
    fetching_signature_ = true;
    if (BeginDownload(description_location_ + kSignatureSuffix,
                      description_path_ + kSignatureSuffix))
      return;
    complete = false;
  }
  if (fetching_signature_) {
    fetching_signature_ = false;
    if (!complete) {
      RefuseDescription(description_path_, description_location_, name,
                        "the signature cannot be fetched" +
                            (failure_.reason.empty() ? "" : ": " + failure_.reason));
      return;
    }
  }
  if (phase_ == Phase::kSelfUpdate) {
    // A description that did not arrive whole is never read.
    if (!complete)
      platform::RemoveFile(self_update_file_);
    else if (!AcceptDescription(self_update_file_, description_location_, kSelfUpdateFileName))
      return;
    Decide();
  } else if (complete) {
    NextUpdateFileStep();
  } else {
    OnDownloadFailed();
  }
}

void CCheckVersion::Decide() {
  if (phase_ == Phase::kSelfUpdate && !self_update_file_.empty() &&
      platform::FileExists(self_update_file_) && deps_.prepare_self_update) {
    // SELF-UPDATE SEAM: may add the record "Updater" to the files, which then
    // takes part in the file checks below.
    deps_.prepare_self_update(self_update_file_);
  }
  CUpdateFileData& data = CUpdateFileData::Instance();
  if (DescribesOlderVersion()) {
    Finish(MakeMessage(MessageId::kError, UpdateError::kNoNewVersion));
    return;
  }
  const bool new_version = data.check_separately
                               ? MarkFilesToUpdate(data, *deps_.network)
                               : HasNewVersion(data, CInstalledSections::Instance(),
                                               CUpdaterSettings::Instance().Values().version);
  Finish(new_version ? MakeMessage(MessageId::kTaskComplete, TaskId::kCheckVersion)
                     : MakeMessage(MessageId::kError, UpdateError::kNoNewVersion));
}

bool CCheckVersion::DescribesOlderVersion() {
  if (!signatures_->enabled()) return false;
  const std::string& installed = CUpdaterSettings::Instance().Values().version;
  const std::string& described = CUpdateFileData::Instance().version;
  // An empty VERSION names no version to compare.
  if (TrimSpaces(described).empty() || CompareVersions(described, installed) != kVersionOlder)
    return false;
  CUpdaterLog::Instance().WriteLine("signature: the update file describes version " + described +
                                    ", older than the installed " + installed +
                                    "; nothing is installed");
  return true;
}

void CCheckVersion::OnDownloadFailed() {
  // Whatever the failed download left (a part, or the file that redirected)
  // is no update file to use.
  if (!working_copy_.empty()) platform::RemoveFile(working_copy_);
  Finish(MakeError(UpdateError::kServer, kUpdateFileName, failure_));
}

void CCheckVersion::Finish(Message report) {
  PostToOwner(std::move(report));
  phase_ = Phase::kEnded;
  EndThread();
}
