#include "updater/tasks/task_factory.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "updater/process/message_queue.h"
#include "updater/tasks/download/download.h"
#include "updater/tasks/rollback/rollback.h"

namespace {

constexpr std::int64_t kWaitMs = 10000;

void SetOwner(CTaskThread& task, const std::shared_ptr<CMessageQueue>& owner) {
  Message set_owner = MakeMessage(MessageId::kSetOwner);
  set_owner.payload = owner;
  task.Post(std::move(set_owner));
}

TEST(TaskFactoryTest, CreatesTheTasksThatExist) {
  CTaskFactory factory;
  for (TaskId id :
       {TaskId::kCheckVersion, TaskId::kDownload, TaskId::kInstall, TaskId::kRollback}) {
    std::unique_ptr<CTaskThread> task = factory.CreateTask(id);
    ASSERT_TRUE(task) << ToNumber(id);
    EXPECT_EQ(task->Task(), id);
  }
  EXPECT_TRUE(dynamic_cast<CCheckVersion*>(factory.CreateTask(TaskId::kCheckVersion).get()));
  EXPECT_TRUE(dynamic_cast<CDownload*>(factory.CreateTask(TaskId::kDownload).get()));
  EXPECT_TRUE(dynamic_cast<CInstall*>(factory.CreateTask(TaskId::kInstall).get()));
  EXPECT_TRUE(dynamic_cast<CRollback*>(factory.CreateTask(TaskId::kRollback).get()));
}

TEST(TaskFactoryTest, NoThreadForTasksWithoutWorker) {
  CTaskFactory factory;
  for (int id : {ToNumber(TaskId::kInit), ToNumber(TaskId::kHtmlMessage),
                 ToNumber(TaskId::kLicense), 4, ToNumber(TaskId::kSelectUpdate), 8, 10, -1})
    EXPECT_FALSE(factory.CreateTask(static_cast<TaskId>(id))) << id;
}

TEST(RollbackTest, StartReportsCompletionAndEnds) {
  auto owner = std::make_shared<CMessageQueue>();
  CRollback task;
  task.Start();
  SetOwner(task, owner);
  task.Post(MakeMessage(MessageId::kCommand, CommandCode::kStartWorking));
  std::optional<Message> report = owner->TakeFor(kWaitMs);
  ASSERT_TRUE(report);
  EXPECT_EQ(report->id, MessageId::kTaskComplete);
  EXPECT_EQ(CodeOf<TaskId>(*report), TaskId::kRollback);
  EXPECT_EQ(report->lparam, 0);
  EXPECT_TRUE(task.WaitForEnd(kWaitMs));
  EXPECT_EQ(owner->Size(), 0u);
}

TEST(RollbackTest, CancelAndFinishEndWithoutReport) {
  for (CommandCode command : {CommandCode::kCancel, CommandCode::kFinish}) {
    auto owner = std::make_shared<CMessageQueue>();
    CRollback task;
    task.Start();
    SetOwner(task, owner);
    task.Post(MakeMessage(MessageId::kWorkerDone));
    task.Post(MakeMessage(MessageId::kCommand, command));
    task.Post(MakeMessage(MessageId::kCommand, CommandCode::kStartWorking));
    EXPECT_TRUE(task.WaitForEnd(kWaitMs));
    EXPECT_EQ(owner->Size(), 0u);
  }
}

}  // namespace
