#include "platform/append_only_file.h"

#include "platform/win32/native_file.h"

namespace platform {

AppendOnlyFile::AppendOnlyFile() = default;
AppendOnlyFile::~AppendOnlyFile() { Close(); }

Status AppendOnlyFile::Open(const std::string& path, bool create) {
  Close();
  NativeFile file(CreateNativeFile(path, FILE_APPEND_DATA | SYNCHRONIZE,
                                   FILE_SHARE_READ | FILE_SHARE_DELETE,
                                   create ? OPEN_ALWAYS : OPEN_EXISTING, FilePermissions::kPrivate,
                                   /*no_follow=*/true));
  if (!file.valid()) return Failure("cannot open", path, ::GetLastError());
  if (!IsRegularFileHandle(file.get())) return Status::Fail("not a regular file: '" + path + "'");
  file_ = std::make_unique<NativeFile>(std::move(file));
  path_ = path;
  return Status::Ok();
}

Status AppendOnlyFile::Append(std::string_view bytes) {
  if (!file_) return Status::Fail("no file is open");
  if (!WriteAllBytes(file_->get(), bytes)) return Failure("cannot write", path_, ::GetLastError());
  return Status::Ok();
}

Status AppendOnlyFile::Sync() {
  if (!file_) return Status::Fail("no file is open");
  if (!::FlushFileBuffers(file_->get())) return Failure("cannot flush", path_, ::GetLastError());
  return Status::Ok();
}

void AppendOnlyFile::Close() {
  file_.reset();
  path_.clear();
}

// NTFS journals the entries of a folder; a folder handle cannot be flushed by
// an unprivileged process, so the check is that the folder is there.
Status SyncFolder(const std::string& folder) {
  const DWORD attributes = ::GetFileAttributesW(WidePath(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return Failure("cannot open the folder", folder, ::GetLastError());
  return Status::Ok();
}

}  // namespace platform
