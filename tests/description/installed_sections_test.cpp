#include "updater/description/installed_sections.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/native_path.h"
#include "tests/support/temp_folder.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"

namespace {

class InstalledSectionsTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  CInstalledSections table_;
};

TEST_F(InstalledSectionsTest, NamesAreLowerCasedWhenSetAndLookedUp) {
  EXPECT_EQ(table_.GetVersion("main"), "0.0.0.0");  // empty table
  table_.SetVersion("MAIN", "1.2");
  EXPECT_EQ(table_.GetVersion("Main"), "1.2");
  EXPECT_EQ(table_.GetVersion("main"), "1.2");
  table_.SetVersion("main", "1.3");  // the same entry again
  ASSERT_EQ(table_.Entries().size(), 1u);
  EXPECT_EQ(table_.Entries()[0], (InstalledSection{"main", "1.3"}));
  EXPECT_EQ(table_.GetVersion("other"), "0.0.0.0");
}

TEST_F(InstalledSectionsTest, EntriesReadWithUpperCaseNamesAreNeverFound) {
  std::string path = folder_.Write(
      "s.xml",
      "<?xml version=\"1.0\" ?><SECTIONS>\r\n<SECTION name=\"Main\" version=\"2.0\"/>\r\n"
      "<SECTION name=\"docs\" version=\"1.1\"/>\r\n<SECTION name=\"docs\" version=\"9\"/>\r\n"
      "<OTHER name=\"x\" version=\"3\"/></SECTIONS>\r\n");
  table_.Load(path);
  EXPECT_EQ(table_.Entries().size(), 3u);
  EXPECT_EQ(table_.GetVersion("Main"), "0.0.0.0");
  EXPECT_EQ(table_.GetVersion("docs"), "1.1");  // the first match wins
  EXPECT_EQ(table_.GetVersion("x"), "0.0.0.0");
  // Setting the lower-cased name appends beside the upper-case one.
  table_.SetVersion("Main", "2.1");
  EXPECT_EQ(table_.Entries().size(), 4u);
  EXPECT_EQ(table_.GetVersion("MAIN"), "2.1");
}

TEST_F(InstalledSectionsTest, SaveWritesTheFileLayout) {
  table_.SetVersion("Core", "1.0");
  table_.SetVersion("docs", "2.5");
  std::string path = folder_ / "sections_App.xml";
  ASSERT_TRUE(table_.Save(path));
  EXPECT_EQ(folder_.Read("sections_App.xml"),
            "<?xml version=\"1.0\" ?><SECTIONS>\r\n"
            "<SECTION name=\"core\" version=\"1.0\"/>\r\n"
            "<SECTION name=\"docs\" version=\"2.5\"/>\r\n"
            "</SECTIONS>\r\n");
  // Saving again replaces the file in one step and leaves no temporary file.
  table_.SetVersion("docs", "2.6");
  ASSERT_TRUE(table_.Save(path));
  EXPECT_NE(folder_.Read("sections_App.xml").find("\"2.6\""), std::string::npos);
  EXPECT_EQ(platform::ListFolder(folder_.path()), std::vector<std::string>{"sections_App.xml"});
}

TEST_F(InstalledSectionsTest, NonAsciiAndMarkupCharactersSurviveARoundTrip) {
  const std::vector<InstalledSection> entries = {
      {"Ärger & \"Freude\"", "1.0 <beta>"},
      {"ПРОГРАММА", "3.1"},
      {"日本語", "7"},
      {"it's", "1'2"},
  };
  for (const InstalledSection& entry : entries) table_.SetVersion(entry.name, entry.version);
  std::string path = folder_ / "sections.xml";
  ASSERT_TRUE(table_.Save(path));

  // Stored as UTF-8 without byte-order mark.
  std::string bytes = folder_.Read("sections.xml");
  EXPECT_EQ(bytes.rfind("<?xml", 0), 0u);
  EXPECT_NE(bytes.find("\xD0\xBF\xD1\x80\xD0\xBE"), std::string::npos);  // "про"

  CInstalledSections loaded;
  loaded.Load(path);
  EXPECT_EQ(loaded.Entries(), table_.Entries());
  for (const InstalledSection& entry : entries)
    EXPECT_EQ(loaded.GetVersion(entry.name), entry.version) << entry.name;
  EXPECT_EQ(loaded.GetVersion("программа"), "3.1");
}

