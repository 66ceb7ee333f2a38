#include "starter/pending_installation.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/file_lock.h"
#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "starter/program_names.h"
#include "updater/core/ini_file.h"

namespace {

// A folder entry seen without following a symbolic link.
bool IsRealFolder(const std::string& path) {
  return !platform::IsSymbolicLink(path) && platform::FolderExists(path);
}

std::vector<std::string> SortedEntries(const std::string& folder, bool& listed) {
  auto entries = platform::ListFolder(folder);
  listed = entries.has_value();
  if (!entries) return {};
  std::sort(entries->begin(), entries->end());
  return std::move(*entries);
}

}  // namespace

CPendingInstallation::CPendingInstallation(std::string starter_folder, StarterLogSink log,
                                           std::int64_t lock_timeout_ms)
    : starter_folder_(std::move(starter_folder)),
      log_(std::move(log)),
      lock_timeout_ms_(lock_timeout_ms) {}

std::string CPendingInstallation::Path(const std::string& folder, const std::string& name) const {
  return platform::JoinPath(folder, name);
}

CPendingInstallation::Outcome CPendingInstallation::Apply() {
  const std::string folder = Path(starter_folder_, kFolderName);
  const std::string marker = Path(folder, kMarkerName);
  log_(std::string("settingsIniNew = ") + marker);

  if (platform::IsSymbolicLink(folder)) {
    log_("InstallerTemp is a symbolic link and is not used: " + folder);
    return Outcome::kKept;
  }
  if (!platform::FolderExists(folder)) {
    log_(std::string("VersionNew = ") + kNoVersion);
    return Outcome::kNothingPending;
  }

  // The marker is read under the lock: a starter that waited for another one
  // finds the installation already applied.
  platform::FileLock lock;
  if (platform::Status locked = lock.Acquire(Path(folder, kLockName), lock_timeout_ms_); !locked) {
    log_("Lock failed, the pending installation stays for the next start: " + locked.message());
    return Outcome::kKept;
  }

  const std::string version = ReadIniValue(marker, "APPLICATION", "VERSION", kNoVersion);
  log_("VersionNew = " + version);
  if (version == kNoVersion) return Outcome::kNothingPending;

  const std::string separator(1, platform::PathSeparator());
  log_("Folder Copied: " + folder + separator + "*" + " --> " + starter_folder_ + separator);
  if (!CopyFolder(folder, starter_folder_, 0, true)) {
    log_("Folder Copy failed, the pending installation stays for the next start: " + folder);
    return Outcome::kKept;
  }
  log_("Folder Copied: " + folder + " --> " + starter_folder_);

  // Without its marker the installation counts as applied, so the marker goes
  // only now that every file is in place.
  if (!RemoveLogged(marker)) {
    log_("The pending installation stays for the next start: " + folder);
    return Outcome::kKept;
  }
  RemoveLogged(Path(folder, StarterProgramName()));
  EmptyFolder(folder, 0);
  log_("delete temp path: " + folder);
  return Outcome::kApplied;
}

bool CPendingInstallation::RemoveLogged(const std::string& path) {
  if (!platform::PathExists(path)) return true;
  if (platform::Status removed = platform::RemoveFile(path); !removed) {
    log_("DeleteFile failed: " + removed.message());
    return false;
  }
  log_("DeleteFile " + path);
  return true;
}

bool CPendingInstallation::CopyFolder(const std::string& from, const std::string& to, int depth,
                                      bool top) {
  bool listed = false;
  std::vector<std::string> entries = SortedEntries(from, listed);
  if (!listed) {
    log_("Copy failed: cannot list " + from);
    return false;
  }
  bool all_copied = true;
  for (const std::string& name : entries) {
    if (top && (name == kMarkerName || name == kLockName || name == StarterProgramName())) continue;
    const std::string source = Path(from, name);
    const std::string destination = Path(to, name);
    if (platform::IsSymbolicLink(source)) {
      log_("Link skipped: " + source);
      continue;
    }
    if (platform::FolderExists(source)) {
      if (depth + 1 >= kMaxDepth) {
        log_("Copy failed: folders nested too deep at " + source);
        all_copied = false;
        continue;
      }
      if (platform::IsSymbolicLink(destination)) {
        log_("Copy failed: " + source + " --> " + destination +
             ": the destination is a symbolic link");
        all_copied = false;
        continue;
      }
      if (platform::Status created = platform::CreateFolders(destination); !created) {
        log_("Copy failed: " + source + " --> " + destination + ": " + created.message());
        all_copied = false;
        continue;
      }
      if (!CopyFolder(source, destination, depth + 1, false)) all_copied = false;
      continue;
    }
    if (!platform::FileExists(source)) {
      log_("Skipped, not a file: " + source);
      continue;
    }
    platform::Status copied = platform::ReplaceFileWithCopy(
        source, destination, platform::CopyPermissions::kKeepDestination);
    if (!copied) {
      log_("Copy failed: " + source + " --> " + destination + ": " + copied.message());
      all_copied = false;
    }
  }
  return all_copied;
}

void CPendingInstallation::EmptyFolder(const std::string& folder, int depth) {
  bool listed = false;
  for (const std::string& name : SortedEntries(folder, listed)) {
    if (name.empty() || name[0] == '.') continue;
    const std::string path = Path(folder, name);
    if (IsRealFolder(path)) {
      if (depth + 1 >= kMaxDepth) continue;
      EmptyFolder(path, depth + 1);
    }
    platform::RemoveFile(path);  // a link goes as a link; a folder only when empty
  }
}
