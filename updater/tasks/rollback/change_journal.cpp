#include "updater/tasks/rollback/change_journal.h"

#include <algorithm>
#include <cstdio>

#include "platform/file_backup.h"
#include "platform/file_system.h"
#include "platform/system_paths.h"
#include "updater/core/ini_file.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/tasks/rollback/change_journal_file.h"

using platform::Status;

namespace {

std::string RegistryPathText(const ChangeRecord& change) {
  std::string text = platform::RegistryRootName(change.root);
  if (!change.subkey.empty()) text += "\\" + change.subkey;
  return text;
}

// The folder above a path, or "" when the path has none.
std::string ParentFolder(const std::string& path) {
  std::string parent = FolderOf(path);
  return parent == path ? std::string() : parent;
}

}  // namespace

std::string DescribeChange(const ChangeRecord& change) {
  switch (change.kind) {
    case ChangeKind::kFileReplaced:
      return "file replaced: " + change.path;
    case ChangeKind::kFileCreated:
      return "file created: " + change.path;
    case ChangeKind::kFolderCreated:
      return "folder created: " + change.path;
    case ChangeKind::kIniValue:
      return "ini value: " + change.path + " [" + change.group + "] " + change.key;
    case ChangeKind::kRegistryKeyCreated:
      return "registry key created: " + RegistryPathText(change);
    case ChangeKind::kRegistryValue:
      return "registry value: " + RegistryPathText(change) + "\\" + change.value_name;
    case ChangeKind::kRegistration:
      return "component registered: " + change.path;
    case ChangeKind::kTemporaryFile:
      return "temporary file: " + change.path;
  }
  return {};
}

std::string JournalPath(std::string_view path) {
  std::string out;
  // A relative path is recorded against the current folder: the next start
  // may run in another one.
  if (!path.empty() && !platform::IsPathSeparator(path.front()))
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
    if (change.kind == ChangeKind::kFileReplaced) ++backups_;
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
  const bool force = change.kind != ChangeKind::kTemporaryFile;
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
  if (change.kind == ChangeKind::kFileReplaced || change.kind == ChangeKind::kFileCreated)
    files_.insert(change.path);
  else if (change.kind == ChangeKind::kFolderCreated)
    folders_.insert(change.path);
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
  ChangeRecord change;
  change.path = path;
  if (!platform::PathExists(path)) {
    change.kind = ChangeKind::kFileCreated;
    return Append(std::move(change));
  }
  if (!platform::FileExists(path) || platform::IsSymbolicLink(path))
    return Status::Fail("not a regular file, cannot keep it: '" + path + "'");
  if (changes_.size() >= kMaxChanges) return Status::Fail("the change journal is full");
  std::string folder = RollbackFolder();
  if (folder.empty()) return Status::Fail("no rollback folder to keep '" + path + "'");
  Status created = platform::CreateFolders(folder);
  if (!created) return created;
  char number[16];
  std::snprintf(number, sizeof number, "%05zu_", ++backups_);
  change.kind = ChangeKind::kFileReplaced;
  change.backup = folder + platform::PathSeparator() + number + FileNameOf(path);
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
       path = ParentFolder(path)) {
    missing.push_back(path);
  }
  if (changes_.size() + missing.size() > kMaxChanges)
    return Status::Fail("the change journal is full");
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    ChangeRecord change;
    change.kind = ChangeKind::kFolderCreated;
    change.path = *it;
    Status appended = Append(std::move(change));
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
  ChangeRecord change;
  change.kind = ChangeKind::kIniValue;
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
    ChangeRecord change;
    change.kind = ChangeKind::kRegistryKeyCreated;
    change.root = root;
    change.subkey = path;
    created.push_back(std::move(change));
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
  ChangeRecord change;
  change.kind = ChangeKind::kRegistryValue;
  change.root = root;
  change.subkey = std::string(subkey);
  change.value_name = std::string(name);
  change.old_value = std::move(read.value);
  return Append(std::move(change));
}

Status CChangeJournal::RecordRegistration(const std::string& file) {
  std::lock_guard<std::mutex> lock(mutex_);
  ChangeRecord change;
  change.kind = ChangeKind::kRegistration;
  change.path = file;
  return Append(std::move(change));
}

Status CChangeJournal::RecordTemporaryFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (path.empty()) return Status::Fail("no temporary file to record");
  ChangeRecord change;
  change.kind = ChangeKind::kTemporaryFile;
  change.path = JournalPath(path);
  return Append(std::move(change));
}

Status CChangeJournal::Undo(const ChangeRecord& change, const Unregister& unregister) {
  switch (change.kind) {
    case ChangeKind::kFileReplaced: {
      std::string folder = ParentFolder(change.path);
      if (!folder.empty()) {
        Status created = platform::CreateFolders(folder);
        if (!created) return created;
      }
      return platform::DuplicateFile(change.backup, change.path);
    }
    case ChangeKind::kFileCreated:
      if (platform::FolderExists(change.path) && !platform::IsSymbolicLink(change.path))
        return Status::Fail("a folder is in the place of the file");
      return platform::RemoveFile(change.path);
    case ChangeKind::kFolderCreated: {
      if (!platform::PathExists(change.path)) return Status::Ok();
      auto entries = platform::ListFolder(change.path);
      if (!entries) return Status::Fail("not a folder any more");
      if (!entries->empty()) return Status::Fail("the folder is not empty; it is kept");
      return platform::RemoveFile(change.path);
    }
    case ChangeKind::kIniValue:
      // The file entry recorded before this one puts the whole file back.
      return Status::Ok();
    case ChangeKind::kRegistryKeyCreated: {
      auto read = registry_.QueryKey(change.root, change.subkey);
      if (!read.status) return read.status;
      if (!read.info) return Status::Ok();
      if (read.info->values > 0 || read.info->subkeys > 0)
        return Status::Fail("the key is not empty; it is kept");
      return registry_.DeleteKey(change.root, change.subkey);
    }
    case ChangeKind::kRegistryValue: {
      if (!change.old_value)
        return registry_.DeleteValue(change.root, change.subkey, change.value_name);
      Status key = registry_.CreateKey(change.root, change.subkey);
      if (!key) return key;
      return registry_.SetValue(change.root, change.subkey, change.value_name, *change.old_value);
    }
    case ChangeKind::kRegistration:
      if (!unregister) return Status::Fail("no way to unregister components");
      if (!unregister(change.path)) return Status::Fail("unregistering failed");
      return Status::Ok();
    case ChangeKind::kTemporaryFile:
      // Gone already when the file it became was renamed into place.
      if (platform::FolderExists(change.path) && !platform::IsSymbolicLink(change.path))
        return Status::Ok();
      return platform::RemoveFile(change.path);
  }
  return Status::Fail("unknown change");
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
