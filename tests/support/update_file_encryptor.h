#pragma once
// Test-only AES-128 encryption (FIPS-197 cipher, forward direction) and the
// encrypted update-file layout: "enc", then the ECB ciphertext of the document
// text as upper-case hex (four digits per UTF-16 code unit), the last block
// filled with zero bytes. The program itself only decrypts.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace test_aes {

inline std::uint8_t Times2(std::uint8_t x) {
  return static_cast<std::uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1b : 0));
}

inline std::uint8_t Multiply(std::uint8_t a, std::uint8_t b) {
  std::uint8_t product = 0;
  while (b != 0) {
    if (b & 1) product ^= a;
    a = Times2(a);
    b >>= 1;
  }
  return product;
}

// The S-box, computed from its definition: the multiplicative inverse in
// GF(2^8) followed by the affine transformation.
inline const std::array<std::uint8_t, 256>& SBox() {
  static const std::array<std::uint8_t, 256> box = [] {
    std::array<std::uint8_t, 256> table{};
    for (int x = 0; x < 256; ++x) {
      std::uint8_t inverse = 0;
      for (int y = 1; y < 256 && x != 0; ++y) {
        if (Multiply(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y)) == 1) {
          inverse = static_cast<std::uint8_t>(y);
          break;
        }
      }
      std::uint8_t s = inverse;
      std::uint8_t result = 0x63;
      for (int i = 0; i < 5; ++i) {
        result ^= s;
        s = static_cast<std::uint8_t>((s << 1) | (s >> 7));
      }
      table[static_cast<std::size_t>(x)] = result;
    }
    return table;
  }();
  return box;
}

// One 16-byte block encrypted with a 16-byte key.
inline std::string EncryptBlock(std::string_view key, std::string_view block) {
  const auto& sbox = SBox();
  std::array<std::uint8_t, 176> w{};
  for (std::size_t i = 0; i < 16; ++i) w[i] = static_cast<std::uint8_t>(key[i]);
  std::uint8_t rcon = 1;
  for (std::size_t i = 16; i < 176; i += 4) {
    std::array<std::uint8_t, 4> t = {w[i - 4], w[i - 3], w[i - 2], w[i - 1]};
    if (i % 16 == 0) {
      t = {static_cast<std::uint8_t>(sbox[t[1]] ^ rcon), sbox[t[2]], sbox[t[3]], sbox[t[0]]};
      rcon = Times2(rcon);
    }
    for (std::size_t j = 0; j < 4; ++j) w[i + j] = static_cast<std::uint8_t>(w[i - 16 + j] ^ t[j]);
  }
  std::array<std::uint8_t, 16> s{};
  for (std::size_t i = 0; i < 16; ++i) s[i] = static_cast<std::uint8_t>(block[i]) ^ w[i];
  for (int round = 1; round <= 10; ++round) {
    for (auto& b : s) b = sbox[b];
    std::array<std::uint8_t, 16> shifted{};  // column-major state: byte r + 4c
    for (std::size_t c = 0; c < 4; ++c)
      for (std::size_t r = 0; r < 4; ++r) shifted[r + 4 * c] = s[r + 4 * ((c + r) % 4)];
    s = shifted;
    if (round != 10) {
      for (std::size_t c = 0; c < 4; ++c) {
        std::uint8_t* col = &s[4 * c];
        std::uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        col[0] = static_cast<std::uint8_t>(Times2(a0) ^ Times2(a1) ^ a1 ^ a2 ^ a3);
        col[1] = static_cast<std::uint8_t>(a0 ^ Times2(a1) ^ Times2(a2) ^ a2 ^ a3);
        col[2] = static_cast<std::uint8_t>(a0 ^ a1 ^ Times2(a2) ^ Times2(a3) ^ a3);
        col[3] = static_cast<std::uint8_t>(Times2(a0) ^ a0 ^ a1 ^ a2 ^ Times2(a3));
      }
    }
    for (std::size_t i = 0; i < 16; ++i) s[i] ^= w[16 * static_cast<std::size_t>(round) + i];
  }
  return std::string(s.begin(), s.end());
}

// ECB encryption; the plaintext is filled with zero bytes to whole blocks.
inline std::string EncryptEcb(std::string_view key, std::string plaintext) {
  if (plaintext.size() % 16 != 0) plaintext.append(16 - plaintext.size() % 16, '\0');
  std::string out;
  for (std::size_t i = 0; i < plaintext.size(); i += 16)
    out += EncryptBlock(key, std::string_view(plaintext).substr(i, 16));
  return out;
}

// Four upper-case hex digits per UTF-16 code unit.
inline std::string HexOfUnits(std::u16string_view units) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (char16_t unit : units)
    for (int shift = 12; shift >= 0; shift -= 4) hex.push_back(kDigits[(unit >> shift) & 0xF]);
  return hex;
}

// An encrypted update file whose plaintext is the given hex (or any) text.
inline std::string EncryptedFileOfPlaintext(std::string plaintext,
                                            std::string_view key = "widget_secretkey") {
  return "enc" + EncryptEcb(key, std::move(plaintext));
}

// An encrypted update file holding the document text.
inline std::string EncryptedFileOf(std::u16string_view document,
                                   std::string_view key = "widget_secretkey") {
  return EncryptedFileOfPlaintext(HexOfUnits(document), key);
}

}  // namespace test_aes
