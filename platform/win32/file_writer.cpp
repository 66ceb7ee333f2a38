#include "platform/file_writer.h"

#include "platform/win32/native_file.h"

namespace platform {

FileWriter::FileWriter() = default;
FileWriter::~FileWriter() { (void)Close(); }

Status FileWriter::Open(const std::string& path, WriteStart start, FilePermissions permissions,
                        ExistingPermissions existing) {
  (void)Close();
  const bool existed = ::GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  // Appending opens the file for appending only: every write lands at its end.
  const DWORD access = (start == WriteStart::kAtEnd ? FILE_APPEND_DATA : GENERIC_WRITE) |
                       READ_CONTROL | WRITE_DAC | SYNCHRONIZE;
  NativeFile file(CreateNativeFile(path, access, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                   start == WriteStart::kEmpty ? CREATE_ALWAYS : OPEN_ALWAYS,
                                   permissions));
  if (!file.valid()) return Failure("cannot open", path, ::GetLastError());
  if (existed && existing == ExistingPermissions::kReplace) {
    if (Status applied = ApplyPermissions(file.get(), path, permissions); !applied) return applied;
  }
  if (!existed || existing == ExistingPermissions::kReplace) {
    // The read-only attribute applies once the file is written and closed.
    if (IsReadOnlyIntent(permissions)) {
      if (Status set = SetReadOnlyAttribute(path, true); !set) return set;
    }
  }
  file_ = std::make_unique<NativeFile>(std::move(file));
  path_ = path;
  return Status::Ok();
}

Status FileWriter::Write(std::string_view bytes) {
  if (!file_) return Status::Fail("no file is open");
  if (!WriteAllBytes(file_->get(), bytes)) return Failure("cannot write", path_, ::GetLastError());
  return Status::Ok();
}

Status FileWriter::Close() {
  if (!file_) return Status::Ok();
  const bool closed = file_->close();
  file_.reset();
  if (!closed) return Failure("cannot write", path_, ::GetLastError());
  path_.clear();
  return Status::Ok();
}

}  // namespace platform
