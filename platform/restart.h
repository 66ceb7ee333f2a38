#pragma once
// Restarting the system, and starting the application once at the next login.
//
// On Linux the entry that starts the application at the next login is an XDG
// autostart entry, $XDG_CONFIG_HOME/autostart/velmora-updater-restart.desktop,
// named "Updater application restart". Its Exec runs this program with the
// option kRestartEntryOption; the program then (RunRestartEntry, before any
// other start-up) removes the entry and, once it is gone, starts the
// application the entry names in its key X-Velmora-Application. The entry
// thus runs at most once, and no shell is involved. On Windows the entry is
// the current user's RunOnce value of the same name.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/status.h"

namespace platform {

// The name of the entry (the RunOnce value name on Windows).
inline constexpr char kRestartEntryName[] = "Updater application restart";
// The option with which the entry runs this program.
inline constexpr char kRestartEntryOption[] = "--velmora-run-restart-entry";
// The key of the entry that names the application.
inline constexpr char kRestartEntryApplicationKey[] = "X-Velmora-Application";

// $XDG_CONFIG_HOME/autostart/velmora-updater-restart.desktop.
std::string RestartEntryPath();

// The text of the entry that runs program with kRestartEntryOption and names
// application; nullopt when a path cannot be written into an entry.
std::optional<std::string> FormatRestartEntry(const std::string& program,
                                              const std::string& application);

// Writes the entry for the application (this program runs it), creating the
// autostart folder; the entry is private to the user and written atomically.
Status WriteRestartEntry(const std::string& application);
Status WriteRestartEntry(const std::string& application, const std::string& entry_path,
                         const std::string& program);

// Reads the entry at entry_path and removes it. Returns the application it
// names when the entry was a regular file with that key and is gone now;
// nullopt otherwise (a symbolic link there is removed and not read).
std::optional<std::string> TakeRestartEntry(const std::string& entry_path);

// What this program does when run with kRestartEntryOption: takes the entry
// at RestartEntryPath() and starts its application (a program directly, any
// other file with the desktop's opener), in the application's folder, without
// waiting for it. Returns the exit code of this program: 0 when it started.
int RunRestartEntry();

// Runs a command given as an argument vector; returns its exit code, or
// nullopt when it could not be started or gave no answer in time.
using CommandRunner = std::function<std::optional<int>(const std::vector<std::string>&)>;

// The commands that ask the system to restart, in order of preference:
// logind's Reboot call (not interactive), then "systemctl reboot".
std::vector<std::vector<std::string>> RestartSystemCommands();

// Asks the system to restart (all users logged off, nothing forced): runs the
// commands in turn until one answers 0. Fails when none did.
Status RestartSystem(const CommandRunner& run);
// The same with the real commands, each found in the system's program folders
// and started with an argument vector (never a shell); a command gets
// timeout_ms to answer.
Status RestartSystem(std::int64_t timeout_ms = 30000);

}  // namespace platform
