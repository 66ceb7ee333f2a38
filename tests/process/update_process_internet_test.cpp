// The update process configures the internet object once, at its start.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/support/log_capture.h"
#include "tests/support/temp_folder.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/process/update_process.h"

namespace {

class NoTasks : public ITaskFactory {
 public:
  std::unique_ptr<CTaskThread> CreateTask(TaskId) override { return nullptr; }
};

class NoModes : public IModeFactory {
 public:
  std::unique_ptr<CMode> CreateMode(const std::string&, IModeHost&, TaskId) override {
    return nullptr;
  }
};

class NoServices : public IProcessServices {
 public:
  bool FileExists(const std::string&) override { return false; }
  void StartProgram(const std::string&, const std::string&, const std::string&) override {}
  bool IsProcessRunning(const std::string&) override { return false; }
  bool CloseApplication(const std::string&, const std::string&) override { return true; }
  bool Confirm(const std::string&, const std::string&, const std::string&, const std::string&,
               const std::string&) override {
    return false;
  }
};

TEST(UpdateProcessInternetTest, ConfiguresTheInternetOnceWithTheProcessQueue) {
  TempFolder folder;
  LogCapture log;
  CUpdaterSettings::ResetInstance();
  CUpdaterPaths::ResetInstance();
  SystemFolders system;
  system.executable = folder / "Velmora Updater";
  system.temp = folder / "temp";
  ASSERT_TRUE(CUpdaterPaths::Instance().Init(system));

  NoTasks tasks;
  NoModes modes;
  NoServices services;
  std::vector<std::shared_ptr<CMessageQueue>> calls;
  UpdateProcessDeps deps{.tasks = tasks,
                         .modes = modes,
                         .services = services,
                         .finish_update = nullptr,
                         .show_about = nullptr};
  deps.configure_internet = [&calls](const std::shared_ptr<CMessageQueue>& queue) {
    calls.push_back(queue);
  };
  CUpdateProcess process(std::move(deps));
  process.Begin();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls.front(), process.Queue());
  // Configured before TaskId::kInit completes: its completion is still queued.
  EXPECT_EQ(process.Queue()->Size(), 1u);
  process.PumpReady();
  EXPECT_EQ(calls.size(), 1u);
  CUpdaterPaths::ResetInstance();
}

}  // namespace
