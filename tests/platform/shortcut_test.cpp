#include "platform/shortcut.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/posix/desktop_entry.h"
#include "tests/support/temp_folder.h"

namespace {

struct FileNameCase {
  std::string link_file;
  std::string expected;
};

class ShortcutFileName : public ::testing::TestWithParam<FileNameCase> {};

TEST_P(ShortcutFileName, AlwaysEndsInDesktop) {
  EXPECT_EQ(platform::ShortcutFilePath(GetParam().link_file), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Names, ShortcutFileName,
                         ::testing::Values(FileNameCase{"/d/Velmora.lnk", "/d/Velmora.desktop"},
                                           FileNameCase{"/d/Velmora.LNK", "/d/Velmora.desktop"},
                                           FileNameCase{"/d/Velmora.desktop", "/d/Velmora.desktop"},
                                           FileNameCase{"/d/Velmora.Desktop", "/d/Velmora.Desktop"},
                                           FileNameCase{"/d/Velmora", "/d/Velmora.desktop"},
                                           FileNameCase{"/d/Velmora 1.2", "/d/Velmora 1.2.desktop"},
                                           FileNameCase{"/d/.bashrc", "/d/.bashrc.desktop"},
                                           FileNameCase{"/d\\menu\\Velmora.lnk",
                                                        "/d/menu/Velmora.desktop"}));

class Shortcut : public ::testing::Test {
 protected:
  platform::ShortcutDefinition Definition() const {
    platform::ShortcutDefinition definition;
    definition.target = "/opt/Velmora App/velmora";
    definition.parameters = "--profile \"my profile\" -x";
    definition.link_file = folder / "menu/Velmora.lnk";
    definition.description = "Velmora Browser";
    definition.working_folder = "/opt/Velmora App";
    definition.icon_file = "/opt/Velmora App/velmora.png";
    return definition;
  }
  std::map<std::string, std::string> ReadEntry(const std::string& name) const {
    auto values = platform::ParseDesktopEntry(folder.Read(name));
    EXPECT_TRUE(values);
    return values.value_or(std::map<std::string, std::string>{});
  }
  TempFolder folder;
};

TEST_F(Shortcut, WritesTheDesktopEntry) {
  ASSERT_TRUE(platform::CreateShortcut(Definition()));
  EXPECT_FALSE(platform::PathExists(folder / "menu/Velmora.lnk"));
  EXPECT_EQ(folder.Read("menu/Velmora.desktop"),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Velmora Browser\n"
            "Comment=Velmora Browser\n"
            "Exec=\"/opt/Velmora App/velmora\" \"--profile\" \"my profile\" \"-x\"\n"
            "Path=/opt/Velmora App\n"
            "Icon=/opt/Velmora App/velmora.png\n");
  struct stat st {};
  ASSERT_EQ(stat((folder / "menu/Velmora.desktop").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
}

TEST_F(Shortcut, LeavesOutWhatIsNotGiven) {
  platform::ShortcutDefinition definition = Definition();
  definition.description.clear();
  definition.parameters.clear();
  definition.working_folder.clear();
  definition.icon_index = -1;
  ASSERT_TRUE(platform::CreateShortcut(definition));
  EXPECT_EQ(
      ReadEntry("menu/Velmora.desktop"),
      (std::map<std::string, std::string>{
          {"Type", "Application"}, {"Name", "Velmora"}, {"Exec", "\"/opt/Velmora App/velmora\""}}));
  definition.icon_index = 0;
  definition.icon_file.clear();
  ASSERT_TRUE(platform::CreateShortcut(definition));
  EXPECT_EQ(ReadEntry("menu/Velmora.desktop").count("Icon"), 0u);
}

TEST_F(Shortcut, ValuesCannotAddLinesOrKeys) {
  platform::ShortcutDefinition definition = Definition();
  definition.description = "Velmora\nExec=/bin/evil\r\n[Desktop Action x]";
  definition.parameters = "\"a\nTerminal=true\" $(id) `id` %f";
  definition.working_folder = "/opt\nHidden=true";
  ASSERT_TRUE(platform::CreateShortcut(definition));
  const std::string text = folder.Read("menu/Velmora.desktop");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7);
  const auto entry = ReadEntry("menu/Velmora.desktop");
  EXPECT_EQ(entry.size(), 6u);
  EXPECT_EQ(entry.at("Comment"), definition.description);
  EXPECT_EQ(entry.at("Path"), definition.working_folder);
  EXPECT_EQ(platform::SplitExecValue(entry.at("Exec")),
            (std::vector<std::string>{"/opt/Velmora App/velmora", "a\nTerminal=true", "$(id)",
                                      "`id`", "%f"}));
}

TEST_F(Shortcut, ReplacesAnExistingShortcut) {
  folder.Write("menu/Velmora.desktop", "old");
  ASSERT_TRUE(platform::CreateShortcut(Definition()));
  EXPECT_EQ(ReadEntry("menu/Velmora.desktop").at("Name"), "Velmora Browser");
  EXPECT_EQ(platform::ListFolder(folder / "menu")->size(), 1u);
}

TEST_F(Shortcut, RefusesWhatCannotBeWritten) {
  std::vector<platform::ShortcutDefinition> definitions(5, Definition());
  definitions[0].target.clear();
  definitions[1].description = std::string("nul\0", 4);
  definitions[2].icon_file = "/opt/\xff.png";
  definitions[3].link_file = folder / "menu/";
  definitions[4].link_file = folder / "file/Velmora.lnk";
  folder.Write("file", "a file where the folder should be");
  for (const platform::ShortcutDefinition& definition : definitions) {
    SCOPED_TRACE(definition.link_file);
    EXPECT_FALSE(platform::CreateShortcut(definition));
  }
  EXPECT_FALSE(platform::PathExists(folder / "menu"));
}

}  // namespace
