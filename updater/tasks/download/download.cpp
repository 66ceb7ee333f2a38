#include "updater/tasks/download/download.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/disk_space.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/description/md5.h"
#include "updater/description/sha256.h"
#include "updater/description/update_file_data.h"
#include "updater/process/finish_update.h"
#include "updater/process/temporary_update_files.h"
#include "updater/tasks/download/download_rules.h"
#include "updater/tasks/download/kept_partials.h"
#include "updater/tasks/net/internet.h"
#include "updater/tasks/progress_weights.h"

namespace {

constexpr char kUpdateFileName[] = "updatefile.xml";

void Log(const std::string& line) { CUpdaterLog::Instance().WriteLine(line); }

std::string ItemText(std::string_view text) { return TruncateUtf16(text, kMaxDownloadItemText); }

std::string UpdaterTempFolder() { return CUpdaterPaths::Instance().Entry(kPathUpdaterTemp); }

// A download may land wherever the update file puts it (the reader makes
// every destination a full path), but never through a symbolic link: writing
// would change the file the link points to.
bool IsAllowedDestination(const std::string& destination) {
  return !destination.empty() && platform::IsAbsolutePath(destination) &&
         !platform::IsSymbolicLink(destination);
}

// Only files in the user's private temporary folder are removed at the end of
// the run; a download placed elsewhere stays.
bool IsTemporaryLocation(const std::string& path) {
  return LiesInsideFolder(path, CUpdaterPaths::Instance().Entry(kPathTemp));
}

// A part in the run's temporary folder, which the next start empties, is kept
// across runs in a folder of its own.
DownloadOptions DownloadOptionsOf(const std::string& destination, bool resume) {
  DownloadOptions options;
  options.resume = resume;
  if (resume && LiesInsideFolder(destination, UpdaterTempFolder()))
    options.partials_folder = PartialsFolderOfThisRun();
  return options;
}

int Percent(std::int64_t part, std::int64_t whole) {
  if (whole <= 0) return kFullPercent;
  return PercentOf(part, whole);
}

}  // namespace

CDownload::CDownload(DownloadDeps deps) : CTaskThread(TaskId::kDownload), deps_(std::move(deps)) {
  if (!deps_.free_space) deps_.free_space = platform::FreeDiskSpace;
}

// The thread uses the members: it is joined before they go.
CDownload::~CDownload() { Stop(); }

void CDownload::Start() {
  Log("CDownload::InitInstance");
  CInternet::Instance().SetOwner(OwnQueue());
  CTaskThread::Start();
}

bool CDownload::Post(Message message) {
  const bool stop =
      message.id == MessageId::kQuit ||
      (message.id == MessageId::kCommand && (CodeOf<CommandCode>(message) == CommandCode::kFinish ||
                                             CodeOf<CommandCode>(message) == CommandCode::kCancel));
  if (stop && !cancel_requested_.exchange(true) && working_.load()) CInternet::Instance().Abort();
  return CTaskThread::Post(std::move(message));
}

void CDownload::OnEnd() {
  Log("CDownload::ExitInstance");
  if (working_.exchange(false)) CInternet::Instance().Abort();
  phase_ = Phase::kEnded;
}

void CDownload::OnMessage(const Message& message) {
  if (phase_ == Phase::kEnded) return;
  switch (message.id) {
    case MessageId::kCommand:
      if (CodeOf<CommandCode>(message) == CommandCode::kStartWorking && phase_ == Phase::kIdle) {
        StartWork();
      } else if (CodeOf<CommandCode>(message) == CommandCode::kFinish ||
                 CodeOf<CommandCode>(message) == CommandCode::kCancel) {
        phase_ = Phase::kEnded;
        EndThread();
      }
      break;
    case MessageId::kNextAction:
      if (phase_ == Phase::kSizing) SizeNextLocation();
      break;
    case MessageId::kBytesProgress:
      if (phase_ == Phase::kDownloading) OnBytesProgress(message.wparam, message.lparam);
      break;
    case MessageId::kWorkerDone:
      if (phase_ == Phase::kDownloading) OnEntryDone();
      break;
    case MessageId::kError:  // the worker's report of a failed transfer
      if (phase_ == Phase::kDownloading) {
        if (const ErrorDetail* detail = ErrorDetailOf(message)) failure_ = *detail;
        OnLocationFailed();
      }
      break;
    default:
      break;
  }
}

