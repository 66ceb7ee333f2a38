#include "platform/file_system.h"

#include "platform/path.h"
#include "platform/win32/native_file.h"

namespace platform {
namespace {

DWORD Attributes(const std::string& path) {
  if (path.empty()) return INVALID_FILE_ATTRIBUTES;
  return ::GetFileAttributesW(WidePath(path).c_str());
}

// The attributes of what the path names with links followed.
std::optional<BY_HANDLE_FILE_INFORMATION> FollowedInformation(const std::string& path) {
  UniqueHandle file = OpenForAttributes(path);
  if (!file.valid()) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  return info;
}

bool IsFolderAttributes(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

char PathSeparator() { return '\\'; }

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

std::string NormalizeSeparators(std::string_view path) {
  std::string out(path);
  for (char& c : out)
    if (IsPathSeparator(c)) c = PathSeparator();
  return out;
}

bool FileExists(const std::string& path) {
  auto info = FollowedInformation(path);
  return info && (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
  auto info = FollowedInformation(path);
  return info && (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool IsSymbolicLink(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

Status CreateFolders(const std::string& path) {
  if (path.empty()) return Status::Fail("cannot create a folder with an empty name");
  if (FolderExists(path)) return Status::Ok();
  std::string parent = FolderOf(WithoutTrailingSeparators(path));
  // A drive root ("C:") or a share root cannot be created.
  if (!parent.empty() && parent != path && !(parent.size() == 2 && parent[1] == ':') &&
      !FolderExists(parent)) {
    Status s = CreateFolders(parent);
    if (!s) return s;
  }
  if (!::CreateDirectoryW(WidePath(path).c_str(), nullptr)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS) return Failure("cannot create folder", path, error);
  }
  if (!FolderExists(path)) return Status::Fail("not a folder: '" + path + "'");
  return Status::Ok();
}

Status RemoveFile(const std::string& path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return Status::Ok();
  const std::wstring wide = WidePath(path);
  // A read-only file cannot be deleted; the removal is the caller's decision.
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
    ::SetFileAttributesW(wide.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  const BOOL removed = IsFolderAttributes(attributes) ? ::RemoveDirectoryW(wide.c_str())
                                                      : ::DeleteFileW(wide.c_str());
  if (!removed) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Status::Ok();
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) ::SetFileAttributesW(wide.c_str(), attributes);
    return Failure("cannot remove", path, error);
  }
  return Status::Ok();
}

Status RenameFile(const std::string& source, const std::string& destination) {
  if (!::MoveFileExW(WidePath(source).c_str(), WidePath(destination).c_str(),
                     MOVEFILE_REPLACE_EXISTING))
    return Failure("cannot rename", source, ::GetLastError());
  return Status::Ok();
}

Status RemoveTree(const std::string& path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return Status::Ok();
  // A link to a folder (a junction or symbolic link) is removed as a link.
  if (IsFolderAttributes(attributes) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    auto entries = ListFolder(path);
    if (!entries) return Failure("cannot list folder", path, ::GetLastError());
    Status first = Status::Ok();
    for (const auto& name : *entries) {
      Status s = RemoveTree(JoinPath(path, name));
      if (!s && first) first = s;
    }
    if (!first) return first;
  }
  return RemoveFile(path);
}

std::optional<std::vector<std::string>> ListFolder(const std::string& path) {
  if (path.empty()) return std::nullopt;
  std::wstring pattern = WidePath(path);
  if (pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data{};
  HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) {
    // An empty folder still lists "." and ".."; a failure here means no folder.
    return std::nullopt;
  }
  std::vector<std::string> names;
  do {
    std::wstring_view name(data.cFileName);
    if (name == L"." || name == L"..") continue;
    names.push_back(Narrow(name));
  } while (::FindNextFileW(find, &data));
  const DWORD error = ::GetLastError();
  ::FindClose(find);
  if (error != ERROR_NO_MORE_FILES) return std::nullopt;
  return names;
}

std::optional<std::string> ReadFile(const std::string& path, std::uint64_t max_bytes) {
  if (path.empty()) return std::nullopt;
  UniqueHandle file(::CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid() || !IsRegularFileHandle(file.get())) return std::nullopt;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || static_cast<std::uint64_t>(size.QuadPart) > max_bytes)
    return std::nullopt;
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return std::nullopt;
    if (got == 0) break;
    if (bytes.size() + got > max_bytes) return std::nullopt;
    bytes.append(buffer, got);
  }
  return bytes;
}

Status WriteFileAtomic(const std::string& path, std::string_view bytes, FilePermissions permissions,
                       ExistingPermissions existing, Durability durability) {
  if (path.empty()) return Status::Fail("no file to write");
  // An existing file keeps its own access and attributes unless told otherwise.
  const DWORD old_attributes = Attributes(path);
  const bool keep = existing == ExistingPermissions::kKeep &&
                    old_attributes != INVALID_FILE_ATTRIBUTES &&
                    !IsFolderAttributes(old_attributes);
  std::string temp;
  NativeFile file;
  for (int attempt = 0; attempt < 16 && !file.valid(); ++attempt) {
    temp = TemporaryNameBeside(path);
    file.reset(CreateNativeFile(temp, GENERIC_WRITE | WRITE_DAC, 0, CREATE_NEW,
                                keep ? FilePermissions::kNormal : permissions));
    if (!file.valid() && ::GetLastError() != ERROR_FILE_EXISTS)
      return Failure("cannot create", temp, ::GetLastError());
  }
  if (!file.valid()) return Status::Fail("cannot create a temporary file beside '" + path + "'");
  bool ok = WriteAllBytes(file.get(), bytes) &&
            (durability == Durability::kThisRun || ::FlushFileBuffers(file.get()));
  DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
  ok = file.close() && ok;
  if (ok && keep) CopyAccess(path, temp);
  if (ok) {
    const bool read_only =
        keep ? (old_attributes & FILE_ATTRIBUTE_READONLY) != 0 : IsReadOnlyIntent(permissions);
    if (read_only) ok = static_cast<bool>(SetReadOnlyAttribute(temp, true));
  }
  if (!ok) {
    ::DeleteFileW(WidePath(temp).c_str());
    return Failure("cannot write", path, error == ERROR_SUCCESS ? ::GetLastError() : error);
  }
  Status replaced = ReplaceByRename(temp, path);
  if (!replaced) {
    SetReadOnlyAttribute(temp, false);
    ::DeleteFileW(WidePath(temp).c_str());
  }
  return replaced;
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
  auto info = FollowedInformation(path);
  if (!info || (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
  return (static_cast<std::uint64_t>(info->nFileSizeHigh) << 32) | info->nFileSizeLow;
}

std::optional<std::int64_t> FileModificationTime(const std::string& path) {
  auto info = FollowedInformation(path);
  if (!info || (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
  return SecondsFromFileTime(info->ftLastWriteTime);
}

Status SetFileModificationTime(const std::string& path, std::int64_t seconds) {
  UniqueHandle file(::CreateFileW(WidePath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return Failure("cannot set the time of", path, ::GetLastError());
  const FILETIME time = FileTimeFromSeconds(seconds);
  if (!::SetFileTime(file.get(), nullptr, &time, &time))
    return Failure("cannot set the time of", path, ::GetLastError());
  return Status::Ok();
}

}  // namespace platform
