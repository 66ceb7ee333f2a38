#include "updater/core/text.h"

#include <array>
#include <limits>
#include <vector>

#include "platform/unicode_case.h"
#include "platform/utf8.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[i]; advances i. Invalid input gives U+FFFD
// and advances by one byte.
char32_t DecodeUtf8(std::string_view text, std::size_t& i, bool* valid = nullptr) {
  const platform::Utf8Sequence sequence = platform::DecodeUtf8At(text, i);
  if (sequence.length == 0) {
    if (valid) *valid = false;
    ++i;
    return kReplacement;
  }
  i += sequence.length;
  return sequence.code_point;
}

using platform::AppendUtf8;

// Code points of Windows-1252 bytes 0x80 to 0x9F (0 where the byte is unassigned;
// those bytes map to the C1 control of the same number, as Windows does).
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = DecodeUtf8(text, i);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  bool valid = true;
  for (std::size_t i = 0; i < text.size() && valid;) DecodeUtf8(text, i, &valid);
  return valid;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    unsigned char b = static_cast<unsigned char>(ch);
    char32_t cp = b;
    if (b >= 0x80 && b <= 0x9F && kCp1252High[b - 0x80] != 0) cp = kCp1252High[b - 0x80];
    AppendUtf8(out, cp);
  }
  return out;
}

std::string Utf8ToWindows1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = DecodeUtf8(text, i);
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out += static_cast<char>(cp);
      continue;
    }
    char mapped = '?';
    for (std::size_t k = 0; k < kCp1252High.size(); ++k) {
      if (kCp1252High[k] == cp || (kCp1252High[k] == 0 && cp == 0x80 + k)) {
        mapped = static_cast<char>(0x80 + k);
        break;
      }
    }
    out += mapped;
  }
  return out;
}

std::optional<TextEncoding> Utf16BomOf(std::string_view bytes) {
  if (bytes.size() < 2) return std::nullopt;
  const unsigned char first = static_cast<unsigned char>(bytes[0]);
  const unsigned char second = static_cast<unsigned char>(bytes[1]);
  if (first == 0xFF && second == 0xFE) return TextEncoding::kUtf16LeBom;
  if (first == 0xFE && second == 0xFF) return TextEncoding::kUtf16BeBom;
  return std::nullopt;
}

std::u16string Utf16Units(std::string_view bytes, TextEncoding order) {
  const bool big_endian = order == TextEncoding::kUtf16BeBom;
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned char first = static_cast<unsigned char>(bytes[i]);
    const unsigned char second = static_cast<unsigned char>(bytes[i + 1]);
    units += static_cast<char16_t>(big_endian ? (first << 8) | second : first | (second << 8));
  }
  return units;
}

std::string DecodeTextFile(std::string_view bytes, TextEncoding* encoding) {
  auto set = [&](TextEncoding e) {
    if (encoding) *encoding = e;
  };
  if (std::optional<TextEncoding> utf16 = Utf16BomOf(bytes)) {
    set(*utf16);
    return Utf16ToUtf8(Utf16Units(bytes.substr(2), *utf16));
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    set(TextEncoding::kUtf8Bom);
    std::string_view rest = bytes.substr(3);
    return IsValidUtf8(rest) ? std::string(rest) : Windows1252ToUtf8(rest);
  }
  if (IsValidUtf8(bytes)) {
    set(TextEncoding::kUtf8);
    return std::string(bytes);
  }
  set(TextEncoding::kWindows1252);
  return Windows1252ToUtf8(bytes);
}

std::string EncodeTextFile(std::string_view text, TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf16LeBom:
    case TextEncoding::kUtf16BeBom: {
      const bool big_endian = encoding == TextEncoding::kUtf16BeBom;
      std::u16string units = Utf8ToUtf16(text);
      std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
      out.reserve(2 + units.size() * 2);
      for (char16_t u : units) {
        const char low = static_cast<char>(u & 0xFF);
        const char high = static_cast<char>(u >> 8);
        out += big_endian ? high : low;
        out += big_endian ? low : high;
      }
      return out;
    }
    case TextEncoding::kUtf8Bom:
      return "\xEF\xBB\xBF" + std::string(text);
    case TextEncoding::kWindows1252:
      return Utf8ToWindows1252(text);
    case TextEncoding::kUtf8:
      break;
  }
  return std::string(text);
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) units += DecodeUtf8(text, i) >= 0x10000 ? 2 : 1;
  return units;
}

std::string TruncateUtf16(std::string_view text, std::size_t max_units) {
  std::size_t units = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t next = i;
    std::size_t width = DecodeUtf8(text, next) >= 0x10000 ? 2 : 1;
    if (units + width > max_units) break;
    units += width;
    i = next;
  }
  return std::string(text.substr(0, i));
}

std::string ToLower(std::string_view text) { return platform::FoldCase(text); }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() == b.size() && a == b) return true;
  return ToLower(a) == ToLower(b);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool HasControlCharacter(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

std::string TrimSpaces(std::string_view text) {
  std::size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  std::size_t end = text.find_last_not_of(' ');
  return std::string(text.substr(begin, end - begin + 1));
}

std::string TrimWhitespace(std::string_view text) {
  const char* ws = " \t\r\n";
  std::size_t begin = text.find_first_not_of(ws);
  if (begin == std::string_view::npos) return {};
  std::size_t end = text.find_last_not_of(ws);
  return std::string(text.substr(begin, end - begin + 1));
}

std::int32_t StringToInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  const std::int64_t limit =
      negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
               : std::numeric_limits<std::int32_t>::max();
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value >= limit) {
      value = limit;
      // keep consuming digits; the value stays at the limit
    }
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  std::size_t pos = 0;
  for (;;) {
    std::size_t hit = text.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

std::string FillPlaceholders(std::string_view pattern,
                             std::initializer_list<std::string_view> args) {
  std::string out;
  auto next = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size()) {
      char d = pattern[i + 1];
      if (d == '%') {
        out += '%';
        ++i;
        continue;
      }
      if ((d == 's' || d == 'd') && next != args.end()) {
        out.append(*next++);
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}
