#include "platform/file_reader.h"

#include "platform/win32/native_file.h"

namespace platform {

FileReader::FileReader() = default;
FileReader::~FileReader() { Close(); }

Status FileReader::Open(const std::string& path) {
  Close();
  NativeFile file(::CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return Failure("cannot open", path, ::GetLastError());
  LARGE_INTEGER size{};
  if (!IsRegularFileHandle(file.get()) || !::GetFileSizeEx(file.get(), &size))
    return Status::Fail("not a regular file: '" + path + "'");
  file_ = std::make_unique<NativeFile>(std::move(file));
  size_ = static_cast<std::uint64_t>(size.QuadPart);
  return Status::Ok();
}

std::optional<std::size_t> FileReader::Read(char* buffer, std::size_t size) {
  if (!file_) return std::nullopt;
  DWORD got = 0;
  const DWORD piece = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
  if (!::ReadFile(file_->get(), buffer, piece, &got, nullptr)) return std::nullopt;
  return static_cast<std::size_t>(got);
}

Status FileReader::Seek(std::uint64_t offset) {
  if (!file_) return Status::Fail("no file is open");
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  if (offset > size_ || !::SetFilePointerEx(file_->get(), to, nullptr, FILE_BEGIN))
    return Status::Fail("cannot move to byte " + std::to_string(offset));
  return Status::Ok();
}

void FileReader::Close() {
  file_.reset();
  size_ = 0;
}

}  // namespace platform
