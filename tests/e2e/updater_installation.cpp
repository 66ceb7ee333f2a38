#include "tests/e2e/updater_installation.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "platform/file_system.h"
#include "platform/system_paths.h"
#include "updater/core/ini_file.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/description/installed_sections.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kReleaseToolBoundMs = 30000;
constexpr std::uint64_t kMaxFileBytes = 64 << 20;

std::string ReadAll(const std::string& path) {
  return platform::ReadFile(path, kMaxFileBytes).value_or("");
}

// The environment of every run: everything the updater writes outside the
// installation goes below the test's folder; the session check passes; no
// proxy and no extra CA.
EnvironmentChanges RunEnvironment(const TempFolder& folder) {
  EnvironmentChanges changes = {
      {"TMPDIR", folder / "tmp"},
      {"HOME", folder / "home"},
      {"XDG_CONFIG_HOME", folder / "home/.config"},
      {"XDG_DATA_HOME", folder / "home/.local/share"},
      {"XDG_STATE_HOME", folder / "home/.local/state"},
      {"XDG_DESKTOP_DIR", folder / "home/Desktop"},
      {"XDG_SESSION_ID", std::nullopt},
      {"WAYLAND_DISPLAY", std::nullopt},
      {"DISPLAY", ":velmora-e2e"},
      {"VELMORA_CA_BUNDLE", std::nullopt},
      {"no_proxy", "127.0.0.1,localhost"},
      {"NO_PROXY", "127.0.0.1,localhost"},
  };
  for (const char* proxy :
       {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"})
    changes.emplace_back(proxy, std::nullopt);
  return changes;
}

}  // namespace

TreeSnapshot SnapshotTree(const std::string& root) {
  TreeSnapshot snapshot;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::path& path = it->path();
    const fs::file_status status = fs::symlink_status(path);
    TreeEntry entry;
    entry.mode = static_cast<unsigned>(status.permissions()) & 07777;
    switch (status.type()) {
      case fs::file_type::regular:
        entry.kind = 'f';
        entry.bytes = ReadAll(path.string());
        break;
      case fs::file_type::directory:
        entry.kind = 'd';
        break;
      case fs::file_type::symlink:
        entry.kind = 'l';
        entry.bytes = fs::read_symlink(path, error).string();
        break;
      default:
        break;
    }
    snapshot[fs::relative(path, root).string()] = entry;
  }
  if (error) snapshot["<error>"] = TreeEntry{'?', 0, error.message()};
  return snapshot;
}

std::string TreeDifferences(const TreeSnapshot& before, const TreeSnapshot& after) {
  auto describe = [](const TreeEntry& entry) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", entry.mode);
    return std::string(1, entry.kind) + " " + mode + " " + std::to_string(entry.bytes.size()) +
           " bytes";
  };
  std::string differences;
  for (const auto& [path, entry] : before) {
    auto found = after.find(path);
    if (found == after.end()) {
      differences += "gone:    " + path + "\n";
    } else if (!(found->second == entry)) {
      differences +=
          "changed: " + path + " (" + describe(entry) + " -> " + describe(found->second) + ")\n";
    }
  }
  for (const auto& [path, entry] : after)
    if (!before.count(path)) differences += "new:     " + path + " (" + describe(entry) + ")\n";
  return differences;
}

std::vector<std::string> TaskLines(const std::string& log) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (const char* marker : {"starting task: ", "task ready: "}) {
      const std::size_t at = line.find(marker);
      if (at != std::string::npos) lines.push_back(line.substr(at));
    }
  }
  return lines;
}

UpdaterInstallation::UpdaterInstallation() {
  for (const char* name : {"app/App", "www", "tmp", "home/.config", "home/Desktop"})
    platform::CreateFolders(folder_ / name);
  ScopedEnvironment environment;
  environment.Set("TMPDIR", folder_ / "tmp");
  private_temp_ = platform::PrivateTempFolder().value_or("");
  if (private_temp_.empty()) throw std::runtime_error("no private temporary folder");
}

UpdaterInstallation::~UpdaterInstallation() {
  // An updater that is still running (a test failed on the way) is ended.
  for (platform::ProcessId pid : running_) {
    (void)platform::TerminateProcess(pid, true);
    platform::WaitForProcess(pid, kRunBoundMs);
  }
}

std::string UpdaterInstallation::ReleaseFolder(std::string_view version) const {
  return folder_ / ("releases/" + std::string(version));
}

std::string UpdaterInstallation::SectionsFile() const {
  return InstallFolder() + "/" + InstalledSectionsFileName(kAppName);
}

void UpdaterInstallation::WriteReleaseFile(std::string_view version, std::string_view relative,
                                           std::string_view bytes, unsigned mode) const {
  const std::string path =
      folder_.Write("releases/" + std::string(version) + "/" + std::string(relative), bytes);
  fs::permissions(path, static_cast<fs::perms>(mode), fs::perm_options::replace);
}

void UpdaterInstallation::WriteSampleReleases() const {
  WriteReleaseFile(kOldVersion, "program", "#!/bin/sh\necho 'E2E App 1.0'\n", 0755);
  WriteReleaseFile(kOldVersion, "readme.txt", "Version 1.0\n");
  WriteReleaseFile(kOldVersion, "data/keep.txt", "the user's bookmarks\n");
  WriteReleaseFile(kOldVersion, "data/legacy.dat", "dropped in 2.0\n");
  WriteReleaseFile(kNewVersion, "program", "#!/bin/sh\necho 'E2E App 2.0'\n", 0755);
  WriteReleaseFile(kNewVersion, "readme.txt", "Version 2.0, with more words\n");
  WriteReleaseFile(kNewVersion, "data/keep.txt", "the user's bookmarks\n");
  WriteReleaseFile(kNewVersion, "data/new.txt", "new in 2.0\n");
  WriteReleaseFile(kNewVersion, "plugins/extra/plugin.bin", std::string(3000, '\x7f'));
}

