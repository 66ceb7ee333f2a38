#pragma once
// The path table behind the folder placeholders ("%app%", "%updatertemp%", ...)
// and the expansion of placeholders in paths from the settings and update files.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system_paths.h"

struct SettingsValues;

enum PathEntry : int {
  kPathUpdater = 0,      // "%updater%": program folder + separator + one more separator
  kPathUpdaterFile = 1,  // full path of the running updater
  kPathApp = 2,          // "%app%"
  kPathUpdaterTemp = 3,  // "%updatertemp%"
  kPathRollback = 4,     // rollback folder below %updatertemp%
  kPathTemp = 5,         // "%temp%": the user's private temporary folder
  kPathProgramFiles = 6,
  kPathSystem = 7,
  kPathUserProfile = 8,
  kPathAppData = 9,
  kPathCommonAppData = 10,
  kPathQuickLaunchCurrentUser = 11,
  kPathMenuStartCurrentUser = 12,
  kPathDesktopCurrentUser = 13,
  kPathQuickLaunchAllUsers = 14,
  kPathMenuStartAllUsers = 15,
  kPathDesktopAllUsers = 16,
  kPathWindowsDirectory = 17,
  kPathUpdateServerPath = 18,  // "%updateserverpath%": the update file's location
  kPathUpdateServerFile = 19,  // "%updateserverfile%": its last component
  kPathCount = 20
};

// The folder placeholders, in the order Expand replaces them.
inline constexpr std::array<std::string_view, 19> kFolderPlaceholders = {
    "%app%",
    "%approot%",
    "%updater%",
    "%updatertemp%",
    "%temp%",
    "%programfiles%",
    "%system%",
    "%appdata%",
    "%commonappdata%",
    "%userprofile%",
    "%quicklaunchcurrentuser%",
    "%menustartcurrentuser%",
    "%desktopcurrentuser%",
    "%quicklaunchallusers%",
    "%menustartallusers%",
    "%desktopallusers%",
    "%windowsdirectory%",
    "%updateserverpath%",
    "%updateserverfile%",
};

// The credential placeholders, in the order ReplaceCredentialPlaceholders tries them.
inline constexpr std::array<std::string_view, 4> kCredentialPlaceholders = {
    "%ftpusername%",
    "%ftppassword%",
    "%httpusername%",
    "%httppassword%",
};

// What step 1 takes from the system; tests pass their own.
struct SystemFolders {
  std::string executable;  // full path of the running program
  std::string temp;        // private temporary folder, no trailing separator
  platform::SpecialFolders special;
};

class CUpdaterPaths {
 public:
  static CUpdaterPaths& Instance();
  static void ResetInstance();

  // Step 1: fixed entries from the system. Fails when the running program or
  // the private temporary folder cannot be found.
  bool Init();
  bool Init(const SystemFolders& system);
  // Step 2: entries that depend on the settings; creates the temporary and
  // rollback folders. Fails when a folder cannot be created. "%app%" stays
  // empty when the application location names no usable folder (see
  // ApplicationFolderProblem).
  bool InitUpdaterTemp();

  // Replaces the folder placeholders, then collapses doubled separators.
  std::string Expand(const std::string& text) const;

  const std::string& Entry(int index) const { return entries_.at(static_cast<size_t>(index)); }

  // Why "%app%" is unknown after step 2; "" when it names a folder. Without
  // it nothing may be installed: the folder would become the file-system root.
  const std::string& ApplicationFolderProblem() const { return app_problem_; }
  // The first folder placeholder in the text whose value is unknown: empty,
  // only separators (the file-system root) or not absolute. "" when there is
  // none. A path built on such a placeholder would land in the root or in
  // the current folder.
  std::string_view FirstUnknownPlaceholder(std::string_view text) const;

 private:
  // The values of kFolderPlaceholders, in the same order.
  std::array<const std::string*, kFolderPlaceholders.size()> PlaceholderValues() const;

  std::array<std::string, kPathCount> entries_;
  std::string app_problem_;
};

// The folder "%app%" stands for, for the application location: its folder
// with one separator at the end. nullopt with `problem` set when the location
// is empty or its folder is not absolute or is the file-system root.
std::optional<std::string> ApplicationFolderOf(const std::string& location, std::string& problem);

// Replaces "%ftpusername%", "%ftppassword%", "%httpusername%", "%httppassword%"
// with the connection settings; inserted values are not expanded again.
std::string ReplaceCredentialPlaceholders(const std::string& text);
// The same with the credentials of the given values (the settings reader uses
// the values it has just read).
std::string ReplaceCredentialPlaceholders(const std::string& text, const SettingsValues& values);
// Removes one of every two consecutive separators, except a pair at the start
// (a network path) and, where the separator is "/", the run after a ":".
// Web addresses ("scheme://" with a scheme of two or more characters, up to
// the next blank or quote) keep every character: "https://cdn/a//b" stays.
std::string CollapseSeparators(const std::string& path);
// True for a path that begins at a root: a separator, or, where the separator
// is the backslash, a drive ("C:\").
bool IsAbsolutePath(std::string_view path);
// True for a text that begins with a web address: a scheme of two or more
// characters (a letter, then letters, digits, "+", "-" or ".") and "://".
bool HasUrlScheme(std::string_view text);
// A name used as one folder component (application name and version in the
// temporary folder): separators and NUL become "_", and "." or ".." become "_"
// and "__", so that the name cannot reach outside its parent.
std::string FolderComponent(const std::string& name);
