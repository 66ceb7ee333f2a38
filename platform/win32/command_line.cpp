#include "platform/command_line.h"

#include <string_view>

#include "platform/win32/wide.h"
//
#include <shellapi.h>

namespace platform {

// Windows gives a program its command line as one text: the arguments are
// that text after the program name, as the caller wrote them. The program
// name ends at the next double quote when it begins with one, else at the
// first blank or tab (the rule of CommandLineToArgvW for the first word).
std::optional<std::string> ProgramArgumentText(int, const char* const*) {
  std::wstring_view line(::GetCommandLineW());
  std::size_t at = 0;
  if (!line.empty() && line[0] == L'"') {
    const std::size_t close = line.find(L'"', 1);
    at = close == std::wstring_view::npos ? line.size() : close + 1;
  } else {
    while (at < line.size() && line[at] != L' ' && line[at] != L'\t') ++at;
  }
  while (at < line.size() && (line[at] == L' ' || line[at] == L'\t')) ++at;
  return Narrow(line.substr(at));
}

// The arguments split as the C run-time splits them (CommandLineToArgvW), in
// UTF-8. Falls back on argv when the system cannot split the line.
std::vector<std::string> ProgramArguments(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) {
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) arguments.emplace_back(argv[i]);
    return arguments;
  }
  for (int i = 1; i < count; ++i) arguments.push_back(Narrow(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

}  // namespace platform
