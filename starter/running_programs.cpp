#include "starter/running_programs.h"

#include <algorithm>
#include <string_view>

#include "platform/file_system.h"
#include "platform/path.h"

bool IsProgramNameRunning(const std::vector<platform::ProcessInfo>& processes,
                          const std::string& file_name) {
  if (file_name.empty()) return false;
  return std::any_of(processes.begin(), processes.end(),
                     [&file_name](const platform::ProcessInfo& process) {
                       const std::string& program =
                           process.executable.empty() ? process.first_word : process.executable;
                       return !program.empty() && platform::FileNameOf(program) == file_name;
                     });
}

bool IsProgramPathRunning(const std::vector<platform::ProcessInfo>& processes,
                          const std::string& path) {
  if (path.empty()) return false;
  return std::any_of(
      processes.begin(), processes.end(),
      [&path](const platform::ProcessInfo& process) { return process.executable == path; });
}
