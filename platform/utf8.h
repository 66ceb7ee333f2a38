#pragma once
// UTF-8 sequences: the one decoder and encoder of the program (the text
// helpers, the registry names and the desktop entries build on it).

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// One decoded sequence: its code point and its length in bytes; length 0 when
// the bytes at that place are not valid UTF-8 (a byte that cannot begin a
// sequence, a sequence cut short or with a wrong continuation byte, an overlong
// form, a surrogate, a value beyond U+10FFFF); the code point is then 0.
struct Utf8Sequence {
  char32_t code_point = 0;
  std::size_t length = 0;
};

// Decodes the sequence that begins at text[at]; at must be below text.size().
Utf8Sequence DecodeUtf8At(std::string_view text, std::size_t at);

// Appends the UTF-8 bytes of a code point (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t code_point);

// The text with every letter lower-cased (platform::LowerCodePoint); bytes
// that are not valid UTF-8 stay as they are.
std::string FoldCase(std::string_view text);

}  // namespace platform
