#pragma once
// A pending installation: the files that an update left in the folder
// InstallerTemp beside the starter, marked by its settings.ini with the new
// version. Applying it copies those files over the starter folder.

#include <cstdint>
#include <string>

#include "starter/starter_log_sink.h"

class CPendingInstallation {
 public:
  static constexpr const char* kFolderName = "InstallerTemp";
  // The marker; its version "0.0.0.0" (or its absence) means nothing is pending.
  static constexpr const char* kMarkerName = "settings.ini";
  static constexpr const char* kNoVersion = "0.0.0.0";
  // Held while an installation is applied, so that two starters never apply one
  // together. Its name begins with a dot, so emptying the folder keeps it.
  static constexpr const char* kLockName = ".velmora_starter.lock";
  static constexpr std::int64_t kLockTimeoutMs = 60000;
  // Folders nested deeper below InstallerTemp are neither copied nor emptied.
  static constexpr int kMaxDepth = 32;

  enum class Outcome {
    kNothingPending,  // no folder, no marker, or the marker's version is "0.0.0.0"
    kApplied,         // every file was copied; marker removed, folder emptied
    kKept,            // something failed; folder and marker stay for the next start
  };

  // starter_folder: the folder of the starter program, without trailing separator.
  CPendingInstallation(std::string starter_folder, StarterLogSink log,
                       std::int64_t lock_timeout_ms = kLockTimeoutMs);

  // Applies the pending installation under the lock:
  // reads the marker's VERSION of section APPLICATION; when it is not
  // "0.0.0.0", copies every entry of the folder over the starter folder
  // (sub-folders included, existing files replaced), except the marker, the
  // starter's own program and the lock file. Each file is written under a
  // temporary name and renamed into place; a symbolic link inside the folder is
  // skipped, never copied through, and a symbolic link in the way at the
  // destination is never written through. Only when every file was copied are
  // the marker and the starter's program removed and the folder emptied (the
  // folder itself and entries whose names begin with a dot stay). Every step
  // is logged.
  Outcome Apply();

 private:
  std::string Path(const std::string& folder, const std::string& name) const;
  // Copies the entries of from into to; false when any of them failed (the
  // others are still copied). top: from is InstallerTemp itself.
  bool CopyFolder(const std::string& from, const std::string& to, int depth, bool top);
  // Removes the entries of folder whose names do not begin with a dot:
  // sub-folders after emptying them, links as links. Failures are not reported.
  void EmptyFolder(const std::string& folder, int depth);
  bool RemoveLogged(const std::string& path);

  std::string starter_folder_;
  StarterLogSink log_;
  std::int64_t lock_timeout_ms_;
};
