#include "platform/file_replace.h"

#include "platform/win32/native_file.h"

namespace platform {
namespace {

// Removes the temporary file unless it was renamed into place.
class TemporaryName {
 public:
  ~TemporaryName() {
    if (!path.empty()) {
      const std::wstring wide = WidePath(path);
      ::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileW(wide.c_str());
    }
  }
  std::string path;
};

}  // namespace

Status ReplaceFileWithCopy(const std::string& source, const std::string& destination,
                           CopyPermissions permissions) {
  if (source.empty() || destination.empty() || IsAnyPathSeparator(destination.back()))
    return Status::Fail("no file to copy from '" + source + "' to '" + destination + "'");

  // The source itself, never what a link there points to.
  UniqueHandle in(::CreateFileW(WidePath(source).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!in.valid()) return Failure("cannot open", source, ::GetLastError());
  BY_HANDLE_FILE_INFORMATION source_info{};
  if (!::GetFileInformationByHandle(in.get(), &source_info))
    return Failure("cannot read", source, ::GetLastError());
  if ((source_info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    return Status::Fail("the source is a symbolic link: '" + source + "'");
  if (!IsRegularFileHandle(in.get()))
    return Status::Fail("the source is not a regular file: '" + source + "'");

  bool read_only = (source_info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  bool keep_access = false;
  const DWORD existing = ::GetFileAttributesW(WidePath(destination).c_str());
  if (existing != INVALID_FILE_ATTRIBUTES) {
    if ((existing & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (existing & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
      return Status::Fail("the destination is a folder: '" + destination + "'");
    if (permissions == CopyPermissions::kKeepDestination &&
        (existing & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      read_only = (existing & FILE_ATTRIBUTE_READONLY) != 0;
      keep_access = true;
    }
  }

  TemporaryName temp;
  NativeFile out;
  for (int attempt = 0; attempt < 16 && !out.valid(); ++attempt) {
    temp.path = TemporaryNameBeside(destination);
    out.reset(CreateNativeFile(temp.path, GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0, CREATE_NEW,
                               FilePermissions::kNormal));
    if (!out.valid() && ::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (!out.valid()) {
    const DWORD error = ::GetLastError();
    temp.path.clear();
    return Failure("cannot create a temporary file beside", destination, error);
  }

  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(in.get(), buffer, sizeof buffer, &got, nullptr))
      return Failure("cannot read", source, ::GetLastError());
    if (got == 0) break;
    if (!WriteAllBytes(out.get(), std::string_view(buffer, got)))
      return Failure("cannot write", temp.path, ::GetLastError());
  }
  if (!::FlushFileBuffers(out.get())) return Failure("cannot flush", temp.path, ::GetLastError());
  if (!out.close()) return Failure("cannot write", temp.path, ::GetLastError());
  if (keep_access) CopyAccess(destination, temp.path);
  if (read_only) {
    if (Status set = SetReadOnlyAttribute(temp.path, true); !set) return set;
  }
  if (Status replaced = ReplaceByRename(temp.path, destination); !replaced) return replaced;
  temp.path.clear();
  return Status::Ok();
}

}  // namespace platform
