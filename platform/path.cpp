#include "platform/path.h"

#include <vector>

#include "platform/file_system.h"

namespace platform {

bool IsAnyPathSeparator(char c) { return c == '/' || IsPathSeparator(c); }

bool IsAbsolutePath(std::string_view path) {
  if (path.empty()) return false;
  if (IsAnyPathSeparator(path[0])) return true;
  const bool drive_letter =
      (path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z');
  return PathSeparator() == '\\' && path.size() >= 3 && drive_letter && path[1] == ':' &&
         IsAnyPathSeparator(path[2]);
}

namespace {

std::size_t LastSeparator(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i)
    if (IsAnyPathSeparator(path[i - 1])) return i - 1;
  return std::string_view::npos;
}

}  // namespace

std::string FolderOf(std::string_view path) {
  const std::size_t last = LastSeparator(path);
  if (last == std::string_view::npos) return {};
  return std::string(path.substr(0, last == 0 ? 1 : last));
}

std::string FileNameOf(std::string_view path) {
  const std::size_t last = LastSeparator(path);
  return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string WithoutTrailingSeparators(std::string_view path) {
  while (path.size() > 1 && IsAnyPathSeparator(path.back())) path.remove_suffix(1);
  return std::string(path);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string joined(folder);
  if (!IsAnyPathSeparator(joined.back())) joined += PathSeparator();
  joined += name;
  return joined;
}

std::string CollapseDots(std::string_view absolute) {
  const char separator = PathSeparator();
  const bool trailing = absolute.size() > 1 && absolute.back() == separator;
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= absolute.size()) {
    std::size_t end = start;
    while (end < absolute.size() && absolute[end] != separator) ++end;
    const std::string_view part = absolute.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string out;
  for (std::string_view part : parts) {
    out += separator;
    out += part;
  }
  if (out.empty()) return std::string(1, separator);
  if (trailing) out += separator;
  return out;
}

}  // namespace platform
