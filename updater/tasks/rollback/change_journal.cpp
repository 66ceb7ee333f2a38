#include "updater/tasks/rollback/change_journal.h"

#include <algorithm>
#include <cstdio>

#include "platform/file_backup.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/system_paths.h"
#include "updater/core/ini_file.h"
#include "updater/core/overloaded.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/tasks/rollback/change_journal_file.h"

using platform::Status;

namespace {

std::string RegistryPathText(platform::RegistryRoot root, const std::string& subkey) {
  std::string text = platform::RegistryRootName(root);
  if (!subkey.empty()) text += "\\" + subkey;
  return text;
}

}  // namespace

std::string DescribeChange(const ChangeRecord& change) {
  return std::visit(
      Overloaded{
          [](const FileReplacedChange& c) { return "file replaced: " + c.path; },
          [](const FileCreatedChange& c) { return "file created: " + c.path; },
          [](const FolderCreatedChange& c) { return "folder created: " + c.path; },
          [](const IniValueChange& c) {
            return "ini value: " + c.path + " [" + c.group + "] " + c.key;
          },
          [](const RegistryKeyCreatedChange& c) {
            return "registry key created: " + RegistryPathText(c.root, c.subkey);
          },
          [](const RegistryValueChange& c) {
            return "registry value: " + RegistryPathText(c.root, c.subkey) + "\\" + c.value_name;
          },
          [](const RegistrationChange& c) { return "component registered: " + c.path; },
          [](const TemporaryFileChange& c) { return "temporary file: " + c.path; },
      },
      change);
}

std::string JournalPath(std::string_view path) {
  std::string out;
  // A relative path is recorded against the current folder: the next start
  // may run in another one.
  if (!path.empty() && !platform::IsAbsolutePath(path))
    out = platform::CurrentFolder() + platform::PathSeparator();
  out.reserve(out.size() + path.size());
  for (char c : path) {
    if (c == platform::PathSeparator() && !out.empty() && out.back() == c) continue;
    out.push_back(c);
  }
  while (out.size() > 1 && out.back() == platform::PathSeparator()) out.pop_back();
  return out;
}

CChangeJournal& CChangeJournal::Instance() {
  static CChangeJournal journal;
  return journal;
}

void CChangeJournal::ResetInstance() { Instance().Clear(); }

CChangeJournal::CChangeJournal(platform::IRegistry& registry, std::string rollback_folder)
    : registry_(registry), rollback_folder_(std::move(rollback_folder)) {}

std::string CChangeJournal::RollbackFolder() const {
  if (!folder_.empty()) return folder_ + platform::PathSeparator() + kBackupsName;
  std::string folder =
      rollback_folder_.empty() ? CUpdaterPaths::Instance().Entry(kPathRollback) : rollback_folder_;
  while (folder.size() > 1 && platform::IsPathSeparator(folder.back())) folder.pop_back();
  return folder;
}

std::string CChangeJournal::FilePath(const std::string& folder) {
  return JournalPath(folder) + platform::PathSeparator() + kFileName;
}

Status CChangeJournal::Open(const std::string& folder) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!changes_.empty() || file_.is_open())
    return Status::Fail("the change journal already holds changes");
  const std::string base = JournalPath(folder);
  const std::string backups = base + platform::PathSeparator() + kBackupsName;
  Status created = platform::CreateFolders(backups);
  if (!created) return created;
  folder_ = base;
  backups_ = 0;
  const std::string path = FilePath(base);
  if (!platform::PathExists(path)) {
    // No run was cut short: the kept copies of the last run are done with.
    auto names = platform::ListFolder(backups);
    for (const std::string& name : names.value_or(std::vector<std::string>{}))
      platform::RemoveTree(backups + platform::PathSeparator() + name);
    return Status::Ok();
  }
  CUpdaterLog& log = CUpdaterLog::Instance();
  std::optional<std::string> bytes;
  if (platform::FileExists(path) && !platform::IsSymbolicLink(path))
    bytes = platform::ReadFile(path, kMaxChangeJournalFileBytes);
  if (!bytes) {
    log.WriteLine("change journal: " + path + " cannot be read; it is removed");
    return platform::RemoveFile(path);
  }
  DecodedChangeJournal decoded = DecodeChangeJournal(*bytes, backups, kMaxChanges);
  if (!decoded.header_ok)
    log.WriteLine("change journal: " + path + " is not a journal of this version; it is removed");
  else if (decoded.ignored_bytes > 0)
    log.WriteLine("change journal: the last " + std::to_string(decoded.ignored_bytes) +
                  " bytes of " + path + " hold no whole record and are ignored");
  changes_ = std::move(decoded.changes);
  for (const ChangeRecord& change : changes_) {
    Index(change);
    if (std::holds_alternative<FileReplacedChange>(change)) ++backups_;
  }
  if (changes_.empty()) return platform::RemoveFile(path);
  return file_.Open(path, false);
}

void CChangeJournal::HoldSync() {
  std::lock_guard<std::mutex> lock(mutex_);
  sync_held_ = true;
}

