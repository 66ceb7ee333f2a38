#pragma once
// Where things are: the running program, the user's folders, the full form of a path.

#include <optional>
#include <string>

#include "platform/status.h"

namespace platform {

// Full path of the running program.
std::string ExecutablePath();
// The suffix of program files: "" on Linux, ".exe" on Windows.
std::string ExecutableSuffix();
// The folder the process runs in.
std::string CurrentFolder();
// The absolute form of a path against the current folder, with "." and ".."
// resolved lexically. An empty path stays empty; a trailing separator stays.
std::string FullPath(const std::string& path);

// The folders that the path placeholders stand for. Each without trailing separator.
struct SpecialFolders {
  std::string program_files;
  std::string system;
  std::string user_profile;
  std::string app_data;
  std::string common_app_data;
  std::string start_menu;
  std::string desktop;
  std::string common_start_menu;
  std::string common_desktop;
  std::string windows;
};
SpecialFolders GetSpecialFolders();

// The user's private temporary folder, without trailing separator: created
// private to the user when missing; refused when it is a link, not owned by the user or
// open to others.
std::optional<std::string> PrivateTempFolder(std::string* error = nullptr);

// The user's folder for state that must outlive the session and a restart of
// the machine (not a temporary folder), without trailing separator; it may not
// exist yet.
std::string UserStateFolder();

// The logon name of the user the process runs as; empty when the system names
// none. No domain on Linux: the account is local.
std::string LogonUserName();

// The value of an environment variable, or nullopt when it is not set.
std::optional<std::string> GetEnv(const std::string& name);

}  // namespace platform
