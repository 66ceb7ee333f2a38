#include "platform/system_paths.h"

// The shell's headers need the system's declarations first.
#include "platform/win32/windows.h"
//
#include <knownfolders.h>
#include <shlobj.h>

#include <vector>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/win32/native_file.h"

namespace platform {
namespace {

std::string KnownFolder(REFKNOWNFOLDERID id) {
  wchar_t* path = nullptr;
  std::string folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path)
    folder = WithoutTrailingSeparators(Narrow(path));
  ::CoTaskMemFree(path);
  return folder;
}

// A call that fills a wide buffer and returns the length it needs.
template <typename Call>
std::wstring FillBuffer(Call call) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 6; ++attempt) {
    const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(static_cast<std::size_t>(length) + 1);
  }
  return {};
}

}  // namespace

std::string ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return Narrow(std::wstring_view(buffer.data(), length));
    if (buffer.size() > 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::string ExecutableSuffix() { return ".exe"; }

std::string CurrentFolder() {
  std::wstring folder =
      FillBuffer([](wchar_t* buffer, DWORD size) { return ::GetCurrentDirectoryW(size, buffer); });
  if (folder.empty()) return "C:\\";
  return Narrow(folder);
}

std::string FullPath(const std::string& path) {
  if (path.empty()) return path;
  const std::wstring wide = WidePath(path);
  std::wstring full = FillBuffer([&](wchar_t* buffer, DWORD size) {
    return ::GetFullPathNameW(wide.c_str(), size, buffer, nullptr);
  });
  if (full.empty()) return NormalizeSeparators(path);
  return Narrow(full);
}

std::string UserStateFolder() { return JoinPath(KnownFolder(FOLDERID_LocalAppData), "Velmora"); }

SpecialFolders GetSpecialFolders() {
  SpecialFolders f;
  f.program_files = KnownFolder(FOLDERID_ProgramFiles);
  f.system = KnownFolder(FOLDERID_System);
  f.user_profile = KnownFolder(FOLDERID_Profile);
  f.app_data = KnownFolder(FOLDERID_RoamingAppData);
  f.common_app_data = KnownFolder(FOLDERID_ProgramData);
  f.start_menu = KnownFolder(FOLDERID_StartMenu);
  f.desktop = KnownFolder(FOLDERID_Desktop);
  f.common_start_menu = KnownFolder(FOLDERID_CommonStartMenu);
  f.common_desktop = KnownFolder(FOLDERID_PublicDesktop);
  f.windows = KnownFolder(FOLDERID_Windows);
  return f;
}

// The user's temporary path (GetTempPathW: TMP, TEMP or the profile's
// folder) with a folder of the program's own in it, private to the user.
std::optional<std::string> PrivateTempFolder(std::string* error) {
  std::wstring base =
      FillBuffer([](wchar_t* buffer, DWORD size) { return ::GetTempPathW(size, buffer); });
  std::string folder = JoinPath(WithoutTrailingSeparators(Narrow(base)), "velmora");
  auto fail = [&](const std::string& why) -> std::optional<std::string> {
    if (error) *error = "temporary folder '" + folder + "' " + why;
    return std::nullopt;
  };
  if (base.empty()) return fail("cannot be found: " + ErrorText(::GetLastError()));
  const std::wstring wide = WidePath(folder);
  if (!::CreateDirectoryW(wide.c_str(), nullptr)) {
    const DWORD failure = ::GetLastError();
    if (failure != ERROR_ALREADY_EXISTS) return fail("cannot be created: " + ErrorText(failure));
  } else {
    // A new folder is the user's alone.
    UniqueHandle handle(::CreateFileW(wide.c_str(), READ_CONTROL | WRITE_DAC,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (handle.valid()) (void)ApplyPermissions(handle.get(), folder, FilePermissions::kPrivate);
  }
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return fail("cannot be read");
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return fail("is a symbolic link");
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return fail("is not a folder");
  return folder;
}

std::optional<std::string> GetEnv(const std::string& name) {
  const std::wstring wide = Widen(name);
  ::SetLastError(ERROR_SUCCESS);
  std::wstring value = FillBuffer([&](wchar_t* buffer, DWORD size) {
    return ::GetEnvironmentVariableW(wide.c_str(), buffer, size);
  });
  if (value.empty() && ::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
  return Narrow(value);
}

std::string LogonUserName() {
  wchar_t buffer[257];
  DWORD size = 257;
  if (!::GetUserNameW(buffer, &size) || size == 0) return {};
  return Narrow(std::wstring_view(buffer, size - 1));
}

}  // namespace platform
