#include "platform/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/posix/native_file.h"

namespace platform {
namespace {

std::string ErrnoText(const std::string& what, const std::string& path, int error) {
  return what + " '" + path + "': " + std::strerror(error);
}

// Removes the temporary file unless it was renamed into place.
class TemporaryName {
 public:
  ~TemporaryName() {
    if (!path.empty()) ::unlink(path.c_str());
  }
  std::string path;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Creates the temporary file beside destination, exclusively and never through a link.
int CreateTemporary(const std::string& destination, std::string& temp) {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  const std::string folder = FolderToOpen(destination);
  for (int attempt = 0; attempt < 16; ++attempt) {
    char name[40];
    std::snprintf(name, sizeof name, "/.velmora-%016llx.tmp",
                  static_cast<unsigned long long>(rng()));
    temp = folder + name;
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

Status ReplaceFileWithCopy(const std::string& source, const std::string& destination,
                           CopyPermissions permissions) {
  if (source.empty() || destination.empty() || destination.back() == '/')
    return Status::Fail("no file to copy from '" + source + "' to '" + destination + "'");

  // O_NONBLOCK keeps a named pipe at the source from blocking the open; it is
  // refused below like every file that is not regular.
  NativeFile in(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (in.get() < 0) {
    int error = errno;
    if (error == ELOOP) return Status::Fail("the source is a symbolic link: '" + source + "'");
    return Status::Fail(ErrnoText("cannot open", source, error));
  }
  struct stat source_state {};
  if (::fstat(in.get(), &source_state) != 0)
    return Status::Fail(ErrnoText("cannot read", source, errno));
  if (!S_ISREG(source_state.st_mode))
    return Status::Fail("the source is not a regular file: '" + source + "'");

  mode_t mode = source_state.st_mode & 0777;
  struct stat destination_state {};
  if (::lstat(destination.c_str(), &destination_state) == 0) {
    if (S_ISDIR(destination_state.st_mode))
      return Status::Fail("the destination is a folder: '" + destination + "'");
    if (permissions == CopyPermissions::kKeepDestination && S_ISREG(destination_state.st_mode))
      mode = destination_state.st_mode & 0777;
  }

  TemporaryName temp;
  NativeFile out(CreateTemporary(destination, temp.path));
  if (out.get() < 0) {
    int error = errno;
    temp.path.clear();
    return Status::Fail(ErrnoText("cannot create a temporary file beside", destination, error));
  }

  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::Fail(ErrnoText("cannot read", source, errno));
    }
    if (n == 0) break;
    if (!WriteAll(out.get(), buffer, static_cast<std::size_t>(n)))
      return Status::Fail(ErrnoText("cannot write", temp.path, errno));
  }
  if (::fchmod(out.get(), mode) != 0)
    return Status::Fail(ErrnoText("cannot set the mode of", temp.path, errno));
  if (::fsync(out.get()) != 0) return Status::Fail(ErrnoText("cannot flush", temp.path, errno));
  if (!out.close()) return Status::Fail(ErrnoText("cannot write", temp.path, errno));
  if (::rename(temp.path.c_str(), destination.c_str()) != 0)
    return Status::Fail(ErrnoText("cannot replace", destination, errno));
  temp.path.clear();

  // The rename itself reaches the disk with the folder.
  NativeFile folder(::open(FolderToOpen(destination).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) ::fsync(folder.get());
  return Status::Ok();
}

}  // namespace platform
