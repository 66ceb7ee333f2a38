#include "updater/description/versions.h"

#include <cstdio>
#include <optional>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/file_version.h"
#include "updater/core/text.h"
#include "updater/description/md5.h"

namespace {

// Candidate separators in their order of preference.
constexpr std::string_view kSeparators = ".,_|- ";

// The separator of a version text, or '\0' when it has none (one part).
char SeparatorOf(std::string_view text) {
  for (char c : kSeparators)
    if (text.find(c) != std::string_view::npos) return c;
  return '\0';
}

// Hands out the numbers of a version text's parts, left to right, without
// building a list of them first.
class VersionParts {
 public:
  explicit VersionParts(std::string_view text) : rest_(text), separator_(SeparatorOf(text)) {}

  // The number of the next part; 0 once every part has been read.
  std::int32_t Next() {
    if (done_) return 0;
    std::string_view part = rest_;
    std::size_t pos = separator_ != '\0' ? rest_.find(separator_) : std::string_view::npos;
    if (pos == std::string_view::npos) {
      done_ = true;
    } else {
      part = rest_.substr(0, pos);
      rest_.remove_prefix(pos + 1);
    }
    std::string compact;
    compact.reserve(part.size());
    for (char c : part)
      if (c != ' ') compact.push_back(c);
    return StringToInt(compact);
  }

 private:
  std::string_view rest_;
  char separator_;
  bool done_ = false;
};

std::optional<platform::LocalTime> ModificationTime(const std::string& path) {
  if (!platform::FileExists(path)) return std::nullopt;
  std::optional<std::int64_t> seconds = platform::FileModificationTime(path);
  if (!seconds) return std::nullopt;
  return platform::ToLocalTime(*seconds);
}

}  // namespace

std::int32_t CompareVersions(std::string_view a, std::string_view b) {
  VersionParts parts_a(a);
  VersionParts parts_b(b);
  for (int i = 0; i < kMaxVersionParts; ++i) {
    std::int32_t number_a = parts_a.Next();
    std::int32_t number_b = parts_b.Next();
    if (number_a < number_b) return kVersionOlder;
    if (number_a > number_b) return kVersionNewer;
  }
  return kVersionEqual;
}

std::string GetFileVersionString(const std::string& path) {
  if (!platform::FileExists(path)) return kNoFileVersion;
  return platform::ReadFileVersion(path).value_or(kNoFileVersion);
}

std::string GetFileDate(const std::string& path) {
  std::optional<platform::LocalTime> time = ModificationTime(path);
  if (!time) return kMissingFileDate;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", time->year, time->month, time->day);
  return text;
}

std::string GetFileDateTime(const std::string& path) {
  std::optional<platform::LocalTime> time = ModificationTime(path);
  if (!time) return kMissingFileDateTime;
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d/%02d:%02d:%02d", time->year, time->month,
                time->day, time->hour, time->minute, time->second);
  return text;
}

std::string GetFileDigest(const std::string& path) {
  if (!platform::FileExists(path)) return "";
  std::optional<FileDigest> digest = Md5OfFile(path);
  if (!digest || digest->size == 0) return "";
  return digest->hex;
}
