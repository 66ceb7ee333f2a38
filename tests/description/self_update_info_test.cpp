#include "updater/description/self_update_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "updater/core/text.h"
#include "updater/core/updater_version.h"
#include "updater/description/aes_encryptor.h"

namespace {

std::string Utf16WithBom(std::string_view utf8) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : Utf8ToUtf16(utf8)) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

TEST(SelfUpdateInfo, StartsWithTheCompiledInVersionAndNoLocation) {
  CSelfUpdateInfo::ResetInstance();
  CSelfUpdateInfo& info = CSelfUpdateInfo::Instance();
  EXPECT_EQ(info.version, UPDATER_VERSION);
  EXPECT_EQ(info.location, "");
  EXPECT_FALSE(IsSelfUpdateDue(info));
  info.version = "9.9";
  EXPECT_EQ(CSelfUpdateInfo::Instance().version, "9.9");  // one record for the run
  CSelfUpdateInfo::ResetInstance();
  EXPECT_EQ(CSelfUpdateInfo::Instance().version, UPDATER_VERSION);
}

TEST(SelfUpdateInfo, ReadsVersionAndTheLocationThatFollowsIt) {
  struct Case {
    const char* label;
    std::string file;
    std::string version;   // expected afterwards
    std::string location;  // expected afterwards
  };
  const std::vector<Case> cases = {
      {"both", "<SELFUPDATE><VERSION>1.2</VERSION><LOCATION>https://h/u</LOCATION></SELFUPDATE>",
       "1.2", "https://h/u"},
      {"with declaration and blanks",
       "<?xml version=\"1.0\" ?>\r\n<SELFUPDATE>\r\n  <VERSION>0.8.1.6</VERSION>\r\n"
       "  <OTHER/>\r\n  <LOCATION>u2</LOCATION>\r\n</SELFUPDATE>\r\n",
       "0.8.1.6", "u2"},
      {"decoded text",
       "<SELFUPDATE><VERSION> 1.0 </VERSION><LOCATION>a&amp;b</LOCATION></SELFUPDATE>", " 1.0 ",
       "a&b"},
      {"CDATA",
       "<SELFUPDATE><VERSION><![CDATA[1.1]]></VERSION><LOCATION><![CDATA[h?a&b]]>"
       "</LOCATION></SELFUPDATE>",
       "1.1", "h?a&b"},
      {"LOCATION before VERSION",
       "<SELFUPDATE><LOCATION>early</LOCATION><VERSION>2.0</VERSION></SELFUPDATE>", "2.0",
       "old-location"},
      {"no LOCATION", "<SELFUPDATE><VERSION>2.0</VERSION></SELFUPDATE>", "2.0", "old-location"},
      {"no VERSION", "<SELFUPDATE><LOCATION>x</LOCATION></SELFUPDATE>", "old-version",
       "old-location"},
      {"no SELFUPDATE", "<UPDATE><VERSION>2.0</VERSION></UPDATE>", "old-version", "old-location"},
      {"names are case-sensitive", "<selfupdate><VERSION>2.0</VERSION></selfupdate>", "old-version",
       "old-location"},
      {"only the first VERSION",
       "<SELFUPDATE><VERSION>1</VERSION><VERSION>2</VERSION><LOCATION>l</LOCATION></SELFUPDATE>",
       "1", "l"},
      {"empty file", "", "old-version", "old-location"},
      {"UTF-16 with byte-order mark", Utf16WithBom("<SELFUPDATE><VERSION>3</VERSION></SELFUPDATE>"),
       "3", "old-location"},
      {"encrypted form", EncryptUpdateFile("<SELFUPDATE><VERSION>7.0</VERSION></SELFUPDATE>"),
       "old-version", "old-location"},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    CSelfUpdateInfo info;
    info.version = "old-version";
    info.location = "old-location";
    ReadSelfUpdateFile(folder.Write("selfupdate.xml", c.file), info);
    EXPECT_EQ(info.version, c.version) << c.label;
    EXPECT_EQ(info.location, c.location) << c.label;
  }
  CSelfUpdateInfo info;
  ReadSelfUpdateFile(folder / "missing.xml", info);
  EXPECT_EQ(info.version, UPDATER_VERSION);
}

TEST(SelfUpdateInfo, IsDueWhenTheVersionTextDiffersAtAll) {
  const std::string own = UPDATER_VERSION;
  struct Case {
    std::string version;
    bool due;
  };
  const std::vector<Case> cases = {
      {own, false},      {"0.8.1.5.0", true},  // equal as versions, different as text
      {"0.8.1", true},   {"0.8.1.4", true},    // older is due as well
      {"0.8.1.6", true}, {" " + own, true},   {"", true},
  };
  for (const Case& c : cases) {
    CSelfUpdateInfo info;
    info.version = c.version;
    EXPECT_EQ(IsSelfUpdateDue(info), c.due) << c.version;
  }
}

TEST(SelfUpdateInfo, AnEncryptedDescriptionCausesNoSelfUpdateOnTheFirstCheck) {
  TempFolder folder;
  CSelfUpdateInfo::ResetInstance();
  std::string path = folder.Write(
      "selfupdate.xml", EncryptUpdateFile("<SELFUPDATE><VERSION>9.0</VERSION></SELFUPDATE>"));
  ReadSelfUpdateFile(path, CSelfUpdateInfo::Instance());
  EXPECT_FALSE(IsSelfUpdateDue(CSelfUpdateInfo::Instance()));
  CSelfUpdateInfo::ResetInstance();
}

}  // namespace
