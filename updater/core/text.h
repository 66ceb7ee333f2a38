#pragma once
// Text helpers: UTF-8 inside the program, UTF-16 and Windows-1252 at the edges.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

// Converts UTF-8 to UTF-16; an invalid byte becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// Converts UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
bool IsValidUtf8(std::string_view text);
std::string Windows1252ToUtf8(std::string_view bytes);
// Characters that Windows-1252 cannot hold become '?'.
std::string Utf8ToWindows1252(std::string_view text);

// How a text file was stored.
enum class TextEncoding { kUtf8, kUtf8Bom, kUtf16LeBom, kWindows1252, kUtf16BeBom };
// The UTF-16 form the byte-order mark at the start of the bytes names:
// kUtf16LeBom for 0xFF 0xFE, kUtf16BeBom for 0xFE 0xFF, nullopt for neither.
std::optional<TextEncoding> Utf16BomOf(std::string_view bytes);
// The code units of UTF-16 bytes in the given byte order (kUtf16BeBom is
// big-endian, anything else little-endian); an odd last byte is dropped. No
// byte-order mark is looked for or removed.
std::u16string Utf16Units(std::string_view bytes, TextEncoding order);
// Decodes file bytes to UTF-8: UTF-16 (either byte order) with byte-order
// mark, UTF-8 (with or without byte-order mark), otherwise Windows-1252.
std::string DecodeTextFile(std::string_view bytes, TextEncoding* encoding = nullptr);
// Encodes UTF-8 text in the given form, byte-order mark included.
std::string EncodeTextFile(std::string_view text, TextEncoding encoding);

// Number of UTF-16 code units the UTF-8 text takes.
std::size_t Utf16Length(std::string_view text);
// Cuts the text so that it takes at most max_units UTF-16 code units, never inside a character.
std::string TruncateUtf16(std::string_view text, std::size_t max_units);

// Lower case of ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters.
std::string ToLower(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWith(std::string_view text, std::string_view prefix);

// True when the text holds a byte below 0x20 (tab, CR and LF included) or 0x7F.
bool HasControlCharacter(std::string_view text);

// Removes blanks (U+0020 only) from both ends.
std::string TrimSpaces(std::string_view text);
// Removes blanks, tabs, CR and LF from both ends.
std::string TrimWhitespace(std::string_view text);

// The C library's string-to-int: leading white space, an optional sign, then
// digits up to the first other character; 0 when there are none. Saturates at
// the 32-bit limits instead of overflowing.
std::int32_t StringToInt(std::string_view text);

// Replaces every occurrence of `from` in one pass from left to right; inserted
// text is not searched again.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// Fills "%s" and "%d" in order with the given texts ("%%" is a percent sign).
// The pattern is never handed to a printf-style routine, so a text from a file
// with stray format directives is safe; missing arguments leave the directive.
std::string FillPlaceholders(std::string_view pattern,
                             std::initializer_list<std::string_view> args);
