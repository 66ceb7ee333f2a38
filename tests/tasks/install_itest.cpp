// Closing the application with real child processes: a copy of /bin/sleep
// (and of /bin/sh for a program that ignores the request to end) under the
// served application's name.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_backup.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/posix/file_registry.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "tests/support/log_capture.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"
#include "tests/tasks/install_test_support.h"
#include "updater/core/language.h"
#include "updater/core/updater_settings.h"
#include "updater/tasks/install/application_closer.h"
#include "updater/tasks/install/install.h"

using namespace install_test;

namespace {

class ApplicationCloserTest : public ::testing::Test {
 protected:
  ~ApplicationCloserTest() override {
    for (platform::ProcessId pid : children_) {
      platform::TerminateProcess(pid, true);
      platform::WaitForProcess(pid, kWaitMs);
    }
  }
  // A copy of a system program under the application's name, started.
  std::string StartAs(const std::string& system_program, const std::string& name,
                      const std::vector<std::string>& arguments) {
    const std::string program = folder_ / name;
    EXPECT_TRUE(platform::CreateFolders(platform::FolderOf(program)));
    EXPECT_TRUE(platform::DuplicateFile(system_program, program));
    auto started = platform::StartProgram(program, arguments, folder_.path());
    EXPECT_TRUE(started.status) << started.status.message();
    children_.push_back(started.pid);
    // The child runs the copy once it shows in the process list.
    for (int i = 0; i < 1000 && !closer_.IsRunning(program); ++i)
      platform::WaitForProcess(started.pid, 10);
    return program;
  }

  TempFolder folder_;
  LogCapture log_;
  int pauses_ = 0;
  std::vector<platform::ProcessId> children_;
  CApplicationCloser closer_{platform::SystemProcessControl(),
                             [this](std::int64_t) {
                               ++pauses_;
                               // Gives a process time to end without a fixed sleep.
                               for (platform::ProcessId pid : children_)
                                 platform::WaitForProcess(pid, 200);
                               return true;
                             },
                             CloseCountdown{5, 1000, 5000}};
};

TEST_F(ApplicationCloserTest, FindsTheApplicationByItsPath) {
  const std::string program = StartAs("/bin/sleep", "app/Demo App", {"30"});
  EXPECT_TRUE(closer_.IsRunning(program));
  EXPECT_TRUE(closer_.IsRunning("demo app"));                   // a bare name ignores case
  EXPECT_FALSE(closer_.IsRunning(folder_ / "other/Demo App"));  // another folder
  EXPECT_FALSE(closer_.IsRunning(folder_ / "app/Other"));
}

TEST_F(ApplicationCloserTest, AProgramThatEndsWhenAskedIsClosed) {
  const std::string program = StartAs("/bin/sleep", "app/demo", {"30"});
  EXPECT_EQ(closer_.Close(program), CloseResult::kClosed);
  EXPECT_TRUE(closer_.RequestSent());
  EXPECT_FALSE(closer_.IsRunning(program));
  EXPECT_GE(pauses_, 1);
  EXPECT_LE(pauses_, 5);
}

TEST_F(ApplicationCloserTest, AProgramThatIgnoresTheRequestIsEndedAfterTheCountdown) {
  // The shell says when it ignores the request; asking before that would end it at once.
  const std::string ready = folder_ / "stubborn-ready";
  const std::string program =
      StartAs("/bin/sh", "app/stubborn",
              {"-c", "trap '' TERM; : > \"$0\"; while :; do /bin/sleep 1; done", ready});
  for (int i = 0; i < 1000 && !platform::FileExists(ready); ++i)
    platform::WaitForProcess(children_.back(), 10);
  ASSERT_TRUE(platform::FileExists(ready));
  EXPECT_EQ(closer_.Close(program), CloseResult::kClosed);
  EXPECT_EQ(pauses_, 5);
  EXPECT_FALSE(closer_.IsRunning(program));
  EXPECT_TRUE(log_.Contains("close application: ending " + program + " now"));
}

TEST_F(ApplicationCloserTest, NotRunningIsClosedWithoutARequest) {
  EXPECT_EQ(closer_.Close(folder_ / "app/demo"), CloseResult::kClosed);
  EXPECT_FALSE(closer_.RequestSent());
  EXPECT_EQ(pauses_, 0);
}

TEST_F(ApplicationCloserTest, TheInstallClosesTheRunningApplicationBeforeCopying) {
  const std::string program = StartAs("/bin/sleep", "app/demo", {"30"});
  ScopedEnv config{"XDG_CONFIG_HOME", folder_ / "config"};
  platform::FileRegistry registry;
  CChangeJournal journal{registry, folder_ / "rollback"};
  CUpdateFileData::ResetInstance();
  CLanguage::ResetInstance();
  CUpdaterSettings::ResetInstance();
  CUpdaterSettings::Instance().MutableValues().name = "Demo";
  CUpdaterSettings::Instance().MutableValues().location = program;
  CUpdateFileData::Instance().self_update = false;
  CUpdateFileData::Instance().close_application = CloseApplicationMode::Close;
  AddCopy(AddFile("Demo"), folder_.Write("download/demo", "new program"), program);

  bool closed = false;
  InstallDeps deps;
  deps.journal = &journal;
  deps.application_closed = [&closed] { closed = true; };
  auto owner = std::make_shared<CMessageQueue>();
  CInstall task(deps);
  task.Start();
  SetOwner(task, owner);
  task.Post(MakeMessage(MessageId::kCommand, CommandCode::kStartWorking));
  auto question = owner->TakeFor(kWaitMs);
  ASSERT_TRUE(question);
  EXPECT_EQ(Describe(*question), "question 2 Demo");
  task.Post(MakeMessage(MessageId::kAnswer, QuestionId::kCloseApplication, 0));
  auto lines = DescribeAll(TakeUntil(*owner, [](const Message& m) {
    return m.id == MessageId::kTaskComplete || m.id == MessageId::kError;
  }));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "complete 7");
  EXPECT_TRUE(closed);
  EXPECT_EQ(folder_.Read("app/demo"), "new program");
  task.Stop();
  CUpdateFileData::ResetInstance();
  CUpdaterSettings::ResetInstance();
}

}  // namespace
