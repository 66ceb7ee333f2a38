#pragma once
// Reads a small text file (an XML file of the updater) whole into UTF-8.

#include <cstdint>
#include <string>

// Files above this size are not read.
inline constexpr std::uint64_t kMaxTextFileBytes = 16ull * 1024 * 1024;

// The text of the file at path, or "" when it cannot be read or is larger than
// kMaxTextFileBytes. With the byte-order mark 0xFF 0xFE the rest is UTF-16LE,
// with 0xFE 0xFF UTF-16BE;
// otherwise the bytes are UTF-8 when valid (a UTF-8 byte-order mark is dropped)
// and Windows-1252 when not. The text ends at the first zero character. When
// that zero comes early -- the text before it is shorter than (bytes read / 2)
// - 20 code units, as with UTF-16 written without byte-order mark -- the result
// is "". The length is measured in code units of the stored form (bytes, or
// UTF-16 units), so UTF-8 text with many multi-byte characters is not mistaken
// for a cut-off one.
std::string ReadTextFile(const std::string& path);
