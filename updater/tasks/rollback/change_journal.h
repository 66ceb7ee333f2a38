#pragma once
// CChangeJournal: the record of every change the installation makes to this
// machine, written before the change is made, so that Rollback() can undo an
// interrupted or failed installation.
//
// The caller records, then changes:
//   journal.RecordFileReplace(path);  then replace or delete the file
//   journal.RecordFileCreate(path);   then create the file
//   journal.RecordFolderCreate(dir);  then create the folder with its parents
//   journal.RecordIniValue(file, group, key);  then write the value
//   journal.RecordRegistryKeyCreate(root, subkey);  then create the key
//   journal.RecordRegistryValue(root, subkey, name);  then set the value
//   journal.RecordRegistration(file);  then register the component
// A record that fails means the change must not be made: it could not be undone.
//
// A replaced file is copied into the rollback folder first (the path table's
// kPathRollback unless the journal was given a folder). An INI file is kept
// whole the first time one of its values is recorded, so undoing puts back
// the file's exact bytes (or removes a file that did not exist); the INI entry
// itself keeps the old value (or its absence) for the record. A registry value
// keeps its old type and data (or its absence); keys the installation created
// are removed again when nothing else has been put into them.
//
// A journal opened on a folder (Open) also keeps every record on disk, in the
// file "journal" of that folder (change_journal_file.h), before the change is
// made, and its kept copies in "backups" below it; the next start finds the
// file of a run that was killed and undoes that run's changes. The file is
// removed once the changes are undone (Rollback) or made permanent (Clear);
// the kept copies stay until the next start opens the journal (restore
// information names them). Records made while the sync is held (HoldSync)
// reach the disk together at Sync(), before the changes they record are made.
//
// One journal serves the whole process (Instance()); the sub-workers of the
// installation record into it one after another, the rollback task undoes it
// and the finishing work turns it into restore information. It is safe to use
// from several threads.

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <variant>
#include <vector>

#include "platform/append_only_file.h"
#include "platform/registry.h"
#include "platform/status.h"

// One recorded change: a plain struct per kind. Handle a ChangeRecord with
// std::visit and an Overloaded set (updater/core/overloaded.h), so that every
// kind is handled.
struct FileReplacedChange {  // the backup holds the old content
  std::string path;
  std::string backup;
};
struct FileCreatedChange {  // the path did not exist; undone by removing it
  std::string path;
};
struct FolderCreatedChange {  // the path did not exist; undone by removing it when empty
  std::string path;
};
struct IniValueChange {  // undone by the file record before it, which keeps the whole file
  std::string path;
  std::string group;
  std::string key;
  std::optional<std::string> old_text;  // nullopt: the key was absent
};
struct RegistryKeyCreatedChange {  // undone by removing the key when empty
  platform::RegistryRoot root = platform::RegistryRoot::kCurrentUser;
  std::string subkey;
};
struct RegistryValueChange {
  platform::RegistryRoot root = platform::RegistryRoot::kCurrentUser;
  std::string subkey;
  std::string value_name;
  std::optional<platform::RegistryValue> old_value;  // nullopt: the value was absent
};
struct RegistrationChange {  // the registered component; undone by unregistering it
  std::string path;
};
struct TemporaryFileChange {  // a temporary file about to be made; undone by removing it
  std::string path;
};

using ChangeRecord = std::variant<FileReplacedChange, FileCreatedChange, FolderCreatedChange,
                                  IniValueChange, RegistryKeyCreatedChange, RegistryValueChange,
                                  RegistrationChange, TemporaryFileChange>;

// The kinds of changes, numbered as the journal file stores them: the number
// of a kind is the index of its struct in ChangeRecord. New kinds go last.
enum class ChangeKind {
  kFileReplaced = 0,
  kFileCreated = 1,
  kFolderCreated = 2,
  kIniValue = 3,
  kRegistryKeyCreated = 4,
  kRegistryValue = 5,
  kRegistration = 6,
  kTemporaryFile = 7,
};
inline ChangeKind KindOf(const ChangeRecord& change) {
  return static_cast<ChangeKind>(change.index());
}

// A change Rollback() could not undo, with the reason.
struct RollbackFailure {
  ChangeRecord change;
  std::string message;
};

// A line that describes a change ("file replaced: /opt/app/app.bin").
std::string DescribeChange(const ChangeRecord& change);

