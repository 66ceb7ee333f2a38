#pragma once
// The layout of one end-to-end run of the built updater, below a fresh folder:
//
//   app/                 the installation: a copy of the built updater, settings.ini,
//                        updatefile.xml (a pointer to the server's update file) and,
//                        after an update, the installed-sections file
//   app/App/             the application (%app%: the folder of [APPLICATION] LOCATION)
//   releases/<version>/  the releases the test writes
//   www/                 what the server publishes (the release tool's output)
//   tmp/, home/          TMPDIR, HOME and the XDG folders of the updater
//
// The updater runs hidden as a child of the test, with a dummy display name for
// its session check, no proxy and no extra CA unless the test says so, and a
// bound on its run; one that outlives the bound or the test is killed.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/process.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"

using EnvironmentChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

// One entry of a folder tree: what a snapshot compares.
struct TreeEntry {
  char kind = '?';  // 'f' file, 'd' folder, 'l' link, '?' other
  unsigned mode = 0;
  std::string bytes;  // a file's content, a link's target
  bool operator==(const TreeEntry&) const = default;
};
using TreeSnapshot = std::map<std::string, TreeEntry>;  // by path relative to the root

// Every entry below root (links not followed).
TreeSnapshot SnapshotTree(const std::string& root);
// "" when equal, else one line per entry that differs.
std::string TreeDifferences(const TreeSnapshot& before, const TreeSnapshot& after);

// The lines of a log that start or end a task ("starting task: X", "task ready: X"), in order.
std::vector<std::string> TaskLines(const std::string& log);

struct UpdaterRun {
  bool ended = false;  // within the bound
  int exit_code = -1;
  std::string log;  // the updater's log as UTF-8 ("" when none was written)
};

class UpdaterInstallation {
 public:
  static constexpr char kAppName[] = "E2E App";
  static constexpr char kOldVersion[] = "1.0.0.0";
  static constexpr char kNewVersion[] = "2.0.0.0";
  static constexpr std::int64_t kRunBoundMs = 60000;

  UpdaterInstallation();
  ~UpdaterInstallation();
  UpdaterInstallation(const UpdaterInstallation&) = delete;
  UpdaterInstallation& operator=(const UpdaterInstallation&) = delete;

  const TempFolder& folder() const { return folder_; }
  std::string InstallFolder() const { return folder_ / "app"; }
  std::string ApplicationFolder() const { return folder_ / "app/App"; }
  std::string ReleaseFolder(std::string_view version) const;
  std::string WwwFolder() const { return folder_ / "www"; }
  std::string UpdaterProgram() const { return folder_ / "app/Velmora Updater"; }
  std::string WindowModule() const { return folder_ / "app/libvelmora_windows.so"; }
  // The updater's private temporary folder (TMPDIR/velmora-<uid>).
  const std::string& PrivateTemp() const { return private_temp_; }
  std::string SettingsFile() const { return folder_ / "app/settings.ini"; }
  std::string SectionsFile() const;

  // Writes a file of a release with a mode (parents created).
  void WriteReleaseFile(std::string_view version, std::string_view relative, std::string_view bytes,
                        unsigned mode = 0644) const;
  // A small application in two releases: the new one changes the program
  // (mode 0755) and the read-me, keeps data/keep.txt, removes data/legacy.dat
  // and adds data/new.txt and plugins/extra/plugin.bin (a new folder).
  void WriteSampleReleases() const;

  // Installs the old release: the application folder, a copy of the built
  // updater, settings.ini (RUNMODE hidden followed by updater_lines in
  // [UPDATER], update_info_lines in [UPDATEINFO], VERSION kOldVersion, then the
  // groups of extra_groups) and the pointer to update_file_url.
  void Install(const std::string& update_file_url, const std::string& extra_groups = "",
               const std::string& updater_lines = "",
               const std::string& update_info_lines = "") const;
  // The pointer to the server's update file that Install writes.
  std::string PointerFile() const { return folder_ / "app/updatefile.xml"; }
  // Writes the new release's update file and files into www/ with the
  // release tool; "" when it succeeded, else what went wrong.
  std::string Publish(const std::string& base_url,
                      const std::vector<std::string>& options = {}) const;
  // Puts XML into the published update file before its end tag.
  void AddToPublishedUpdateFile(std::string_view xml) const;
  // Replaces a text in the published update file (it must occur).
  void ReplaceInPublishedUpdateFile(std::string_view from, std::string_view to) const;

  // Starts the updater hidden (with the run's environment and the changes on
  // top); 0 when it could not be started.
  platform::ProcessId StartUpdater(const EnvironmentChanges& changes = {},
                                   const std::string& mode = "hidden");
  // The same with the whole command line given.
  platform::ProcessId StartUpdaterWith(const EnvironmentChanges& changes,
                                       const std::vector<std::string>& arguments);
  // Waits for it, bounded (killed past the bound), and reads its log.
  UpdaterRun WaitForUpdater(platform::ProcessId pid, std::int64_t bound_ms = kRunBoundMs);
  UpdaterRun RunUpdater(const EnvironmentChanges& changes = {}, const std::string& mode = "hidden");

  // A value of the installation's settings.ini.
  std::string SettingsValue(std::string_view group, std::string_view key) const;
  std::string Log() const;
  // Removes the log of the last run, so that Log() holds only the next run's
  // lines once it has begun.
  void RemoveLog() const;
  // The bytes of settings.ini as they are now.
  std::string SettingsText() const;

 private:
  TempFolder folder_;
  std::string private_temp_;
  std::vector<platform::ProcessId> running_;
};
