#include "platform/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/native_file.h"

namespace platform {

FileReader::FileReader() = default;
FileReader::~FileReader() { Close(); }

Status FileReader::Open(const std::string& path) {
  Close();
  NativeFile fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return Status::Fail("cannot open '" + path + "': " + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
    return Status::Fail("not a regular file: '" + path + "'");
  file_ = std::make_unique<NativeFile>(std::move(fd));
  size_ = static_cast<std::uint64_t>(st.st_size);
  return Status::Ok();
}

std::optional<std::size_t> FileReader::Read(char* buffer, std::size_t size) {
  if (!file_) return std::nullopt;
  for (;;) {
    ssize_t n = ::read(file_->get(), buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return std::nullopt;
  }
}

Status FileReader::Seek(std::uint64_t offset) {
  if (!file_) return Status::Fail("no file is open");
  if (offset > size_ || ::lseek(file_->get(), static_cast<off_t>(offset), SEEK_SET) < 0)
    return Status::Fail("cannot move to byte " + std::to_string(offset));
  return Status::Ok();
}

void FileReader::Close() {
  file_.reset();
  size_ = 0;
}

}  // namespace platform
