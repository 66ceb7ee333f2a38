#include "starter/starter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <latch>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "platform/system_paths.h"
#include "tests/support/file_traits.h"
#include "tests/support/native_path.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr const char* kMarker = "[APPLICATION]\nVERSION=2.1.0.0\n";

struct StartCall {
  std::string program;
  std::vector<std::string> arguments;
  bool operator==(const StartCall&) const = default;
};

// The world as one starter sees it: session, process list, starts and log.
struct FakeWorld {
  bool session = true;
  std::vector<platform::ProcessInfo> processes;
  bool start_fails = false;
  std::vector<StartCall> starts;
  std::vector<std::string> log;

  CStarter::Deps Deps() {
    return {
        .session_available = [this] { return session; },
        .list_processes = [this] { return processes; },
        .start =
            [this](const std::string& program, const std::vector<std::string>& arguments) {
              starts.push_back({program, arguments});
              return start_fails ? platform::Status::Fail("cannot start '" + program + "'")
                                 : platform::Status::Ok();
            },
        .log = [this](const std::string& line) { log.push_back(line); },
        .lock_timeout_ms = 10000,
    };
  }

  bool Logged(const std::string& line) const {
    return std::find(log.begin(), log.end(), line) != log.end();
  }
};

// A program's file name as the platform spells it ("chrome.exe" on Windows).
std::string Exe(const std::string& name) { return name + platform::ExecutableSuffix(); }

platform::ProcessInfo Process(const std::string& executable) {
  platform::ProcessInfo process;
  process.pid = 4242;
  process.own = true;  // the starter looks at this user's processes only
  process.executable = executable;
  return process;
}

}  // namespace

struct RunCase {
  const char* name;
  const char* updater_exe;  // relative to the starter folder; "" none
  const char* browser_exe;  // relative to the starter folder; "" none
  bool applied;
  bool updater_started;
  const char* running_line;
};

void PrintTo(const RunCase& c, std::ostream* out) { *out << c.name; }

class StarterRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(StarterRun, AppliesOnlyWhenNothingRunsAndStartsWhatIsNeeded) {
  const RunCase& c = GetParam();
  TempFolder starter;
  starter.Write("InstallerTemp/settings.ini", kMarker);
  starter.Write("InstallerTemp/file.txt", "new");
  FakeWorld world;
  if (*c.updater_exe) world.processes.push_back(Process(starter / Exe(c.updater_exe)));
  if (*c.browser_exe) world.processes.push_back(Process(starter / Exe(c.browser_exe)));

  const std::vector<std::string> arguments = {"--profile", "a b", "", "c"};
  CStarter(starter.path(), world.Deps()).Run(arguments);

