// The wizard of the full mode, driven as a person drives it: the built updater
// runs against nginx with its windows on a private X server, and xdotool
// presses its keys (Return presses the enabled Next or Finish, Escape is
// Cancel). The test follows the run through the updater's log, so a key is
// pressed only once the page it is meant for can take it. Every wait is
// bounded; the screenshots stay in the test's folder, also when it fails.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "tests/e2e/updater_installation.h"
#include "tests/e2e/wizard_person.h"
#include "tests/support/nginx_fixture.h"
#include "tests/support/xvfb_fixture.h"
#include "updater/core/exit_status.h"

namespace {

using Installation = UpdaterInstallation;

constexpr char kBigFilePath[] = "/files/data/big.bin";
constexpr std::int64_t kBigFileBytes = 4 * 1024 * 1024;
constexpr std::int64_t kBytesPerSecond = 256 * 1024;

class WizardRun : public ::testing::Test {
 protected:
  void SetUp() override {
    installation_.WriteSampleReleases();
    if (!nginx_.Start()) GTEST_SKIP() << nginx_.Message();
    if (!xvfb_.Start()) GTEST_FAIL() << xvfb_.Message();
  }

  // Starts the updater in the full mode on the test's display; the person at it.
  WizardPerson StartFullMode() {
    updater_ = installation_.StartUpdater({{"DISPLAY", xvfb_.Display()}}, "full");
    return WizardPerson(installation_, xvfb_, updater_);
  }

  // The update file's address on the server.
  std::string UpdateFileUrl() const { return nginx_.HttpUrl("/updatefile.xml"); }

  Installation installation_;
  NginxFixture nginx_{installation_.WwwFolder()};
  XvfbFixture xvfb_;
  platform::ProcessId updater_ = 0;
};

// Welcome, check, selection, download, install, finish: the update is on disk.
TEST_F(WizardRun, TheWholeWizardToFinishUpdatesTheApplication) {
  ASSERT_EQ(installation_.Publish(nginx_.HttpUrl("/")), "");
  installation_.Install(UpdateFileUrl());
  const WizardPerson person = StartFullMode();
  ASSERT_GT(updater_, 0);

  ASSERT_TRUE(person.WaitForWindow(WizardPerson::WizardTitle())) << installation_.Log();
  EXPECT_EQ(person.Shot("welcome"), "");
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_CHECKVERSION"))
      << installation_.Log();
  ASSERT_TRUE(person.WaitForLog("task ready: TASK_CHECKVERSION")) << installation_.Log();
  EXPECT_EQ(person.Shot("check"), "");
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_SELECTUPDATE"))
      << installation_.Log();
  EXPECT_EQ(person.Shot("selection"), "");
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_DOWNLOAD")) << installation_.Log();
  ASSERT_TRUE(person.WaitForLog("task ready: TASK_DOWNLOAD")) << installation_.Log();
  EXPECT_EQ(person.Shot("download"), "");
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_INSTALL")) << installation_.Log();
  ASSERT_TRUE(person.WaitForLog("task ready: TASK_INSTALL")) << installation_.Log();
  EXPECT_EQ(person.Shot("install"), "");
  ASSERT_EQ(person.Key("Return"), "");  // to the finish page
  EXPECT_EQ(person.Shot("finish"), "");
  ASSERT_EQ(person.Key("Return"), "");  // Finish

  const UpdaterRun run = installation_.WaitForUpdater(updater_);
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_EQ(run.exit_code, kExitOk) << run.log;
  EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kNewVersion);
  EXPECT_EQ(TreeDifferences(SnapshotTree(installation_.ReleaseFolder(Installation::kNewVersion)),
                            SnapshotTree(installation_.ApplicationFolder())),
            "");
  EXPECT_EQ(run.log.find("TASK_ROLLBACK"), std::string::npos) << run.log;
}

// Cancel while a large file comes slowly, Yes in the confirmation: the run
// ends cancelled (nothing was installed yet) and the application is unchanged
// byte for byte.
TEST_F(WizardRun, CancelDuringTheDownloadLeavesTheApplicationAsItWas) {
  installation_.WriteReleaseFile(Installation::kNewVersion, "data/big.bin",
                                 std::string(static_cast<std::size_t>(kBigFileBytes), 'v'));
  nginx_.Stop();
  nginx_.LimitRate(kBigFilePath, kBytesPerSecond);
  ASSERT_TRUE(nginx_.Start()) << nginx_.Message();
  ASSERT_EQ(installation_.Publish(nginx_.HttpUrl("/")), "");
  installation_.Install(UpdateFileUrl());
  const TreeSnapshot before = SnapshotTree(installation_.ApplicationFolder());
  const WizardPerson person = StartFullMode();
  ASSERT_GT(updater_, 0);

  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_CHECKVERSION"))
      << installation_.Log();
  ASSERT_TRUE(person.WaitForLog("task ready: TASK_CHECKVERSION")) << installation_.Log();
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_SELECTUPDATE"))
      << installation_.Log();
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_DOWNLOAD")) << installation_.Log();
  ASSERT_EQ(person.Key("Escape"), "");
  ASSERT_EQ(person.KeyTo("^Stop updating$", "Return"), "") << installation_.Log();  // Yes

  const UpdaterRun run = installation_.WaitForUpdater(updater_);
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_EQ(run.exit_code, kExitCancelled) << run.log;
  EXPECT_EQ(run.log.find("task ready: TASK_DOWNLOAD"), std::string::npos) << run.log;
  EXPECT_EQ(run.log.find("starting task: TASK_INSTALL"), std::string::npos) << run.log;
  EXPECT_EQ(TreeDifferences(before, SnapshotTree(installation_.ApplicationFolder())), "");
  EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kOldVersion);
}

