#include "platform/win32/wide.h"

#include "platform/utf8.h"

namespace platform {
namespace {

// 100-nanosecond ticks between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochTicks = 116444736000000000LL;
constexpr std::int64_t kTicksPerSecond = 10000000LL;

}  // namespace

std::wstring Widen(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    Utf8Sequence sequence = DecodeUtf8At(text, at);
    char32_t code_point = sequence.code_point;
    if (sequence.length == 0) {
      code_point = 0xFFFD;
      sequence.length = 1;
    }
    if (code_point >= 0x10000) {
      code_point -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (code_point >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (code_point & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(code_point));
    }
    at += sequence.length;
  }
  return out;
}

std::string Narrow(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t unit = static_cast<char16_t>(text[i]);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
      char32_t low = static_cast<char16_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;
    AppendUtf8(out, unit);
  }
  return out;
}

std::wstring WidePath(std::string_view path) {
  std::wstring wide = Widen(path);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  return wide;
}

std::string ErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (length > 0 && buffer) text = Narrow(std::wstring_view(buffer, length));
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  if (text.empty()) text = "error " + std::to_string(error);
  return text;
}

Status Failure(const std::string& what, const std::string& path, DWORD error) {
  return Status::Fail(what + " '" + path + "': " + ErrorText(error));
}

std::int64_t SecondsFromFileTime(const FILETIME& time) {
  ULARGE_INTEGER ticks;
  ticks.LowPart = time.dwLowDateTime;
  ticks.HighPart = time.dwHighDateTime;
  const std::int64_t value = static_cast<std::int64_t>(ticks.QuadPart) - kEpochTicks;
  // Rounded towards the earlier second, as the seconds of a POSIX time are.
  return value >= 0 ? value / kTicksPerSecond : -((-value + kTicksPerSecond - 1) / kTicksPerSecond);
}

FILETIME FileTimeFromSeconds(std::int64_t seconds) {
  ULARGE_INTEGER ticks;
  ticks.QuadPart = static_cast<ULONGLONG>(seconds * kTicksPerSecond + kEpochTicks);
  FILETIME time;
  time.dwLowDateTime = ticks.LowPart;
  time.dwHighDateTime = ticks.HighPart;
  return time;
}

}  // namespace platform
