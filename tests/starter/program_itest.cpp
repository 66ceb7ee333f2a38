// Runs the built starter in an installation of its own: copies of a small
// recording program stand in for the browser and the updater, and the log is
// read from the working folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/system_paths.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kRunBoundMs = 20000;
constexpr const char* kMarker = "[APPLICATION]\r\nVERSION=2.1.0.0\r\n";

class StarterProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    starter_ = fs::canonical(root_.path()).string() + "/install dir";
    work_ = root_ / "work";
    fs::create_directories(starter_ + "/Browser");
    fs::create_directories(work_);
    fs::copy_file(VELMORA_STARTER_PROGRAM, starter_ + "/Velmora Starter");
    fs::copy_file(VELMORA_RECORDING_PROGRAM, Browser());
    fs::copy_file(VELMORA_RECORDING_PROGRAM, Updater());
    environment_.Set("WAYLAND_DISPLAY", std::nullopt);
    environment_.Set("XDG_SESSION_ID", std::nullopt);
    environment_.Set("DISPLAY", ":99");  // enough for the session check
  }

  std::string Browser() const { return starter_ + "/Browser/chrome"; }
  std::string Updater() const { return starter_ + "/Velmora Updater"; }

  void WritePending() const {
    platform::CreateFolders(starter_ + "/InstallerTemp/lib");
    platform::WriteFileAtomic(starter_ + "/InstallerTemp/settings.ini", kMarker);
    platform::WriteFileAtomic(starter_ + "/InstallerTemp/readme.txt", "new readme");
    platform::WriteFileAtomic(starter_ + "/InstallerTemp/lib/data.txt", "new data");
    platform::WriteFileAtomic(starter_ + "/InstallerTemp/Velmora Starter", "not a program");
    platform::WriteFileAtomic(starter_ + "/readme.txt", "old readme");
  }

  // Runs the starter to its end, then waits for the programs it started.
  void RunStarter(const std::vector<std::string>& arguments) {
    platform::StartResult started =
        platform::StartProgram(starter_ + "/Velmora Starter", arguments, work_);
    ASSERT_TRUE(started.status) << started.status.message();
    ASSERT_EQ(platform::WaitForProcess(started.pid, kRunBoundMs), 0);
    // The starter has returned from every start, so the programs it started
    // exist now or have ended already.
    std::vector<platform::ProcessId> children;
    for (const platform::ProcessInfo& process : platform::ListProcesses())
      if ((process.executable == Browser() || process.executable == Updater()) &&
          process.pid != running_updater_)
        children.push_back(process.pid);
    ASSERT_TRUE(platform::WaitForProcessesToEnd(children, kRunBoundMs));
  }

  // The arguments a stand-in program was started with; nullopt when it was not started.
  static std::optional<std::vector<std::string>> Recorded(const std::string& program) {
    auto record = platform::ReadFile(program + ".args", 1 << 20);
    if (!record) return std::nullopt;
    std::vector<std::string> arguments;
    std::size_t start = 0;
    for (std::size_t end; (end = record->find('\0', start)) != std::string::npos; start = end + 1)
      arguments.push_back(record->substr(start, end - start));
    return arguments;
  }

  // The messages of the log file, checked against the line format.
  std::vector<std::string> LogMessages() const {
    auto text = platform::ReadFile(work_ + "/velmora_starter.log", 1 << 20);
    EXPECT_TRUE(text);
    std::vector<std::string> messages;
    const std::regex line(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2},\d{3} INFO (.*) )");
    std::size_t start = 0;
    while (text && start < text->size()) {
      std::size_t end = text->find('\n', start);
      if (end == std::string::npos) end = text->size();
      std::string entry = text->substr(start, end - start);
      start = end + 1;
      if (entry.empty()) continue;  // the format's own line end gives an empty line
      std::smatch match;
      EXPECT_TRUE(std::regex_match(entry, match, line)) << entry;
      if (match.size() == 2) messages.push_back(match[1]);
    }
    return messages;
  }

  TempFolder root_;
  std::string starter_;
  std::string work_;
  ScopedEnvironment environment_;
  platform::ProcessId running_updater_ = 0;  // started by the test, not by the starter
};

}  // namespace

