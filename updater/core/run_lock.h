#pragma once
// One run per application at a time: the run lock is an exclusive lock on
// "updater_<name>.lock" in the user's private temporary folder, held from the
// start-up until the process ends. A second start for the same application
// finds it taken and ends at once, before it touches the application's
// temporary folder or its log; it says so on standard error and in one line
// appended to the log of the run that holds the lock.

#include <string>

#include "platform/file_lock.h"

// The lock file of an application in a temporary folder (ending with a separator).
std::string RunLockPath(const std::string& temp_folder, const std::string& application_name);

class CRunLock {
 public:
  // Takes the application's lock without waiting. False when another run holds
  // it (then told as above) or the lock file cannot be opened (told on standard
  // error).
  bool Take(const std::string& temp_folder, const std::string& application_name);
  bool Held() const { return lock_.held(); }

 private:
  platform::FileLock lock_;
};

// Appends one line to an existing log (UTF-16LE, CR LF), never creating,
// truncating or following a link; false when the log is not there.
bool AppendLineToLog(const std::string& path, const std::string& line);