TEST_F(InstalledSectionsTest, FilesWithoutEntriesAddNothing) {
  const std::vector<std::pair<const char*, std::string>> files = {
      {"empty", ""},
      {"no SECTIONS", "<?xml version=\"1.0\" ?><OTHER><SECTION name=\"a\" version=\"1\"/></OTHER>"},
      {"SECTION at the top level", "<SECTION name=\"a\" version=\"1\"/>"},
      {"not XML", "just some text"},
      {"SECTIONS in lower case", "<sections><SECTION name=\"a\" version=\"1\"/></sections>"},
  };
  for (const auto& [label, bytes] : files) {
    CInstalledSections table;
    table.Load(folder_.Write("f.xml", bytes));
    EXPECT_TRUE(table.Entries().empty()) << label;
  }
  table_.Load(folder_ / "missing.xml");
  EXPECT_TRUE(table_.Entries().empty());
  EXPECT_EQ(table_.GetVersion("a"), "0.0.0.0");
}

TEST_F(InstalledSectionsTest, LoadAppendsToTheTable) {
  std::string path =
      folder_.Write("s.xml", "<SECTIONS><SECTION name=\"b\" version=\"2\"/></SECTIONS>");
  table_.SetVersion("a", "1");
  table_.Load(path);
  EXPECT_EQ(table_.Entries(), (std::vector<InstalledSection>{{"a", "1"}, {"b", "2"}}));
}

TEST_F(InstalledSectionsTest, LoadReadsAtMostTheFileCapacity) {
  std::string text = "<SECTIONS>";
  for (std::size_t i = 0; i < CInstalledSections::kMaxFileEntries + 5; ++i)
    text += "<SECTION name=\"s" + std::to_string(i) + "\" version=\"1\"/>";
  text += "</SECTIONS>";
  table_.Load(folder_.Write("big.xml", text));
  EXPECT_EQ(table_.Entries().size(), CInstalledSections::kMaxFileEntries);
  // A version set during the run is kept beyond the capacity.
  table_.SetVersion("new", "2");
  EXPECT_EQ(table_.GetVersion("new"), "2");
}

TEST_F(InstalledSectionsTest, SaveWithAnEmptyTableLeavesAnOlderFileUntouched) {
  std::string path = folder_.Write("s.xml", "older content");
  EXPECT_TRUE(table_.Save(path));
  EXPECT_EQ(folder_.Read("s.xml"), "older content");
  EXPECT_TRUE(table_.Save(folder_ / "never.xml"));
  EXPECT_FALSE(platform::PathExists(folder_ / "never.xml"));
}

TEST_F(InstalledSectionsTest, AFailedSaveReportsFailureAndKeepsTheOldFile) {
  table_.SetVersion("a", "1");
  EXPECT_FALSE(table_.Save(folder_ / "missing-folder/s.xml"));
  // A path that is a folder cannot be replaced by the file.
  ASSERT_TRUE(platform::CreateFolders(folder_ / "taken.xml").ok());
  folder_.Write("taken.xml/keep", "x");
  EXPECT_FALSE(table_.Save(folder_ / "taken.xml"));
  EXPECT_EQ(folder_.Read("taken.xml/keep"), "x");
}

TEST(InstalledSectionsFile, NameStaysInsideTheUpdaterFolder) {
  EXPECT_EQ(InstalledSectionsFileName("Velmora"), "sections_Velmora.xml");
  EXPECT_EQ(InstalledSectionsFileName("../x/y"), "sections_.._x_y.xml");
  EXPECT_EQ(InstalledSectionsFileName("a\\b"), "sections_a_b.xml");

  CUpdaterPaths::ResetInstance();
  CUpdaterSettings::ResetInstance();
  SystemFolders system;
  system.executable = Native("/opt/velmora/updater/Velmora Updater");
  system.temp = Native("/tmp/private");
  ASSERT_TRUE(CUpdaterPaths::Instance().Init(system));
  CUpdaterSettings::Instance().MutableValues().name = "My App";
  EXPECT_EQ(InstalledSectionsPath(), Native("/opt/velmora/updater/sections_My App.xml"));
  CUpdaterPaths::ResetInstance();
  CUpdaterSettings::ResetInstance();
}

TEST(InstalledSectionsInstance, IsOneProcessWideTable) {
  CInstalledSections::ResetInstance();
  CInstalledSections::Instance().SetVersion("x", "1");
  EXPECT_EQ(CInstalledSections::Instance().GetVersion("X"), "1");
  CInstalledSections::ResetInstance();
  EXPECT_TRUE(CInstalledSections::Instance().Entries().empty());
}

}  // namespace
