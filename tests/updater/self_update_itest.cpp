// The self-update hand-off end to end. The built updater runs in a layout of
// its own against a loopback server that offers another updater version; after
// it has ended, the copy program it started replaces its program file with
// the new one. A run whose download or installation fails arms nothing. The
// copy program carried by the updater is also run on hand-offs prepared in
// this process, where the staged program is missing or the paths are unusual.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/system_paths.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_http_server.h"
#include "updater/core/exit_status.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_version.h"
#include "updater/description/md5.h"
#include "updater/tasks/install/install.h"
#include "updater/tasks/self_update/embedded_copy_program.h"
#include "updater/tasks/self_update/self_update.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kRunBoundMs = 60000;
constexpr std::int64_t kCopyBoundMs = 20000;  // the copy program waits 3 s first
// The newer build: a program that ends with exit code 7.
constexpr char kNewBuild[] = "#!/bin/sh\nexit 7\n";
constexpr char kNewBuildPath[] = "/files/new_updater";

std::string Md5Hex(const std::string& bytes) { return CMd5::HexOf(bytes); }

std::string ReadAll(const std::string& path) {
  return platform::ReadFile(path, 256 << 20).value_or("");
}

unsigned ModeOf(const std::string& path) {
  return static_cast<unsigned>(fs::status(path).permissions()) & 0777;
}

// The running copy programs at a path.
std::vector<platform::ProcessId> RunningPrograms(const std::string& path) {
  std::vector<platform::ProcessId> pids;
  for (const platform::ProcessInfo& process : platform::ListProcesses())
    if (process.own && process.executable == path) pids.push_back(process.pid);
  return pids;
}

// --- The built updater ---------------------------------------------------------

struct RunCase {
  const char* name;
  std::string offered_digest;  // the HASH of the description
  std::string update_file_extra;
  bool replaced;
  int exit_code;  // of the updater's run
};

