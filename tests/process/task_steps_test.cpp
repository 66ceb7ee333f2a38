#include "updater/process/task_steps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::vector<TaskId> kEveryTask = {
    TaskId::kInit,         TaskId::kCheckVersion, TaskId::kHtmlMessage, TaskId::kLicense,
    TaskId::kSelectUpdate, TaskId::kDownload,     TaskId::kInstall,     TaskId::kRollback};

// Every task has exactly one step, in the order of the ids, logged by its task name.
TEST(TaskStepsTest, OneStepPerTaskInIdOrder) {
  ASSERT_EQ(TaskSteps().size(), kEveryTask.size());
  for (std::size_t i = 0; i < kEveryTask.size(); ++i) {
    const TaskStep& step = TaskSteps()[i];
    EXPECT_EQ(step.id, kEveryTask[i]) << i;
    EXPECT_EQ(FindTaskStep(kEveryTask[i]), &step) << i;
    EXPECT_EQ(std::string(step.log_name), TaskName(step.id)) << i;
  }
  EXPECT_EQ(FindTaskStep(TaskId::kWorker), nullptr);
}

// The pages the user takes part in move on by themselves and run no thread;
// the tasks with a thread are the ones the factory makes.
TEST(TaskStepsTest, PagesAndThreads) {
  for (const TaskStep& step : TaskSteps()) {
    const bool page = step.id == TaskId::kHtmlMessage || step.id == TaskId::kLicense ||
                      step.id == TaskId::kSelectUpdate;
    const bool thread = step.id == TaskId::kCheckVersion || step.id == TaskId::kDownload ||
                        step.id == TaskId::kInstall || step.id == TaskId::kRollback;
    EXPECT_EQ(step.Interactive(), page) << step.log_name;
    EXPECT_EQ(step.moves_on, page) << step.log_name;
    EXPECT_EQ(step.has_thread, thread) << step.log_name;
    EXPECT_EQ(step.started, step.id != TaskId::kInit) << step.log_name;
  }
}

// A page is shown exactly when the update file gives it something.
TEST(TaskStepsTest, PagesShowWhatTheUpdateFileGives) {
  CUpdateFileData empty;
  CUpdateFileData full;
  full.html_message_url = "https://example.invalid/news.html";
  full.license = "license text";
  full.sections.push_back(CSectionData{});
  for (TaskId id : {TaskId::kHtmlMessage, TaskId::kLicense, TaskId::kSelectUpdate}) {
    const TaskStep* step = FindTaskStep(id);
    ASSERT_TRUE(step && step->shows);
    EXPECT_FALSE(step->shows(empty)) << step->log_name;
    EXPECT_TRUE(step->shows(full)) << step->log_name;
  }
}

}  // namespace
