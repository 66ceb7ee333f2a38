#include "updater/tasks/install/file_actions.h"

#include <limits>

#include "platform/file_attributes.h"
#include "platform/file_system.h"
#include "updater/core/overloaded.h"
#include "updater/core/text.h"
#include "updater/core/updater_settings.h"
#include "updater/tasks/install/zip_extractor.h"
#include "updater/tasks/progress_weights.h"

namespace {

std::int64_t PathSize(const std::string& location) {
  const std::string path = platform::NormalizeSeparators(location);
  auto facts = platform::GetFileFacts(path);
  if (!facts) return 0;
  std::uint64_t size = facts->folder ? platform::FolderContentSize(path) : facts->size;
  return static_cast<std::int64_t>(
      std::min<std::uint64_t>(size, std::numeric_limits<std::int64_t>::max()));
}

std::int32_t ArchiveUnits(const std::string& location) {
  CZipExtractor zip;
  if (!zip.Open(platform::NormalizeSeparators(location))) return 0;
  return static_cast<std::int32_t>(std::min<std::uint64_t>(
      zip.EntryCount() * kUnzipEntryUnits, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

std::int32_t ActionUnits(const FileAction& action, bool rollback) {
  return std::visit(Overloaded{
                        [](const CFileActionDownload&) { return kDownloadActionUnits; },
                        [rollback](const CFileActionCopy& copy) {
                          return SizeWeight(PathSize(copy.old_location)) +
                                 (rollback ? SizeWeight(PathSize(copy.new_location)) : 0);
                        },
                        [rollback](const CFileActionDelete&) {
                          return kDeleteUnits + (rollback ? kDeleteBackupUnits : 0);
                        },
                        [](const CFileActionRun&) { return kRunUnits; },
                        [rollback](const CFileActionUnzip& unzip) {
                          return ArchiveUnits(unzip.location) +
                                 (rollback ? SizeWeight(PathSize(unzip.destination)) : 0);
                        },
                        [](const CFileActionSetFileAttr&) { return kSetFileAttrUnits; },
                        [rollback](const CFileActionRegister&) {
                          return kRegisterUnits + (rollback ? kRegisterBackupUnits : 0);
                        },
                    },
                    action);
}

std::int32_t TotalFileUnits(const CUpdateFileData& data) {
  std::int64_t total = 0;
  for (const CFileData& file : data.files) {
    if (!file.update_needed) continue;
    for (const FileAction& action : file.actions)
      total += ActionUnits(action, data.enable_rollback);
  }
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(total, std::numeric_limits<std::int32_t>::max()));
}

platform::Status DeleteRecordedFile(CChangeJournal& journal, const std::string& location) {
  const std::string path = platform::NormalizeSeparators(location);
  if (!platform::PathExists(path)) return platform::Status::Ok();
  platform::Status recorded = journal.RecordFileReplace(path);
  if (!recorded) return recorded;
  return platform::RemoveFile(path);
}

platform::Status SetRecordedFileAttributes(CChangeJournal& journal, const std::string& location,
                                           std::uint32_t attributes) {
  const std::string path = platform::NormalizeSeparators(location);
  if (!platform::FileExists(path) || platform::IsSymbolicLink(path))
    return platform::Status::Fail("not a regular file: '" + path + "'");
  platform::Status recorded = journal.RecordFileReplace(path);
  if (!recorded) return recorded;
  return platform::SetReadOnly(path, (attributes & kFileAttributeReadOnly) != 0);
}

bool WaitForChild(platform::ProcessId pid, const std::atomic<bool>& cancel, std::int64_t step_ms) {
  while (!cancel) {
    if (platform::WaitForProcess(pid, step_ms)) return true;
    // Not collectable (no longer a child of this process): ended is ended.
    if (platform::WaitForProcessesToEnd({pid}, 0)) {
      platform::ReleaseChild(pid);
      return true;
    }
  }
  platform::ReleaseChild(pid);
  return false;
}
