#include "platform/file_attributes.h"

#include "platform/file_system.h"
#include "platform/win32/native_file.h"

namespace platform {

std::optional<FileFacts> GetFileFacts(const std::string& path) {
  UniqueHandle file = OpenForAttributes(path);
  if (!file.valid()) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  FileFacts facts;
  facts.folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts.regular = !facts.folder && ::GetFileType(file.get()) == FILE_TYPE_DISK;
  facts.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  facts.modification_time = SecondsFromFileTime(info.ftLastWriteTime);
  facts.volume = info.dwVolumeSerialNumber;
  facts.file_id = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return facts;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  auto first = GetFileFacts(a);
  auto second = GetFileFacts(b);
  return first && second && first->volume == second->volume && first->file_id == second->file_id;
}

std::uint64_t FolderContentSize(const std::string& folder, int max_depth) {
  if (max_depth < 0 || folder.empty()) return 0;
  std::wstring pattern = WidePath(folder);
  if (pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data{};
  HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return 0;
  std::uint64_t total = 0;
  do {
    std::wstring_view name(data.cFileName);
    if (name == L"." || name == L"..") continue;
    // Links (reparse points) are not followed.
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) continue;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      total += FolderContentSize(JoinPath(folder, Narrow(name)), max_depth - 1);
    else
      total += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return total;
}

Status SetReadOnly(const std::string& path, bool read_only) {
  const DWORD attributes =
      path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failure("cannot find", path, ::GetLastError());
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
    return Status::Fail("not a regular file: '" + path + "'");
  return SetReadOnlyAttribute(path, read_only);
}

}  // namespace platform
