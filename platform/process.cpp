// The parts of the process layer that are the same on every platform.

#include "platform/process.h"

#include <algorithm>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/system_paths.h"
#include "platform/utf8.h"

namespace platform {
namespace {

bool SameFileName(std::string_view a, std::string_view b, bool ignore_case) {
  return a == b || (ignore_case && FoldCase(a) == FoldCase(b));
}

// The comparable form of a path: platform separators, absolute, no "." or "..".
std::string ComparablePath(const std::string& path) { return FullPath(NormalizeSeparators(path)); }

// Whether a program path (the executable, or the first word of a command line)
// names the wanted program.
bool PathNames(const std::string& program, const std::string& wanted, bool wanted_is_path,
               bool ignore_case) {
  if (program.empty()) return false;
  if (!SameFileName(FileNameOf(program), FileNameOf(wanted), ignore_case)) return false;
  if (!wanted_is_path) return true;
  if (!IsAbsolutePath(program)) return false;
  return FolderOf(ComparablePath(program)) == FolderOf(ComparablePath(wanted));
}

}  // namespace

bool ProcessRunsProgram(const ProcessInfo& process, const std::string& program,
                        ProgramLookup lookup) {
  if (program.empty() || FileNameOf(program).empty()) return false;
  const bool is_path = std::any_of(program.begin(), program.end(), IsAnyPathSeparator);
  return PathNames(process.executable, program, is_path, lookup.ignore_case) ||
         (lookup.command_line_too &&
          PathNames(process.first_word, program, is_path, lookup.ignore_case));
}

std::vector<ProcessInfo> UsersProcessesRunning(std::vector<ProcessInfo> processes, ProcessId self,
                                               const std::string& program, ProgramLookup lookup) {
  std::erase_if(processes, [&](const ProcessInfo& process) {
    return !process.own || process.pid == self || !ProcessRunsProgram(process, program, lookup);
  });
  return processes;
}

std::vector<std::string> SplitCommandLine(std::string_view parameters) {
  std::vector<std::string> arguments;
  std::string current;
  bool in_argument = false;  // an argument has begun (it may still be empty: "")
  bool quoted = false;
  std::size_t i = 0;
  while (i < parameters.size()) {
    char c = parameters[i];
    if (c == '\\') {
      std::size_t backslashes = 0;
      while (i < parameters.size() && parameters[i] == '\\') {
        ++backslashes;
        ++i;
      }
      in_argument = true;
      if (i < parameters.size() && parameters[i] == '"') {
        current.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          current.push_back('"');  // an escaped quote
          ++i;
        }
        // An even count leaves the quote to act below.
      } else {
        current.append(backslashes, '\\');
      }
      continue;
    }
    if (c == '"') {
      in_argument = true;
      if (quoted && i + 1 < parameters.size() && parameters[i + 1] == '"') {
        current.push_back('"');  // "" inside a quoted part
        i += 2;
        continue;
      }
      quoted = !quoted;
      ++i;
      continue;
    }
    if ((c == ' ' || c == '\t') && !quoted) {
      if (in_argument) {
        arguments.push_back(std::move(current));
        current.clear();
        in_argument = false;
      }
      ++i;
      continue;
    }
    current.push_back(c);
    in_argument = true;
    ++i;
  }
  if (in_argument) arguments.push_back(std::move(current));
  return arguments;
}

namespace {

void AppendQuoted(std::string& line, std::string_view argument) {
  const bool plain =
      !argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos;
  if (plain) {
    line += argument;
    return;
  }
  line += '"';
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      line.append(backslashes * 2 + 1, '\\');
    } else {
      line.append(backslashes, '\\');
    }
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, '\\');
  line += '"';
}

}  // namespace

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) line += ' ';
    AppendQuoted(line, arguments[i]);
  }
  return line;
}

namespace {

class SystemControl : public IProcessControl {
 public:
  std::vector<ProcessInfo> ListProcesses() override { return platform::ListProcesses(); }
  ProcessId CurrentProcessId() override { return platform::CurrentProcessId(); }
  Status TerminateProcess(const ProcessInfo& process, bool force) override {
    return platform::TerminateProcess(process, force);
  }
  bool WaitForProcessesToEnd(const std::vector<ProcessId>& pids, std::int64_t timeout_ms) override {
    return platform::WaitForProcessesToEnd(pids, timeout_ms);
  }
};

}  // namespace

IProcessControl& SystemProcessControl() {
  static SystemControl control;
  return control;
}

}  // namespace platform
