#include "starter/running_programs.h"

#include <algorithm>
#include <string_view>

#include "platform/file_system.h"
#include "platform/path.h"

namespace {

// The starter compares names exactly, letter case included, and a path with
// the executable only: a process whose program file cannot be read is not
// known to run it.
bool IsRunning(const std::vector<platform::ProcessInfo>& processes, const std::string& program,
               bool command_line_too) {
  constexpr platform::ProcessId kNoSelf = 0;  // the starter is neither of its programs
  return !platform::UsersProcessesRunning(
              processes, kNoSelf, program,
              {.ignore_case = false, .command_line_too = command_line_too})
              .empty();
}

}  // namespace

bool IsProgramNameRunning(const std::vector<platform::ProcessInfo>& processes,
                          const std::string& file_name) {
  // A bare name: a path would be looked for as a path.
  if (file_name.empty() || platform::FileNameOf(file_name) != file_name) return false;
  return IsRunning(processes, file_name, true);
}

bool IsProgramPathRunning(const std::vector<platform::ProcessInfo>& processes,
                          const std::string& path) {
  if (!platform::IsAbsolutePath(path)) return false;
  return IsRunning(processes, path, false);
}
