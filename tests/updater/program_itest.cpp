// Runs the built updater program in a layout of its own: a copy of the program
// with settings.ini and updatefile.xml beside it, its temporary folder in the test's folder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/system_paths.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"
#include "updater/core/exit_status.h"
#include "updater/core/run_lock.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"

namespace {

constexpr std::int64_t kRunBoundMs = 60000;

struct ProgramCase {
  const char* name;
  std::vector<std::string> arguments;
  bool display;       // a display name is set, so that the session check passes
  bool log_expected;  // the run reached the update
  int exit_code;
};

// Runs the program with the test's folders as its environment; the exit code,
// nullopt when it did not end in time (it is then ended). `temp` gets the
// private temporary folder the program uses.
std::optional<int> RunProgram(const TempFolder& folder, const std::string& program,
                              const std::vector<std::string>& arguments, bool display,
                              std::string& temp) {
  ScopedEnvironment environment;
  environment.Set("TMPDIR", folder / "tmp");
  environment.Set("HOME", folder / "home");
  environment.Set("XDG_CONFIG_HOME", folder / "home/.config");
  environment.Set("XDG_DATA_HOME", folder / "home/.local/share");
  environment.Set("XDG_STATE_HOME", folder / "home/.local/state");
  environment.Set("XDG_SESSION_ID", std::nullopt);
  environment.Set("WAYLAND_DISPLAY", std::nullopt);
  environment.Set("DISPLAY", display ? std::optional<std::string>(":velmora-test") : std::nullopt);
  temp = platform::PrivateTempFolder().value_or("");
  platform::StartResult started = platform::StartProgram(program, arguments, folder.path());
  if (!started.status.ok()) {
    ADD_FAILURE() << started.status.message();
    return std::nullopt;
  }
  std::optional<int> exit_code = platform::WaitForProcess(started.pid, kRunBoundMs);
  if (!exit_code) {
    platform::TerminateProcess(started.pid, true);
    platform::WaitForProcess(started.pid, kRunBoundMs);
    ADD_FAILURE() << "the updater did not end within " << kRunBoundMs << " ms";
  }
  return exit_code;
}

// Lays out a copy of the program with settings.ini and an up-to-date
// updatefile.xml in folder/app; returns the program's path.
std::string LayOutProgram(const TempFolder& folder) {
  const std::string program = folder / "app/Velmora Updater";
  platform::CreateFolders(folder / "app");
  platform::CreateFolders(folder / "tmp");
  platform::CreateFolders(folder / "home");
  std::filesystem::copy_file(VELMORA_UPDATER_PROGRAM, program);
  folder.Write("app/settings.ini",
               "[APPLICATION]\nNAME=Program Test App\nVERSION=1.2.0.0\n"
               "LOCATION=%updater%program\n[UPDATER]\nRUNMODE=full\n");
  // The application is up to date: the same version and no sections.
  folder.Write("app/updatefile.xml",
               "<?xml version=\"1.0\" ?>\n<UPDATEINFO>\n  <GENERAL>\n"
               "    <VERSION>1.2.0.0</VERSION>\n  </GENERAL>\n</UPDATEINFO>\n");
  return program;
}

class UpdaterProgram : public ::testing::TestWithParam<ProgramCase> {
 protected:
  void SetUp() override { program_ = LayOutProgram(folder_); }

  TempFolder folder_;
  std::string program_;
};

TEST_P(UpdaterProgram, RunsAndEndsInOrder) {
  const ProgramCase& c = GetParam();
  std::string temp;
  std::optional<int> exit_code = RunProgram(folder_, program_, c.arguments, c.display, temp);
  ASSERT_FALSE(temp.empty());
  ASSERT_TRUE(exit_code);
  EXPECT_EQ(*exit_code, c.exit_code);

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
    ::testing::Values(
        ProgramCase{"UpToDateHiddenRun", {"-mode", "hidden"}, true, true, kExitOk},
        ProgramCase{"NoGraphicalSession", {"-mode", "hidden"}, false, false, kExitOk},
        ProgramCase{
            "UnknownOption", {"-mode", "hidden", "-bogus"}, true, false, kExitWrongCommandLine}),
    [](const ::testing::TestParamInfo<ProgramCase>& info) { return info.param.name; });

// An update file of version 2.0.0.0 with one file whose actions are given.
std::string UpdateFileWithActions(const std::string& actions) {
  return "<?xml version=\"1.0\" ?>\n<UPDATEINFO>\n  <GENERAL><VERSION>2.0.0.0</VERSION></GENERAL>\n"
         "  <FILES>\n    <FILE name=\"tool\" location=\"%updater%tool.txt\" hash=\"0\" "
         "check=\"hash\">\n" +
         actions + "    </FILE>\n  </FILES>\n</UPDATEINFO>\n";
}

std::string CopyAction(const std::string& from) {
  return "      <ACTION type=\"copy\"><OLDLOCATION>" + from +
         "</OLDLOCATION><NEWLOCATION>%updater%tool.txt</NEWLOCATION>"
         "<OVERWRITE>true</OVERWRITE></ACTION>\n";
}

struct OutcomeCase {
  const char* name;
  std::string update_file;
  int exit_code;
  const char* tool;  // the content of tool.txt after the run
};

void PrintTo(const OutcomeCase& c, std::ostream* out) { *out << c.name; }

class UpdaterProgramOutcome : public ::testing::TestWithParam<OutcomeCase> {
 protected:
  void SetUp() override { program_ = LayOutProgram(folder_); }

