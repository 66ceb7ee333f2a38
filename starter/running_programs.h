#pragma once
// Whether a program is running, judged from a list of processes: only this
// user's processes count (platform::UsersProcessesRunning).

#include <string>
#include <vector>

#include "platform/process.h"

// True when a process runs a program file whose name (without folder) is
// file_name, compared exactly, letter case included: the executable's path or
// the first word of its command line.
bool IsProgramNameRunning(const std::vector<platform::ProcessInfo>& processes,
                          const std::string& file_name);

// True when a process runs the program file at the absolute path, comparing
// the full path of its executable, letter case included. A process whose
// executable cannot be read never matches.
bool IsProgramPathRunning(const std::vector<platform::ProcessInfo>& processes,
                          const std::string& path);
