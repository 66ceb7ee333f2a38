#include "platform/atomic_file_writer.h"

#include "platform/win32/native_file.h"

namespace platform {

AtomicFileWriter::AtomicFileWriter() = default;
AtomicFileWriter::~AtomicFileWriter() { Discard(); }

Status AtomicFileWriter::Open(const std::string& path,
                              const std::function<Status(const std::string&)>& before_create) {
  Discard();
  if (path.empty() || IsAnyPathSeparator(path.back()))
    return Status::Fail("not a file path: '" + path + "'");
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string temp = TemporaryNameBeside(path);
    if (before_create) {
      Status recorded = before_create(temp);
      if (!recorded) return recorded;
    }
    NativeFile file(CreateNativeFile(temp, GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0, CREATE_NEW,
                                     FilePermissions::kPrivate));
    if (file.valid()) {
      file_ = std::make_unique<NativeFile>(std::move(file));
      path_ = path;
      temp_ = std::move(temp);
      return Status::Ok();
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
      return Failure("cannot create", temp, error);
  }
  return Status::Fail("cannot create a temporary file beside '" + path + "'");
}

Status AtomicFileWriter::Write(std::string_view bytes) {
  if (!file_) return Status::Fail("no file is open");
  if (!WriteAllBytes(file_->get(), bytes)) return Failure("cannot write", temp_, ::GetLastError());
  return Status::Ok();
}

Status AtomicFileWriter::Commit(FilePermissions permissions,
                                std::optional<std::int64_t> modification_time) {
  if (!file_) return Status::Fail("no file is open");
  // The temporary file was made private; any other intent gets the folder's
  // inherited access back.
  if (permissions != FilePermissions::kPrivate) InheritFolderAccess(temp_);
  read_only_ = IsReadOnlyIntent(permissions);
  return Finish(modification_time);
}

Status AtomicFileWriter::CommitAsCopyOf(const std::string& source,
                                        std::optional<std::int64_t> modification_time) {
  if (!file_) return Status::Fail("no file is open");
  if (::GetFileAttributesW(WidePath(path_).c_str()) == INVALID_FILE_ATTRIBUTES &&
      ::GetFileAttributesW(WidePath(source).c_str()) == INVALID_FILE_ATTRIBUTES)
    return Failure("cannot read the attributes of", source, ::GetLastError());
  // The copy gets the folder's inherited access and stays writable.
  InheritFolderAccess(temp_);
  read_only_ = false;
  return Finish(modification_time);
}

Status AtomicFileWriter::Finish(std::optional<std::int64_t> modification_time) {
  if (modification_time) {
    const FILETIME time = FileTimeFromSeconds(*modification_time);
    if (!::SetFileTime(file_->get(), nullptr, nullptr, &time)) {
      Status failed = Failure("cannot set the time of", temp_, ::GetLastError());
      Discard();
      return failed;
    }
  }
  const bool flushed = ::FlushFileBuffers(file_->get()) != 0;
  const bool closed = file_->close();
  file_.reset();
  if (!flushed || !closed) {
    Status failed = Failure("cannot write", temp_, ::GetLastError());
    Discard();
    return failed;
  }
  if (read_only_) {
    if (Status set = SetReadOnlyAttribute(temp_, true); !set) {
      Discard();
      return set;
    }
  }
  if (Status replaced = ReplaceByRename(temp_, path_); !replaced) {
    Discard();
    return replaced;
  }
  temp_.clear();
  path_.clear();
  return Status::Ok();
}

void AtomicFileWriter::Discard() {
  file_.reset();
  if (!temp_.empty()) {
    const std::wstring temp = WidePath(temp_);
    ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(temp.c_str());
    temp_.clear();
  }
  path_.clear();
}

}  // namespace platform
