#include "updater/description/md5.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "platform/file_system.h"

namespace {

constexpr std::array<std::uint32_t, 64> kSines = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr std::array<int, 64> kShifts = {
    7,  12, 17, 22, 7,  12, 17, 22, 7,  12, 17, 22, 7,  12, 17, 22, 5,  9,  14, 20, 5,  9,
    14, 20, 5,  9,  14, 20, 5,  9,  14, 20, 4,  11, 16, 23, 4,  11, 16, 23, 4,  11, 16, 23,
    4,  11, 16, 23, 6,  10, 15, 21, 6,  10, 15, 21, 6,  10, 15, 21, 6,  10, 15, 21};

std::uint32_t RotateLeft(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

}  // namespace

CMd5::CMd5() { Reset(); }

void CMd5::Reset() {
  state_ = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  length_ = 0;
  buffered_ = 0;
}

void CMd5::Transform(const std::uint8_t* block) {
  std::array<std::uint32_t, 16> words{};
  for (std::size_t i = 0; i < 16; ++i) {
    words[i] = static_cast<std::uint32_t>(block[4 * i]) |
               static_cast<std::uint32_t>(block[4 * i + 1]) << 8 |
               static_cast<std::uint32_t>(block[4 * i + 2]) << 16 |
               static_cast<std::uint32_t>(block[4 * i + 3]) << 24;
  }
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (std::size_t i = 0; i < 64; ++i) {
    std::uint32_t f;
    std::size_t g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    std::uint32_t rotated = RotateLeft(a + f + kSines[i] + words[g], kShifts[i]);
    a = d;
    d = c;
    c = b;
    b = b + rotated;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void CMd5::Update(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  length_ += size;
  if (buffered_ > 0) {
    std::size_t take = std::min(size, buffer_.size() - buffered_);
    std::copy(bytes, bytes + take, buffer_.begin() + static_cast<std::ptrdiff_t>(buffered_));
    buffered_ += take;
    bytes += take;
    size -= take;
    if (buffered_ < buffer_.size()) return;
    Transform(buffer_.data());
    buffered_ = 0;
  }
  while (size >= buffer_.size()) {
    Transform(bytes);
    bytes += buffer_.size();
    size -= buffer_.size();
  }
  std::copy(bytes, bytes + size, buffer_.begin());
  buffered_ = size;
}

Md5Digest CMd5::Final() {
  std::uint64_t bit_length = length_ * 8;
  std::array<std::uint8_t, 72> padding{};
  padding[0] = 0x80;
  // Pad to 56 bytes modulo 64, then append the length in bits, low byte first.
  std::size_t pad = (buffered_ < 56) ? 56 - buffered_ : 120 - buffered_;
  Update(padding.data(), pad);
  std::array<std::uint8_t, 8> length_bytes{};
  for (std::size_t i = 0; i < 8; ++i)
    length_bytes[i] = static_cast<std::uint8_t>(bit_length >> (8 * i));
  Update(length_bytes.data(), length_bytes.size());
  Md5Digest digest{};
  for (std::size_t i = 0; i < 4; ++i) {
    for (std::size_t j = 0; j < 4; ++j)
      digest[4 * i + j] = static_cast<std::uint8_t>(state_[i] >> (8 * j));
  }
  Reset();
  return digest;
}

std::string CMd5::ToHex(const Md5Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(32);
  for (std::uint8_t byte : digest) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0f]);
  }
  return text;
}

std::string CMd5::HexOf(std::string_view bytes) {
  CMd5 md5;
  md5.Update(bytes);
  return ToHex(md5.Final());
}

std::optional<FileDigest> Md5OfFile(const std::string& path) {
  if (!platform::FileExists(path)) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::vector<char> chunk(kMd5FileChunk);
  CMd5 md5;
  FileDigest result;
  while (true) {
    file.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    std::streamsize got = file.gcount();
    if (file.bad()) return std::nullopt;
    if (got > 0) {
      md5.Update(chunk.data(), static_cast<std::size_t>(got));
      result.size += static_cast<std::uint64_t>(got);
    }
    if (!file) break;  // end of file reached (failbit with eofbit)
  }
  if (!file.eof()) return std::nullopt;
  result.hex = CMd5::ToHex(md5.Final());
  return result;
}