Status CChangeJournal::Sync() {
  std::lock_guard<std::mutex> lock(mutex_);
  sync_held_ = false;
  if (!file_.is_open()) return Status::Ok();
  return file_.Sync();
}

Status CChangeJournal::Persist(const ChangeRecord& change) {
  // A temporary file's record is written before the file is made, which any
  // end of the process finds; it is not forced to the disk on its own (one
  // lost to a power cut leaves at most a stray temporary file, and an archive
  // makes one per entry).
  const bool force = !std::holds_alternative<TemporaryFileChange>(change);
  if (folder_.empty()) return Status::Ok();
  if (!file_.is_open()) {
    const std::string path = FilePath(folder_);
    Status opened = file_.Open(path, true);
    if (opened) opened = file_.Append(kChangeJournalHeader);
    if (!opened) {
      file_.Close();
      return opened;
    }
  }
  Status written = file_.Append(EncodeChangeRecord(change));
  if (written && force && !sync_held_) written = file_.Sync();
  return written;
}

void CChangeJournal::Index(const ChangeRecord& change) {
  if (const auto* replaced = std::get_if<FileReplacedChange>(&change))
    files_.insert(replaced->path);
  else if (const auto* created = std::get_if<FileCreatedChange>(&change))
    files_.insert(created->path);
  else if (const auto* folder = std::get_if<FolderCreatedChange>(&change))
    folders_.insert(folder->path);
}

Status CChangeJournal::Append(ChangeRecord change) {
  if (changes_.size() >= kMaxChanges)
    return Status::Fail("the change journal is full; not recorded: " + DescribeChange(change));
  Status persisted = Persist(change);
  if (!persisted) return persisted;
  Index(change);
  changes_.push_back(std::move(change));
  return Status::Ok();
}

bool CChangeJournal::CoversFileLocked(const std::string& path) const {
  return files_.count(path) > 0;
}

Status CChangeJournal::RecordFileLocked(const std::string& recorded_path) {
  if (recorded_path.empty()) return Status::Fail("no file to record");
  const std::string path = JournalPath(recorded_path);
  if (CoversFileLocked(path)) return Status::Ok();
  if (!platform::PathExists(path)) return Append(FileCreatedChange{path});
  if (!platform::FileExists(path) || platform::IsSymbolicLink(path))
    return Status::Fail("not a regular file, cannot keep it: '" + path + "'");
  if (changes_.size() >= kMaxChanges) return Status::Fail("the change journal is full");
  std::string folder = RollbackFolder();
  if (folder.empty()) return Status::Fail("no rollback folder to keep '" + path + "'");
  Status created = platform::CreateFolders(folder);
  if (!created) return created;
  char number[16];
  std::snprintf(number, sizeof number, "%05zu_", ++backups_);
  FileReplacedChange change{path, folder + platform::PathSeparator() + number + platform::FileNameOf(path)};
  Status copied = platform::DuplicateFile(path, change.backup);
  if (copied && !folder_.empty()) copied = platform::SyncFolder(folder);
  if (!copied) return copied;
  return Append(std::move(change));
}

Status CChangeJournal::RecordFileReplace(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  return RecordFileLocked(path);
}

Status CChangeJournal::RecordFileCreate(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  return RecordFileLocked(path);
}

Status CChangeJournal::RecordFolderCreate(const std::string& folder) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> missing;  // innermost first
  // A folder recorded before stops the walk: it and its parents are covered.
  for (std::string path = JournalPath(folder);
       !path.empty() && folders_.count(path) == 0 && !platform::PathExists(path);
       path = platform::FolderOf(path)) {
    missing.push_back(path);
  }
  if (changes_.size() + missing.size() > kMaxChanges)
    return Status::Fail("the change journal is full");
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    Status appended = Append(FolderCreatedChange{*it});
    if (!appended) return appended;
  }
  return Status::Ok();
}

Status CChangeJournal::RecordIniValue(const std::string& file, std::string_view group,
                                      std::string_view key) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (changes_.size() + 2 > kMaxChanges) return Status::Fail("the change journal is full");
  CIniFile ini;
  Status loaded = ini.Load(file);
  if (!loaded) return loaded;
  IniValueChange change;
  change.path = JournalPath(file);
  change.group = std::string(group);
  change.key = std::string(key);
  if (ini.HasValue(group, key)) change.old_text = ini.GetValue(group, key, "");
  Status kept = RecordFileLocked(file);
  if (!kept) return kept;
  return Append(std::move(change));
}