void CDownload::StartWork() {
  working_ = true;
  const CUpdateFileData& data = CUpdateFileData::Instance();
  resume_ = data.resume_downloads;
  for (const CFileData& file : data.files) {
    if (!file.update_needed) continue;
    for (const FileAction& action : file.actions) {
      const auto* found = std::get_if<CFileActionDownload>(&action);
      if (!found) continue;
      const CFileActionDownload& download = *found;
      if (candidates_.size() >= kMaxDownloadEntries) {
        Log("CDownload: more than " + std::to_string(kMaxDownloadEntries) +
            " downloads are refused");
        Finish(MakeMessage(MessageId::kError, UpdateError::kFileCorrupt, 0, kUpdateFileName));
        return;
      }
      candidates_.push_back({file.name, file.location, download.md5, download.sha256,
                             download.locations, download.destination});
    }
  }
  phase_ = Phase::kSizing;
  candidate_ = 0;
  location_ = 0;
  PostToSelf(MakeMessage(MessageId::kNextAction));
}

// One size query per message, so that a cancel is seen between them.
void CDownload::SizeNextLocation() {
  if (CancelRequested()) return;
  if (candidate_ >= candidates_.size()) {
    CheckSpaceAndBegin();
    return;
  }
  const Candidate& candidate = candidates_[candidate_];
  item_text_ = ItemText(candidate.name);
  if (location_ >= candidate.locations.size()) {
    Finish(MakeError(UpdateError::kFileNotFound, item_text_, failure_));
    return;
  }
  if (location_ == 0 && !IsAllowedDestination(candidate.destination)) {
    Log("CDownload: destination refused: " + candidate.destination);
    Finish(MakeError(UpdateError::kCopyFailed, item_text_,
                     ErrorDetail{0, "the destination is refused", candidate.destination}));
    return;
  }
  const RemoteFileInfo remote =
      CInternet::Instance().GetRemoteFileInfo(candidate.locations[location_]);
  if (!remote.available) {
    failure_ = remote.failure;
    ++location_;
  } else {
    // An unknown size (-1) counts as 0 for the disk space and the total.
    const std::int64_t size = remote.length;
    Entry entry;
    entry.name = candidate.name;
    entry.location = candidate.location;
    entry.destination = candidate.destination;
    entry.md5 = TrimSpaces(candidate.md5);
    entry.sha256 = candidate.sha256;
    entry.urls.assign(candidate.locations.begin() + static_cast<std::ptrdiff_t>(location_),
                      candidate.locations.end());
    entry.size = std::max<std::int64_t>(size, 0);
    // Sizes come from servers: the sum saturates instead of overflowing.
    total_bytes_ = entry.size > std::numeric_limits<std::int64_t>::max() - total_bytes_
                       ? std::numeric_limits<std::int64_t>::max()
                       : total_bytes_ + entry.size;
    total_units_ += SizeWeight(entry.size);
    if (IsTemporaryLocation(entry.destination)) {
      CTemporaryUpdateFiles::Instance().Add(entry.destination);
      if (resume_) CTemporaryUpdateFiles::Instance().Add(ResumeFilePath(entry.destination));
    }
    entries_.push_back(std::move(entry));
    ++candidate_;
    location_ = 0;
  }
  PostToSelf(MakeMessage(MessageId::kNextAction));
}

void CDownload::CheckSpaceAndBegin() {
  if (entries_.empty()) {
    item_text_.clear();
    Complete();
    return;
  }
  const std::optional<std::uint64_t> free = deps_.free_space(UpdaterTempFolder());
  if (!free || *free <= static_cast<std::uint64_t>(total_bytes_)) {
    Finish(MakeError(UpdateError::kNoDiskSpace, "",
                     ErrorDetail{0, "not enough free space", UpdaterTempFolder()}, total_bytes_));
    return;
  }
  phase_ = Phase::kDownloading;
  DownloadEntry(0);
}

