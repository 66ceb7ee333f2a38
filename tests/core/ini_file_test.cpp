#include "updater/core/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_system.h"
#include "tests/support/file_traits.h"
#include "tests/support/temp_folder.h"
#include "updater/core/text.h"

namespace {

unsigned ModeOf(const std::string& path) {
  return static_cast<unsigned>(std::filesystem::status(path).permissions()) & 0777;
}

TEST(IniFile, ReadsWithTheProfileRules) {
  CIniFile ini;
  ini.Parse(
      "; comment line\r\n"
      "orphan=before any group\r\n"
      "[Main]\r\n"
      "Key1 = value one \r\n"
      "key2=\"quoted\"\r\n"
      "KEY3=\r\n"
      "key4 = \t\" spaced \" \r\n"
      "key1=second\r\n"
      "noequals\r\n"
      "single='kept'\r\n"
      "open=\"half\r\n"
      "lone=\"\r\n"
      "pair=\"\"\r\n"
      "inner=\"a\"b\"\r\n"
      "eq=a=b\r\n"
      "[main]\r\n"
      "key5=from the second group\r\n"
      "  [ Other ]  \r\n"
      "\tTabbed\t=\tx\t\r\n"
      "[Empty]\r\n");
  struct Case {
    const char* group;
    const char* key;
    const char* expected;
  } cases[] = {
      {"MAIN", "KEY1", "value one"},
      {"main", "key2", "quoted"},
      {"Main", "key3", ""},
      {"Main", "key4", " spaced "},
      {"Main", "noequals", "default"},
      {"Main", "single", "'kept'"},
      {"Main", "open", "\"half"},
      {"Main", "lone", "\""},
      {"Main", "pair", ""},
      {"Main", "inner", "a\"b"},
      {"Main", "eq", "a=b"},
      {"Main", "key5", "default"},  // only the first matching group counts
      {"other", "TABBED", "x"},
      {" Other ", " tabbed ", "x"},
      {"Other", "key1", "default"},
      {"Empty", "key1", "default"},
      {"Missing", "key1", "default"},
      {"", "orphan", "default"},
      {"Main", "", "default"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ini.GetValue(c.group, c.key, "default"), c.expected) << c.group << "/" << c.key;
  EXPECT_TRUE(ini.HasValue("main", "KEY3"));
  EXPECT_FALSE(ini.HasValue("main", "key5"));
}

TEST(IniFile, CutsValuesAt259Utf16Units) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // two UTF-16 units
  struct Case {
    std::string value;
    std::string expected;
  } cases[] = {
      {std::string(259, 'x'), std::string(259, 'x')},
      {std::string(300, 'x'), std::string(259, 'x')},
      {std::string(258, 'x') + emoji, std::string(258, 'x')},  // never inside a character
      {std::string(257, 'x') + emoji + "y", std::string(257, 'x') + emoji},
      {"\"" + std::string(259, 'q') + "\"", std::string(259, 'q')},  // quotes go first
  };
  for (const auto& c : cases) {
    CIniFile ini;
    ini.Parse("[G]\nk=" + c.value + "\n");
    EXPECT_EQ(ini.GetValue("G", "k", ""), c.expected) << c.value.size();
  }
}

TEST(IniFile, ReadsEveryFileEncoding) {
  const std::string text =
      "[Gruppe]\r\nSchl\xC3\xBCssel=Gr\xC3\xBC\xC3\x9F"
      "e \xE2\x82\xAC\r\n";
  for (auto encoding : {TextEncoding::kUtf8, TextEncoding::kUtf8Bom, TextEncoding::kUtf16LeBom,
                        TextEncoding::kWindows1252}) {
    CIniFile ini;
    ini.Parse(EncodeTextFile(text, encoding));
    EXPECT_EQ(ini.encoding(), encoding);
    EXPECT_EQ(ini.GetValue("GRUPPE", "schl\xC3\xBCssel", ""),
              "Gr\xC3\xBC\xC3\x9F"
              "e \xE2\x82\xAC");
  }
}

TEST(IniFile, MissingOrUnreadableFileGivesTheDefault) {
  TempFolder temp;
  EXPECT_EQ(ReadIniValue(temp / "missing.ini", "G", "k", "fallback"), "fallback");
  platform::CreateFolders(temp / "folder.ini");
  EXPECT_EQ(ReadIniValue(temp / "folder.ini", "G", "k", "fallback"), "fallback");
  CIniFile ini;
  EXPECT_TRUE(ini.Load(temp / "missing.ini").ok());
  EXPECT_FALSE(ini.Load(temp / "folder.ini").ok());
}

TEST(IniFile, WritesOnlyTheLineItHasTo) {
  struct Case {
    const char* name;
    std::string before;
    const char* group;
    const char* key;
    const char* value;
    std::string after;
  } cases[] = {
      {"replace in place, keeping the line's own ending and every other byte",
       "; c\r\n[A]\r\nx = 1\r\n  KEY = old \nother=2\r\n\r\n[B]\ny=3", "a", "key", "new",
       "; c\r\n[A]\r\nx = 1\r\nkey=new\nother=2\r\n\r\n[B]\ny=3"},
      {"first matching group and key", "[A]\nk=1\nk=2\n[a]\nk=3\n", "a", "K", "9",
       "[A]\nK=9\nk=2\n[a]\nk=3\n"},
      {"append after the group's last non-empty line", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n", "A", "z",
       "3", "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n"},
      {"append to a group without keys", "[A]\n[B]\n", "A", "k", "v", "[A]\nk=v\n[B]\n"},
      {"append to a last line without line ending", "[A]\nx=1", "A", "z", "3", "[A]\nx=1\nz=3\n"},
      {"append a missing group", "[A]\nx=1\n", "B", "y", "2", "[A]\nx=1\n\n[B]\ny=2\n"},
      {"append a missing group after a line without ending", "[A]\r\nx=1", "B", "y", "2",
       "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
      {"new file uses CRLF", "", "A", "k", "v", "[A]\r\nk=v\r\n"},
      {"empty value", "[A]\nk=1\n", "A", "k", "", "[A]\nk=\n"},
      {"value that reading would trim is quoted", "", "A", "k", " x ", "[A]\r\nk=\" x \"\r\n"},
      {"value in quotes is quoted once more", "", "A", "k", "\"q\"", "[A]\r\nk=\"\"q\"\"\r\n"},
  };
  for (const auto& c : cases) {
    CIniFile ini;
    ini.Parse(c.before);
    ASSERT_TRUE(ini.SetValue(c.group, c.key, c.value)) << c.name;
    EXPECT_EQ(ini.Serialize(), c.after) << c.name;
    EXPECT_EQ(ini.GetValue(c.group, c.key, "-"), c.value) << c.name;
  }
}

TEST(IniFile, RefusesTextThatWouldBreakTheLines) {
  TempFolder temp;
  const std::string before = "[A]\r\nk=1\r\n";
  std::string path = temp.Write("refuse.ini", before);
  struct Case {
    std::string group, key, value;
  } cases[] = {
      {"A", "k", "1\r\n[B]"},
      {"A", "k", "1\nx=2"},
      {"A", "k", "1\rx"},
      {"A\n", "k", "v"},
      {"A", "k\r", "v"},
      {"A", "", "v"},
      {"", "k", "v"},
      {"A", "k=x", "v"},
      {"A]x", "k", "v"},
      {"A", "[k", "v"},
      {"A", "k", std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(WriteIniValue(path, c.group, c.key, c.value)) << c.group << "/" << c.key;
    EXPECT_EQ(temp.Read("refuse.ini"), before);
  }
  EXPECT_FALSE(WriteIniValue(temp / "new.ini", "A", "k", "x\ny"));
  EXPECT_FALSE(platform::PathExists(temp / "new.ini"));
}

TEST(IniFile, WriteKeepsTheFileEncoding) {
  TempFolder temp;
  const std::string text =
      "[A]\r\nold=Gr\xC3\xBC\xC3\x9F"
      "e\r\n";
  for (auto encoding : {TextEncoding::kUtf8, TextEncoding::kUtf8Bom, TextEncoding::kUtf16LeBom,
                        TextEncoding::kWindows1252}) {
    std::string path = temp.Write("enc.ini", EncodeTextFile(text, encoding));
    ASSERT_TRUE(WriteIniValue(path, "a", "new", "\xC3\xA9t\xC3\xA9"));
    EXPECT_EQ(temp.Read("enc.ini"), EncodeTextFile(text + "new=\xC3\xA9t\xC3\xA9\r\n", encoding));
  }
}

TEST(IniFile, Windows1252FileBecomesUtf8RatherThanLosingCharacters) {
  TempFolder temp;
  std::string path = temp.Write("ansi.ini", "[A]\r\nk=caf\xE9\r\n");
  const std::string cyrillic = "\xD0\xB6\xD0\xB8\xD1\x82\xD1\x8C";
  ASSERT_TRUE(WriteIniValue(path, "A", "w", cyrillic));
  EXPECT_EQ(temp.Read("ansi.ini"), "[A]\r\nk=caf\xC3\xA9\r\nw=" + cyrillic + "\r\n");
  EXPECT_EQ(ReadIniValue(path, "A", "w", ""), cyrillic);
  EXPECT_EQ(ReadIniValue(path, "A", "k", ""), "caf\xC3\xA9");
}

// A change can take away the last bytes that made the file Windows-1252 (no
// valid UTF-8); what is left must not read back as UTF-8 with other characters.
TEST(IniFile, AChangedWindows1252FileReadsBackWithTheSameCharacters) {
  struct Case {
    const char* name;
    void (*change)(CIniFile&);
  };
  // "ï»¿" and "Ã©" in Windows-1252 are bytes that also make valid UTF-8.
  const std::string file = "[A]\r\nk=caf\xE9\r\n[Ot\xEF\xBB\xBFher]\r\nkey=\xC3\xA9t\xC3\xA9\r\n";
  const Case cases[] = {
      {"value replaced", [](CIniFile& ini) { ASSERT_TRUE(ini.SetValue("A", "k", "cafe")); }},
      {"key deleted", [](CIniFile& ini) { ASSERT_TRUE(ini.DeleteKey("A", "k")); }},
      {"group deleted", [](CIniFile& ini) { ASSERT_TRUE(ini.DeleteGroup("A")); }},
  };
  const std::string group = "Ot\xC3\xAF\xC2\xBB\xC2\xBFher";
  const std::string value = "\xC3\x83\xC2\xA9t\xC3\x83\xC2\xA9";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CIniFile ini;
    ini.Parse(file);
    ASSERT_EQ(ini.encoding(), TextEncoding::kWindows1252);
    ASSERT_EQ(ini.GetValue(group, "key", ""), value);
    c.change(ini);
    CIniFile reread;
    reread.Parse(ini.Serialize());
    EXPECT_EQ(reread.GetValue(group, "key", ""), value);
    EXPECT_EQ(reread.GetValue("A", "k", "-"), ini.GetValue("A", "k", "-"));
  }
}

TEST(IniFile, PrivateWritesForceMode0600) {
  if (!test_support::FilesHaveModeBits()) GTEST_SKIP() << "files carry no mode bits here";
  TempFolder temp;
  std::string open_file = temp / "open.ini";
  ASSERT_TRUE(WriteIniValue(open_file, "A", "k", "v"));
  EXPECT_EQ(ModeOf(open_file), 0644u);
  ASSERT_TRUE(WriteIniValue(open_file, "PROXY", "password", "secret", true));
  EXPECT_EQ(ModeOf(open_file), 0600u);
  ASSERT_TRUE(WriteIniValue(open_file, "A", "k", "w"));  // a later plain write keeps 0600
  EXPECT_EQ(ModeOf(open_file), 0600u);
  std::string new_file = temp / "new.ini";
  ASSERT_TRUE(WriteIniValue(new_file, "PROXY", "password", "secret", true));
  EXPECT_EQ(ModeOf(new_file), 0600u);
}

TEST(IniFile, WriteFailsWhenTheFileCannotBeReadOrWritten) {
  TempFolder temp;
  platform::CreateFolders(temp / "folder.ini");
  EXPECT_FALSE(WriteIniValue(temp / "folder.ini", "A", "k", "v"));
  EXPECT_FALSE(WriteIniValue(temp / "no/such/folder/x.ini", "A", "k", "v"));
}

TEST(IniFile, DeletesKeysAndGroups) {
  CIniFile ini;
  ini.Parse("[A]\nk=1\nK=2\nj=3\n[B]\nx=1\n[C]\ny=2\n");
  EXPECT_TRUE(ini.DeleteKey("a", "K"));
  EXPECT_EQ(ini.Serialize(), "[A]\nK=2\nj=3\n[B]\nx=1\n[C]\ny=2\n");
  EXPECT_TRUE(ini.DeleteKey("a", "missing"));
  EXPECT_TRUE(ini.DeleteGroup("b"));
  EXPECT_EQ(ini.Serialize(), "[A]\nK=2\nj=3\n[C]\ny=2\n");

  TempFolder temp;
  std::string path = temp.Write("d.ini", "[A]\r\nk=1\r\nj=2\r\n");
  EXPECT_TRUE(DeleteIniValue(path, "A", "k"));
  EXPECT_EQ(temp.Read("d.ini"), "[A]\r\nj=2\r\n");
  EXPECT_TRUE(DeleteIniValue(temp / "missing.ini", "A", "k"));
  EXPECT_FALSE(platform::PathExists(temp / "missing.ini"));
}

}  // namespace
