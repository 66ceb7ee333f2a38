// The silent mode on a desktop with a notification area (trayer) and a
// notification service (dunst on a private session bus): the update runs by
// itself with its icon in the area and a notification at each stage; a
// server error ends with the rollback, in order, and leaves the application
// as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/e2e/updater_installation.h"
#include "tests/support/desktop_fixture.h"
#include "tests/support/nginx_fixture.h"
#include "tests/support/xvfb_fixture.h"
#include "updater/core/exit_status.h"

namespace {

using Installation = UpdaterInstallation;

constexpr char kWindowsReady[] = "user interface: the windows are ready";
constexpr char kIconShown[] = "silent mode: the icon is in the desktop's notification area";

class SilentRun : public ::testing::Test {
 protected:
  void SetUp() override {
    installation_.WriteSampleReleases();
    if (!nginx_.Start()) GTEST_SKIP() << nginx_.Message();
    ASSERT_TRUE(xvfb_.Start()) << xvfb_.Message();
    ASSERT_TRUE(desktop_.StartNotifications()) << desktop_.Message();
    ASSERT_TRUE(desktop_.StartTray()) << desktop_.Message();
  }

  EnvironmentChanges Desktop() const {
    return {{"DISPLAY", xvfb_.Display()}, {"DBUS_SESSION_BUS_ADDRESS", desktop_.BusAddress()}};
  }

  Installation installation_;
  NginxFixture nginx_{installation_.WwwFolder()};
  XvfbFixture xvfb_;
  DesktopFixture desktop_{xvfb_};
};

TEST_F(SilentRun, UpdatesWithItsIconInTheNotificationArea) {
  ASSERT_EQ(installation_.Publish(nginx_.HttpUrl("/")), "");
  installation_.Install(nginx_.HttpUrl("/updatefile.xml"));

  const UpdaterRun run = installation_.RunUpdater(Desktop(), "silent");
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_EQ(run.exit_code, kExitOk) << run.log;
  EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kNewVersion)
      << run.log;
  EXPECT_NE(run.log.find(kWindowsReady), std::string::npos) << run.log;
  EXPECT_NE(run.log.find(kIconShown), std::string::npos) << run.log;
  // A notification at each stage, the last one with the new version.
  const std::vector<std::string> shown = desktop_.Notifications();
  ASSERT_GE(shown.size(), 3u) << run.log;
  EXPECT_NE(shown.back().find(Installation::kNewVersion), std::string::npos) << shown.back();
}

// A desktop whose notification service is missing: the notifier popup shows
// what the balloons would have.
TEST(SilentRunWithoutNotifications, ThePopupShowsThemAndTheUpdateCompletes) {
  Installation installation;
  installation.WriteSampleReleases();
  NginxFixture nginx{installation.WwwFolder()};
  if (!nginx.Start()) GTEST_SKIP() << nginx.Message();
  XvfbFixture xvfb;
  ASSERT_TRUE(xvfb.Start()) << xvfb.Message();
  DesktopFixture desktop{xvfb};
  ASSERT_TRUE(desktop.StartBus()) << desktop.Message();
  ASSERT_TRUE(desktop.StartTray()) << desktop.Message();
  ASSERT_EQ(installation.Publish(nginx.HttpUrl("/")), "");
  installation.Install(nginx.HttpUrl("/updatefile.xml"));

  const UpdaterRun run = installation.RunUpdater(
      {{"DISPLAY", xvfb.Display()}, {"DBUS_SESSION_BUS_ADDRESS", desktop.BusAddress()}}, "silent");
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_EQ(run.exit_code, kExitOk) << run.log;
  EXPECT_EQ(installation.SettingsValue("APPLICATION", "VERSION"), Installation::kNewVersion);
  EXPECT_NE(run.log.find(kIconShown), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("silent mode: the desktop did not show the notification; the popup "
                         "shows it"),
            std::string::npos)
      << run.log;
}

TEST_F(SilentRun, AServerErrorEndsWithTheRollbackInOrder) {
  ASSERT_EQ(installation_.Publish(nginx_.HttpUrl("/")), "");
  // The server no longer has a file of the release: it answers 404.
  const std::vector<std::string> files = platform::ListFolder(installation_.WwwFolder() + "/files")
                                             .value_or(std::vector<std::string>());
  int removed = 0;
  for (const std::string& name : files) {
    const std::string path = installation_.WwwFolder() + "/files/" + name;
    if (platform::FileExists(path) && platform::RemoveFile(path).ok()) ++removed;
  }
  ASSERT_GT(removed, 0);
  installation_.Install(nginx_.HttpUrl("/updatefile.xml"));
  const TreeSnapshot before = SnapshotTree(installation_.ApplicationFolder());

  const UpdaterRun run = installation_.RunUpdater(Desktop(), "silent");
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_EQ(run.exit_code, kExitFailed) << run.log;
  EXPECT_NE(run.log.find(kIconShown), std::string::npos) << run.log;

  const std::vector<std::string> tasks = TaskLines(run.log);
  const auto position = [&](const std::string& line) {
    return std::find(tasks.begin(), tasks.end(), line) - tasks.begin();
  };
  const auto missing = static_cast<std::ptrdiff_t>(tasks.size());
  EXPECT_LT(position("starting task: TASK_DOWNLOAD"), position("starting task: TASK_ROLLBACK"))
      << run.log;
  EXPECT_LT(position("starting task: TASK_ROLLBACK"), position("task ready: TASK_ROLLBACK"))
      << run.log;
  EXPECT_LT(position("task ready: TASK_ROLLBACK"), missing) << run.log;
  EXPECT_EQ(position("starting task: TASK_INSTALL"), missing) << run.log;
  EXPECT_EQ(TreeDifferences(before, SnapshotTree(installation_.ApplicationFolder())), "");
  EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kOldVersion);
  // The error was told through the notification service.
  EXPECT_FALSE(desktop_.Notifications().empty()) << run.log;
}

}  // namespace
