#include "updater/description/aes_encryptor.h"

#include "updater/core/text.h"

namespace {

std::uint8_t Times2(std::uint8_t x) {
  return static_cast<std::uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1b : 0));
}

std::uint8_t Multiply(std::uint8_t a, std::uint8_t b) {
  std::uint8_t product = 0;
  while (b != 0) {
    if (b & 1) product ^= a;
    a = Times2(a);
    b >>= 1;
  }
  return product;
}

// The S-box from its definition: the multiplicative inverse in GF(2^8)
// followed by the affine transformation. Computed once.
const std::array<std::uint8_t, 256>& SBox() {
  static const std::array<std::uint8_t, 256> box = [] {
    std::array<std::uint8_t, 256> inverse{};
    for (int x = 1; x < 256; ++x) {
      for (int y = 1; y < 256; ++y) {
        if (Multiply(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y)) == 1) {
          inverse[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(y);
          break;
        }
      }
    }
    std::array<std::uint8_t, 256> table{};
    for (std::size_t x = 0; x < 256; ++x) {
      std::uint8_t s = inverse[x];
      std::uint8_t result = 0x63;
      for (int i = 0; i < 5; ++i) {
        result ^= s;
        s = static_cast<std::uint8_t>((s << 1) | (s >> 7));
      }
      table[x] = result;
    }
    return table;
  }();
  return box;
}

}  // namespace

bool CAesEncryptor::SetKey(std::string_view key) {
  if (key.size() != kKeySize) return false;
  const auto& sbox = SBox();
  for (std::size_t i = 0; i < kKeySize; ++i) round_keys_[i] = static_cast<std::uint8_t>(key[i]);
  std::uint8_t rcon = 1;
  for (std::size_t i = kKeySize; i < round_keys_.size(); i += 4) {
    std::array<std::uint8_t, 4> t = {round_keys_[i - 4], round_keys_[i - 3], round_keys_[i - 2],
                                     round_keys_[i - 1]};
    if (i % kKeySize == 0) {
      t = {static_cast<std::uint8_t>(sbox[t[1]] ^ rcon), sbox[t[2]], sbox[t[3]], sbox[t[0]]};
      rcon = Times2(rcon);
    }
    for (std::size_t j = 0; j < 4; ++j)
      round_keys_[i + j] = static_cast<std::uint8_t>(round_keys_[i - kKeySize + j] ^ t[j]);
  }
  initialised_ = true;
  return true;
}

void CAesEncryptor::EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const {
  const auto& sbox = SBox();
  // The state column by column: byte r + 4c is row r of column c.
  std::array<std::uint8_t, 16> s{};
  for (std::size_t i = 0; i < 16; ++i) s[i] = in[i] ^ round_keys_[i];
  for (std::size_t round = 1; round <= 10; ++round) {
    std::array<std::uint8_t, 16> shifted{};
    for (std::size_t c = 0; c < 4; ++c)
      for (std::size_t r = 0; r < 4; ++r) shifted[r + 4 * c] = sbox[s[r + 4 * ((c + r) % 4)]];
    s = shifted;
    if (round != 10) {
      for (std::size_t c = 0; c < 4; ++c) {
        std::uint8_t* col = &s[4 * c];
        const std::uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        col[0] = static_cast<std::uint8_t>(Times2(a0) ^ Times2(a1) ^ a1 ^ a2 ^ a3);
        col[1] = static_cast<std::uint8_t>(a0 ^ Times2(a1) ^ Times2(a2) ^ a2 ^ a3);
        col[2] = static_cast<std::uint8_t>(a0 ^ a1 ^ Times2(a2) ^ Times2(a3) ^ a3);
        col[3] = static_cast<std::uint8_t>(Times2(a0) ^ a0 ^ a1 ^ a2 ^ Times2(a3));
      }
    }
    for (std::size_t i = 0; i < 16; ++i) s[i] ^= round_keys_[16 * round + i];
  }
  for (std::size_t i = 0; i < 16; ++i) out[i] = s[i];
}

std::string CAesEncryptor::EncryptEcb(std::string_view plaintext) const {
  std::string out;
  out.reserve(plaintext.size() + kBlockSize);
  std::array<std::uint8_t, kBlockSize> in{};
  std::array<std::uint8_t, kBlockSize> cipher{};
  for (std::size_t offset = 0; offset < plaintext.size(); offset += kBlockSize) {
    in.fill(0);
    std::string_view block = plaintext.substr(offset, kBlockSize);
    for (std::size_t i = 0; i < block.size(); ++i) in[i] = static_cast<std::uint8_t>(block[i]);
    EncryptBlock(in.data(), cipher.data());
    out.append(reinterpret_cast<const char*>(cipher.data()), cipher.size());
  }
  return out;
}

std::string HexOfCodeUnits(std::u16string_view units) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(units.size() * 4);
  for (char16_t unit : units)
    for (int shift = 12; shift >= 0; shift -= 4) hex.push_back(kDigits[(unit >> shift) & 0xF]);
  return hex;
}

std::string HexOfCodeUnits(std::string_view utf8_text) {
  return HexOfCodeUnits(std::u16string_view(Utf8ToUtf16(utf8_text)));
}

std::string EncryptedUpdateFileOf(std::string_view plaintext, std::string_view key) {
  CAesEncryptor encryptor;
  if (!encryptor.SetKey(key)) return {};
  return "enc" + encryptor.EncryptEcb(plaintext);
}

std::string EncryptUpdateFile(std::string_view utf8_document) {
  return EncryptedUpdateFileOf(HexOfCodeUnits(utf8_document));
}
