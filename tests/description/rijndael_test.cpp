#include "updater/description/rijndael.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

std::string ToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex.push_back(kDigits[c >> 4]);
    hex.push_back(kDigits[c & 0x0f]);
  }
  return hex;
}

}  // namespace

TEST(Rijndael, KeyExpansionFollowsTheStandardVector) {
  CRijndael cipher;
  ASSERT_TRUE(cipher.SetKey(FromHex("2b7e151628aed2a6abf7158809cf4f3c")));
  const auto& w = cipher.key_schedule();
  EXPECT_EQ(w[0], 0x2b7e1516u);
  EXPECT_EQ(w[3], 0x09cf4f3cu);
  EXPECT_EQ(w[4], 0xa0fafe17u);
  EXPECT_EQ(w[5], 0x88542cb1u);
  EXPECT_EQ(w[6], 0x23a33939u);
  EXPECT_EQ(w[7], 0x2a6c7605u);
  EXPECT_EQ(w[40], 0xd014f9a8u);
  EXPECT_EQ(w[41], 0xc9ee2589u);
  EXPECT_EQ(w[42], 0xe13f0cc8u);
  EXPECT_EQ(w[43], 0xb6630ca6u);
}

TEST(Rijndael, DecryptsTheStandardAes128Block) {
  CRijndael cipher;
  ASSERT_TRUE(cipher.SetKey(FromHex("000102030405060708090a0b0c0d0e0f")));
  EXPECT_TRUE(cipher.initialised());
  std::string ciphertext = FromHex("69c4e0d86a7b0430d8cdb78070b4c55a");
  EXPECT_EQ(ToHex(cipher.DecryptEcb(ciphertext)), "00112233445566778899aabbccddeeff");

  std::string block(16, '\0');
  cipher.DecryptBlock(reinterpret_cast<const std::uint8_t*>(ciphertext.data()),
                      reinterpret_cast<std::uint8_t*>(block.data()));
  EXPECT_EQ(ToHex(block), "00112233445566778899aabbccddeeff");
}

TEST(Rijndael, DecryptsEveryBlockIndependently) {
  // Electronic-codebook vectors for AES-128 (four blocks).
  CRijndael cipher;
  ASSERT_TRUE(cipher.SetKey(FromHex("2b7e151628aed2a6abf7158809cf4f3c")));
  std::string ciphertext = FromHex(
      "3ad77bb40d7a3660a89ecaf32466ef97"
      "f5d3d58503b9699de785895a96fdbaaf"
      "43b1cd7f598ece23881b00e3ed030688"
      "7b0c785e27e8ad3f8223207104725dd4");
  EXPECT_EQ(ToHex(cipher.DecryptEcb(ciphertext)),
            "6bc1bee22e409f96e93d7e117393172a"
            "ae2d8a571e03ac9c9eb76fac45af8e51"
            "30c81c46a35ce411e5fbc1191a0a52ef"
            "f69f2445df4f9b17ad2b417be66c3710");
  // Equal ciphertext blocks give equal plaintext blocks, wherever they stand.
  std::string repeated =
      ciphertext.substr(16, 16) + ciphertext.substr(0, 16) + ciphertext.substr(16, 16);
  EXPECT_EQ(ToHex(cipher.DecryptEcb(repeated)),
            "ae2d8a571e03ac9c9eb76fac45af8e51"
            "6bc1bee22e409f96e93d7e117393172a"
            "ae2d8a571e03ac9c9eb76fac45af8e51");
}

TEST(Rijndael, DecryptsAnUpdateFileBodyWithTheFixedKey) {
  // 28 hex digits and four zero bytes, encrypted with the program's key.
  CRijndael cipher;
  cipher.SetKey();
  std::string plaintext = cipher.DecryptEcb(
      FromHex("fb9f968d9b73376ddba58939a52cfa8cab65f0b187470379959e5e0d9a8ebea7"));
  EXPECT_EQ(plaintext, std::string("0056006500C9006D006F00720061") + std::string(4, '\0'));
  EXPECT_EQ(DecodeHexCodeUnits(plaintext), u"Ve\u00c9mora");
}

TEST(Rijndael, RefusesMisuseWithTheDocumentedErrors) {
  CRijndael cipher;
  EXPECT_FALSE(cipher.initialised());
  std::string block(16, '\0');
  try {
    cipher.DecryptEcb(block);
    FAIL() << "no error without a key";
  } catch (const RijndaelError& error) {
    EXPECT_STREQ(error.what(), "Object not Initialized");
  }
  std::uint8_t out[16];
  EXPECT_THROW(cipher.DecryptBlock(reinterpret_cast<const std::uint8_t*>(block.data()), out),
               RijndaelError);

  EXPECT_FALSE(cipher.SetKey("short key"));
  EXPECT_FALSE(cipher.SetKey(std::string(17, 'k')));
  EXPECT_FALSE(cipher.initialised());

  cipher.SetKey();
  for (std::size_t length : {0u, 1u, 15u, 17u, 31u, 33u}) {
    try {
      cipher.DecryptEcb(std::string(length, 'x'));
      FAIL() << "no error for length " << length;
    } catch (const RijndaelError& error) {
      EXPECT_STREQ(error.what(), "Data not multiple of Block Size") << length;
    }
  }
}

TEST(Rijndael, RefusedKeyKeepsTheEarlierOne) {
  CRijndael cipher;
  ASSERT_TRUE(cipher.SetKey(FromHex("000102030405060708090a0b0c0d0e0f")));
  EXPECT_FALSE(cipher.SetKey("too short"));
  EXPECT_EQ(ToHex(cipher.DecryptEcb(FromHex("69c4e0d86a7b0430d8cdb78070b4c55a"))),
            "00112233445566778899aabbccddeeff");
}

TEST(HexCodeUnits, DecodesGroupsOfFourDigits) {
  struct Case {
    std::string text;
    std::u16string expected;
  };
  const Case cases[] = {
      {"003C", u"<"},
      {"003c", u"0"},  // a lower-case digit counts as 0
      {"20AC0041",
       u"\u20ac"
       u"A"},
      {"FFFF", std::u16string(1, char16_t{0xffff})},
      {"00zZ", std::u16string(1, char16_t{0})},  // other characters count as 0
      {"", u""},
      {"0041004", u"A"},  // an incomplete group is dropped
      {std::string("0041\0"
                   "0042",
                   9),
       u"A"},  // the text ends at a zero byte
      {std::string("00410042\0\0\0\0", 12), u"AB"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeHexCodeUnits(c.text), c.expected) << c.text;
}
