#include "platform/command_line.h"

#include <string_view>

#include "platform/win32/wide.h"

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

}  // namespace platform