class SelfUpdateRun : public ::testing::TestWithParam<RunCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.ok()) << server_.Error();
    program_ = folder_ / "app/Velmora Updater";
    platform::CreateFolders(folder_ / "app");
    platform::CreateFolders(folder_ / "tmp");
    platform::CreateFolders(folder_ / "home");
    fs::copy_file(VELMORA_UPDATER_PROGRAM, program_);
    old_build_ = ReadAll(program_);
    folder_.Write("app/settings.ini",
                  "[APPLICATION]\nNAME=SelfUpdate App\nVERSION=1.0.0.0\n"
                  "LOCATION=%updater%program\n[UPDATER]\nSELFUPDATE=" +
                      server_.Url("/selfupdate.xml") + "\n");
    // The application itself is current; the file-by-file check takes the
    // updater record as needed.
    folder_.Write("app/updatefile.xml",
                  "<?xml version=\"1.0\" ?>\n<UPDATEINFO>\n  <GENERAL>\n"
                  "    <VERSION>1.0.0.0</VERSION>\n    <CHECKSEPARATELY>true</CHECKSEPARATELY>\n"
                  "    <SELFUPDATE>true</SELFUPDATE>\n  </GENERAL>\n" +
                      GetParam().update_file_extra + "</UPDATEINFO>\n");
    server_.ServeFile(kNewBuildPath, kNewBuild);
    server_.ServeFile("/selfupdate.xml",
                      "<?xml version=\"1.0\" ?>\n<SELFUPDATE>\n  <VERSION>9.0.0.1</VERSION>\n"
                      "  <LOCATION>" +
                          server_.Url(kNewBuildPath) + "</LOCATION>\n  <HASH>" +
                          GetParam().offered_digest + "</HASH>\n</SELFUPDATE>\n");
  }

  // Runs the updater hidden to its end; returns the user's temporary folder.
  std::string RunUpdater(int expected_exit_code) {
    ScopedEnvironment environment;
    environment.Set("TMPDIR", folder_ / "tmp");
    environment.Set("HOME", folder_ / "home");
    environment.Set("XDG_CONFIG_HOME", folder_ / "home/.config");
    environment.Set("XDG_DATA_HOME", folder_ / "home/.local/share");
    environment.Set("XDG_STATE_HOME", folder_ / "home/.local/state");
    environment.Set("XDG_SESSION_ID", std::nullopt);
    environment.Set("WAYLAND_DISPLAY", std::nullopt);
    environment.Set("DISPLAY", ":velmora-test");  // the session check passes
    for (const char* proxy :
         {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"})
      environment.Set(proxy, std::nullopt);
    environment.Set("no_proxy", "127.0.0.1,localhost");
    const std::string temp = platform::PrivateTempFolder().value_or("");
    EXPECT_FALSE(temp.empty());

    platform::StartResult started = platform::StartProgram(program_, {"-mode", "hidden"}, "");
    EXPECT_TRUE(started.status.ok()) << started.status.message();
    if (!started.status) return temp;
    std::optional<int> exit_code = platform::WaitForProcess(started.pid, kRunBoundMs);
    if (!exit_code) {
      platform::TerminateProcess(started.pid, true);
      platform::WaitForProcess(started.pid, kRunBoundMs);
      ADD_FAILURE() << "the updater did not end within " << kRunBoundMs << " ms";
    } else {
      EXPECT_EQ(*exit_code, expected_exit_code);
    }
    return temp;
  }

  TestHttpServer server_;
  TempFolder folder_;
  std::string program_;
  std::string old_build_;
};

TEST_P(SelfUpdateRun, ReplacesTheUpdaterOnlyAfterACompletedRun) {
  const RunCase& c = GetParam();
  const std::string temp = RunUpdater(c.exit_code);
  ASSERT_FALSE(temp.empty());
  const std::string copy_program = temp + "/" + CopyProgramFileName();
  const std::string staged = temp + "/" + UpdaterProgramFileName();
  // The copy program, when it was started, is still in its wait now.
  const std::vector<platform::ProcessId> copying = RunningPrograms(copy_program);
  if (!copying.empty()) {
    EXPECT_TRUE(platform::WaitForProcessesToEnd(copying, kCopyBoundMs));
  }

  const std::string log = DecodeTextFile(
      platform::ReadFile(temp + "/" + LogFileName("SelfUpdate App"), 1 << 20).value_or(""));
  EXPECT_NE(log.find("self-update: updater version 9.0.0.1 from " + server_.Url(kNewBuildPath) +
                     " replaces " + UPDATER_VERSION),
            std::string::npos)
      << log;
  const std::string run_line = "handle eventaction RUN (" + copy_program + ")";
  EXPECT_EQ(log.find(run_line) != std::string::npos, c.replaced) << log;
  EXPECT_EQ(copying.size(), c.replaced ? 1u : 0u);

  if (c.replaced) {
    EXPECT_EQ(log.find("TASK_ROLLBACK"), std::string::npos) << log;
    EXPECT_EQ(ReadAll(program_), kNewBuild);
    EXPECT_EQ(ModeOf(program_), 0755u);
    // The new build is what runs now.
    platform::StartResult started = platform::StartProgram(program_, {}, "");
    ASSERT_TRUE(started.status.ok()) << started.status.message();
    EXPECT_EQ(platform::WaitForProcess(started.pid, kRunBoundMs), 7);
  } else {
    EXPECT_NE(log.find("TASK_ROLLBACK"), std::string::npos) << log;
    EXPECT_TRUE(ReadAll(program_) == old_build_) << "the updater program was changed";
    // Nothing of this run is left to hand over.
    EXPECT_FALSE(platform::PathExists(staged));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SelfUpdateRun,
    ::testing::Values(RunCase{"Replaced", Md5Hex(kNewBuild), "", true, kExitOk},
                      // The download does not have the digest the description gives.
                      RunCase{"DigestDiffers", Md5Hex("another build"), "", false, kExitFailed},
                      // The new program is staged, then an INI item cannot be written: the
                      // installation is rolled back.
                      RunCase{
                          "InstallFailsAfterStaging", Md5Hex(kNewBuild),
                          "  <INI><ITEM><LOCATION>%updater%settings.ini/below a file.ini</LOCATION>"
                          "<GROUP>G</GROUP><KEY>K</KEY><VALUE>V</VALUE></ITEM></INI>\n",
                          false, kExitRolledBack}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return info.param.name; });

// --- The carried copy program on hand-offs prepared here ---------------------------

// Removes the display variables for the life of the object, so that a failure
// of the copy program goes to standard error and the system log, not a dialog.
class NoDisplay {
 public:
  NoDisplay() {
    environment_.Set("DISPLAY", std::nullopt);
    environment_.Set("WAYLAND_DISPLAY", std::nullopt);
  }

 private:
  ScopedEnvironment environment_;
};

struct HandOffCase {
  const char* name;
  std::string app_folder;   // below the test's folder
  std::string temp_folder;  // below the test's folder
  bool staged;
  int exit_code;
};

TEST(SelfUpdateHandOff, TheCarriedCopyProgramReplacesOrLeavesTheOldProgram) {
  NoDisplay no_display;
  TempFolder folder;
  CUpdaterLog::Instance().Open(folder / "log.txt", false);
  const std::vector<HandOffCase> cases = {
      {"Staged", "replaced/app", "replaced/tmp", true, 0},
      {"NothingStaged", "missing/app", "missing/tmp", false, 1},
      {"BlanksAndNonAscii", "odd/Program Files/Jürgen's app", "odd/tmp folder ü", true, 0},
  };

  struct Started {
    platform::StartResult result;
    std::string target;
  };
  std::vector<Started> started;
  for (const HandOffCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string target = folder.Write(c.app_folder + "/Velmora Updater", "old build");
    fs::permissions(target, static_cast<fs::perms>(0755), fs::perm_options::replace);
    const std::string temp = folder / c.temp_folder;
    const std::string updater_temp = temp + "/updater_temp_App/1.0/";
    platform::CreateFolders(updater_temp);
    const std::string description = folder.Write(
        c.temp_folder + "/updater_temp_App/1.0/selfupdate.xml",
        "<SELFUPDATE><VERSION>9.0.0.1</VERSION><LOCATION>https://h/u</LOCATION></SELFUPDATE>");

    CUpdateFileData data;
    CEventTable events;
    CSelfUpdateInfo info;
    ASSERT_EQ(
        PrepareSelfUpdate(description, SelfUpdateContext{.data = data,
                                                         .events = events,
                                                         .info = info,
                                                         .folders = {.updater_temp = updater_temp,
                                                                     .temp = temp + "/",
                                                                     .running_updater = target}}),
        SelfUpdateOutcome::kPrepared);
    // What the install leaves: the copy program and, after its copy action,
    // the staged program.
    ASSERT_TRUE(WriteCopyProgram(temp, EmbeddedCopyProgram()).ok());
    const auto& copy = std::get<CFileActionCopy>(data.files.back().actions[1]);
    if (c.staged) platform::WriteFileAtomic(copy.new_location, "new build");

    // The ONCLOSE action, started as the update process starts it.
    const auto& run = std::get<CEventActionRun>(events.Find("ONCLOSE")->actions.back());
    ASSERT_TRUE(platform::FileExists(run.location));
    started.push_back(
        {platform::StartProgram(run.location, platform::SplitCommandLine(run.parameters),
                                platform::FolderOf(run.location)),
         target});
    ASSERT_TRUE(started.back().result.status.ok()) << started.back().result.status.message();
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(platform::WaitForProcess(started[i].result.pid, kCopyBoundMs), cases[i].exit_code);
    EXPECT_EQ(ReadAll(started[i].target), cases[i].staged ? "new build" : "old build");
    EXPECT_EQ(ModeOf(started[i].target), 0755u);
  }
  CUpdaterLog::ResetInstance();
}

}  // namespace
