// The file-backed registry of Linux: one store file per root key, changed under
// an exclusive flock and written through a temporary file renamed into place.

#include "platform/posix/file_registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/posix/native_file.h"
#include "platform/posix/registry_store.h"
#include "platform/system_paths.h"

namespace platform {
namespace {

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " '" + path + "': " + std::strerror(errno);
}

// Holds an exclusive flock on a lock file while it lives.
class LockFile {
 public:
  // Closing the descriptor releases the lock.
  explicit LockFile(const std::string& path)
      : path_(path), fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
    if (!fd_.valid()) {
      error_ = ErrnoText("cannot open lock file", path);
      return;
    }
    while (::flock(fd_.get(), LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      error_ = ErrnoText("cannot lock", path);
      fd_.reset();
      return;
    }
  }
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  bool locked() const { return fd_.valid(); }
  const std::string& error() const { return error_; }

 private:
  std::string path_;
  std::string error_;
  NativeFile fd_;
};

// The folder of the store, created private to the user when missing.
Status PrepareFolder(const std::string& folder) {
  if (folder.empty()) return Status::Fail("no folder for the registry store");
  if (FolderExists(folder)) return Status::Ok();
  if (const std::string parent = FolderOf(folder); !parent.empty() && parent != folder) {
    Status created = CreateFolders(parent);
    if (!created) return created;
  }
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    return Status::Fail(ErrnoText("cannot create folder", folder));
  if (!FolderExists(folder)) return Status::Fail("not a folder: '" + folder + "'");
  return Status::Ok();
}

// Reads and parses a store file; a missing file is an empty store.
Status LoadStore(const std::string& path, RegistryStore& store) {
  if (!PathExists(path)) return store.Parse("");
  auto bytes = ReadFile(path, FileRegistry::kMaxFileBytes);
  if (!bytes) return Status::Fail("cannot read the registry store '" + path + "'");
  Status status = store.Parse(*bytes);
  if (!status) return Status::Fail("damaged registry store '" + path + "', " + status.message());
  return Status::Ok();
}

using Change = std::function<Status(RegistryStore& store, bool* changed)>;

// Reads, changes and writes one root's store under its lock.
Status Modify(const FileRegistry& registry, RegistryRoot root, const Change& change) {
  Status folder = PrepareFolder(registry.Folder());
  if (!folder) return folder;
  std::string path = registry.FilePath(root);
  LockFile lock(registry.Folder() + "/" + RegistryRootName(root) + ".lock");
  if (!lock.locked()) return Status::Fail(lock.error());
  RegistryStore store;
  Status loaded = LoadStore(path, store);
  if (!loaded) return loaded;
  bool changed = false;
  Status status = change(store, &changed);
  if (!status || !changed) return status;
  if (store.Empty()) return RemoveFile(path);
  return WriteFileAtomic(path, store.Serialize(), FilePermissions::kPrivate,
                         ExistingPermissions::kReplace);
}

}  // namespace

FileRegistry::FileRegistry(std::string folder) : folder_(std::move(folder)) {}

std::string FileRegistry::Folder() const {
  if (!folder_.empty()) return folder_;
  auto config = GetEnv("XDG_CONFIG_HOME");
  if (config && !config->empty() && (*config)[0] == '/') return *config + "/velmora/registry";
  auto home = GetEnv("HOME");
  if (home && !home->empty() && (*home)[0] == '/') return *home + "/.config/velmora/registry";
  return {};
}

std::string FileRegistry::FilePath(RegistryRoot root) const {
  std::string folder = Folder();
  if (folder.empty()) return {};
  return folder + "/" + RegistryRootName(root) + ".reg";
}

Status FileRegistry::LoadForRead(RegistryRoot root, std::string_view subkey, RegistryStore& store,
                                 std::vector<std::string>& path) const {
  std::string reason;
  auto split = SplitRegistryPath(subkey, &reason);
  if (!split) return Status::Fail(reason);
  if (Folder().empty()) return Status::Fail("no folder for the registry store");
  path = std::move(*split);
  return LoadStore(FilePath(root), store);
}

RegistryKeyRead FileRegistry::QueryKey(RegistryRoot root, std::string_view subkey) {
  RegistryKeyRead read;
  RegistryStore store;
  std::vector<std::string> path;
  read.status = LoadForRead(root, subkey, store, path);
  if (read.status) read.info = store.KeyInfo(path);
  return read;
}

RegistryDepthRead FileRegistry::QueryExistingDepth(RegistryRoot root, std::string_view subkey) {
  RegistryDepthRead read;
  RegistryStore store;
  std::vector<std::string> path;
  read.status = LoadForRead(root, subkey, store, path);
  if (read.status) read.depth = store.ExistingDepth(path);
  return read;
}

Status FileRegistry::CreateKey(RegistryRoot root, std::string_view subkey) {
  std::string reason;
  auto path = SplitRegistryPath(subkey, &reason);
  if (!path) return Status::Fail(reason);
  return Modify(*this, root, [&](RegistryStore& store, bool* changed) {
    *changed = store.CreateKey(*path);
    return Status::Ok();
  });
}

Status FileRegistry::DeleteKey(RegistryRoot root, std::string_view subkey) {
  std::string reason;
  auto path = SplitRegistryPath(subkey, &reason);
  if (!path) return Status::Fail(reason);
  if (path->empty()) return Status::Fail("the root key cannot be deleted");
  return Modify(*this, root, [&](RegistryStore& store, bool* changed) {
    return store.DeleteKey(*path, changed);
  });
}

RegistryValueRead FileRegistry::QueryValue(RegistryRoot root, std::string_view subkey,
                                           std::string_view name) {
  RegistryValueRead read;
  std::string reason;
  auto path = SplitRegistryPath(subkey, &reason);
  if (!path) {
    read.status = Status::Fail(reason);
    return read;
  }
  if (!IsValidRegistryValueName(name)) {
    read.status = Status::Fail("registry value name refused");
    return read;
  }
  if (Folder().empty()) {
    read.status = Status::Fail("no folder for the registry store");
    return read;
  }
  RegistryStore store;
  read.status = LoadStore(FilePath(root), store);
  if (read.status) read.value = store.GetValue(*path, name);
  return read;
}

Status FileRegistry::SetValue(RegistryRoot root, std::string_view subkey, std::string_view name,
                              const RegistryValue& value) {
  std::string reason;
  auto path = SplitRegistryPath(subkey, &reason);
  if (!path) return Status::Fail(reason);
  if (!IsValidRegistryValueName(name)) return Status::Fail("registry value name refused");
  if (!value.IsWellFormed()) return Status::Fail("registry value data does not fit its type");
  return Modify(*this, root, [&](RegistryStore& store, bool* changed) {
    return store.SetValue(*path, name, value, changed);
  });
}

Status FileRegistry::DeleteValue(RegistryRoot root, std::string_view subkey,
                                 std::string_view name) {
  std::string reason;
  auto path = SplitRegistryPath(subkey, &reason);
  if (!path) return Status::Fail(reason);
  if (!IsValidRegistryValueName(name)) return Status::Fail("registry value name refused");
  return Modify(*this, root, [&](RegistryStore& store, bool* changed) {
    store.DeleteValue(*path, name, changed);
    return Status::Ok();
  });
}

IRegistry& SystemRegistry() {
  static FileRegistry registry;
  return registry;
}

}  // namespace platform
