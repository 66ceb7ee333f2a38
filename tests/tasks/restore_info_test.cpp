#include "updater/tasks/rollback/restore_info.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"
#include "updater/core/text.h"
#include "updater/core/updater_settings.h"
#include "updater/description/installed_sections.h"
#include "updater/description/xml_document.h"

namespace {

std::string ReadUtf16File(const std::string& path) {
  std::string bytes = platform::ReadFile(path, 1 << 20).value_or("");
  if (bytes.size() < 2 || bytes.substr(0, 2) != "\xff\xfe") return "<no byte-order mark>";
  return DecodeTextFile(bytes);
}

}  // namespace

TEST(RestoreInfo, WritesTheFormatByteForByte) {
  TempFolder folder;
  RestoreInfo info;
  info.version = "1.2";
  info.sections = {{"app", "1.2"}, {"plug & play", "0.9"}};
  info.actions = {
      RestoreCopy{"/tmp/rollback/00001_app", "/opt/app/app"},
      RestoreDelete{"/opt/app/new \"quoted\".txt"},
      RestoreRegistry{"HKEY_CURRENT_USER\\Software\\A<B>\\Path", "sz \"/opt\""},
      RestoreUnregister{"/opt/app/c.so"},
  };
  const std::string expected =
      "<RESTOREINFO version=\"1.2\">\r\n"
      "  <SECTIONS>\r\n"
      "    <SECTION name=\"app\" version=\"1.2\" />\r\n"
      "    <SECTION name=\"plug &amp; play\" version=\"0.9\" />\r\n"
      "  </SECTIONS>\r\n"
      "  <ACTIONS>\r\n"
      "    <ACTION type=\"copy\" old=\"/tmp/rollback/00001_app\" new=\"/opt/app/app\" />\r\n"
      "    <ACTION type=\"delete\" location=\"/opt/app/new &quot;quoted&quot;.txt\" />\r\n"
      "    <ACTION type=\"registry\" key=\"HKEY_CURRENT_USER\\Software\\A&lt;B&gt;\\Path\" "
      "value=\"sz &quot;/opt&quot;\" />\r\n"
      "    <ACTION type=\"unregister\" file=\"/opt/app/c.so\" />\r\n"
      "  </ACTIONS>\r\n"
      "</RESTOREINFO>";
  EXPECT_EQ(FormatRestoreInfo(info), expected);

  std::string path = folder / "restoreinfo.xml";
  ASSERT_TRUE(WriteRestoreInfo(info, path));
  std::string bytes = platform::ReadFile(path, 1 << 20).value_or("");
  std::u16string units = Utf8ToUtf16(expected);
  std::string expected_bytes = "\xff\xfe";
  for (char16_t unit : units) {
    expected_bytes += static_cast<char>(unit & 0xFF);
    expected_bytes += static_cast<char>(unit >> 8);
  }
  EXPECT_EQ(bytes, expected_bytes);

  // The escaped values read back as they were.
  CXmlDocument document;
  ASSERT_TRUE(document.LoadFromFile(path)) << document.GetResultText();
  ASSERT_TRUE(document.FindElement("RESTOREINFO"));
  ASSERT_TRUE(document.EnterElement());
  ASSERT_TRUE(document.FindElement("ACTIONS"));
  ASSERT_TRUE(document.EnterElement());
  ASSERT_TRUE(document.FindElement("ACTION"));
  ASSERT_TRUE(document.FindElement("ACTION"));
  EXPECT_EQ(document.GetAttribute("location"), "/opt/app/new \"quoted\".txt");
  ASSERT_TRUE(document.FindElement("ACTION"));
  EXPECT_EQ(document.GetAttribute("key"), "HKEY_CURRENT_USER\\Software\\A<B>\\Path");
}

TEST(RestoreInfo, AnEmptyJournalGivesAnEmptyActionsElement) {
  RestoreInfo info;
  info.version = "2.0";
  EXPECT_EQ(FormatRestoreInfo(info),
            "<RESTOREINFO version=\"2.0\">\r\n  <SECTIONS>\r\n  </SECTIONS>\r\n"
            "  <ACTIONS>\r\n  </ACTIONS>\r\n</RESTOREINFO>");
}

TEST(RestoreInfo, EveryRecordedChangeHasItsAction) {
  FileReplacedChange replaced{"/opt/app/app", "/tmp/rb/00001_app"};
  FileCreatedChange created{"/opt/app/new"};
  FolderCreatedChange folder{"/opt/app/plugins"};
  IniValueChange ini{"/opt/app/app.ini", {}, {}, std::nullopt};
  RegistryKeyCreatedChange key{platform::RegistryRoot::kCurrentUser, "Software\\Vendor"};
  RegistryValueChange value{key.root, key.subkey, "Count", platform::RegistryValue::Dword(12)};
  RegistryValueChange new_value{platform::RegistryRoot::kLocalMachine, "", "", std::nullopt};
  RegistrationChange registration{"/opt/app/c.so"};
  TemporaryFileChange temporary{"/opt/app/.velmora-1.tmp"};

  auto actions = RestoreActionsOf(
      {replaced, created, folder, ini, key, value, new_value, registration, temporary});
  std::string lines;
  for (const auto& action : actions) lines += RestoreActionLine(action);
  EXPECT_EQ(lines,
            "    <ACTION type=\"copy\" old=\"/tmp/rb/00001_app\" new=\"/opt/app/app\" />\r\n"
            "    <ACTION type=\"delete\" location=\"/opt/app/new\" />\r\n"
            "    <ACTION type=\"delete\" location=\"/opt/app/plugins\" />\r\n"
            "    <ACTION type=\"registry\" key=\"HKEY_CURRENT_USER\\Software\\Vendor\\Count\" "
            "value=\"dword 12\" />\r\n"
            "    <ACTION type=\"registry\" key=\"HKEY_LOCAL_MACHINE\\\" value=\"\" />\r\n"
            "    <ACTION type=\"unregister\" file=\"/opt/app/c.so\" />\r\n");
}

TEST(RestoreInfo, IsBuiltFromTheSettingsTheSectionsAndTheJournal) {
  TempFolder folder;
  ScopedEnv env("XDG_CONFIG_HOME", folder.path());
  CUpdaterSettings::ResetInstance();
  CInstalledSections::ResetInstance();
  CChangeJournal::ResetInstance();
  CUpdaterSettings::Instance().MutableValues().version = "3.1";
  CInstalledSections::Instance().SetVersion("core", "3.1");
  CInstalledSections::Instance().SetVersion("help", "1.0");
  ASSERT_TRUE(CChangeJournal::Instance().RecordFileCreate(folder / "made.txt"));

  RestoreInfo info = BuildRestoreInfo();
  EXPECT_EQ(info.version, "3.1");
  EXPECT_EQ(info.sections, (std::vector<InstalledSection>{{"core", "3.1"}, {"help", "1.0"}}));
  ASSERT_EQ(info.actions.size(), 1u);
  EXPECT_EQ(std::get<RestoreDelete>(info.actions[0]).location, folder / "made.txt");

  ASSERT_TRUE(WriteRestoreInfo(info, folder / "restoreinfo.xml"));
  std::string text = ReadUtf16File(folder / "restoreinfo.xml");
  EXPECT_NE(text.find("    <SECTION name=\"core\" version=\"3.1\" />\r\n"
                      "    <SECTION name=\"help\" version=\"1.0\" />\r\n  </SECTIONS>"),
            std::string::npos);

  CUpdaterSettings::ResetInstance();
  CInstalledSections::ResetInstance();
  CChangeJournal::ResetInstance();
}
