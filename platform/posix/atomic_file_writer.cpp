#include "platform/atomic_file_writer.h"

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

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " '" + path + "': " + std::strerror(errno);
}

}  // namespace

AtomicFileWriter::AtomicFileWriter() = default;
AtomicFileWriter::~AtomicFileWriter() { Discard(); }

Status AtomicFileWriter::Open(const std::string& path,
                              const std::function<Status(const std::string&)>& before_create) {
  Discard();
  if (path.empty() || path.back() == '/') return Status::Fail("not a file path: '" + path + "'");
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  // A short name of its own, so that a target name near the length limit
  // still leaves room for the temporary one.
  std::string folder = FolderToOpen(path);
  for (int attempt = 0; attempt < 16; ++attempt) {
    char name[40];
    std::snprintf(name, sizeof name, "/.velmora-%016llx.tmp",
                  static_cast<unsigned long long>(rng()));
    std::string temp = folder + name;
    if (before_create) {
      Status recorded = before_create(temp);
      if (!recorded) return recorded;
    }
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                    PermissionBits(FilePermissions::kPrivate));
    if (fd >= 0) {
      file_ = std::make_unique<NativeFile>(fd);
      path_ = path;
      temp_ = std::move(temp);
      return Status::Ok();
    }
    if (errno != EEXIST) return Status::Fail(ErrnoText("cannot create", temp));
  }
  return Status::Fail("cannot create a temporary file beside '" + path + "'");
}

Status AtomicFileWriter::Write(std::string_view bytes) {
  if (!file_) return Status::Fail("no file is open");
  while (!bytes.empty()) {
    ssize_t n = ::write(file_->get(), bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::Fail(ErrnoText("cannot write", temp_));
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return Status::Ok();
}

Status AtomicFileWriter::Commit(FilePermissions permissions,
                                std::optional<std::int64_t> modification_time) {
  if (!file_) return Status::Fail("no file is open");
  if (::fchmod(file_->get(), PermissionBits(permissions)) != 0)
    return Status::Fail(ErrnoText("cannot set the mode of", temp_));
  return Finish(modification_time);
}

Status AtomicFileWriter::CommitAsCopyOf(const std::string& source,
                                        std::optional<std::int64_t> modification_time) {
  if (!file_) return Status::Fail("no file is open");
  struct stat st {};
  bool known = ::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  if (!known && ::stat(source.c_str(), &st) != 0)
    return Status::Fail(ErrnoText("cannot read the mode of", source));
  const mode_t mode = (st.st_mode & 0777) | S_IWUSR;
  if (::fchmod(file_->get(), mode) != 0)
    return Status::Fail(ErrnoText("cannot set the mode of", temp_));
  return Finish(modification_time);
}

Status AtomicFileWriter::Finish(std::optional<std::int64_t> modification_time) {
  if (modification_time) {
    struct timespec times[2]{};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(*modification_time);
    if (::futimens(file_->get(), times) != 0)
      return Status::Fail(ErrnoText("cannot set the time of", temp_));
  }
  const bool closed = file_->close();
  file_.reset();
  if (!closed) {
    std::string message = ErrnoText("cannot write", temp_);
    Discard();
    return Status::Fail(message);
  }
  if (::rename(temp_.c_str(), path_.c_str()) != 0) {
    std::string message = ErrnoText("cannot replace", path_);
    Discard();
    return Status::Fail(message);
  }
  temp_.clear();
  path_.clear();
  return Status::Ok();
}

void AtomicFileWriter::Discard() {
  file_.reset();
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
  path_.clear();
}

}  // namespace platform
