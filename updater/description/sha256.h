#pragma once
// SHA-256 digests (libsodium), of bytes and of files read in chunks, as 64
// lower-case hexadecimal digits: the form of the update file's "sha256"
// attributes.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::size_t kSha256HexDigits = 64;
inline constexpr std::size_t kSha256FileChunk = 64 * 1024;

// True for exactly 64 lower-case hexadecimal digits.
bool IsSha256Text(std::string_view text);
std::string Sha256Hex(std::string_view bytes);
// The digest of a regular file, read in chunks; nullopt when it is not a
// regular file, cannot be opened or a read fails part-way.
std::optional<std::string> Sha256OfFile(const std::string& path);
