#include "tools/release/release_text.h"

#include <cstdint>

#include "platform/path.h"
#include "updater/core/text.h"
#include "updater/core/updater_paths.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsAsciiAlphaNumeric(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool HasControlCharacter(std::string_view text) {
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

// The first placeholder or constant name found in the text at or after `from`.
std::optional<std::string_view> SubstitutedPart(std::string_view text, std::size_t from) {
  for (std::string_view placeholder : kFolderPlaceholders)
    if (text.find(placeholder, from) != std::string_view::npos) return placeholder;
  for (std::string_view placeholder : kCredentialPlaceholders)
    if (text.find(placeholder, from) != std::string_view::npos) return placeholder;
  for (const TextConstant& constant : kTextConstants)
    if (text.find(constant.name, from) != std::string_view::npos) return constant.name;
  return std::nullopt;
}

// Problems that names and paths share.
std::optional<std::string> CommonTextProblem(std::string_view text, std::size_t max_bytes) {
  if (text.empty()) return "it is empty";
  if (text.size() > max_bytes) return "it is longer than " + std::to_string(max_bytes) + " bytes";
  if (!IsValidUtf8(text)) return "it is not UTF-8 text";
  if (HasControlCharacter(text)) return "it holds a control character";
  return std::nullopt;
}

}  // namespace

bool IsDottedVersion(std::string_view text) {
  std::size_t parts = 0;
  std::size_t start = 0;
  while (true) {
    std::size_t dot = text.find('.', start);
    std::string_view part =
        text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (part.empty() || part.size() > 9) return false;
    for (char c : part)
      if (!IsDigit(c)) return false;
    if (++parts > 4) return false;
    if (dot == std::string_view::npos) return true;
    start = dot + 1;
  }
}

std::optional<std::string> BaseUrlProblem(std::string_view url) {
  if (url.size() > kMaxBaseUrlBytes)
    return "it is longer than " + std::to_string(kMaxBaseUrlBytes) + " bytes";
  std::string lower = ToLower(url);
  std::size_t scheme_end = 0;
  if (StartsWith(lower, "https://"))
    scheme_end = 8;
  else if (StartsWith(lower, "http://"))
    scheme_end = 7;
  else
    return "it does not begin with http:// or https://";
  for (char c : url) {
    auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) return "it holds a blank, a control or a non-ASCII character";
    if (std::string_view("\"'<>&\\").find(c) != std::string_view::npos)
      return std::string("it holds the character ") + c;
    if (c == '?' || c == '#') return "it holds a query or a fragment";
  }
  std::string_view rest = url.substr(scheme_end);
  if (rest.empty() || rest.front() == '/') return "it names no host";
  if (auto part = SubstitutedPart(url, 0))
    return "the updater would replace \"" + std::string(*part) + "\" in it";
  return std::nullopt;
}

std::optional<std::string> RelativePathProblem(std::string_view relative) {
  if (auto problem = CommonTextProblem(relative, kMaxRelativePathBytes)) return problem;
  if (relative.find('\\') != std::string_view::npos)
    return std::string("it holds a backslash, which the updater reads as a folder separator");
  std::size_t start = 0;
  while (true) {
    std::size_t slash = relative.find('/', start);
    std::string_view component = relative.substr(
        start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
    // "." and "..", and other names of dots and blanks only, name the folder
    // itself or its parent on some systems.
    if (component.find_first_not_of(". ") == std::string_view::npos)
      return std::string("it has an empty component or one of dots and blanks only (like \"..\")");
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  // The installed location is "%app%" followed by the path; the reader must
  // replace nothing but that first placeholder.
  const std::string location = "%app%" + std::string(relative);
  if (auto part = SubstitutedPart(location, 1))
    return "the updater would replace \"" + std::string(*part) + "\" in it";
  if (ApplyTextConstants("%app%" + ElementText(relative)) != location)
    return std::string("the updater would not read it back unchanged");
  return std::nullopt;
}

std::optional<std::string> ApplicationNameProblem(std::string_view name) {
  if (auto problem = CommonTextProblem(name, kMaxApplicationNameBytes)) return problem;
  if (auto part = SubstitutedPart(name, 0))
    return "the updater would replace \"" + std::string(*part) + "\" in it";
  return std::nullopt;
}

std::string PercentEncodePath(std::string_view relative) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(relative.size());
  for (char c : relative) {
    if (IsAsciiAlphaNumeric(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      out.push_back(c);
      continue;
    }
    auto byte = static_cast<unsigned char>(c);
    out.push_back('%');
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0xF]);
  }
  return out;
}

std::string ElementText(std::string_view value, bool* used) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    bool replaced = false;
    for (const TextConstant& constant : kTextConstants) {
      if (c == constant.character) {
        out += constant.name;
        replaced = true;
        if (used) *used = true;
        break;
      }
    }
    if (!replaced) out.push_back(c);
  }
  return out;
}

std::string ApplyTextConstants(std::string_view value) {
  std::string out(value);
  for (const TextConstant& constant : kTextConstants)
    out = ReplaceAll(out, constant.name, std::string_view(&constant.character, 1));
  return out;
}

std::string TemporaryDownloadName(std::size_t index, std::string_view relative) {
  constexpr std::size_t kMaxNameChars = 64;
  const std::string file_name = platform::FileNameOf(relative);
  std::string safe;
  for (char c : file_name) {
    if (safe.size() == kMaxNameChars) break;
    safe.push_back(IsAsciiAlphaNumeric(c) || c == '.' || c == '-' || c == '_' ? c : '_');
  }
  if (safe.find('.') == std::string::npos) safe += ".download";
  std::string number = std::to_string(index);
  if (number.size() < 4) number.insert(0, 4 - number.size(), '0');
  return number + "-" + safe;
}
