#include "updater/tasks/task_factory.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "updater/process/message_queue.h"
#include "updater/tasks/download.h"
#include "updater/tasks/rollback.h"

namespace {

constexpr std::int64_t kWaitMs = 10000;

void SetOwner(CTaskThread& task, const std::shared_ptr<CMessageQueue>& owner) {
  Message set_owner = MakeMessage(WMU_SET_OWNER);
  set_owner.payload = owner;
  task.Post(std::move(set_owner));
}

TEST(TaskFactoryTest, CreatesTheTasksThatExist) {
  CTaskFactory factory;
  for (int id : {TASK_CHECKVERSION, TASK_DOWNLOAD, TASK_INSTALL, TASK_ROLLBACK}) {
    std::unique_ptr<CTaskThread> task = factory.CreateTask(id);
    ASSERT_TRUE(task) << id;
    EXPECT_EQ(task->TaskId(), id);
  }
  EXPECT_TRUE(dynamic_cast<CCheckVersion*>(factory.CreateTask(TASK_CHECKVERSION).get()));
  EXPECT_TRUE(dynamic_cast<CDownload*>(factory.CreateTask(TASK_DOWNLOAD).get()));
  EXPECT_TRUE(dynamic_cast<CInstall*>(factory.CreateTask(TASK_INSTALL).get()));
  EXPECT_TRUE(dynamic_cast<CRollback*>(factory.CreateTask(TASK_ROLLBACK).get()));
}

TEST(TaskFactoryTest, NoThreadForTasksWithoutWorker) {
  CTaskFactory factory;
  for (int id : std::initializer_list<int>{TASK_INIT, TASK_HTMLMESSAGE, TASK_LICENSE, 4,
                                           TASK_SELECTUPDATE, 8, 10, -1})
    EXPECT_FALSE(factory.CreateTask(id)) << id;
}

TEST(RollbackTest, StartReportsCompletionAndEnds) {
  auto owner = std::make_shared<CMessageQueue>();
  CRollback task;
  task.Start();
  SetOwner(task, owner);
  task.Post(MakeMessage(WMU_COMMAND, COMMAND_START_WORKING));
  std::optional<Message> report = owner->TakeFor(kWaitMs);
  ASSERT_TRUE(report);
  EXPECT_EQ(report->id, WMU_TASK_COMPLETE);
  EXPECT_EQ(report->wparam, TASK_ROLLBACK);
  EXPECT_EQ(report->lparam, 0);
  EXPECT_TRUE(task.WaitForEnd(kWaitMs));
  EXPECT_EQ(owner->Size(), 0u);
}

TEST(RollbackTest, CancelAndFinishEndWithoutReport) {
  for (int command : {COMMAND_CANCEL, COMMAND_FINISH}) {
    auto owner = std::make_shared<CMessageQueue>();
    CRollback task;
    task.Start();
    SetOwner(task, owner);
    task.Post(MakeMessage(WMU_WORKER_DONE));
    task.Post(MakeMessage(WMU_COMMAND, command));
    task.Post(MakeMessage(WMU_COMMAND, COMMAND_START_WORKING));
    EXPECT_TRUE(task.WaitForEnd(kWaitMs));
    EXPECT_EQ(owner->Size(), 0u);
  }
}

}  // namespace
