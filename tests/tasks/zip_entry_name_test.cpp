#include "updater/tasks/install/zip_entry_name.h"

#include <gtest/gtest.h>

TEST(ZipEntryName, Cp437DecodesBothHalves) {
  EXPECT_EQ(Cp437ToUtf8("plain.txt"), "plain.txt");
  EXPECT_EQ(Cp437ToUtf8("caf\x82"), "caf\xC3\xA9");                                    // é
  EXPECT_EQ(Cp437ToUtf8("\x80\x9E\xE1\xFF"), "\xC3\x87\xE2\x82\xA7\xC3\x9F\xC2\xA0");  // Ç ₧ ß nbsp
  EXPECT_EQ(Cp437ToUtf8("\xB0\xDB"), "\xE2\x96\x91\xE2\x96\x88");                      // ░ █
}

TEST(ZipEntryName, AcceptedNamesAreSplitIntoComponents) {
  struct Case {
    std::string raw;
    bool utf8;
    std::string joined;
    bool folder;
  } cases[] = {
      {"a.txt", false, "a.txt", false},
      {"a/b/c.txt", false, "a/b/c.txt", false},
      {"a\\b\\c.txt", false, "a/b/c.txt", false},
      {"a//./b/", false, "a/b", true},
      {"dir\\", false, "dir", true},
      {"..a/b..", false, "..a/b..", false},
      {"ab:c", false, "ab:c", false},  // a colon that is no drive
      {"caf\x82.txt", false, "caf\xC3\xA9.txt", false},
      {"caf\xC3\xA9.txt", true, "caf\xC3\xA9.txt", false},
      // Without the flag, UTF-8 bytes are read as code page 437.
      {"\xC3\xA9", false, "\xE2\x94\x9C\xE2\x8C\x90", false},
  };
  for (const auto& c : cases) {
    std::string reason;
    auto path = ParseZipEntryName(c.raw, c.utf8, 4096, &reason);
    ASSERT_TRUE(path) << c.raw << ": " << reason;
    EXPECT_EQ(path->Joined(), c.joined) << c.raw;
    EXPECT_EQ(path->ends_with_separator, c.folder) << c.raw;
  }
}

TEST(ZipEntryName, HostileNamesAreRefused) {
  struct Case {
    std::string raw;
    bool utf8;
  } cases[] = {
      {"", false},
      {"../x", false},
      {"a/../../x", false},
      {"a/..", false},
      {"..\\x", false},
      {"a\\..\\..\\x", false},
      {"/etc/x", false},
      {"\\x", false},
      {"\\\\server\\share\\x", false},
      {"C:\\x", false},
      {"C:/x", false},
      {"c:x", false},
      {"a/.../x", false},
      {"a/.. /x", false},
      {"./", false},
      {"/", false},
      {"a\nb", false},
      {"a\x7F", false},
      {"bad\xC3", true},  // flagged as UTF-8 but is not
      {std::string(256, 'n'), false},
  };
  for (const auto& c : cases) {
    std::string reason;
    EXPECT_FALSE(ParseZipEntryName(c.raw, c.utf8, 4096, &reason)) << c.raw;
    EXPECT_FALSE(reason.empty()) << c.raw;
  }
}

TEST(ZipEntryName, LengthIsBoundedButNotAt260) {
  std::string long_name = std::string(200, 'a') + "/" + std::string(200, 'b') + "/c.txt";
  auto path = ParseZipEntryName(long_name, false, 4096, nullptr);
  ASSERT_TRUE(path);
  EXPECT_EQ(path->Joined(), long_name);
  EXPECT_FALSE(ParseZipEntryName(long_name, false, 300, nullptr));
  // Code page 437 can make a name longer when decoded; the bound is on the decoded form.
  EXPECT_FALSE(ParseZipEntryName(std::string(100, '\x82'), false, 150, nullptr));
}

namespace {

std::string Field(std::uint16_t id, const std::string& data) {
  std::string out;
  out += static_cast<char>(id & 0xFF);
  out += static_cast<char>(id >> 8);
  out += static_cast<char>(data.size() & 0xFF);
  out += static_cast<char>(data.size() >> 8);
  return out + data;
}

// A Unicode Path field: version, CRC-32 of the name field, UTF-8 name.
std::string UnicodePath(std::uint32_t crc, const std::string& name, char version = 1) {
  std::string data(1, version);
  for (int i = 0; i < 4; ++i) data += static_cast<char>((crc >> (8 * i)) & 0xFF);
  return Field(0x7075, data + name);
}

}  // namespace

TEST(ZipEntryName, NamesAreReadAsTheCommonUnzipProgramsDo) {
  constexpr unsigned kDos = 0, kUnix = 3, kNtfs = 10;
  const std::string cafe = "caf\xC3\xA9.txt";                               // café.txt in UTF-8
  const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt";  // 日本語.txt
  const std::uint32_t crc_underscores = 0xACF1FA42;                         // CRC-32 of "___.txt"
  const std::string unix_extra = Field(0x5455, std::string(5, '\x01'));
  struct Case {
    std::string label;
    std::string raw;
    bool flag;
    unsigned host;
    std::string extra;
    std::string bytes;
    bool utf8;
  } cases[] = {
      {"UnixUtf8Unflagged", cafe, false, kUnix, "", cafe, true},
      {"UnixUtf8BehindOtherFields", cafe, false, kUnix, unix_extra, cafe, true},
      {"UnixNotUtf8", "caf\x82.txt", false, kUnix, "", "caf\x82.txt", false},
      {"DosUtf8BytesAreCp437", cafe, false, kDos, "", cafe, false},
      {"FlaggedOnDos", cafe, true, kDos, "", cafe, true},
      {"UnicodePath", "___.txt", false, kNtfs, UnicodePath(crc_underscores, japanese), japanese,
       true},
      {"UnicodePathAfterOtherField", "___.txt", false, kNtfs,
       unix_extra + UnicodePath(crc_underscores, japanese), japanese, true},
      {"UnicodePathWrongChecksum", "___.txt", false, kNtfs, UnicodePath(0x1234, japanese),
       "___.txt", false},
      {"UnicodePathOtherVersion", "___.txt", false, kNtfs,
       UnicodePath(crc_underscores, japanese, 2), "___.txt", false},
      {"UnicodePathNotUtf8", "___.txt", false, kNtfs, UnicodePath(crc_underscores, "\xC3"),
       "___.txt", false},
      {"UnicodePathCutShort", "___.txt", false, kNtfs,
       UnicodePath(crc_underscores, japanese).substr(0, 12), "___.txt", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ZipNameText text = ChooseZipEntryName({c.raw, c.flag, c.host, c.extra});
    EXPECT_EQ(text.bytes, c.bytes);
    EXPECT_EQ(text.utf8, c.utf8);
  }
}

TEST(ZipEntryName, NamesOfTheFolderItself) {
  for (std::string name : {"./", ".", "./.", ".//", ".\\"})
    EXPECT_TRUE(NamesTheFolderItself(name)) << name;
  for (std::string name : {"", "/", "/.", "\\", "..", "../", "./..", "./a", "a/", ".a"})
    EXPECT_FALSE(NamesTheFolderItself(name)) << name;
}
