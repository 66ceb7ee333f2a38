#include "platform/file_backup.h"

#include "platform/win32/native_file.h"

namespace platform {

// CopyFileExW copies the bytes, the attributes and the times; the copy is
// made under a temporary name and moved over the destination.
Status DuplicateFile(const std::string& source, const std::string& destination) {
  {
    UniqueHandle in(::CreateFileW(WidePath(source).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in.valid()) return Failure("cannot open", source, ::GetLastError());
    if (!IsRegularFileHandle(in.get())) return Status::Fail("not a regular file: '" + source + "'");
  }
  std::string temp;
  for (int attempt = 0; attempt < 16; ++attempt) {
    temp = TemporaryNameBeside(destination);
    BOOL cancel = FALSE;
    if (::CopyFileExW(WidePath(source).c_str(), WidePath(temp).c_str(), nullptr, nullptr, &cancel,
                      COPY_FILE_FAIL_IF_EXISTS))
      break;
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS || attempt == 15) return Failure("cannot copy", source, error);
  }
  // Flushed before it takes the destination's name.
  {
    UniqueHandle out(::CreateFileW(WidePath(temp).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (out.valid()) ::FlushFileBuffers(out.get());
  }
  Status replaced = ReplaceByRename(temp, destination);
  if (!replaced) {
    SetReadOnlyAttribute(temp, false);
    ::DeleteFileW(WidePath(temp).c_str());
  }
  return replaced;
}

}  // namespace platform
