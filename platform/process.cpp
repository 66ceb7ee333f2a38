// The parts of the process layer that are the same on every platform.

#include "platform/process.h"

namespace platform {

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