Status CChangeJournal::RecordRegistryKeyCreate(platform::RegistryRoot root,
                                               std::string_view subkey) {
  std::string reason;
  auto parts = platform::SplitRegistryPath(subkey, &reason);
  if (!parts) return Status::Fail(reason);
  std::lock_guard<std::mutex> lock(mutex_);
  // One read of the store tells which parents exist; every deeper one is new.
  auto existing = registry_.QueryExistingDepth(root, subkey);
  if (!existing.status) return existing.status;
  std::vector<ChangeRecord> created;
  std::string path;
  for (std::size_t k = 0; k < parts->size(); ++k) {
    path += (path.empty() ? "" : "\\") + (*parts)[k];
    if (k < existing.depth) continue;
    created.push_back(RegistryKeyCreatedChange{root, path});
  }
  if (changes_.size() + created.size() > kMaxChanges)
    return Status::Fail("the change journal is full");
  for (auto& change : created) {
    Status appended = Append(std::move(change));
    if (!appended) return appended;
  }
  return Status::Ok();
}

Status CChangeJournal::RecordRegistryValue(platform::RegistryRoot root, std::string_view subkey,
                                           std::string_view name) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto read = registry_.QueryValue(root, subkey, name);
  if (!read.status) return read.status;
  RegistryValueChange change;
  change.root = root;
  change.subkey = std::string(subkey);
  change.value_name = std::string(name);
  change.old_value = std::move(read.value);
  return Append(std::move(change));
}

Status CChangeJournal::RecordRegistration(const std::string& file) {
  std::lock_guard<std::mutex> lock(mutex_);
  return Append(RegistrationChange{file});
}

Status CChangeJournal::RecordTemporaryFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (path.empty()) return Status::Fail("no temporary file to record");
  return Append(TemporaryFileChange{JournalPath(path)});
}

Status CChangeJournal::Undo(const ChangeRecord& change, const Unregister& unregister) {
  return std::visit(Overloaded{
                        [](const FileReplacedChange& c) {
                          std::string folder = platform::FolderOf(c.path);
                          if (!folder.empty()) {
                            Status created = platform::CreateFolders(folder);
                            if (!created) return created;
                          }
                          return platform::DuplicateFile(c.backup, c.path);
                        },
                        [](const FileCreatedChange& c) {
                          if (platform::FolderExists(c.path) && !platform::IsSymbolicLink(c.path))
                            return Status::Fail("a folder is in the place of the file");
                          return platform::RemoveFile(c.path);
                        },
                        [](const FolderCreatedChange& c) {
                          if (!platform::PathExists(c.path)) return Status::Ok();
                          auto entries = platform::ListFolder(c.path);
                          if (!entries) return Status::Fail("not a folder any more");
                          if (!entries->empty())
                            return Status::Fail("the folder is not empty; it is kept");
                          return platform::RemoveFile(c.path);
                        },
                        // The file entry recorded before this one puts the whole file back.
                        [](const IniValueChange&) { return Status::Ok(); },
                        [this](const RegistryKeyCreatedChange& c) {
                          auto read = registry_.QueryKey(c.root, c.subkey);
                          if (!read.status) return read.status;
                          if (!read.info) return Status::Ok();
                          if (read.info->values > 0 || read.info->subkeys > 0)
                            return Status::Fail("the key is not empty; it is kept");
                          return registry_.DeleteKey(c.root, c.subkey);
                        },
                        [this](const RegistryValueChange& c) {
                          if (!c.old_value)
                            return registry_.DeleteValue(c.root, c.subkey, c.value_name);
                          Status key = registry_.CreateKey(c.root, c.subkey);
                          if (!key) return key;
                          return registry_.SetValue(c.root, c.subkey, c.value_name, *c.old_value);
                        },
                        [&unregister](const RegistrationChange& c) {
                          if (!unregister) return Status::Fail("no way to unregister components");
                          if (!unregister(c.path)) return Status::Fail("unregistering failed");
                          return Status::Ok();
                        },
                        [](const TemporaryFileChange& c) {
                          // Gone already when the file it became was renamed into place.
                          if (platform::FolderExists(c.path) && !platform::IsSymbolicLink(c.path))
                            return Status::Ok();
                          return platform::RemoveFile(c.path);
                        },
                    },
                    change);
}

std::vector<RollbackFailure> CChangeJournal::Rollback(const Unregister& unregister) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<RollbackFailure> failures;
  for (auto it = changes_.rbegin(); it != changes_.rend(); ++it) {
    Status status = Undo(*it, unregister);
    if (status) continue;
    CUpdaterLog::Instance().WriteLine("rollback failed, " + DescribeChange(*it) + ": " +
                                      status.message());
    failures.push_back(RollbackFailure{*it, status.message()});
  }
  ForgetLocked();
  return failures;
}

void CChangeJournal::ForgetLocked() {
  changes_.clear();
  files_.clear();
  folders_.clear();
  sync_held_ = false;
  if (folder_.empty() || !file_.is_open()) return;
  file_.Close();
  Status removed = platform::RemoveFile(FilePath(folder_));
  if (removed) removed = platform::SyncFolder(folder_);
  if (!removed) CUpdaterLog::Instance().WriteLine("change journal: " + removed.message());
}

std::vector<ChangeRecord> CChangeJournal::Changes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return changes_;
}

std::size_t CChangeJournal::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return changes_.size();
}

void CChangeJournal::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  ForgetLocked();
}
