#include "updater/process/system_process_services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/system_paths.h"
#include "tests/support/file_traits.h"
#include "tests/support/temp_folder.h"
#include "updater/core/dialog_service.h"

namespace {

platform::ProcessInfo Process(platform::ProcessId pid, std::string executable,
                              std::string first_word = {}, bool own = true) {
  platform::ProcessInfo info;
  info.pid = pid;
  info.own = own;
  info.executable = std::move(executable);
  info.first_word = std::move(first_word);
  return info;
}

struct MatchCase {
  const char* name;
  platform::ProcessInfo process;
  std::string wanted;
  bool matches;
};

class ProcessMatchCase : public ::testing::TestWithParam<MatchCase> {};

TEST_P(ProcessMatchCase, MatchesByNameOrPath) {
  EXPECT_EQ(platform::ProcessRunsProgram(GetParam().process, GetParam().wanted),
            GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProcessMatchCase,
    ::testing::Values(
        MatchCase{"Name", Process(1, "/opt/app/app"), "app", true},
        MatchCase{"NameIgnoresCase", Process(1, "/opt/app/app"), "APP", true},
        MatchCase{"PathWithCapitalName", Process(1, "/opt/app/app"), "/opt/app/App", true},
        MatchCase{"OtherName", Process(1, "/opt/app/app"), "application", false},
        MatchCase{"NameIsNotASubstring", Process(1, "/opt/app/myapp"), "app", false},
        MatchCase{"FullPath", Process(1, "/opt/app/app"), "/opt/app/app", true},
        MatchCase{"PathInAnotherFolder", Process(1, "/opt/app/app"), "/opt/other/app", false},
        MatchCase{"FolderCaseCounts", Process(1, "/opt/app/app"), "/OPT/app/app", false},
        MatchCase{"BackslashPath", Process(1, "/opt/app/app"), "/opt\\app\\app", true},
        MatchCase{"DoubledSeparators", Process(1, "/opt/app/app"), "/opt//app/app", true},
        MatchCase{"FirstWordFallback", Process(1, "", "/opt/app/app"), "/opt/app/app", true},
        MatchCase{"FirstWordOfALoader", Process(1, "/usr/bin/loader", "C:\\Apps\\App.exe"),
                  "app.exe", true},
        MatchCase{"RelativeFirstWordByName", Process(1, "", "./app"), "app", true},
        MatchCase{"RelativeFirstWordNeverMatchesAPath", Process(1, "", "./app"), "/opt/app/app",
                  false},
        MatchCase{"NothingKnown", Process(1, ""), "app", false},
        MatchCase{"EmptyName", Process(1, "/opt/app/app"), "", false},
        MatchCase{"FolderOnly", Process(1, "/opt/app/app"), "/opt/app/", false}),
    [](const auto& info) { return std::string(info.param.name); });

// A process list whose processes end on the signals the test says.
class FakeProcessControl : public platform::IProcessControl {
 public:
  struct Entry {
    platform::ProcessInfo info;
    bool ends_on_term = true;
    bool ends_on_kill = true;
    bool running = true;
  };

  std::vector<platform::ProcessInfo> ListProcesses() override {
    ++lists;
    std::vector<platform::ProcessInfo> list;
    for (const Entry& entry : entries)
      if (entry.running) list.push_back(entry.info);
    if (lists == 2) {  // a process appears after the first close round
      for (const Entry& entry : late) {
        entries.push_back(entry);
        list.push_back(entry.info);
      }
    }
    return list;
  }
  platform::ProcessId CurrentProcessId() override { return self; }
  platform::Status TerminateProcess(const platform::ProcessInfo& process, bool force) override {
    signals.emplace_back(process.pid, force);
    for (Entry& entry : entries) {
      if (entry.info.pid != process.pid || !entry.running) continue;
      if (!entry.info.own) return platform::Status::Fail("another user's");
      if (force ? entry.ends_on_kill : entry.ends_on_term) entry.running = false;
      return platform::Status::Ok();
    }
    return platform::Status::Fail("gone");
  }
  bool WaitForProcessesToEnd(const std::vector<platform::ProcessId>& pids,
                             std::int64_t timeout_ms) override {
    waits.emplace_back(pids, timeout_ms);
    return true;
  }

  std::vector<Entry> entries;
  std::vector<Entry> late;
  platform::ProcessId self = 99;
  int lists = 0;
  std::vector<std::pair<platform::ProcessId, bool>> signals;
  std::vector<std::pair<std::vector<platform::ProcessId>, std::int64_t>> waits;
};

using Signals = std::vector<std::pair<platform::ProcessId, bool>>;
constexpr bool kTerm = false;
constexpr bool kKill = true;

class SystemProcessServicesClose : public ::testing::Test {
 protected:
  FakeProcessControl control;
  CSystemProcessServices services{control, CloseTimeouts{300, 100}};
};

TEST_F(SystemProcessServicesClose, OnlyTheUsersOtherProcessesCount) {
  control.entries = {{Process(5, "/opt/app/app", "/opt/app/app", false)},
                     {Process(99, "/opt/app/app")}};  // this process itself
  EXPECT_FALSE(services.IsProcessRunning("app"));
  EXPECT_TRUE(services.CloseApplication("App", "app"));
  EXPECT_TRUE(control.signals.empty());
  EXPECT_FALSE(services.ApplicationClosed());

  control.entries.push_back({Process(6, "/opt/app/app")});
  EXPECT_TRUE(services.IsProcessRunning("app"));
  EXPECT_TRUE(services.IsProcessRunning("/opt/app/app"));
  EXPECT_FALSE(services.IsProcessRunning("/elsewhere/app"));
}

TEST_F(SystemProcessServicesClose, NotRunningIsClosedWithoutSignals) {
  control.entries = {{Process(5, "/opt/app/other")}};
  EXPECT_TRUE(services.CloseApplication("App", "/opt/app/app"));
  EXPECT_TRUE(control.signals.empty());
  EXPECT_FALSE(services.ApplicationClosed());
}

TEST_F(SystemProcessServicesClose, AskedFirstAndWaitedFor) {
  control.entries = {
      {Process(5, "/opt/app/app")}, {Process(6, "/opt/app/app")}, {Process(7, "/opt/app/tool")}};
  EXPECT_TRUE(services.CloseApplication("App", "app"));
  EXPECT_EQ(control.signals, (Signals{{5, kTerm}, {6, kTerm}}));
  ASSERT_EQ(control.waits.size(), 1u);
  EXPECT_EQ(control.waits[0].first, (std::vector<platform::ProcessId>{5, 6}));
  EXPECT_EQ(control.waits[0].second, 300);
  EXPECT_TRUE(services.ApplicationClosed());
  EXPECT_FALSE(services.IsProcessRunning("app"));
  EXPECT_TRUE(services.IsProcessRunning("tool"));
}

TEST_F(SystemProcessServicesClose, EndsWhatIgnoresTheRequest) {
  FakeProcessControl::Entry stubborn{Process(5, "/opt/app/app")};
  stubborn.ends_on_term = false;
  control.entries = {stubborn, {Process(6, "/opt/app/app")}};
  EXPECT_TRUE(services.CloseApplication("App", "app"));
  EXPECT_EQ(control.signals, (Signals{{5, kTerm}, {6, kTerm}, {5, kKill}}));
  ASSERT_EQ(control.waits.size(), 2u);
  EXPECT_EQ(control.waits[1].first, (std::vector<platform::ProcessId>{5}));
  EXPECT_EQ(control.waits[1].second, 100);
}

TEST_F(SystemProcessServicesClose, FailsWhenTheApplicationSurvives) {
  FakeProcessControl::Entry immortal{Process(5, "/opt/app/app")};
  immortal.ends_on_term = immortal.ends_on_kill = false;
  control.entries = {immortal};
  EXPECT_FALSE(services.CloseApplication("App", "app"));
  EXPECT_EQ(control.signals, (Signals{{5, kTerm}, {5, kKill}}));
  EXPECT_TRUE(services.ApplicationClosed());
}

TEST_F(SystemProcessServicesClose, NeverKillsAProcessThatWasNotAskedFirst) {
  FakeProcessControl::Entry stubborn{Process(5, "/opt/app/app")};
  stubborn.ends_on_term = false;
  control.entries = {stubborn};
  control.late = {{Process(8, "/opt/app/app")}};
  EXPECT_FALSE(services.CloseApplication("App", "app"));
  EXPECT_EQ(control.signals, (Signals{{5, kTerm}, {5, kKill}}));
}

// Answers message boxes as told and remembers the question.
class FakeDialogs : public IDialogService {
 public:
  void ShowError(const ErrorDialogRequest&) override {}
  MessageBoxAnswer ShowMessageBox(const MessageBoxRequest& request) override {
    asked = request;
    return answer;
  }
  std::optional<std::size_t> SelectLanguage(const std::vector<LanguageChoice>&,
                                            std::size_t) override {
    return std::nullopt;
  }
  MessageBoxAnswer answer = MessageBoxAnswer::kYes;
  MessageBoxRequest asked;
};

class SystemProcessServicesConfirm : public ::testing::Test {
 protected:
  void SetUp() override { SetDialogService(&dialogs); }
  void TearDown() override { SetDialogService(nullptr); }
  FakeDialogs dialogs;
  FakeProcessControl control;
  CSystemProcessServices services{control};
};

TEST_F(SystemProcessServicesConfirm, AsksAYesNoQuestion) {
  EXPECT_TRUE(
      services.Confirm("Close the application", "Confirmation", "Close App now?", "Yes", "No"));
  EXPECT_EQ(dialogs.asked.kind, MessageBoxKind::kQuestion);
  EXPECT_TRUE(dialogs.asked.yes_no);
  EXPECT_EQ(dialogs.asked.caption, "Close the application");
  EXPECT_NE(dialogs.asked.text.find("Confirmation"), std::string::npos);
  EXPECT_NE(dialogs.asked.text.find("Close App now?"), std::string::npos);

  for (MessageBoxAnswer other :
       {MessageBoxAnswer::kNo, MessageBoxAnswer::kCancel, MessageBoxAnswer::kOk}) {
    dialogs.answer = other;
    EXPECT_FALSE(services.Confirm("c", "h", "t", "Yes", "No"));
  }
}

TEST(OpensWithDesktop, WebLocationsAndDocumentsButNotPrograms) {
  EXPECT_TRUE(OpensWithDesktop("http://example.com/page"));
  EXPECT_TRUE(OpensWithDesktop("https://example.com"));
  EXPECT_TRUE(OpensWithDesktop("www.example.com"));
  EXPECT_TRUE(OpensWithDesktop(std::string(VELMORA_FIXTURES) + "/loading/updatefile.xml"));
  EXPECT_FALSE(OpensWithDesktop(platform::ExecutablePath()));  // this test program
}

TEST(OpensWithDesktop, ProgramsAreKnownByTheirFirstBytesNotTheirModeBits) {
  TempFolder folder;
  // The program heads of every platform: a program here only where this
  // platform knows it by them, a document elsewhere.
  const std::vector<std::string> program_heads = test_support::ProgramFileHeads();
  const std::vector<std::string> known_heads = {
      "\x7f"
      "ELF\x02\x01\x01",
      "#!/bin/sh\nexit 0\n", "MZ\x90"};
  struct Case {
    std::string bytes;
    bool document;
  };
  std::vector<Case> cases = {{"#", true},
                             {"echo not a script\n", true},
                             {"", true},
                             {"\x7f"
                              "EL",
                              true},
                             {"M", true}};
  for (const std::string& head : known_heads)
    cases.push_back(
        {head, std::find(program_heads.begin(), program_heads.end(), head) == program_heads.end()});
  int index = 0;
  for (const Case& c : cases) {
    const std::string path = folder.Write("file" + std::to_string(index++), c.bytes);
    EXPECT_EQ(OpensWithDesktop(path), c.document) << path;
  }
}

}  // namespace
