#include "platform/restart.h"

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/system_paths.h"
#include "platform/win32/wide.h"
//
#include <shellapi.h>

namespace platform {
namespace {

// The current user's RunOnce key: the system runs each of its values once at
// the next login and removes it.
constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
// Where the entry keeps the application it starts.
constexpr char kEntryKey[] = "Software\\Velmora\\Updater\\Restart";
constexpr char kApplicationValue[] = "Application";

// Takes the application out of the entry: removed first, so that it runs at most once.
std::optional<std::string> TakeApplication(IRegistry& registry) {
  RegistryValueRead read =
      registry.QueryValue(RegistryRoot::kCurrentUser, kEntryKey, kApplicationValue);
  (void)registry.DeleteValue(RegistryRoot::kCurrentUser, kRunOnceKey, kRestartEntryName);
  if (!read.status || !read.value || read.value->type != RegistryType::kString) {
    (void)registry.DeleteValue(RegistryRoot::kCurrentUser, kEntryKey, kApplicationValue);
    return std::nullopt;
  }
  if (!registry.DeleteValue(RegistryRoot::kCurrentUser, kEntryKey, kApplicationValue))
    return std::nullopt;
  RegistryValueRead again =
      registry.QueryValue(RegistryRoot::kCurrentUser, kEntryKey, kApplicationValue);
  if (!again.status || again.value || read.value->data.empty()) return std::nullopt;
  return read.value->data;
}

}  // namespace

// The RunOnce value runs this program with the option; the application is kept
// beside it in the program's own key, so that the command holds no path but ours.
Status WriteRestartEntry(const std::string& application) {
  if (application.empty()) return Status::Fail("no application to start at the next login");
  IRegistry& registry = SystemRegistry();
  if (Status created = registry.CreateKey(RegistryRoot::kCurrentUser, kEntryKey); !created)
    return created;
  if (Status set = registry.SetValue(RegistryRoot::kCurrentUser, kEntryKey, kApplicationValue,
                                     RegistryValue::String(NormalizeSeparators(application)));
      !set)
    return set;
  if (Status created = registry.CreateKey(RegistryRoot::kCurrentUser, kRunOnceKey); !created)
    return created;
  const std::string command = JoinCommandLine({ExecutablePath(), kRestartEntryOption});
  return registry.SetValue(RegistryRoot::kCurrentUser, kRunOnceKey, kRestartEntryName,
                           RegistryValue::String(command));
}

int RunRestartEntry() {
  std::optional<std::string> application = TakeApplication(SystemRegistry());
  if (!application || !FileExists(*application)) return 1;
  if (IsExecutableFile(*application)) {
    StartResult result = StartProgram(*application, {}, FolderOf(FullPath(*application)));
    if (!result.status) return 1;
    ReleaseChild(result.pid);
    return 0;
  }
  return OpenWithDesktop(*application) ? 0 : 1;
}

// ExitWindowsEx with EWX_REBOOT: every user is logged off, no program is
// forced; the process needs the shutdown privilege, which it enables.
Status RestartSystem(std::int64_t) {
  HANDLE raw = nullptr;
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) {
    UniqueHandle token(raw);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
      ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
  }
  if (!::ExitWindowsEx(EWX_REBOOT, SHTDN_REASON_MAJOR_APPLICATION |
                                       SHTDN_REASON_MINOR_INSTALLATION | SHTDN_REASON_FLAG_PLANNED))
    return Status::Fail("the system refused to restart: " + ErrorText(::GetLastError()));
  return Status::Ok();
}

}  // namespace platform
