#pragma once
// The POSIX side of the file interfaces: the owned file descriptor behind the
// readers, writers and locks of platform/, and the permission bits that each
// FilePermissions intent stands for.

#include <sys/types.h>
#include <unistd.h>

#include <string>

#include "platform/file_permissions.h"
#include "platform/path.h"

namespace platform {

// An owned descriptor (a file, a pipe end, a process handle), closed when the
// object goes away. The one descriptor owner of platform/posix/: it moves, it
// never copies.
class NativeFile {
 public:
  explicit NativeFile(int fd = -1) noexcept : fd_(fd) {}
  ~NativeFile() { reset(); }
  NativeFile(NativeFile&& other) noexcept : fd_(other.release()) {}
  NativeFile& operator=(NativeFile&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  NativeFile(const NativeFile&) = delete;
  NativeFile& operator=(const NativeFile&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes the descriptor held (errors ignored) and holds fd instead.
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Gives up the descriptor without closing it.
  int release() noexcept {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes the descriptor now and says whether the close succeeded (a late
  // write error shows here); true when none is held.
  bool close() {
    if (fd_ < 0) return true;
    return ::close(release()) == 0;
  }

 private:
  int fd_;
};

// The folder to open or to create a file beside: the folder of path, or "."
// (the current folder) for a bare name.
inline std::string FolderToOpen(const std::string& path) {
  std::string folder = FolderOf(path);
  return folder.empty() ? std::string(".") : folder;
}

// The permission bits of an intent: 0644, 0600, 0755, 0744, 0444, 0555, 0544.
constexpr mode_t PermissionBits(FilePermissions permissions) {
  switch (permissions) {
    case FilePermissions::kNormal:
      return 0644;
    case FilePermissions::kPrivate:
      return 0600;
    case FilePermissions::kExecutable:
      return 0755;
    case FilePermissions::kOwnerExecutable:
      return 0744;
    case FilePermissions::kReadOnly:
      return 0444;
    case FilePermissions::kReadOnlyExecutable:
      return 0555;
    case FilePermissions::kReadOnlyOwnerExecutable:
      return 0544;
  }
  return 0644;
}

}  // namespace platform
