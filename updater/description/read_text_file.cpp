#include "updater/description/read_text_file.h"

#include <string_view>

#include "platform/file_system.h"
#include "updater/core/text.h"

std::string ReadTextFile(const std::string& path) {
  std::optional<std::string> read = platform::ReadFile(path, kMaxTextFileBytes);
  if (!read) return "";
  const std::string_view bytes = *read;

  // The stored text up to its first zero character, and its length in code units.
  std::string_view stored;
  std::size_t units = 0;
  if (Utf16BomOf(bytes)) {
    std::size_t end = 2;
    while (end + 1 < bytes.size() && (bytes[end] != '\0' || bytes[end + 1] != '\0')) end += 2;
    stored = bytes.substr(0, end);
    units = (end - 2) / 2;
  } else {
    const std::size_t zero = bytes.find('\0');
    stored = bytes.substr(0, zero);
    units = stored.size();
  }

  const std::size_t half = bytes.size() / 2;
  if (half > 20 && units < half - 20) return "";
  return DecodeTextFile(stored);
}
