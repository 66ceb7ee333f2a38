#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/posix/desktop_entry.h"
#include "platform/posix/restart_entry.h"
#include "platform/system_paths.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"

namespace {

using Command = std::vector<std::string>;

class RestartEntry : public ::testing::Test {
 protected:
  std::string EntryPath() const { return folder / "autostart/velmora-updater-restart.desktop"; }
  TempFolder folder;
};

TEST_F(RestartEntry, LivesInTheAutostartFolderOfTheUser) {
  ScopedEnv config("XDG_CONFIG_HOME", folder.path());
  EXPECT_EQ(platform::RestartEntryPath(), EntryPath());
}

TEST_F(RestartEntry, RunsThisProgramWithTheHiddenOptionAndNamesTheApplication) {
  const std::string program = "/opt/Velmora Updater/Velmora Updater";
  const std::string application = "/opt/Velmora $App/app";
  ASSERT_TRUE(platform::WriteRestartEntry(application, EntryPath(), program));
  const auto entry =
      platform::ParseDesktopEntry(folder.Read("autostart/velmora-updater-restart.desktop"));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->at("Type"), "Application");
  EXPECT_EQ(entry->at("Name"), "Updater application restart");
  EXPECT_EQ(platform::SplitExecValue(entry->at("Exec")),
            (Command{program, platform::kRestartEntryOption}));
  EXPECT_EQ(entry->at(platform::kRestartEntryApplicationKey), application);
  struct stat st {};
  ASSERT_EQ(stat(EntryPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(RestartEntry, WrittenForThisProgramIntoTheConfigurationFolder) {
  ScopedEnv config("XDG_CONFIG_HOME", folder.path());
  ASSERT_TRUE(platform::WriteRestartEntry("C:\\Velmora\\app"));
  const auto entry =
      platform::ParseDesktopEntry(folder.Read("autostart/velmora-updater-restart.desktop"));
  ASSERT_TRUE(entry);
  EXPECT_EQ(platform::SplitExecValue(entry->at("Exec")),
            (Command{platform::ExecutablePath(), platform::kRestartEntryOption}));
  EXPECT_EQ(entry->at(platform::kRestartEntryApplicationKey), "C:/Velmora/app");
}

TEST_F(RestartEntry, AnApplicationPathCannotAddLines) {
  const std::string application = "/opt/app\nExec=/bin/evil";
  ASSERT_TRUE(platform::WriteRestartEntry(application, EntryPath(), "/opt/updater"));
  const auto entry =
      platform::ParseDesktopEntry(folder.Read("autostart/velmora-updater-restart.desktop"));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->size(), 5u);
  EXPECT_EQ(platform::SplitExecValue(entry->at("Exec")),
            (Command{"/opt/updater", platform::kRestartEntryOption}));
  EXPECT_EQ(platform::TakeRestartEntry(EntryPath()), application);
  EXPECT_FALSE(platform::WriteRestartEntry("", EntryPath(), "/opt/updater"));
  EXPECT_FALSE(platform::WriteRestartEntry(std::string("/a\0b", 4), EntryPath(), "/opt/updater"));
  EXPECT_FALSE(platform::PathExists(EntryPath()));
}

TEST_F(RestartEntry, IsTakenOnceAndRemoved) {
  ASSERT_TRUE(platform::WriteRestartEntry("/opt/app/app", EntryPath(), "/opt/updater"));
  EXPECT_EQ(platform::TakeRestartEntry(EntryPath()), "/opt/app/app");
  EXPECT_FALSE(platform::PathExists(EntryPath()));
  EXPECT_EQ(platform::TakeRestartEntry(EntryPath()), std::nullopt);
}

TEST_F(RestartEntry, AnEntryWithoutApplicationIsRemovedAndStartsNothing) {
  folder.Write("autostart/velmora-updater-restart.desktop",
               "[Desktop Entry]\nName=Updater application restart\n");
  EXPECT_EQ(platform::TakeRestartEntry(EntryPath()), std::nullopt);
  EXPECT_FALSE(platform::PathExists(EntryPath()));
}

TEST_F(RestartEntry, ALinkInItsPlaceIsRemovedNotFollowed) {
  const std::string target =
      folder.Write("elsewhere.desktop", "[Desktop Entry]\nX-Velmora-Application=/bin/evil\n");
  ASSERT_TRUE(platform::CreateFolders(folder / "autostart"));
  ASSERT_EQ(symlink(target.c_str(), EntryPath().c_str()), 0);
  EXPECT_EQ(platform::TakeRestartEntry(EntryPath()), std::nullopt);
  EXPECT_FALSE(platform::PathExists(EntryPath()));
  EXPECT_TRUE(platform::FileExists(target));
}

struct RestartCase {
  std::vector<std::optional<int>> answers;  // of the commands, in order
  std::size_t commands_run;
  bool ok;
};

class RestartSystem : public ::testing::TestWithParam<RestartCase> {};

TEST_P(RestartSystem, AsksLogindThenSystemctl) {
  const RestartCase& c = GetParam();
  std::vector<Command> run;
  const platform::Status status = platform::RestartSystem([&](const Command& command) {
    run.push_back(command);
    return c.answers.at(run.size() - 1);
  });
  EXPECT_EQ(status.ok(), c.ok);
  const std::vector<Command> expected = {
      {"busctl", "call", "org.freedesktop.login1", "/org/freedesktop/login1",
       "org.freedesktop.login1.Manager", "Reboot", "b", "false"},
      {"systemctl", "reboot"}};
  EXPECT_EQ(run, std::vector<Command>(expected.begin(), expected.begin() + c.commands_run));
}

INSTANTIATE_TEST_SUITE_P(Answers, RestartSystem,
                         ::testing::Values(RestartCase{{0}, 1, true}, RestartCase{{1, 0}, 2, true},
                                           RestartCase{{std::nullopt, 0}, 2, true},
                                           RestartCase{{1, 1}, 2, false},
                                           RestartCase{{std::nullopt, std::nullopt}, 2, false}));

}  // namespace