// The server does not have the update file: the error dialog says so, and once
// the person closes it the run ends without a rollback.
TEST_F(WizardRun, AServerErrorShowsTheErrorAndEndsWithoutRollback) {
  ASSERT_EQ(installation_.Publish(nginx_.HttpUrl("/")), "");
  installation_.Install(nginx_.HttpUrl("/no-such-updatefile.xml"));
  const TreeSnapshot before = SnapshotTree(installation_.ApplicationFolder());
  const WizardPerson person = StartFullMode();
  ASSERT_GT(updater_, 0);

  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_CHECKVERSION"))
      << installation_.Log();
  ASSERT_TRUE(person.WaitForWindow("^Can't connect to server$")) << installation_.Log();
  EXPECT_EQ(person.Shot("server_error"), "");
  ASSERT_EQ(person.KeyTo("^Can't connect to server$", "Return"), "");  // OK

  const UpdaterRun run = installation_.WaitForUpdater(updater_);
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_NE(run.exit_code, kExitOk) << run.log;
  EXPECT_EQ(run.log.find("TASK_ROLLBACK"), std::string::npos) << run.log;
  EXPECT_EQ(TreeDifferences(before, SnapshotTree(installation_.ApplicationFolder())), "");
}

// A file that the server lost after publishing: the error dialog, then the
// rollback page, and Finish ends the run with the application as it was.
TEST_F(WizardRun, AMissingFileShowsTheErrorThenTheRollbackPage) {
  ASSERT_EQ(installation_.Publish(nginx_.HttpUrl("/")), "");
  ASSERT_TRUE(platform::RemoveFile(installation_.WwwFolder() + "/files/data/new.txt").ok());
  installation_.Install(UpdateFileUrl());
  const TreeSnapshot before = SnapshotTree(installation_.ApplicationFolder());
  const WizardPerson person = StartFullMode();
  ASSERT_GT(updater_, 0);

  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_CHECKVERSION"))
      << installation_.Log();
  ASSERT_TRUE(person.WaitForLog("task ready: TASK_CHECKVERSION")) << installation_.Log();
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_SELECTUPDATE"))
      << installation_.Log();
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_DOWNLOAD")) << installation_.Log();
  ASSERT_EQ(person.KeyTo("^File not found$", "Return"), "") << installation_.Log();  // OK
  ASSERT_TRUE(person.WaitForLog("task ready: TASK_ROLLBACK")) << installation_.Log();
  EXPECT_EQ(person.Shot("rollback"), "");
  ASSERT_EQ(person.Key("Return"), "");  // Finish

  const UpdaterRun run = installation_.WaitForUpdater(updater_);
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_NE(run.exit_code, kExitOk) << run.log;
  EXPECT_EQ(TreeDifferences(before, SnapshotTree(installation_.ApplicationFolder())), "");
  EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kOldVersion);
}

// Nothing newer on the server (a hidden run brought the application up to
// date first): the check page says so and Finish ends the run.
TEST_F(WizardRun, NoNewVersionLetsTheCheckPageFinish) {
  ASSERT_EQ(installation_.Publish(nginx_.HttpUrl("/")), "");
  installation_.Install(UpdateFileUrl());
  const UpdaterRun update = installation_.RunUpdater();
  ASSERT_TRUE(update.ended) << update.log;
  ASSERT_EQ(update.exit_code, kExitOk) << update.log;
  installation_.RemoveLog();
  const WizardPerson person = StartFullMode();
  ASSERT_GT(updater_, 0);

  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_CHECKVERSION"))
      << installation_.Log();
  ASSERT_TRUE(person.WaitForLog("No new version is found")) << installation_.Log();
  EXPECT_EQ(person.Shot("no_new_version"), "");
  ASSERT_EQ(person.Key("Return"), "");  // Finish

  const UpdaterRun run = installation_.WaitForUpdater(updater_);
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_EQ(run.exit_code, kExitOk) << run.log;
  EXPECT_EQ(run.log.find("starting task: TASK_DOWNLOAD"), std::string::npos) << run.log;
  EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kNewVersion);
}

}  // namespace
