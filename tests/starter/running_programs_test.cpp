#include "starter/running_programs.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/system_paths.h"
#include "tests/support/temp_folder.h"

namespace {

platform::ProcessInfo Process(std::string executable, std::string first_word = "") {
  platform::ProcessInfo process;
  process.pid = 100;
  process.own = true;
  process.executable = std::move(executable);
  process.first_word = std::move(first_word);
  return process;
}

}  // namespace

struct RunningCase {
  const char* name;
  std::vector<platform::ProcessInfo> processes;
  bool by_name;  // the updater check by file name
  bool by_path;  // the browser check by full path
};

void PrintTo(const RunningCase& c, std::ostream* out) { *out << c.name; }

class RunningPrograms : public ::testing::TestWithParam<RunningCase> {};

TEST_P(RunningPrograms, MatchNameOrPathExactly) {
  const RunningCase& c = GetParam();
  EXPECT_EQ(IsProgramNameRunning(c.processes, "Velmora Updater"), c.by_name);
  EXPECT_EQ(IsProgramPathRunning(c.processes, "/opt/app/Browser/chrome"), c.by_path);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunningPrograms,
    ::testing::Values(
        RunningCase{"NoProcesses", {}, false, false},
        RunningCase{"UpdaterAnywhere", {Process("/home/u/other/Velmora Updater")}, true, false},
        RunningCase{
            "UpdaterNameDiffersInCase", {Process("/opt/app/velmora updater")}, false, false},
        RunningCase{
            "UpdaterNameIsOnlyAPrefix", {Process("/opt/app/Velmora Updater2")}, false, false},
        RunningCase{"UpdaterSeenByCommandLineWhenProgramUnreadable",
                    {Process("", "/opt/app/Velmora Updater")},
                    true,
                    false},
        RunningCase{"BrowserAtItsPath", {Process("/opt/app/Browser/chrome")}, false, true},
        RunningCase{
            "BrowserOfAnotherInstallation", {Process("/opt/other/Browser/chrome")}, false, false},
        RunningCase{"BrowserPathDiffersInCase", {Process("/opt/app/browser/chrome")}, false, false},
        RunningCase{"BrowserUnreadableNeverMatches",
                    {Process("", "/opt/app/Browser/chrome")},
                    false,
                    false},
        RunningCase{"AnotherUsersProgramsDoNotCount",
                    {[] {
                       platform::ProcessInfo process = Process("/opt/app/Browser/chrome");
                       process.own = false;
                       return process;
                     }(),
                     [] {
                       platform::ProcessInfo process = Process("/opt/app/Velmora Updater");
                       process.own = false;
                       return process;
                     }()},
                    false,
                    false},
        RunningCase{"Both",
                    {Process("/usr/bin/bash"), Process("/opt/app/Browser/chrome"),
                     Process("/opt/app/Velmora Updater")},
                    true,
                    true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunningPrograms, EmptyNamesNeverMatch) {
  std::vector<platform::ProcessInfo> processes = {Process("")};
  EXPECT_FALSE(IsProgramNameRunning(processes, ""));
  EXPECT_FALSE(IsProgramPathRunning(processes, ""));
}

// An absolute path in the platform's own form (one that begins with a drive
// on Windows) is recognised; a relative one never matches.
TEST(RunningPrograms, PathsInThePlatformsAbsoluteFormMatch) {
  TempFolder app;
  const std::string browser = app / ("Browser/chrome" + platform::ExecutableSuffix());
  const std::vector<platform::ProcessInfo> processes = {Process(browser)};
  EXPECT_TRUE(IsProgramPathRunning(processes, browser));
  EXPECT_FALSE(IsProgramPathRunning({Process("Browser/chrome")}, "Browser/chrome"));
}
