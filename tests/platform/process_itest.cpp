// Real child processes: starting programs, the process list and signals.

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/system_paths.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr std::int64_t kWaitMs = 10000;  // a bound for waits that end much sooner

std::string LastComponent(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// A copy of the sleep program under a name no other test uses.
std::string CopySleep(const TempFolder& folder) {
  auto bytes = platform::ReadFile("/bin/sleep", 16 << 20);
  if (!bytes) return {};
  std::string path = folder / ("vsleep-" + LastComponent(folder.path()));
  if (!platform::WriteFileAtomic(path, *bytes, platform::FilePermissions::kExecutable)) return {};
  return path;
}

std::optional<platform::ProcessInfo> Find(platform::ProcessId pid) {
  for (auto& process : platform::ListProcesses())
    if (process.pid == pid) return process;
  return std::nullopt;
}

// Starts a sleeping copy and ends it at the end of the test, whatever happened.
class SleepingChild {
 public:
  explicit SleepingChild(const std::string& program)
      : result_(platform::StartProgram(program, {"60"}, "")) {}
  ~SleepingChild() {
    if (result_.status && result_.pid > 0 && !collected_) {
      platform::TerminateProcess(result_.pid, true);
      platform::WaitForProcess(result_.pid, kWaitMs);
    }
  }
  bool ok() const { return result_.status.ok(); }
  platform::ProcessId pid() const { return result_.pid; }
  std::optional<int> Collect() {
    auto code = platform::WaitForProcess(result_.pid, kWaitMs);
    collected_ = code.has_value();
    return code;
  }

 private:
  platform::StartResult result_;
  bool collected_ = false;
};

TEST(StartProgram, RunsWithArgumentsInTheWorkingFolderWithoutAShell) {
  TempFolder folder;
  auto started = platform::StartProgram(
      "/usr/bin/touch", {"plain", "with blank", "x;touch injected", "$(touch y)"}, folder.path());
  ASSERT_TRUE(started.status) << started.status.message();
  ASSERT_GT(started.pid, 0);
  EXPECT_EQ(platform::WaitForProcess(started.pid, kWaitMs), 0);
  auto names = platform::ListFolder(folder.path());
  ASSERT_TRUE(names);
  std::sort(names->begin(), names->end());
  EXPECT_EQ(*names,
            (std::vector<std::string>{"$(touch y)", "plain", "with blank", "x;touch injected"}));
}

TEST(StartProgram, ReportsExitCodesAndFailures) {
  TempFolder folder;
  auto failing = platform::StartProgram("/usr/bin/false", {}, "");
  ASSERT_TRUE(failing.status);
  EXPECT_EQ(platform::WaitForProcess(failing.pid, kWaitMs), 1);

  EXPECT_FALSE(platform::StartProgram(folder / "missing", {}, "").status);
  EXPECT_FALSE(platform::StartProgram("", {}, "").status);
  EXPECT_FALSE(platform::StartProgram("/usr/bin/touch", {"x"}, folder / "no/such/folder").status);
  std::string text = folder.Write("notes.txt", "not a program");
  EXPECT_FALSE(platform::StartProgram(text, {}, "").status);
  EXPECT_FALSE(platform::WaitForProcess(platform::CurrentProcessId(), 0));  // not a child
}

TEST(StartProgram, RelativeProgramPathIsTakenFromTheCurrentFolder) {
  TempFolder folder;
  // "usr/bin/touch" relative to "/": make the program path relative to the
  // current folder and start it in another working folder.
  std::string cwd = platform::FullPath(".");
  std::string relative;
  for (std::size_t i = 0, n = std::count(cwd.begin(), cwd.end(), '/'); i < n; ++i)
    relative += "../";
  relative += "usr/bin/touch";
  auto started = platform::StartProgram(relative, {"made"}, folder.path());
  ASSERT_TRUE(started.status) << started.status.message();
  EXPECT_EQ(platform::WaitForProcess(started.pid, kWaitMs), 0);
  EXPECT_TRUE(platform::FileExists(folder / "made"));
}

TEST(IsExecutableFile, OnlyRunnableRegularFiles) {
  TempFolder folder;
  EXPECT_TRUE(platform::IsExecutableFile("/bin/sleep"));
  EXPECT_FALSE(platform::IsExecutableFile(folder.Write("doc.txt", "text")));
  EXPECT_FALSE(platform::IsExecutableFile(folder.path()));
  EXPECT_FALSE(platform::IsExecutableFile(folder / "missing"));
  EXPECT_FALSE(platform::IsExecutableFile(""));
}

TEST(ProcessList, ShowsAChildWithItsProgramAndFirstWordAndEndsItByTerminate) {
  TempFolder folder;
  std::string program = CopySleep(folder);
  ASSERT_FALSE(program.empty());
  SleepingChild child(program);
  ASSERT_TRUE(child.ok());

  // Right after the start the child's command line can still read empty: wait (bounded) for it.
  auto listed = Find(child.pid());
  for (int i = 0; i < 500 && listed && listed->first_word.empty(); ++i) {
    platform::WaitForProcess(child.pid(), 10);
    listed = Find(child.pid());
  }
  ASSERT_TRUE(listed);
  EXPECT_EQ(listed->executable, program);
  EXPECT_EQ(listed->first_word, program);
  EXPECT_TRUE(listed->own);
  EXPECT_FALSE(platform::WaitForProcessesToEnd({child.pid()}, 0));  // still running
  EXPECT_FALSE(platform::WaitForProcess(child.pid(), 0));

  ASSERT_TRUE(platform::TerminateProcess(*listed, false));
  EXPECT_TRUE(platform::WaitForProcessesToEnd({child.pid()}, kWaitMs));
  EXPECT_FALSE(Find(child.pid()));  // an ended child waiting to be collected is not listed
  EXPECT_EQ(child.Collect(), 128 + 15);
  EXPECT_FALSE(platform::TerminateProcess(child.pid(), false));  // gone
}

TEST(ProcessList, StripsTheDeletedMarkOfARemovedProgramFile) {
  TempFolder folder;
  std::string program = CopySleep(folder);
  ASSERT_FALSE(program.empty());
  SleepingChild child(program);
  ASSERT_TRUE(child.ok());
  ASSERT_TRUE(platform::RemoveFile(program));
  auto listed = Find(child.pid());
  ASSERT_TRUE(listed);
  EXPECT_EQ(listed->executable, program);
  EXPECT_TRUE(platform::TerminateProcess(*listed, true));
  EXPECT_EQ(child.Collect(), 128 + 9);
}

TEST(TerminateProcess, RefusesAProcessThatNoLongerRunsTheListedProgram) {
  TempFolder folder;
  std::string program = CopySleep(folder);
  ASSERT_FALSE(program.empty());
  SleepingChild child(program);
  ASSERT_TRUE(child.ok());
  auto listed = Find(child.pid());
  ASSERT_TRUE(listed);
  platform::ProcessInfo other = *listed;
  other.executable = folder / "another-program";
  EXPECT_FALSE(platform::TerminateProcess(other, true));
  EXPECT_FALSE(platform::WaitForProcess(child.pid(), 0));  // still running
  EXPECT_TRUE(platform::TerminateProcess(*listed, true));
  EXPECT_EQ(child.Collect(), 128 + 9);
}

TEST(TerminateProcess, NeverSignalsAnotherUsersProcess) {
  auto init = Find(1);
  if (!init || init->own) GTEST_SKIP() << "the first process belongs to this user";
  EXPECT_FALSE(platform::TerminateProcess(1, false));
  EXPECT_FALSE(platform::TerminateProcess(*init, true));
}

TEST(TerminateProcess, RefusesNonsenseIds) {
  EXPECT_FALSE(platform::TerminateProcess(0, false));
  EXPECT_FALSE(platform::TerminateProcess(-1, true));
  EXPECT_TRUE(platform::WaitForProcessesToEnd({}, 0));
  EXPECT_TRUE(platform::WaitForProcessesToEnd({0, -5}, 0));
}

}  // namespace