void UpdaterInstallation::Install(const std::string& update_file_url,
                                  const std::string& extra_groups, const std::string& updater_lines,
                                  const std::string& update_info_lines) const {
  fs::copy(ReleaseFolder(kOldVersion), ApplicationFolder(),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::copy_file(VELMORA_UPDATER_PROGRAM, UpdaterProgram(), fs::copy_options::overwrite_existing);
  // The window module ships beside the program.
  fs::copy_file(VELMORA_WINDOW_MODULE, WindowModule(), fs::copy_options::overwrite_existing);
  folder_.Write("app/settings.ini", "[UPDATER]\nRUNMODE=hidden\n" + updater_lines + "\n" +
                                        "[UPDATEINFO]\nURL=%updater%updatefile.xml\nAPIHOST=\n" +
                                        update_info_lines + "\n" +
                                        "[APPLICATION]\nNAME=" + kAppName +
                                        "\nLOCATION=%updater%App/program\nVERSION=" + kOldVersion +
                                        "\n" + extra_groups);
  // Every installed version is older than the sequence's minimum, so the
  // updater always goes on to the server's update file.
  folder_.Write("app/updatefile.xml",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<UPDATEINFO>\n  <SEQUENCE>\n"
                "    <MINIMUMVERSION>65535.65535.65535.65535</MINIMUMVERSION>\n"
                "    <LOCATION>" +
                    update_file_url + "</LOCATION>\n  </SEQUENCE>\n</UPDATEINFO>\n");
}

std::string UpdaterInstallation::Publish(const std::string& base_url,
                                         const std::vector<std::string>& options) const {
  platform::RemoveTree(WwwFolder());
  std::vector<std::string> arguments = {"--previous",
                                        ReleaseFolder(kOldVersion),
                                        "--next",
                                        ReleaseFolder(kNewVersion),
                                        "--version",
                                        kNewVersion,
                                        "--base-url",
                                        base_url,
                                        "--output",
                                        WwwFolder(),
                                        "--application-name",
                                        kAppName};
  arguments.insert(arguments.end(), options.begin(), options.end());
  platform::StartResult started = platform::StartProgram(VELMORA_RELEASE_PROGRAM, arguments, "");
  if (!started.status) return "the release tool does not start: " + started.status.message();
  std::optional<int> code = platform::WaitForProcess(started.pid, kReleaseToolBoundMs);
  if (!code) {
    (void)platform::TerminateProcess(started.pid, true);
    platform::WaitForProcess(started.pid, kReleaseToolBoundMs);
    return "the release tool does not end";
  }
  if (*code != 0) return "the release tool ended with code " + std::to_string(*code);
  return {};
}

void UpdaterInstallation::AddToPublishedUpdateFile(std::string_view xml) const {
  ReplaceInPublishedUpdateFile("</UPDATEINFO>", std::string(xml) + "</UPDATEINFO>");
}

void UpdaterInstallation::ReplaceInPublishedUpdateFile(std::string_view from,
                                                       std::string_view to) const {
  const std::string path = WwwFolder() + "/updatefile.xml";
  std::string text = ReadAll(path);
  const std::size_t at = text.rfind(from);
  if (at == std::string::npos)
    throw std::runtime_error("not in the update file: " + std::string(from));
  text.replace(at, from.size(), to);
  if (!platform::WriteFileAtomic(path, text)) throw std::runtime_error("cannot write " + path);
}

platform::ProcessId UpdaterInstallation::StartUpdater(const EnvironmentChanges& changes,
                                                      const std::string& mode) {
  return StartUpdaterWith(changes, {"-mode", mode});
}

platform::ProcessId UpdaterInstallation::StartUpdaterWith(
    const EnvironmentChanges& changes, const std::vector<std::string>& arguments) {
  ScopedEnvironment environment;
  for (const auto& [name, value] : RunEnvironment(folder_)) environment.Set(name, value);
  for (const auto& [name, value] : changes) environment.Set(name, value);
  platform::StartResult started =
      platform::StartProgram(UpdaterProgram(), arguments, folder_ / "home");
  if (!started.status) return 0;
  running_.push_back(started.pid);
  return started.pid;
}

UpdaterRun UpdaterInstallation::WaitForUpdater(platform::ProcessId pid, std::int64_t bound_ms) {
  UpdaterRun run;
  if (pid <= 0) return run;
  std::optional<int> code = platform::WaitForProcess(pid, bound_ms);
  if (!code) {
    (void)platform::TerminateProcess(pid, true);
    platform::WaitForProcess(pid, kRunBoundMs);
  }
  std::erase(running_, pid);
  run.ended = code.has_value();
  run.exit_code = code.value_or(-1);
  run.log = Log();
  return run;
}

UpdaterRun UpdaterInstallation::RunUpdater(const EnvironmentChanges& changes,
                                           const std::string& mode) {
  return WaitForUpdater(StartUpdater(changes, mode));
}

std::string UpdaterInstallation::SettingsValue(std::string_view group, std::string_view key) const {
  CIniFile settings;
  if (!settings.Load(SettingsFile())) return {};
  return settings.GetValue(group, key, "");
}

std::string UpdaterInstallation::SettingsText() const { return ReadAll(SettingsFile()); }

void UpdaterInstallation::RemoveLog() const {
  (void)platform::RemoveFile(private_temp_ + "/" + LogFileName(kAppName));
}

std::string UpdaterInstallation::Log() const {
  return DecodeTextFile(ReadAll(private_temp_ + "/" + LogFileName(kAppName)));
}