class CChangeJournal {
 public:
  // Most changes one journal holds; a record beyond them fails. Room for an
  // archive of the extractor's most entries, each with its file, its
  // temporary file and a folder of its own.
  static constexpr std::size_t kMaxChanges = 524288;
  // The journal file's name inside the journal folder, and the folder of the
  // kept copies.
  static constexpr char kFileName[] = "journal";
  static constexpr char kBackupsName[] = "backups";

  // The process-wide journal (system registry, path-table rollback folder).
  static CChangeJournal& Instance();
  // Empties the process-wide journal (tests, the end of a run).
  static void ResetInstance();

  // registry: where registry changes are read and undone. rollback_folder:
  // where old files are kept; "" takes the path table's rollback folder at the
  // time of each record.
  explicit CChangeJournal(platform::IRegistry& registry = platform::SystemRegistry(),
                          std::string rollback_folder = {});
  CChangeJournal(const CChangeJournal&) = delete;
  CChangeJournal& operator=(const CChangeJournal&) = delete;

  // Keeps the journal in folder from now on (created when missing). A journal
  // file left there by a run that did not end is read back (checked record by
  // record; what does not check out is dropped and logged) and its changes
  // become this journal's, ready for Rollback(); without one, the kept copies
  // of earlier runs are removed. Fails when the journal already holds changes
  // or the folder cannot be made.
  platform::Status Open(const std::string& folder);
  // The path of the journal file in a journal folder.
  static std::string FilePath(const std::string& folder);

  // Until Sync(), records are written to the journal file but not forced to
  // the disk one by one (many records before one change).
  void HoldSync();
  // Forces the records written so far to the disk and ends HoldSync().
  platform::Status Sync();

  // Keeps a copy of the file before the caller replaces or deletes it. A file
  // that does not exist is recorded as created. A path the journal already
  // covers adds nothing: its first record restores the original.
  platform::Status RecordFileReplace(const std::string& path);
  // Records a file the caller is about to create; an existing file is kept
  // as for RecordFileReplace.
  platform::Status RecordFileCreate(const std::string& path);
  // Records every missing folder of the path, the outermost first.
  platform::Status RecordFolderCreate(const std::string& folder);
  // Keeps the INI file (first time only) and the key's old value.
  platform::Status RecordIniValue(const std::string& file, std::string_view group,
                                  std::string_view key);
  // Records every missing key of the path, the outermost first.
  platform::Status RecordRegistryKeyCreate(platform::RegistryRoot root, std::string_view subkey);
  // Keeps the value's old type and data, or that it was absent. Fails when the
  // registry cannot be read.
  platform::Status RecordRegistryValue(platform::RegistryRoot root, std::string_view subkey,
                                       std::string_view name);
  platform::Status RecordRegistration(const std::string& file);
  // Records a temporary file the caller is about to create (undone by removing
  // it, so that a killed run leaves none behind). Written at once but, unlike
  // the other records, not forced to the disk on its own.
  platform::Status RecordTemporaryFile(const std::string& path);

  // Undoes every change, the last first, and empties the journal. Returns the
  // changes that could not be undone (each is also written to the log).
  // unregister undoes a registration (true on success); without one,
  // registrations count as failures.
  using Unregister = std::function<bool(const std::string& file)>;
  std::vector<RollbackFailure> Rollback(const Unregister& unregister = {});

  std::vector<ChangeRecord> Changes() const;
  std::size_t Size() const;
  // Forgets every change (the installation succeeded) and removes the journal
  // file; kept files stay.
  void Clear();

  platform::IRegistry& Registry() const { return registry_; }

 private:
  platform::Status Append(ChangeRecord change);
  platform::Status Persist(const ChangeRecord& change);
  void Index(const ChangeRecord& change);
  void ForgetLocked();
  platform::Status RecordFileLocked(const std::string& path);
  bool CoversFileLocked(const std::string& path) const;
  std::string RollbackFolder() const;
  platform::Status Undo(const ChangeRecord& change, const Unregister& unregister);

  platform::IRegistry& registry_;
  const std::string rollback_folder_;
  mutable std::mutex mutex_;
  std::vector<ChangeRecord> changes_;
  std::unordered_set<std::string> files_;    // paths of file records
  std::unordered_set<std::string> folders_;  // paths of folder records
  std::size_t backups_ = 0;                  // numbers the kept files
  std::string folder_;                       // "" while the journal is kept in memory only
  platform::AppendOnlyFile file_;
  bool sync_held_ = false;
};

// A path as the journal records it: absolute (a relative one is taken against
// the current folder), runs of separators made one, no separator at the end
// (the root stays "/").
std::string JournalPath(std::string_view path);
