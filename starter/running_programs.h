#pragma once
// Whether a program is running, judged from a list of processes.

#include <string>
#include <vector>

#include "platform/process.h"

// True when a process runs a program file whose name (without folder) is
// file_name, compared exactly, letter case included. The executable's path is
// used; for a process whose executable cannot be read, the first word of its
// command line.
bool IsProgramNameRunning(const std::vector<platform::ProcessInfo>& processes,
                          const std::string& file_name);

// True when a process runs the program file at path, comparing the full path of
// its executable exactly. A process whose executable cannot be read never matches.
bool IsProgramPathRunning(const std::vector<platform::ProcessInfo>& processes,
                          const std::string& path);
