#include "updater/description/sha256.h"

#include <sodium.h>

#include <vector>

#include "platform/file_reader.h"
#include "platform/file_system.h"

namespace {

std::string HexOf(const unsigned char* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0x0f]);
  }
  return text;
}

}  // namespace

bool IsSha256Text(std::string_view text) {
  if (text.size() != kSha256HexDigits) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

std::string Sha256Hex(std::string_view bytes) {
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return HexOf(digest, sizeof digest);
}

std::optional<std::string> Sha256OfFile(const std::string& path) {
  if (!platform::FileExists(path)) return std::nullopt;
  platform::FileReader file;
  if (!file.Open(path)) return std::nullopt;
  std::vector<char> chunk(kSha256FileChunk);
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  for (;;) {
    std::optional<std::size_t> got = file.Read(chunk.data(), chunk.size());
    if (!got) return std::nullopt;
    if (*got == 0) break;
    crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(chunk.data()), *got);
  }
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256_final(&state, digest);
  return HexOf(digest, sizeof digest);
}
