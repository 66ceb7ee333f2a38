#include "platform/file_backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "platform/posix/native_file.h"

namespace platform {
namespace {

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " '" + path + "': " + std::strerror(errno);
}

bool CopyBytes(int from, int to) {
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    const char* p = buffer;
    while (n > 0) {
      ssize_t written = ::write(to, p, static_cast<size_t>(n));
      if (written < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      p += written;
      n -= written;
    }
  }
}

}  // namespace

Status DuplicateFile(const std::string& source, const std::string& destination) {
  NativeFile in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return Status::Fail(ErrnoText("cannot open", source));
  struct stat st {};
  if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
    return Status::Fail("not a regular file: '" + source + "'");

  static thread_local std::mt19937_64 rng{std::random_device{}()};
  std::string temp;
  NativeFile out;
  for (int attempt = 0; attempt < 16 && out.get() < 0; ++attempt) {
    temp = destination + ".tmp" + std::to_string(rng() % 1000000000ULL);
    out.reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (out.get() < 0 && errno != EEXIST) return Status::Fail(ErrnoText("cannot create", temp));
  }
  if (out.get() < 0)
    return Status::Fail("cannot create a temporary file beside '" + destination + "'");

  struct timespec times[2]{};
  times[0].tv_nsec = UTIME_OMIT;
  times[1] = st.st_mtim;
  bool ok = CopyBytes(in.get(), out.get()) && ::fchmod(out.get(), st.st_mode & 07777) == 0 &&
            ::futimens(out.get(), times) == 0 && ::fsync(out.get()) == 0;
  ok = out.close() && ok;
  if (!ok || ::rename(temp.c_str(), destination.c_str()) != 0) {
    std::string message = ErrnoText("cannot write", destination);
    ::unlink(temp.c_str());
    return Status::Fail(message);
  }
  return Status::Ok();
}

}  // namespace platform