TEST_F(StarterProgram, AppliesThePendingInstallationAndStartsBrowserAndUpdater) {
  WritePending();
  const std::vector<std::string> arguments = {"a b", "c", "--flag=x y", ""};
  RunStarter(arguments);

  EXPECT_EQ(Recorded(Browser()), arguments);  // one argument stays one, blanks included
  EXPECT_EQ(Recorded(Updater()), std::vector<std::string>{});
  EXPECT_EQ(platform::ReadFile(starter_ + "/readme.txt", 1024), "new readme");
  EXPECT_EQ(platform::ReadFile(starter_ + "/lib/data.txt", 1024), "new data");
  EXPECT_EQ(platform::ReadFile(starter_ + "/Velmora Starter", 1 << 30),
            platform::ReadFile(VELMORA_STARTER_PROGRAM, 1 << 30));
  EXPECT_EQ(platform::ListFolder(starter_ + "/InstallerTemp"),
            std::vector<std::string>{".velmora_starter.lock"});

  const std::string pending = starter_ + "/InstallerTemp";
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{
                               "isUpdaterRuning = 0, isChromiumRuning = 0",
                               "settingsIniNew = " + pending + "/settings.ini",
                               "VersionNew = 2.1.0.0",
                               "Folder Copied: " + pending + "/* --> " + starter_ + "/",
                               "Folder Copied: " + pending + " --> " + starter_,
                               "DeleteFile " + pending + "/settings.ini",
                               "DeleteFile " + pending + "/Velmora Starter",
                               "delete temp path: " + pending,
                               "Browser command line: a b c --flag=x y  ",
                               "启动 chrome",
                               "启动 Velmora Updater",
                           }));
}

namespace {

// Starts a copy of "sleep" at path, to stand in for a running updater.
platform::StartResult StartSleeper(const std::string& path) {
  fs::create_directories(fs::path(path).parent_path());
  fs::copy_file("/bin/sleep", path, fs::copy_options::overwrite_existing);
  return platform::StartProgram(path, {"60"}, "");
}

void EndSleeper(platform::ProcessId pid) {
  platform::TerminateProcess(pid, true);
  platform::WaitForProcess(pid, kRunBoundMs);
}

}  // namespace

TEST_F(StarterProgram, UpdaterAlreadyRunningIsNotStartedAndNothingIsApplied) {
  WritePending();
  platform::StartResult sleeper = StartSleeper(Updater());  // this installation's updater
  ASSERT_TRUE(sleeper.status);
  running_updater_ = sleeper.pid;

  RunStarter({"x"});
  EndSleeper(sleeper.pid);

  EXPECT_EQ(Recorded(Browser()), std::vector<std::string>{"x"});
  EXPECT_EQ(platform::ReadFile(starter_ + "/readme.txt", 1024), "old readme");
  EXPECT_TRUE(platform::FileExists(starter_ + "/InstallerTemp/settings.ini"));
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{
                               "isUpdaterRuning = 1, isChromiumRuning = 0",
                               "Browser command line: x ",
                               "启动 chrome",
                           }));
}

TEST_F(StarterProgram, AnotherInstallationsUpdaterDoesNotBlockThisOne) {
  WritePending();
  platform::StartResult sleeper = StartSleeper(root_ / "other install/Velmora Updater");
  ASSERT_TRUE(sleeper.status);

  RunStarter({"x"});
  EndSleeper(sleeper.pid);

  EXPECT_EQ(Recorded(Browser()), std::vector<std::string>{"x"});
  EXPECT_EQ(Recorded(Updater()), std::vector<std::string>{});
  EXPECT_EQ(platform::ReadFile(starter_ + "/readme.txt", 1024), "new readme");
  EXPECT_FALSE(platform::FileExists(starter_ + "/InstallerTemp/settings.ini"));
  const std::vector<std::string> messages = LogMessages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front(), "isUpdaterRuning = 0, isChromiumRuning = 0");
  EXPECT_EQ(messages.back(), "启动 Velmora Updater");
}

TEST_F(StarterProgram, WithoutInteractiveUserOnlyLogs) {
  WritePending();
  environment_.Set("DISPLAY", std::nullopt);
  RunStarter({"x"});
  EXPECT_EQ(Recorded(Browser()), std::nullopt);
  EXPECT_EQ(Recorded(Updater()), std::nullopt);
  EXPECT_TRUE(platform::FileExists(starter_ + "/InstallerTemp/settings.ini"));
  EXPECT_EQ(LogMessages(), std::vector<std::string>{"IsUserLoggedIn = false"});
}
