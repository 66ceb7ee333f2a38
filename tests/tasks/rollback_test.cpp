#include "updater/tasks/rollback/rollback.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "tests/support/log_capture.h"
#include "tests/support/native_path.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"
#include "tests/tasks/install_test_support.h"
#include "updater/tasks/install/component_registration.h"

using namespace install_test;

namespace {

class CRollbackTest : public ::testing::Test {
 protected:
  std::vector<std::string> Run(CommandCode command) {
    auto owner = std::make_shared<CMessageQueue>();
    CRollback task(&journal_);
    task.Start();
    SetOwner(task, owner);
    task.Post(MakeMessage(MessageId::kCommand, command));
    EXPECT_TRUE(task.WaitForEnd(kWaitMs));
    std::vector<std::string> reports;
    results_.clear();
    while (auto m = owner->TryTake()) {
      reports.push_back(Describe(*m));
      results_.push_back(m->lparam);
    }
    return reports;
  }

  TempFolder folder_;
  ScopedEnv env_{"XDG_CONFIG_HOME", folder_ / "config"};
  ScopedEnv component_log_{"VELMORA_TEST_COMPONENT_LOG", folder_ / "component.log"};
  LogCapture log_;
  TestRegistry registry_{folder_ / "config/velmora/registry"};
  CChangeJournal journal_{registry_, folder_ / "rollback"};
  std::vector<std::int64_t> results_;  // the lparam of each report
};

TEST_F(CRollbackTest, UndoesTheJournalTheLastChangeFirstAndReports) {
  std::string program = folder_.Write("app/app.bin", "old");
  ASSERT_TRUE(journal_.RecordFileReplace(program));
  ASSERT_TRUE(platform::WriteFileAtomic(program, "new"));
  ASSERT_TRUE(journal_.RecordFolderCreate(folder_ / "app/new"));
  ASSERT_TRUE(platform::CreateFolders(folder_ / "app/new"));
  ASSERT_TRUE(journal_.RecordFileCreate(folder_ / "app/new/file"));
  folder_.Write("app/new/file", "created");
  ASSERT_TRUE(journal_.RecordRegistration(VELMORA_COMPONENT_OK));
  ASSERT_TRUE(RegisterComponent(VELMORA_COMPONENT_OK));

  EXPECT_EQ(Run(CommandCode::kStartWorking), std::vector<std::string>{"complete 9"});
  EXPECT_EQ(folder_.Read("app/app.bin"), "old");
  EXPECT_FALSE(platform::PathExists(folder_ / "app/new"));
  EXPECT_EQ(folder_.Read("component.log"), "register\nunregister\n");
  EXPECT_EQ(journal_.Size(), 0u);
  EXPECT_TRUE(log_.Contains("rollback: undoing 4 changes"));
  EXPECT_TRUE(log_.Contains("rollback: every change was undone"));
  EXPECT_EQ(results_, std::vector<std::int64_t>{0});
}

TEST_F(CRollbackTest, ChangesThatCannotBeUndoneAreLoggedAndTheTaskStillEnds) {
  ASSERT_TRUE(journal_.RecordRegistration(VELMORA_COMPONENT_NONE));
  EXPECT_EQ(Run(CommandCode::kStartWorking), std::vector<std::string>{"complete 9"});
  EXPECT_TRUE(log_.Contains("rollback: 1 changes not undone"));
  EXPECT_EQ(results_, std::vector<std::int64_t>{1});  // the changes not undone
}

TEST_F(CRollbackTest, CancelAndFinishEndWithoutUndoing) {
  std::string program = folder_.Write("app/app.bin", "old");
  ASSERT_TRUE(journal_.RecordFileReplace(program));
  ASSERT_TRUE(platform::WriteFileAtomic(program, "new"));
  for (CommandCode command : {CommandCode::kCancel, CommandCode::kFinish}) {
    EXPECT_TRUE(Run(command).empty()) << ToNumber(command);
    EXPECT_EQ(folder_.Read("app/app.bin"), "new");
  }
}

TEST(ComponentRegistrationTest, EntryPointsDecide) {
  TempFolder folder;
  ScopedEnv component_log{"VELMORA_TEST_COMPONENT_LOG", folder / "component.log"};
  LogCapture log;
  EXPECT_TRUE(RegisterComponent(VELMORA_COMPONENT_OK));
  EXPECT_TRUE(UnregisterComponent(VELMORA_COMPONENT_OK));
  EXPECT_FALSE(RegisterComponent(VELMORA_COMPONENT_REFUSES));
  EXPECT_FALSE(RegisterComponent(VELMORA_COMPONENT_NONE));
  EXPECT_FALSE(RegisterComponent(folder.Write("not-a-library.so", "text")));
  EXPECT_FALSE(RegisterComponent(folder / "missing.so"));
  EXPECT_EQ(folder.Read("component.log"), "register\nunregister\nregister\n");
  EXPECT_TRUE(
      log.Contains("component " + Native(VELMORA_COMPONENT_NONE) + " has no DllRegisterServer"));
}

}  // namespace
