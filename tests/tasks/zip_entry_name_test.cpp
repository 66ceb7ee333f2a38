#include "updater/tasks/zip_entry_name.h"

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
