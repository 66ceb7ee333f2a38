#pragma once
// MD5 (RFC 1321): an incremental digest and the digest of a file, read in
// chunks so that a large file is never held in memory whole.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using Md5Digest = std::array<std::uint8_t, 16>;

class CMd5 {
 public:
  CMd5();

  void Update(const void* data, std::size_t size);
  void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
  // Returns the digest of everything fed since construction or the last Final,
  // and starts over.
  Md5Digest Final();

  // The digest as 32 lower-case hexadecimal digits, each byte as two digits.
  static std::string ToHex(const Md5Digest& digest);
  // The lower-case hex digest of the bytes, in one call.
  static std::string HexOf(std::string_view bytes);

 private:
  void Reset();
  void Transform(const std::uint8_t* block);

  std::array<std::uint32_t, 4> state_{};
  std::uint64_t length_ = 0;  // bytes fed so far
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
};

// The digest of a file and how many bytes it had.
struct FileDigest {
  std::string hex;  // 32 lower-case hexadecimal digits
  std::uint64_t size = 0;
};

// The MD5 digest of a regular file, read in chunks of kMd5FileChunk bytes.
// nullopt when the path is not a regular file, cannot be opened, or a read
// fails part-way (a digest of part of a file is never returned). An empty file
// gives the digest of no bytes with size 0; callers that treat an empty file
// as having no digest look at the size.
inline constexpr std::size_t kMd5FileChunk = 64 * 1024;
std::optional<FileDigest> Md5OfFile(const std::string& path);
