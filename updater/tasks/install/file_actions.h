#pragma once
// The file actions of the installation that need no worker of their own:
// progress units, deleting, setting attributes and starting programs. Every
// change is recorded in the change journal before it is made; a change that
// cannot be recorded is not made.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/process.h"
#include "platform/status.h"
#include "updater/description/update_file_data.h"
#include "updater/tasks/rollback/change_journal.h"

// Progress units of an action (the weights are in progress_weights.h): a copy
// the size weight of its source (a folder counts with the files below it; 0
// when missing), an unzip the number of entries of its archive (0 when it
// cannot be opened), delete, run, setfileattr and register their units, a
// download none. With rollback the backup work is added: an unzip the size
// weight of its destination, a copy that of its new location, a delete and a
// register their backup units.
std::int32_t ActionUnits(const FileAction& action, bool rollback);
// The sum over every file that needs an update, saturated at the int32 limit.
std::int32_t TotalFileUnits(const CUpdateFileData& data);

// Deletes a file after recording it. A missing file is nothing to do.
platform::Status DeleteRecordedFile(CChangeJournal& journal, const std::string& path);
// Sets the attributes of a file after recording it: kFileAttributeReadOnly
// clears every write bit, its absence gives the owner the write bit back; the
// other bits have no effect.
platform::Status SetRecordedFileAttributes(CChangeJournal& journal, const std::string& path,
                                           std::uint32_t attributes);

// Starts a "run" location; StartLocation (updater/process/start_location.h)
// on the real system.
using ProgramStarter = std::function<platform::StartResult(
    const std::string& location, const std::string& parameters, const std::string& folder)>;

// Waits until a started child ends or cancel is set (checked every step_ms).
// True when it ended; on a cancel the child is let run on by itself.
bool WaitForChild(platform::ProcessId pid, const std::atomic<bool>& cancel,
                  std::int64_t step_ms = 100);
