#pragma once
// The Linux side of restart.h: the restart entry is an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/velmora-updater-restart.desktop, named
// kRestartEntryName, whose Exec runs this program with kRestartEntryOption and
// whose key kRestartEntryApplicationKey names the application; and the system
// restarts through logind or systemctl.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/restart.h"
#include "platform/status.h"

namespace platform {

// The key of the entry that names the application.
inline constexpr char kRestartEntryApplicationKey[] = "X-Velmora-Application";

// $XDG_CONFIG_HOME/autostart/velmora-updater-restart.desktop.
std::string RestartEntryPath();

// The text of the entry that runs program with kRestartEntryOption and names
// application; nullopt when a path cannot be written into an entry.
std::optional<std::string> FormatRestartEntry(const std::string& program,
                                              const std::string& application);

// WriteRestartEntry with the entry's path and the program it runs given (the
// path's folder is created).
Status WriteRestartEntry(const std::string& application, const std::string& entry_path,
                         const std::string& program);

// Reads the entry at entry_path and removes it. Returns the application it
// names when the entry was a regular file with that key and is gone now;
// nullopt otherwise (a symbolic link there is removed and not read).
std::optional<std::string> TakeRestartEntry(const std::string& entry_path);

// Runs a command given as an argument vector; returns its exit code, or
// nullopt when it could not be started or gave no answer in time.
using CommandRunner = std::function<std::optional<int>(const std::vector<std::string>&)>;

// The commands that ask the system to restart, in order of preference:
// logind's Reboot call (not interactive), then "systemctl reboot".
std::vector<std::vector<std::string>> RestartSystemCommands();

// Asks the system to restart (all users logged off, nothing forced): runs the
// commands in turn until one answers 0. Fails when none did.
Status RestartSystem(const CommandRunner& run);

}  // namespace platform
