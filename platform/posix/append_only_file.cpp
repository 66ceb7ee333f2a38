#include "platform/append_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/native_file.h"

namespace platform {
namespace {

std::string ErrnoText(const std::string& what, const std::string& path, int error) {
  return what + " '" + path + "': " + std::strerror(error);
}

}  // namespace

AppendOnlyFile::AppendOnlyFile() = default;
AppendOnlyFile::~AppendOnlyFile() { Close(); }

Status AppendOnlyFile::Open(const std::string& path, bool create) {
  Close();
  int flags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0);
  NativeFile fd(::open(path.c_str(), flags, PermissionBits(FilePermissions::kPrivate)));
  if (!fd.valid()) return Status::Fail(ErrnoText("cannot open", path, errno));
  struct stat state {};
  if (::fstat(fd.get(), &state) != 0 || !S_ISREG(state.st_mode))
    return Status::Fail("not a regular file: '" + path + "'");
  file_ = std::make_unique<NativeFile>(std::move(fd));
  path_ = path;
  if (create) {
    Status synced = SyncFolder(FolderToOpen(path));
    if (!synced) {
      Close();
      return synced;
    }
  }
  return Status::Ok();
}

Status AppendOnlyFile::Append(std::string_view bytes) {
  if (!file_) return Status::Fail("no file is open");
  while (!bytes.empty()) {
    ssize_t n = ::write(file_->get(), bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::Fail(ErrnoText("cannot write", path_, errno));
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return Status::Ok();
}

Status AppendOnlyFile::Sync() {
  if (!file_) return Status::Fail("no file is open");
  if (::fdatasync(file_->get()) != 0) return Status::Fail(ErrnoText("cannot flush", path_, errno));
  return Status::Ok();
}

void AppendOnlyFile::Close() {
  file_.reset();
  path_.clear();
}

Status SyncFolder(const std::string& folder) {
  NativeFile fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) return Status::Fail(ErrnoText("cannot open the folder", folder, errno));
  int rc = ::fsync(fd.get());
  int error = errno;
  fd.reset();
  // Some file systems cannot flush a folder; their entries are then as durable as they get.
  if (rc != 0 && error != EINVAL && error != EROFS)
    return Status::Fail(ErrnoText("cannot flush the folder", folder, error));
  return Status::Ok();
}

}  // namespace platform
