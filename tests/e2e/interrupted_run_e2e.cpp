// A run interrupted while the installation waits in a run action, after it has
// replaced files, removed one and made a folder: a second start for the same
// application, SIGTERM, and SIGKILL followed by the next start. The run action
// is a script that announces itself through one FIFO and waits on another, so
// the test knows when the run is inside the installation without polling.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/file_system.h"
#include "tests/e2e/updater_installation.h"
#include "tests/support/nginx_fixture.h"
#include "updater/core/exit_status.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"

namespace {

using Installation = UpdaterInstallation;

constexpr int kReachBoundMs = 60000;

// The run action's script and its two FIFOs: "reached" (the script writes a
// line when it runs) and "gate" (it waits until the test opens and closes it).
class Gate {
 public:
  explicit Gate(const TempFolder& folder)
      : script_(folder / "gate/gate.sh"),
        reached_(folder / "gate/reached"),
        gate_(folder / "gate/gate") {
    platform::CreateFolders(folder / "gate");
    folder.Write("gate/gate.sh",
                 "#!/bin/sh\necho reached > '" + reached_ + "'\nread line < '" + gate_ + "'\n");
    ::chmod(script_.c_str(), 0755);
    ::mkfifo(reached_.c_str(), 0600);
    ::mkfifo(gate_.c_str(), 0600);
    reached_fd_ = ::open(reached_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  }
  ~Gate() {
    if (reached_once_) Open();
    if (reached_fd_ >= 0) ::close(reached_fd_);
  }

  const std::string& Script() const { return script_; }

  // Waits, bounded, until the script has announced itself.
  bool WaitUntilReached() {
    pollfd wait{reached_fd_, POLLIN, 0};
    if (::poll(&wait, 1, kReachBoundMs) != 1 || !(wait.revents & POLLIN)) return false;
    char line[16];
    if (::read(reached_fd_, line, sizeof line) <= 0) return false;
    reached_once_ = true;
    return true;
  }
  // Lets the waiting script end.
  void Open() {
    int fd = ::open(gate_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd >= 0) ::close(fd);
    reached_once_ = false;
  }

 private:
  std::string script_;
  std::string reached_;
  std::string gate_;
  int reached_fd_ = -1;
  bool reached_once_ = false;
};

class InterruptedRun : public ::testing::Test {
 protected:
  void SetUp() override {
    installation_.WriteSampleReleases();
    if (!nginx_.Start()) GTEST_SKIP() << nginx_.Message();
    ASSERT_EQ(installation_.Publish(nginx_.HttpUrl("/"), {"--enable-rollback"}), "");
    // The run action comes after every file of the release.
    installation_.ReplaceInPublishedUpdateFile(
        "</FILES>",
        std::string("    <FILE name=\"gate\" location=\"%app%gate.marker\" version=\"\" date=\"\" "
                    "hash=\"\" check=\"hash\" section=\"") +
            Installation::kAppName + "\">\n      <ACTION type=\"run\"><LOCATION>" + gate_.Script() +
            "</LOCATION><WAIT>true</WAIT></ACTION>\n    </FILE>\n  </FILES>");
    installation_.Install(nginx_.HttpUrl("/updatefile.xml"));
    before_ = SnapshotTree(installation_.InstallFolder());
  }

  std::string TempFolderOfApp() const {
    return installation_.PrivateTemp() + "/updater_temp_" + Installation::kAppName;
  }
  std::string LogPath() const {
    return installation_.PrivateTemp() + "/" + LogFileName(Installation::kAppName);
  }
  std::string JournalFile() const {
    return installation_.folder() / "home/.local/state/velmora/journal/E2E App/journal";
  }
  // Starts the updater and waits until it is inside the installation.
  platform::ProcessId StartUntilTheGate() {
    platform::ProcessId pid = installation_.StartUpdater();
    EXPECT_GT(pid, 0);
    EXPECT_TRUE(gate_.WaitUntilReached()) << installation_.Log();
    return pid;
  }

  Installation installation_;
  NginxFixture nginx_{installation_.WwwFolder()};
  Gate gate_{installation_.folder()};
  TreeSnapshot before_;
};

TEST_F(InterruptedRun, ASecondStartLeavesTheRunningUpdateAlone) {
  const platform::ProcessId first = StartUntilTheGate();
  // The first run keeps its journal on disk while it waits.
  EXPECT_TRUE(platform::FileExists(JournalFile()));
  const TreeSnapshot temp = SnapshotTree(TempFolderOfApp());
  const std::string log = platform::ReadFile(LogPath(), 1 << 24).value_or("");
  ASSERT_FALSE(log.empty());

  const UpdaterRun second = installation_.RunUpdater();
  ASSERT_TRUE(second.ended);
  EXPECT_EQ(second.exit_code, kExitAlreadyRunning);
  EXPECT_EQ(TreeDifferences(temp, SnapshotTree(TempFolderOfApp())), "");
  const std::string after = platform::ReadFile(LogPath(), 1 << 24).value_or("");
  ASSERT_EQ(after.substr(0, log.size()), log) << DecodeTextFile(after);
  EXPECT_NE(DecodeTextFile(after).find("another updater is already running for E2E App"),
            std::string::npos)
      << DecodeTextFile(after);

  gate_.Open();
  const UpdaterRun run = installation_.WaitForUpdater(first);
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.log.find("TASK_ROLLBACK"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("task ready: TASK_INSTALL"), std::string::npos) << run.log;
  EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kNewVersion);
  // A successful run removes its journal.
  EXPECT_FALSE(platform::PathExists(JournalFile()));
}

TEST_F(InterruptedRun, SigtermRollsTheRunBackInOrder) {
  const platform::ProcessId pid = StartUntilTheGate();
  ASSERT_TRUE(platform::TerminateProcess(pid, false));
  const UpdaterRun run = installation_.WaitForUpdater(pid);
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_NE(run.log.find("signal 15 received: cancel the run"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("task ready: TASK_ROLLBACK"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("rollback: every change was undone"), std::string::npos) << run.log;
  EXPECT_EQ(TreeDifferences(before_, SnapshotTree(installation_.InstallFolder())), "") << run.log;
  EXPECT_FALSE(platform::PathExists(JournalFile()));
}

TEST_F(InterruptedRun, TheNextStartRollsBackARunThatWasKilled) {
  const platform::ProcessId pid = StartUntilTheGate();
  ASSERT_TRUE(platform::TerminateProcess(pid, true));
  installation_.WaitForUpdater(pid);
  EXPECT_NE(TreeDifferences(before_, SnapshotTree(installation_.InstallFolder())), "");

  // The next start finds no server: it undoes the killed run and ends.
  nginx_.Stop();
  const UpdaterRun run = installation_.RunUpdater();
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_NE(run.log.find("rollback of an interrupted run: undoing "), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("rollback of an interrupted run: every change was undone"),
            std::string::npos)
      << run.log;
  EXPECT_EQ(TreeDifferences(before_, SnapshotTree(installation_.InstallFolder())), "") << run.log;
  EXPECT_FALSE(platform::PathExists(JournalFile()));
}

}  // namespace
