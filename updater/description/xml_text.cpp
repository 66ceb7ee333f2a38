#include "updater/description/xml_text.h"

#include <cstdint>

#include "updater/core/text.h"

namespace {

struct NamedEntity {
  std::u16string_view reference;
  char16_t character;
};

constexpr NamedEntity kNamedEntities[] = {
    {u"&lt;", u'<'}, {u"&amp;", u'&'}, {u"&gt;", u'>'}, {u"&apos;", u'\''}, {u"&quot;", u'"'},
};

// A ";" must stand among this many characters after "&#" or "&#x".
constexpr std::size_t kReferenceWindow = 8;

int DigitValue(char16_t c, bool hex) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (!hex) return -1;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads digits as the C library's wcstol does in base 10 or 16 (a "0x" prefix
// is allowed in base 16); stops at the first character that is no digit.
std::uint32_t ReadNumber(std::u16string_view digits, bool hex) {
  std::size_t i = 0;
  if (hex && digits.size() > 2 && digits[0] == u'0' && (digits[1] == u'x' || digits[1] == u'X') &&
      DigitValue(digits[2], true) >= 0) {
    i = 2;
  }
  std::uint64_t value = 0;
  for (; i < digits.size(); ++i) {
    int digit = DigitValue(digits[i], hex);
    if (digit < 0) break;
    value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return 0xFFFFFFFFu;
  }
  return static_cast<std::uint32_t>(value);
}

// Decodes a numeric reference at text[at] ("&#..."). Returns the offset after
// its ";" or 0 when it is left undecoded.
std::size_t DecodeNumericReference(std::u16string_view text, std::size_t at, std::u16string& out) {
  std::size_t digits = at + 2;
  bool hex = digits < text.size() && text[digits] == u'x';
  if (hex) ++digits;
  if (digits >= text.size() || DigitValue(text[digits], hex) < 0) return 0;
  std::size_t window_end = std::min(text.size(), digits + kReferenceWindow);
  std::size_t semicolon = text.substr(0, window_end).find(u';', digits);
  if (semicolon == std::u16string_view::npos) return 0;
  std::uint32_t value = ReadNumber(text.substr(digits, semicolon - digits), hex);
  if (value == 0 || value > 0x10FFFF) return 0;
  if (value <= 0xFFFF) {
    out += static_cast<char16_t>(value);
  } else {
    value -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (value >> 10));
    out += static_cast<char16_t>(0xDC00 + (value & 0x3FF));
  }
  return semicolon + 1;
}

}  // namespace

std::u16string DecodeXmlText(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != u'&') {
      out += text[i++];
      continue;
    }
    std::u16string_view rest = text.substr(i);
    bool decoded = false;
    for (const NamedEntity& entity : kNamedEntities) {
      if (rest.starts_with(entity.reference)) {
        out += entity.character;
        i += entity.reference.size();
        decoded = true;
        break;
      }
    }
    if (decoded) continue;
    if (rest.starts_with(u"&#")) {
      std::size_t after = DecodeNumericReference(text, i, out);
      if (after != 0) {
        i = after;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

std::string DecodeXmlText(std::string_view utf8) {
  return Utf16ToUtf8(DecodeXmlText(Utf8ToUtf16(utf8)));
}

std::u16string EscapeXmlText(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    switch (c) {
      case u'&':
        out += u"&amp;";
        break;
      case u'<':
        out += u"&lt;";
        break;
      case u'>':
        out += u"&gt;";
        break;
      case u'\'':
        out += u"&apos;";
        break;
      case u'"':
        out += u"&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string EscapeXmlText(std::string_view utf8) {
  return Utf16ToUtf8(EscapeXmlText(Utf8ToUtf16(utf8)));
}
