#include <utility>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/posix/desktop_entry.h"
#include "platform/posix/restart_entry.h"
#include "platform/process.h"
#include "platform/system_paths.h"

namespace platform {
namespace {

constexpr char kEntryFileName[] = "velmora-updater-restart.desktop";

// Only the system's own folders are searched, never the caller's PATH.
std::optional<std::string> FindSystemProgram(const std::string& name) {
  if (name.find('/') != std::string::npos)
    return IsExecutableFile(name) ? std::optional(name) : std::nullopt;
  for (const char* folder : {"/usr/bin", "/bin", "/usr/sbin", "/sbin"}) {
    std::string path = std::string(folder) + "/" + name;
    if (IsExecutableFile(path)) return path;
  }
  return std::nullopt;
}

}  // namespace

std::string RestartEntryPath() {
  return GetSpecialFolders().app_data + "/autostart/" + kEntryFileName;
}

std::optional<std::string> FormatRestartEntry(const std::string& program,
                                              const std::string& application) {
  if (program.empty() || application.empty()) return std::nullopt;
  DesktopEntryWriter entry;
  bool ok = entry.Add("Type", "Application") && entry.Add("Name", kRestartEntryName) &&
            entry.AddExec({program, kRestartEntryOption}) && entry.Add("NoDisplay", "true") &&
            entry.Add(kRestartEntryApplicationKey, application);
  if (!ok) return std::nullopt;
  return entry.Text();
}

Status WriteRestartEntry(const std::string& application) {
  return WriteRestartEntry(application, RestartEntryPath(), ExecutablePath());
}

Status WriteRestartEntry(const std::string& application, const std::string& entry_path,
                         const std::string& program) {
  std::optional<std::string> text = FormatRestartEntry(program, NormalizeSeparators(application));
  if (!text) return Status::Fail("the restart entry for '" + application + "' cannot be written");
  if (Status status = CreateFolders(FolderOf(entry_path)); !status) return status;
  return WriteFileAtomic(entry_path, *text, FilePermissions::kPrivate,
                         ExistingPermissions::kReplace);
}

std::optional<std::string> TakeRestartEntry(const std::string& entry_path) {
  if (IsSymbolicLink(entry_path)) {
    RemoveFile(entry_path);
    return std::nullopt;
  }
  if (!FileExists(entry_path)) return std::nullopt;
  std::optional<std::string> text = ReadFile(entry_path, kMaxDesktopEntryBytes);
  // Removed first: an entry that stays would start the application at every login.
  if (!RemoveFile(entry_path) || PathExists(entry_path) || !text) return std::nullopt;
  auto values = ParseDesktopEntry(*text);
  if (!values) return std::nullopt;
  auto application = values->find(kRestartEntryApplicationKey);
  if (application == values->end() || application->second.empty()) return std::nullopt;
  return application->second;
}

int RunRestartEntry() {
  std::optional<std::string> application = TakeRestartEntry(RestartEntryPath());
  if (!application) return 1;
  if (IsExecutableFile(*application)) {
    StartResult result = StartProgram(*application, {}, FolderOf(FullPath(*application)));
    if (!result.status) return 1;
    ReleaseChild(result.pid);
    return 0;
  }
  if (!FileExists(*application)) return 1;
  return OpenWithDesktop(*application) ? 0 : 1;
}

std::vector<std::vector<std::string>> RestartSystemCommands() {
  return {{"busctl", "call", "org.freedesktop.login1", "/org/freedesktop/login1",
           "org.freedesktop.login1.Manager", "Reboot", "b", "false"},
          {"systemctl", "reboot"}};
}

Status RestartSystem(const CommandRunner& run) {
  for (const std::vector<std::string>& command : RestartSystemCommands()) {
    if (run(command) == 0) return Status::Ok();
  }
  return Status::Fail("the system refused to restart");
}

Status RestartSystem(std::int64_t timeout_ms) {
  return RestartSystem([timeout_ms](const std::vector<std::string>& command) -> std::optional<int> {
    std::optional<std::string> program = FindSystemProgram(command.front());
    if (!program) return std::nullopt;
    StartResult started =
        StartProgram(*program, std::vector<std::string>(command.begin() + 1, command.end()), "");
    if (!started.status) return std::nullopt;
    std::optional<int> code = WaitForProcess(started.pid, timeout_ms);
    if (!code) ReleaseChild(started.pid);
    return code;
  });
}

}  // namespace platform
