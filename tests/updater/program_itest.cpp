// Runs the built updater program in a layout of its own: a copy of the program
// with settings.ini and updatefile.xml beside it, its temporary folder in the test's folder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/system_paths.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"

namespace {

constexpr std::int64_t kRunBoundMs = 60000;

struct ProgramCase {
  const char* name;
  std::vector<std::string> arguments;
  bool display;       // a display name is set, so that the session check passes
  bool log_expected;  // the run reached the update
};

class UpdaterProgram : public ::testing::TestWithParam<ProgramCase> {
 protected:
  void SetUp() override {
    program_ = folder_ / "app/Velmora Updater";
    platform::CreateFolders(folder_ / "app");
    platform::CreateFolders(folder_ / "tmp");
    platform::CreateFolders(folder_ / "home");
    std::filesystem::copy_file(VELMORA_UPDATER_PROGRAM, program_);
    folder_.Write("app/settings.ini",
                  "[APPLICATION]\nNAME=Program Test App\nVERSION=1.2.0.0\n"
                  "[UPDATER]\nRUNMODE=full\n");
    // The application is up to date: the same version and no sections.
    folder_.Write("app/updatefile.xml",
                  "<?xml version=\"1.0\" ?>\n<UPDATEINFO>\n  <GENERAL>\n"
                  "    <VERSION>1.2.0.0</VERSION>\n  </GENERAL>\n</UPDATEINFO>\n");
  }

  TempFolder folder_;
  std::string program_;
};

TEST_P(UpdaterProgram, RunsAndEndsInOrder) {
  const ProgramCase& c = GetParam();
  std::string temp;
  {
    ScopedEnvironment environment;
    environment.Set("TMPDIR", folder_ / "tmp");
    environment.Set("HOME", folder_ / "home");
    environment.Set("XDG_CONFIG_HOME", folder_ / "home/.config");
    environment.Set("XDG_DATA_HOME", folder_ / "home/.local/share");
    environment.Set("XDG_SESSION_ID", std::nullopt);
    environment.Set("WAYLAND_DISPLAY", std::nullopt);
    environment.Set("DISPLAY",
                    c.display ? std::optional<std::string>(":velmora-test") : std::nullopt);
    temp = platform::PrivateTempFolder().value_or("");
    ASSERT_FALSE(temp.empty());

    platform::StartResult started = platform::StartProgram(program_, c.arguments, folder_.path());
    ASSERT_TRUE(started.status.ok()) << started.status.message();
    std::optional<int> exit_code = platform::WaitForProcess(started.pid, kRunBoundMs);
    if (!exit_code) {
      platform::TerminateProcess(started.pid, true);
      platform::WaitForProcess(started.pid, kRunBoundMs);
      FAIL() << "the updater did not end within " << kRunBoundMs << " ms";
    }
    EXPECT_EQ(*exit_code, 0);
  }

  const std::string log_path = temp + "/" + LogFileName("Program Test App");
  if (!c.log_expected) {
    EXPECT_FALSE(platform::PathExists(log_path));
    return;
  }
  ASSERT_TRUE(platform::FileExists(log_path));
  const std::string log = DecodeTextFile(platform::ReadFile(log_path, 1 << 20).value_or(""));
  EXPECT_EQ(
      log.rfind("UPDATER LOG FILE\r\n================\r\n\r\nCommandline: -mode hidden\r\n", 0), 0u)
      << log;
  EXPECT_NE(log.find(" => No new version is found\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\r\nUpdate took "), std::string::npos) << log;
  EXPECT_NE(log.find(" (hh:mm:ss:ms)\r\n" + std::string(37, '-') + "\r\n\r\nClose Updater\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("TASK_ROLLBACK"), std::string::npos) << log;
  // The working copy of the update file is gone; this run's folders stay.
  EXPECT_TRUE(platform::FolderExists(temp + "/updater_temp_Program Test App/1.2.0.0/rollback"));
  EXPECT_FALSE(
      platform::PathExists(temp + "/updater_temp_Program Test App/1.2.0.0/updatefile.xml"));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, UpdaterProgram,
    ::testing::Values(ProgramCase{"UpToDateHiddenRun", {"-mode", "hidden"}, true, true},
                      ProgramCase{"NoGraphicalSession", {"-mode", "hidden"}, false, false},
                      ProgramCase{"UnknownOption", {"-mode", "hidden", "-bogus"}, true, false}),
    [](const ::testing::TestParamInfo<ProgramCase>& info) { return info.param.name; });

}  // namespace
