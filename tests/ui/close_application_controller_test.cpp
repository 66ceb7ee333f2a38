#include "updater/ui/close_application_controller.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "updater/core/language.h"
#include "updater/ui/dialog_results.h"

namespace close_application_controller_test {

// A program that runs until it has gone after a given number of checks (or
// never); every close request is recorded.
class FakeProcesses : public ICloseApplicationProcesses {
 public:
  explicit FakeProcesses(int running_checks = -1) : running_checks_(running_checks) {}
  bool IsProcessRunning(const std::string& file_name) override {
    checked.push_back(file_name);
    if (running_checks_ < 0) return true;
    return static_cast<int>(checked.size()) <= running_checks_;
  }
  void CloseProcesses(const std::string& file_name, bool terminate) override {
    requests.push_back({file_name, terminate});
  }

  struct Request {
    std::string file_name;
    bool terminate;
    bool operator==(const Request&) const = default;
  };
  std::vector<std::string> checked;
  std::vector<Request> requests;

 private:
  int running_checks_;
};

class CloseApplicationController : public ::testing::Test {
 protected:
  void SetUp() override { CLanguage::ResetInstance(); }
  void TearDown() override { CLanguage::ResetInstance(); }
};

TEST_F(CloseApplicationController, StartAsksTheProgramToCloseByItsFileName) {
  FakeProcesses processes;
  CCloseApplicationController controller("Sample", "/opt/sample/bin/sample", processes);
  controller.Start();
  EXPECT_EQ(processes.requests, (std::vector<FakeProcesses::Request>{{"sample", false}}));
  EXPECT_EQ(controller.Caption(), "Close Sample");
  EXPECT_NE(controller.Explanation().find("in 60 seconds"), std::string::npos);
  EXPECT_EQ(controller.EndNowLabel(), "End now");
  EXPECT_EQ(controller.CancelLabel(), "Cancel");
  EXPECT_EQ(controller.ProgressRange(), 60);
  EXPECT_EQ(controller.ProgressPosition(), 0);
  EXPECT_TRUE(controller.TimerRunning());
}

TEST_F(CloseApplicationController, EndsWithOkAtTheFirstTickAfterTheProgramHasGone) {
  FakeProcesses processes(/*running_checks=*/3);
  CCloseApplicationController controller("Sample", "C:\\Apps\\sample.exe", processes);
  controller.Start();
  for (int tick = 1; tick <= 3; ++tick) EXPECT_EQ(controller.Tick(), std::nullopt) << tick;
  EXPECT_EQ(controller.Tick(), kDialogOk);
  EXPECT_FALSE(controller.TimerRunning());
  EXPECT_EQ(processes.checked.front(), "sample.exe");
  // Only the polite request was sent.
  EXPECT_EQ(processes.requests.size(), 1u);
}

TEST_F(CloseApplicationController, CountsDownAndTerminatesAtTheSixtiethTick) {
  FakeProcesses processes;
  CCloseApplicationController controller("Sample", "/opt/sample", processes);
  controller.Start();
  for (int tick = 1; tick < 60; ++tick) {
    ASSERT_EQ(controller.Tick(), std::nullopt) << tick;
    EXPECT_NE(controller.Explanation().find("in " + std::to_string(60 - tick) + " seconds"),
              std::string::npos)
        << tick;
    EXPECT_EQ(controller.ProgressPosition(), tick);
  }
  EXPECT_EQ(controller.Tick(), kDialogOk);
  EXPECT_EQ(controller.ProgressPosition(), 59);
  EXPECT_FALSE(controller.TimerRunning());
  EXPECT_EQ(processes.requests,
            (std::vector<FakeProcesses::Request>{{"sample", false}, {"sample", true}}));
  // The timer has stopped: later ticks do nothing.
  EXPECT_EQ(controller.Tick(), std::nullopt);
}

TEST_F(CloseApplicationController, EndNowTerminatesAndCancelLeavesTheProgramRunning) {
  FakeProcesses processes;
  CCloseApplicationController ending("Sample", "/opt/sample", processes);
  ending.Start();
  EXPECT_EQ(ending.EndNow(), kDialogOk);
  EXPECT_EQ(processes.requests.back(), (FakeProcesses::Request{"sample", true}));

  FakeProcesses other;
  CCloseApplicationController cancelled("Sample", "/opt/sample", other);
  cancelled.Start();
  EXPECT_EQ(cancelled.Cancel(), kDialogCancel);
  EXPECT_EQ(other.requests, (std::vector<FakeProcesses::Request>{{"sample", false}}));
}

TEST_F(CloseApplicationController, EmptyTitleIsTheWordApplication) {
  FakeProcesses processes;
  CCloseApplicationController controller("", "/opt/sample", processes);
  EXPECT_EQ(controller.Caption(), "Close application");
  // A title is text, never a pattern.
  CCloseApplicationController odd("%s %d", "/opt/sample", processes);
  EXPECT_EQ(odd.Caption(), "Close %s %d");
}

// The system side over a fake process list: only the user's own processes
// other than this one, matched by file name.
class FakeProcessControl : public platform::IProcessControl {
 public:
  std::vector<platform::ProcessInfo> ListProcesses() override { return list; }
  platform::ProcessId CurrentProcessId() override { return 10; }
  platform::Status TerminateProcess(const platform::ProcessInfo& process, bool force) override {
    ended.push_back({process.pid, force});
    return platform::Status::Ok();
  }
  bool WaitForProcessesToEnd(const std::vector<platform::ProcessId>&, std::int64_t) override {
    return true;
  }
  std::vector<platform::ProcessInfo> list;
  std::vector<std::pair<platform::ProcessId, bool>> ended;
};

TEST_F(CloseApplicationController, SystemProcessesAreTheUsersOwnOtherThanThisOne) {
  FakeProcessControl control;
  const auto process = [](platform::ProcessId pid, std::string path, bool own) {
    platform::ProcessInfo info;
    info.pid = pid;
    info.executable = std::move(path);
    info.own = own;
    return info;
  };
  control.list = {process(10, "/opt/sample", true), process(11, "/opt/sample", true),
                  process(12, "/opt/sample", false), process(13, "/opt/other", true)};
  CSystemCloseApplicationProcesses processes(control);
  EXPECT_TRUE(processes.IsProcessRunning("sample"));
  EXPECT_FALSE(processes.IsProcessRunning("missing"));
  processes.CloseProcesses("sample", false);
  processes.CloseProcesses("sample", true);
  EXPECT_EQ(control.ended,
            (std::vector<std::pair<platform::ProcessId, bool>>{{11, false}, {11, true}}));
}

}  // namespace close_application_controller_test
