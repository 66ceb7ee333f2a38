#include "platform/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/native_file.h"

namespace platform {
namespace {

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " '" + path + "': " + std::strerror(errno);
}

}  // namespace

FileWriter::FileWriter() = default;
FileWriter::~FileWriter() { (void)Close(); }

Status FileWriter::Open(const std::string& path, WriteStart start, FilePermissions permissions,
                        ExistingPermissions existing) {
  (void)Close();
  const int flags =
      O_WRONLY | O_CREAT | O_CLOEXEC | (start == WriteStart::kEmpty ? O_TRUNC : O_APPEND);
  int fd = ::open(path.c_str(), flags, PermissionBits(permissions));
  if (fd < 0) return Status::Fail(ErrnoText("cannot open", path));
  auto file = std::make_unique<NativeFile>(fd);
  if (existing == ExistingPermissions::kReplace &&
      ::fchmod(file->get(), PermissionBits(permissions)) != 0)
    return Status::Fail(ErrnoText("cannot set the mode of", path));
  file_ = std::move(file);
  path_ = path;
  return Status::Ok();
}

Status FileWriter::Write(std::string_view bytes) {
  if (!file_) return Status::Fail("no file is open");
  while (!bytes.empty()) {
    ssize_t n = ::write(file_->get(), bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::Fail(ErrnoText("cannot write", path_));
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return Status::Ok();
}

Status FileWriter::Close() {
  if (!file_) return Status::Ok();
  const bool closed = file_->close();
  file_.reset();
  if (!closed) return Status::Fail(ErrnoText("cannot write", path_));
  path_.clear();
  return Status::Ok();
}

}  // namespace platform
