#include "updater/tasks/download/download_rules.h"

#include <algorithm>
#include <cstdio>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/path.h"

namespace {

std::optional<platform::LocalTime> LocalTimeOf(std::int64_t modified) {
  if (modified < 0) return std::nullopt;
  return platform::ToLocalTime(modified);
}

}  // namespace

std::string ResumeStamp(std::int64_t modified) {
  auto t = LocalTimeOf(modified);
  if (!t || t->year < 0 || t->year > 9999) return std::string(kUnknownResumeStamp);
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", t->year, t->month, t->day, t->hour,
                t->minute, t->second);
  return text;
}

std::string ResumeFileBytes(std::string_view stamp) {
  std::string bytes;
  for (char c : stamp) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

std::optional<std::string> ParseResumeFile(std::string_view bytes) {
  if (bytes.size() != 28) return std::nullopt;
  std::string stamp;
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    char c = bytes[i];
    if (bytes[i + 1] != '\0' || c < '0' || c > '9') return std::nullopt;
    stamp += c;
  }
  return stamp;
}

std::optional<std::string> KnownResumeStamp(const std::string& path) {
  if (!platform::FileExists(path)) return std::nullopt;
  auto bytes = platform::ReadFile(ResumeFilePath(path), 64);
  if (!bytes) return std::nullopt;
  auto stamp = ParseResumeFile(*bytes);
  if (!stamp || *stamp == kUnknownResumeStamp) return std::nullopt;
  return stamp;
}

bool IsResumeFileValid(const std::string& path, std::int64_t remote_modified) {
  const std::optional<std::string> stamp = KnownResumeStamp(path);
  return stamp && *stamp == ResumeStamp(remote_modified);
}

std::string FormatRemoteDate(std::int64_t modified) {
  auto t = LocalTimeOf(modified);
  if (!t) return "1970-01-01";
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", t->year, t->month, t->day);
  return text;
}

std::string FormatRemoteDateTime(std::int64_t modified) {
  auto t = LocalTimeOf(modified);
  if (!t) return "1970-01-01/00:00:00";
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d/%02d:%02d:%02d", t->year, t->month, t->day,
                t->hour, t->minute, t->second);
  return text;
}

std::string UrlLastComponent(std::string_view url) { return platform::FileNameOf(url); }

std::string FileNameFromUrl(std::string_view url, std::string_view fallback) {
  std::size_t cut = url.find_first_of("?#");
  if (cut != std::string_view::npos) url = url.substr(0, cut);
  std::size_t scheme = url.find("://");
  if (scheme != std::string_view::npos) {
    url.remove_prefix(scheme + 3);
    std::size_t path = url.find_first_of("/\\");
    // Only a host: no file name.
    url = path == std::string_view::npos ? std::string_view() : url.substr(path);
  }
  std::string name = UrlLastComponent(url);
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == ':') c = '_';
  if (name.size() > 255) name.resize(255);
  if (name.empty() || name == "." || name == "..") return std::string(fallback);
  return name;
}