  EXPECT_TRUE(world.Logged(c.running_line));
  EXPECT_EQ(platform::FileExists(starter / "file.txt"), c.applied);
  EXPECT_EQ(platform::FileExists(starter / "InstallerTemp/settings.ini"), !c.applied);
  std::vector<StartCall> expected = {{starter / Exe("Browser/chrome"), arguments}};
  if (c.updater_started) expected.push_back({starter / Exe("Velmora Updater"), {}});
  EXPECT_EQ(world.starts, expected);
  EXPECT_TRUE(world.Logged("Browser command line: --profile a b  c "));
  EXPECT_TRUE(world.Logged("启动 " + Exe("chrome")));
  EXPECT_EQ(world.Logged("启动 " + Exe("Velmora Updater")), c.updater_started);
  // The browser's start comes before the updater's.
  auto browser_line = std::find(world.log.begin(), world.log.end(), "启动 " + Exe("chrome"));
  EXPECT_EQ(world.log.end() - browser_line, c.updater_started ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StarterRun,
    ::testing::Values(RunCase{"NothingRuns", "", "", true, true,
                              "isUpdaterRuning = 0, isChromiumRuning = 0"},
                      RunCase{"UpdaterRuns", "Velmora Updater", "", false, false,
                              "isUpdaterRuning = 1, isChromiumRuning = 0"},
                      RunCase{"BrowserRuns", "", "Browser/chrome", false, true,
                              "isUpdaterRuning = 0, isChromiumRuning = 1"},
                      RunCase{"BothRun", "Velmora Updater", "Browser/chrome", false, false,
                              "isUpdaterRuning = 1, isChromiumRuning = 1"},
                      RunCase{"BrowserOfThisNameElsewhereDoesNotCount", "", "other/Browser/chrome",
                              true, true, "isUpdaterRuning = 0, isChromiumRuning = 0"},
                      RunCase{"UpdaterOfAnotherInstallationDoesNotCount", "other/Velmora Updater",
                              "", true, true, "isUpdaterRuning = 0, isChromiumRuning = 0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Starter, WithoutInteractiveUserOnlyLogs) {
  TempFolder starter;
  starter.Write("InstallerTemp/settings.ini", kMarker);
  FakeWorld world;
  world.session = false;
  CStarter(starter.path(), world.Deps()).Run({"a"});
  EXPECT_EQ(world.log, std::vector<std::string>{"IsUserLoggedIn = false"});
  EXPECT_TRUE(world.starts.empty());
  EXPECT_TRUE(platform::FileExists(starter / "InstallerTemp/settings.ini"));
}

TEST(Starter, NoArgumentsAndFailedStartsAreLogged) {
  TempFolder starter;
  FakeWorld world;
  world.start_fails = true;
  CStarter(starter.path(), world.Deps()).Run({});
  EXPECT_EQ(world.log,
            (std::vector<std::string>{
                "isUpdaterRuning = 0, isChromiumRuning = 0",
                "settingsIniNew = " + (starter / "InstallerTemp/settings.ini"),
                "VersionNew = 0.0.0.0",
                "Browser command line: ",
                "启动 " + Exe("chrome"),
                "Start failed: cannot start '" + (starter / Exe("Browser/chrome")) + "'",
                "启动 " + Exe("Velmora Updater"),
                "Start failed: cannot start '" + (starter / Exe("Velmora Updater")) + "'",
            }));
  EXPECT_EQ(world.starts.size(), 2u);  // the updater is tried although the browser failed
}

// A starter in the root folder names its programs with one separator, so
// that the running updater is recognised by its path.
TEST(Starter, InTheRootFolderProgramsHaveOneSeparator) {
  FakeWorld world;
  world.processes = {Process(Native(Exe("/Velmora Updater")))};
  CStarter(Native("/"), world.Deps()).Run({"x"});
  EXPECT_TRUE(world.Logged("isUpdaterRuning = 1, isChromiumRuning = 0"));
  EXPECT_EQ(world.starts, (std::vector<StartCall>{{Native(Exe("/Browser/chrome")), {"x"}}}));
}

TEST(Starter, JoinArgumentsPutsOneBlankAfterEach) {
  EXPECT_EQ(CStarter::JoinArguments({"a", "b", "c"}), "a b c ");
  EXPECT_EQ(CStarter::JoinArguments({}), "");
}

TEST(Starter, TwoStartersAtOnceApplyTheInstallationOnce) {
  if (test_support::RunsUnderWine())
    GTEST_SKIP() << "two threads taking the lock at once stopped for good once under wine "
                    "(no processor time): not yet understood";
  TempFolder starter;
  starter.Write("InstallerTemp/settings.ini", kMarker);
  for (int i = 0; i < 50; ++i)
    starter.Write("InstallerTemp/data/file" + std::to_string(i) + ".txt", "new");

  FakeWorld worlds[2];
  std::latch ready(2);
  auto run = [&](FakeWorld& world) {
    ready.arrive_and_wait();
    CStarter(starter.path(), world.Deps()).Run({});
  };
  std::thread first(run, std::ref(worlds[0]));
  std::thread second(run, std::ref(worlds[1]));
  first.join();
  second.join();

  int applied = 0, found_nothing = 0;
  for (const FakeWorld& world : worlds) {
    applied += world.Logged("delete temp path: " + (starter / "InstallerTemp"));
    found_nothing += world.Logged("VersionNew = 0.0.0.0");
    EXPECT_EQ(world.starts.size(), 2u);
  }
  EXPECT_EQ(applied, 1);
  EXPECT_EQ(found_nothing, 1);
  EXPECT_EQ(starter.Read("data/file49.txt"), "new");
  EXPECT_FALSE(platform::PathExists(starter / "InstallerTemp/settings.ini"));
}
