#include "updater/description/md5.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_folder.h"

namespace {

struct Vector {
  std::string input;
  std::string digest;
};

const Vector kReferenceVectors[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

// Bytes of every value, in a pattern that does not repeat at block boundaries.
std::string MakeData(std::size_t size) {
  std::string data(size, '\0');
  std::uint32_t x = 12345;
  for (char& c : data) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 23);
  }
  return data;
}

}  // namespace

TEST(Md5, MatchesTheReferenceVectors) {
  for (const Vector& v : kReferenceVectors) {
    EXPECT_EQ(CMd5::HexOf(v.input), v.digest) << v.input;
    CMd5 md5;
    md5.Update(v.input);
    EXPECT_EQ(CMd5::ToHex(md5.Final()), v.digest) << v.input;
  }
}

TEST(Md5, StreamingInOddPiecesEqualsOneShot) {
  // Lengths around the padding boundaries (55, 56, 63, 64) and a few blocks.
  for (std::size_t size : {0u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 1000u, 4099u}) {
    std::string data = MakeData(size);
    std::string expected = CMd5::HexOf(data);
    for (std::size_t piece : {1u, 3u, 7u, 63u, 65u, 200u}) {
      CMd5 md5;
      for (std::size_t at = 0; at < data.size(); at += piece) {
        md5.Update(std::string_view(data).substr(at, piece));
      }
      EXPECT_EQ(CMd5::ToHex(md5.Final()), expected) << size << " in pieces of " << piece;
    }
  }
}

TEST(Md5, FinalStartsOver) {
  CMd5 md5;
  md5.Update("ignored by nothing");
  md5.Final();
  md5.Update("abc");
  EXPECT_EQ(CMd5::ToHex(md5.Final()), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(CMd5::ToHex(md5.Final()), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Md5OfFile, EqualsTheInMemoryDigest) {
  TempFolder dir;
  // Several read chunks and a partial last one.
  std::string data = MakeData(3 * kMd5FileChunk * 10 + 12345);
  std::string path = dir.Write("big.bin", data);
  auto digest = Md5OfFile(path);
  ASSERT_TRUE(digest);
  EXPECT_EQ(digest->hex, CMd5::HexOf(data));
  EXPECT_EQ(digest->size, data.size());

  std::string exact = MakeData(kMd5FileChunk);
  digest = Md5OfFile(dir.Write("exact.bin", exact));
  ASSERT_TRUE(digest);
  EXPECT_EQ(digest->hex, CMd5::HexOf(exact));
}

TEST(Md5OfFile, EmptyFileHasSizeZero) {
  TempFolder dir;
  auto digest = Md5OfFile(dir.Write("empty.bin", ""));
  ASSERT_TRUE(digest);
  EXPECT_EQ(digest->size, 0u);
  EXPECT_EQ(digest->hex, "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Md5OfFile, MissingFileOrFolderHasNoDigest) {
  TempFolder dir;
  EXPECT_FALSE(Md5OfFile(dir / "missing.bin"));
  EXPECT_FALSE(Md5OfFile(dir.path()));
  EXPECT_FALSE(Md5OfFile(""));
}