  TempFolder folder_;
  std::string program_;
};

// The exit status tells a script how the hidden run went; a failed
// installation leaves the files as they were.
TEST_P(UpdaterProgramOutcome, TheExitStatusTellsHowTheRunWent) {
  const OutcomeCase& c = GetParam();
  folder_.Write("app/tool.txt", "old");
  folder_.Write("app/new/tool.txt", "new");
  // An installer as downloads arrive: without the execute bit. It ends late,
  // so only a run that waits for it sees what it wrote.
  folder_.Write("app/setup.sh", "#!/bin/sh\nsleep 0.3\nprintf installed > \"$1\"\n");
  folder_.Write("app/updatefile.xml", c.update_file);
  const std::string settings = folder_.Read("app/settings.ini");
  std::string temp;
  EXPECT_EQ(RunProgram(folder_, program_, {"-mode", "hidden"}, true, temp), c.exit_code);
  EXPECT_EQ(folder_.Read("app/tool.txt"), c.tool);
  if (c.exit_code != kExitOk) {
    EXPECT_EQ(folder_.Read("app/settings.ini"), settings);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, UpdaterProgramOutcome,
    ::testing::Values(
        OutcomeCase{"Installed", UpdateFileWithActions(CopyAction("%updater%new/tool.txt")),
                    kExitOk, "new"},
        OutcomeCase{"UnreadableUpdateFile", "<UPDATEINFO><GENERAL>", kExitFailed, "old"},
        OutcomeCase{"RunsADownloadedInstallerAndWaits",
                    UpdateFileWithActions(
                        CopyAction("%updater%new/tool.txt") +
                        "      <ACTION type=\"run\"><LOCATION>%updater%setup.sh</LOCATION>"
                        "<PARAMETERS>\"%updater%tool.txt\"</PARAMETERS><WAIT>true</WAIT>"
                        "</ACTION>\n"),
                    kExitOk, "installed"},
        OutcomeCase{"FailedAndRolledBack",
                    UpdateFileWithActions(CopyAction("%updater%new/tool.txt") +
                                          CopyAction("%updater%missing/tool.txt")),
                    kExitRolledBack, "old"}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) { return info.param.name; });

// VERSION naming the application's program file is read from that file; a
// successful update leaves the line as it is.
TEST(UpdaterProgramVersion, AVersionTakenFromTheProgramFileStays) {
  TempFolder folder;
  const std::string program = LayOutProgram(folder);
  folder.Write("app/program", "a program without a version resource");
  folder.Write("app/tool.txt", "old");
  folder.Write("app/new/tool.txt", "new");
  folder.Write("app/updatefile.xml", UpdateFileWithActions(CopyAction("%updater%new/tool.txt")));
  const std::string settings =
      "[APPLICATION]\nNAME=Program Test App\nVERSION=%updater%program\n"
      "LOCATION=%updater%program\n[UPDATER]\nRUNMODE=full\n";
  folder.Write("app/settings.ini", settings);
  std::string temp;
  EXPECT_EQ(RunProgram(folder, program, {"-mode", "hidden"}, true, temp), kExitOk);
  EXPECT_EQ(folder.Read("app/tool.txt"), "new");
  EXPECT_EQ(folder.Read("app/settings.ini"), settings);
}

// Deployed without settings.ini there is no application location: "%app%"
// must not become the file-system root. The offered update copies a file to
// "%app%"; the run installs nothing and says why.
TEST(UpdaterProgramWithoutSettings, InstallsNothingAndLogsWhy) {
  TempFolder folder;
  const std::string program = folder / "app/Velmora Updater";
  platform::CreateFolders(folder / "app");
  platform::CreateFolders(folder / "tmp");
  platform::CreateFolders(folder / "home");
  std::filesystem::copy_file(VELMORA_UPDATER_PROGRAM, program);
  // A name no other run uses: the file must appear nowhere.
  const std::string name = "velmora-no-settings-" + std::to_string(platform::CurrentProcessId());
  folder.Write("app/payload.txt", "payload");
  folder.Write("app/updatefile.xml",
               "<?xml version=\"1.0\" ?>\n<UPDATEINFO>\n  <GENERAL>\n"
               "    <VERSION>9.9.9.9</VERSION>\n  </GENERAL>\n  <FILES>\n"
               "    <FILE name=\"payload\">\n      <ACTION type=\"copy\">\n"
               "        <OLDLOCATION>%updater%payload.txt</OLDLOCATION>\n"
               "        <NEWLOCATION>%app%" +
                   name +
                   ".txt</NEWLOCATION>\n"
                   "        <OVERWRITE>true</OVERWRITE>\n      </ACTION>\n    </FILE>\n"
                   "  </FILES>\n</UPDATEINFO>\n");

  std::string temp;
  std::optional<int> exit_code = RunProgram(folder, program, {"-mode", "hidden"}, true, temp);
  const std::string in_root = "/" + name + ".txt";
  const bool written_to_root = platform::PathExists(in_root);
  if (written_to_root) platform::RemoveFile(in_root);
  ASSERT_FALSE(temp.empty());
  ASSERT_TRUE(exit_code);
  EXPECT_FALSE(written_to_root) << in_root;
  EXPECT_FALSE(platform::PathExists(folder / (name + ".txt")));
  EXPECT_FALSE(platform::PathExists(folder / ("app/" + name + ".txt")));

  const std::string log_path = temp + "/" + LogFileName("Unknown app");
  ASSERT_TRUE(platform::FileExists(log_path));
  const std::string log = DecodeTextFile(platform::ReadFile(log_path, 1 << 20).value_or(""));
  EXPECT_NE(log.find("APPLICATION LOCATION ERROR: no application location is set"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("Start parsing"), std::string::npos) << log;
}

// A second start for an application whose run holds the run lock leaves the
// run's temporary folder and log alone, tells why in one appended line and ends.
TEST(UpdaterProgramLock, ASecondStartLeavesTheRunningUpdateAlone) {
  TempFolder folder;
  const std::string program = folder / "app/Velmora Updater";
  platform::CreateFolders(folder / "app");
  platform::CreateFolders(folder / "tmp");
  std::filesystem::copy_file(VELMORA_UPDATER_PROGRAM, program);
  folder.Write("app/settings.ini",
               "[APPLICATION]\nNAME=Program Test App\nVERSION=1.2.0.0\nLOCATION=%updater%program\n"
               "[UPDATER]\nRUNMODE=full\n");
  folder.Write("app/updatefile.xml",
               "<?xml version=\"1.0\" ?>\n<UPDATEINFO>\n  <GENERAL>\n"
               "    <VERSION>1.2.0.0</VERSION>\n  </GENERAL>\n</UPDATEINFO>\n");
  ScopedEnvironment environment;
  environment.Set("TMPDIR", folder / "tmp");
  environment.Set("HOME", folder / "home");
  environment.Set("XDG_CONFIG_HOME", folder / "home/.config");
  environment.Set("XDG_DATA_HOME", folder / "home/.local/share");
  environment.Set("XDG_STATE_HOME", folder / "home/.local/state");
  environment.Set("XDG_SESSION_ID", std::nullopt);
  environment.Set("WAYLAND_DISPLAY", std::nullopt);
  environment.Set("DISPLAY", ":velmora-test");
  const std::string temp = platform::PrivateTempFolder().value_or("");
  ASSERT_FALSE(temp.empty());

  // What the running update has: a part of a download and its log.
  const std::string download = temp + "/updater_temp_Program Test App/1.2.0.0/app.bin";
  ASSERT_TRUE(platform::CreateFolders(temp + "/updater_temp_Program Test App/1.2.0.0"));
  ASSERT_TRUE(platform::WriteFileAtomic(download, "half a download"));
  const std::string log_path = temp + "/" + LogFileName("Program Test App");
  const std::string log = EncodeTextFile("UPDATER LOG FILE\r\n", TextEncoding::kUtf16LeBom);
  ASSERT_TRUE(platform::WriteFileAtomic(log_path, log));
  platform::FileLock running;
  ASSERT_TRUE(running.Acquire(RunLockPath(temp + "/", "Program Test App"), 0));

  const auto run = [&] {
    platform::StartResult started =
        platform::StartProgram(program, {"-mode", "hidden"}, folder.path());
    EXPECT_TRUE(started.status.ok()) << started.status.message();
    return platform::WaitForProcess(started.pid, kRunBoundMs);
  };
  EXPECT_EQ(run(), std::optional<int>(kExitAlreadyRunning));
  EXPECT_EQ(platform::ReadFile(download, 1 << 20).value_or(""), "half a download");
  const std::string after = DecodeTextFile(platform::ReadFile(log_path, 1 << 20).value_or(""));
  EXPECT_EQ(after,
            "UPDATER LOG FILE\r\nanother updater is already running for Program Test App; this "
            "start ends without changing anything\r\n");

  // Once the lock is free, a start is a run of its own again.
  running.Release();
  EXPECT_EQ(run(), std::optional<int>(kExitOk));
  EXPECT_FALSE(platform::PathExists(download));
  EXPECT_NE(DecodeTextFile(platform::ReadFile(log_path, 1 << 20).value_or(""))
                .find(" => No new version is found\r\n"),
            std::string::npos);
}

}  // namespace
