#pragma once
// The download task (TaskId::kDownload): fetches every file the update needs
// through the internet object to the destinations the update file names, one
// after the other, and reports item and overall progress to its owner.
//
// Start (MessageId::kCommand 0):
//  1. For every file record whose update is needed and each of its download
//     actions, the locations are asked for the file's size in turn (a HEAD;
//     the download itself is then one GET); the first
//     that answers is used. None answering: MessageId::kError (UpdateError::kFileNotFound,
//     the record's name). A server that answers without a length is
//     answering (its size is unknown). A destination that is a symbolic
//     link: MessageId::kError (UpdateError::kCopyFailed, the record's name); any other
//     destination the update file names is used. More than
//     kMaxDownloadEntries downloads: MessageId::kError (UpdateError::kFileCorrupt,
//     "updatefile.xml"). Each destination in the user's private temporary
//     folder (and its resume file) is added to the process's list of
//     temporary update files; a download placed elsewhere stays.
//  2. Nothing to download: MessageId::kItemProgress (100, ""), MessageId::kTotalProgress
//     (100) and MessageId::kTaskComplete (TaskId::kDownload).
//  3. Unless the volume of %updatertemp% has more free bytes than the sum of
//     the known sizes: MessageId::kError (UpdateError::kNoDiskSpace, lparam = that sum).
//  4. The files are downloaded in turn (resumed from their ".rsm" files when
//     the update file enables RESUMEDOWNLOADS; a destination in the run's
//     temporary folder also keeps its part across runs, kept_partials.h). A location whose transfer
//     fails, or whose file does not have the MD5 digest its download action
//     gives (only the self-update gives one), is followed by the next location
//     of the action; a file with a wrong digest is deleted together with its
//     resume file. The record's hash describes the installed file, so no
//     download is compared with it. When no location is left: MessageId::kError
//     (UpdateError::kCopyFailed, the file's name).
//  5. MessageId::kItemProgress (100, name), MessageId::kTotalProgress (100) and
//     MessageId::kTaskComplete (TaskId::kDownload).
// Progress: MessageId::kItemProgress (percent of the current file, its name; for a
// file of unknown size: 0 percent with the bytes received so far as lparam) and
// MessageId::kTotalProgress (percent over all files, weighted by size), each posted
// only when its value changes. After its report the thread ends.
//
// MessageId::kCommand 5 or 6 (and MessageId::kQuit) end the task without a report; posting
// one of them stops the running request or transfer at once (the part written
// stays), so the task ends promptly.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "updater/process/task_thread.h"

// The most downloads one update may ask for.
inline constexpr std::size_t kMaxDownloadEntries = 2048;
// The longest item name sent with progress and errors (UTF-16 code units).
inline constexpr std::size_t kMaxDownloadItemText = 499;

struct DownloadDeps {
  // The free bytes on the volume of a folder; nullopt when unknown. Empty:
  // platform::FreeDiskSpace.
  std::function<std::optional<std::uint64_t>(const std::string& folder)> free_space;
};

class CDownload : public CTaskThread {
 public:
  explicit CDownload(DownloadDeps deps = {});
  ~CDownload() override;

  // Logs "CDownload::InitInstance", makes the task the owner of the internet
  // worker and starts the thread.
  void Start() override;
  // A cancel, finish or quit also stops the running request or transfer.
  bool Post(Message message) override;

 protected:
  void OnMessage(const Message& message) override;
  // Logs "CDownload::ExitInstance" and stops a running transfer.
  void OnEnd() override;

 private:
  enum class Phase { kIdle, kSizing, kDownloading, kEnded };

  // A download action of a needed file, as the start found it.
  struct Candidate {
    std::string name;
    std::string location;
    std::string md5;
    std::string sha256;
    std::vector<std::string> locations;
    std::string destination;
  };
  // One file to download.
  struct Entry {
    std::string name;
    std::string location;
    std::string destination;
    std::string md5;                // the digest the download itself must have ("" for none)
    std::string sha256;             // the same as SHA-256 ("" for none)
    std::vector<std::string> urls;  // the answering location first, then the later ones
    std::size_t next_url = 0;
    std::int64_t size = 0;
  };

  void StartWork();
  void SizeNextLocation();
  void CheckSpaceAndBegin();
  void DownloadEntry(std::size_t index);
  void TryNextLocation();
  void OnBytesProgress(std::int64_t units, std::int64_t weight);
  void OnEntryDone();
  void OnLocationFailed();
  // "" when the downloaded file has the digests its action gives, else the
  // name of the digest that differs.
  std::string MismatchedDigest(const Entry& entry) const;
  void PostProgress(int item_percent, int total_percent);
  void Complete();
  void Finish(Message report);
  bool CancelRequested() const { return cancel_requested_.load(); }

  DownloadDeps deps_;
  Phase phase_ = Phase::kIdle;
  std::atomic<bool> cancel_requested_{false};
  // Between the start and the report: a request or transfer may be running.
  std::atomic<bool> working_{false};
  bool resume_ = false;

  std::vector<Candidate> candidates_;
  std::size_t candidate_ = 0;
  std::size_t location_ = 0;

  std::vector<Entry> entries_;
  std::size_t current_ = 0;
  std::int64_t total_bytes_ = 0;
  std::int64_t total_units_ = 0;
  std::int64_t done_units_ = 0;
  std::int64_t current_file_units_ = 0;
  int last_item_percent_ = -1;
  int last_total_percent_ = -1;
  std::string item_text_;
  ErrorDetail failure_;  // why the last location failed
};
