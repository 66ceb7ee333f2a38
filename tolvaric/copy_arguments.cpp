#include "tolvaric/copy_arguments.h"

#include <algorithm>

namespace {

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

void SkipWhiteSpace(std::string_view& text) {
  while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
}

bool Usable(const std::optional<std::string>& argument) {
  return argument && !argument->empty() && argument->size() <= kMaxCopyArgumentBytes;
}

}  // namespace

std::optional<std::string> TakeCopyArgument(std::string_view& text) {
  if (text.empty()) return std::nullopt;
  const char end_character = text.front() == '"' ? '"' : ' ';
  std::size_t end = text.find(end_character, 1);
  std::string argument(text.substr(0, end));
  std::erase(argument, '"');
  text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  SkipWhiteSpace(text);
  return argument;
}

std::optional<CopyArguments> ParseCopyArguments(std::string_view command_line) {
  SkipWhiteSpace(command_line);
  std::optional<std::string> source = TakeCopyArgument(command_line);
  std::optional<std::string> destination = TakeCopyArgument(command_line);
  if (!Usable(source) || !Usable(destination)) return std::nullopt;
  return CopyArguments{std::move(*source), std::move(*destination)};
}
