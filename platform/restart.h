#pragma once
// Restarting the system, and starting the application once at the next login.
//
// The entry that starts the application at the next login is named
// kRestartEntryName and runs this program with the option kRestartEntryOption;
// the program then (RunRestartEntry, before any other start-up) removes the
// entry and, once it is gone, starts the application the entry names. The
// entry thus runs at most once, and no shell is involved. On Linux the entry
// is an XDG autostart entry (platform/posix/restart_entry.h); on Windows it is
// the current user's RunOnce value of the same name.

#include <cstdint>
#include <string>

#include "platform/status.h"

namespace platform {

// The name of the entry (the RunOnce value name on Windows).
inline constexpr char kRestartEntryName[] = "Updater application restart";
// The option with which the entry runs this program.
inline constexpr char kRestartEntryOption[] = "--velmora-run-restart-entry";

// Writes the entry for the application (this program runs it); the entry is
// private to the user and written atomically.
Status WriteRestartEntry(const std::string& application);

// What this program does when run with kRestartEntryOption: takes the entry
// and starts its application (a program directly, any other file with the
// desktop's opener), in the application's folder, without waiting for it. Returns the exit code of
// this program: 0 when it started.
int RunRestartEntry();

// Asks the system to restart (all users logged off, nothing forced); fails
// when it refuses. On Linux the restart commands (restart_entry.h) are each
// found in the system's program folders and started with an argument vector
// (never a shell); a command gets timeout_ms to answer.
Status RestartSystem(std::int64_t timeout_ms = 30000);

}  // namespace platform
