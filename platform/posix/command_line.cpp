#include "platform/command_line.h"

#include <string_view>

namespace platform {

std::optional<std::string> ProgramArgumentText(int argc, const char* const* argv) {
  std::string text;
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    std::string_view argument(argv[i]);
    if (argument.find('"') != std::string_view::npos) return std::nullopt;
    if (!text.empty()) text += ' ';
    text += '"';
    text += argument;
    text += '"';
  }
  return text;
}

std::vector<std::string> ProgramArguments(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

}  // namespace platform