void CDownload::DownloadEntry(std::size_t index) {
  current_ = index;
  current_file_units_ = 0;
  item_text_ = ItemText(UrlLastComponent(entries_[index].name));
  TryNextLocation();
}

void CDownload::TryNextLocation() {
  Entry& entry = entries_[current_];
  while (entry.next_url < entry.urls.size()) {
    if (CancelRequested()) return;
    const std::string& url = entry.urls[entry.next_url++];
    if (CInternet::Instance().DownloadFile(url, entry.destination,
                                           DownloadOptionsOf(entry.destination, resume_)))
      return;
    Log("CDownload: location not usable: " + UrlLastComponent(url));
    failure_ = ErrorDetail{0, "the address cannot be used", url};
  }
  Finish(MakeError(UpdateError::kCopyFailed, item_text_, failure_));
}

void CDownload::OnBytesProgress(std::int64_t units, std::int64_t weight) {
  if (weight == 0) {
    // A file of unknown size: the bytes received so far, without a percentage.
    PostToOwner(MakeMessage(MessageId::kItemProgress, 0, units, item_text_));
    last_item_percent_ = 0;
    return;
  }
  done_units_ += units - current_file_units_;
  current_file_units_ = units;
  const int item_percent = weight > 0 ? Percent(units, weight) : 0;
  PostProgress(item_percent, Percent(done_units_, total_units_));
}

void CDownload::OnEntryDone() {
  // Only a digest that comes with the download is checked here: the record's
  // hash is that of the installed file (an archive or an installer differs).
  Entry& entry = entries_[current_];
  if (const std::string digest = MismatchedDigest(entry); !digest.empty()) {
    Log("CDownload: " + item_text_ + " does not have the expected " + digest + " digest");
    failure_ = ErrorDetail{0, "the file does not have the expected " + digest + " digest",
                           entry.urls[entry.next_url - 1]};
    platform::RemoveFile(entry.destination);
    platform::RemoveFile(ResumeFilePath(entry.destination));
    OnLocationFailed();
    return;
  }
  if (current_ + 1 < entries_.size()) {
    DownloadEntry(current_ + 1);
    return;
  }
  Complete();
}

void CDownload::OnLocationFailed() {
  // The next location starts the file's progress anew.
  done_units_ -= current_file_units_;
  current_file_units_ = 0;
  const Entry& entry = entries_[current_];
  if (entry.next_url < entry.urls.size())
    Log("CDownload: " + item_text_ + " failed, trying the next location");
  TryNextLocation();
}

std::string CDownload::MismatchedDigest(const Entry& entry) const {
  if (!entry.md5.empty()) {
    const std::optional<FileDigest> digest = Md5OfFile(entry.destination);
    if (!digest || !EqualsNoCase(digest->hex, entry.md5)) return "MD5";
  }
  if (!entry.sha256.empty() && Sha256OfFile(entry.destination) != entry.sha256) return "SHA-256";
  return {};
}

void CDownload::PostProgress(int item_percent, int total_percent) {
  if (item_percent != last_item_percent_) {
    last_item_percent_ = item_percent;
    PostToOwner(MakeMessage(MessageId::kItemProgress, item_percent, 0, item_text_));
  }
  if (total_percent != last_total_percent_) {
    last_total_percent_ = total_percent;
    PostToOwner(MakeMessage(MessageId::kTotalProgress, total_percent));
  }
}

void CDownload::Complete() {
  PostToOwner(MakeMessage(MessageId::kItemProgress, kFullPercent, 0, item_text_));
  PostToOwner(MakeMessage(MessageId::kTotalProgress, kFullPercent));
  Finish(MakeMessage(MessageId::kTaskComplete, TaskId::kDownload));
}

void CDownload::Finish(Message report) {
  working_ = false;
  PostToOwner(std::move(report));
  phase_ = Phase::kEnded;
  EndThread();
}
