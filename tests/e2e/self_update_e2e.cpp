// The self-update against nginx: the release on the server enables the
// self-update, and the self-update description there offers a newer build of
// the updater. One hidden run installs the release and stages the new build;
// after the run, the copy program that the updater started replaces the
// updater's program file with it.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "tests/e2e/updater_installation.h"
#include "tests/support/nginx_fixture.h"
#include "updater/core/updater_version.h"
#include "updater/description/md5.h"
#include "updater/tasks/install/install.h"

namespace fs = std::filesystem;

namespace {

using Installation = UpdaterInstallation;

// The copy program waits 3 s before it copies.
constexpr std::int64_t kCopyBoundMs = 20000;
constexpr char kOfferedVersion[] = "9.0.0.1";
// The newer build: a program that tells its version and ends with exit code 7.
constexpr char kNewBuild[] = "#!/bin/sh\necho 'Velmora Updater 9.0.0.1'\nexit 7\n";
constexpr char kNewBuildPath[] = "/updater/Velmora%20Updater";

// The running processes of this user whose program is path.
std::vector<platform::ProcessId> RunningPrograms(const std::string& path) {
  std::vector<platform::ProcessId> pids;
  for (const platform::ProcessInfo& process : platform::ListProcesses())
    if (process.own && process.executable == path) pids.push_back(process.pid);
  return pids;
}

class SelfUpdateThroughNginx : public ::testing::Test {
 protected:
  void SetUp() override {
    installation_.WriteSampleReleases();
    if (!nginx_.Start()) GTEST_SKIP() << nginx_.Message();
    ASSERT_EQ(installation_.Publish(nginx_.HttpUrl("/")), "");
    installation_.ReplaceInPublishedUpdateFile("<SELFUPDATE>false</SELFUPDATE>",
                                               "<SELFUPDATE>true</SELFUPDATE>");
    const TempFolder& folder = installation_.folder();
    folder.Write("www/updater/Velmora Updater", kNewBuild);
    folder.Write("www/selfupdate.xml", std::string("<?xml version=\"1.0\" ?>\n<SELFUPDATE>\n") +
                                           "  <VERSION>" + kOfferedVersion + "</VERSION>\n" +
                                           "  <LOCATION>" + nginx_.HttpUrl(kNewBuildPath) +
                                           "</LOCATION>\n  <HASH>" + CMd5::HexOf(kNewBuild) +
                                           "</HASH>\n</SELFUPDATE>\n");
    installation_.Install(nginx_.HttpUrl("/updatefile.xml"), "",
                          "SELFUPDATE=" + nginx_.HttpUrl("/selfupdate.xml") + "\n");
  }

  Installation installation_;
  NginxFixture nginx_{installation_.WwwFolder()};
};

TEST_F(SelfUpdateThroughNginx, TheNewerBuildReplacesTheUpdaterAfterTheRun) {
  const UpdaterRun run = installation_.RunUpdater();
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_EQ(run.exit_code, 0);
  // The copy program, started at the end of the run, is still in its wait.
  const std::string copy_program = installation_.PrivateTemp() + "/" + CopyProgramFileName();
  const std::vector<platform::ProcessId> copying = RunningPrograms(copy_program);
  EXPECT_EQ(copying.size(), 1u) << run.log;
  EXPECT_TRUE(platform::WaitForProcessesToEnd(copying, kCopyBoundMs));

  EXPECT_NE(run.log.find(std::string("self-update: updater version ") + kOfferedVersion + " from " +
                         nginx_.HttpUrl(kNewBuildPath) + " replaces " + UPDATER_VERSION),
            std::string::npos)
      << run.log;
  EXPECT_NE(run.log.find("handle eventaction RUN (" + copy_program + ")"), std::string::npos)
      << run.log;
  EXPECT_EQ(run.log.find("TASK_ROLLBACK"), std::string::npos) << run.log;
  EXPECT_FALSE(nginx_.RequestsFor(kNewBuildPath).empty());

  // The application is the new release, and the updater the newer build.
  EXPECT_EQ(TreeDifferences(SnapshotTree(installation_.ReleaseFolder(Installation::kNewVersion)),
                            SnapshotTree(installation_.ApplicationFolder())),
            "");
  EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kNewVersion);
  const std::string program = installation_.UpdaterProgram();
  EXPECT_EQ(platform::ReadFile(program, 1 << 20).value_or(""), kNewBuild);
  EXPECT_EQ(static_cast<unsigned>(fs::status(program).permissions()) & 0777, 0755u);
  platform::StartResult started = platform::StartProgram(program, {}, "");
  ASSERT_TRUE(started.status.ok()) << started.status.message();
  EXPECT_EQ(platform::WaitForProcess(started.pid, kCopyBoundMs), 7);
}

}  // namespace
