#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/process.h"

namespace {

platform::ProcessInfo Process(platform::ProcessId pid, std::string executable,
                              std::string first_word = "", bool own = true) {
  platform::ProcessInfo process;
  process.pid = pid;
  process.own = own;
  process.executable = std::move(executable);
  process.first_word = std::move(first_word);
  return process;
}

std::vector<platform::ProcessId> Pids(const std::vector<platform::ProcessInfo>& processes) {
  std::vector<platform::ProcessId> pids;
  for (const auto& process : processes) pids.push_back(process.pid);
  return pids;
}

TEST(UsersProcessesRunning, OnlyThisUsersOtherProcessesOfThatProgram) {
  const std::vector<platform::ProcessInfo> processes = {
      Process(1, "/opt/app/tool"),
      Process(2, "/opt/app/tool", "", false),  // another user's
      Process(3, "/opt/app/tool"),             // this process
      Process(4, "/opt/other/tool"),
      Process(5, "/opt/app/Tool"),
      Process(6, "", "/opt/app/tool"),  // program file unreadable
      Process(7, "/usr/bin/wine", "tool"),
  };
  EXPECT_EQ(Pids(platform::UsersProcessesRunning(processes, 3, "/opt/app/tool")),
            (std::vector<platform::ProcessId>{1, 5, 6}));
  EXPECT_EQ(Pids(platform::UsersProcessesRunning(processes, 3, "tool")),
            (std::vector<platform::ProcessId>{1, 4, 5, 6, 7}));
  EXPECT_EQ(Pids(platform::UsersProcessesRunning(
                processes, 3, "/opt/app/tool", {.ignore_case = false, .command_line_too = false})),
            (std::vector<platform::ProcessId>{1}));
  EXPECT_EQ(Pids(platform::UsersProcessesRunning(processes, 3, "tool", {.ignore_case = false})),
            (std::vector<platform::ProcessId>{1, 4, 6, 7}));
  EXPECT_TRUE(platform::UsersProcessesRunning(processes, 3, "").empty());
  EXPECT_TRUE(platform::UsersProcessesRunning(processes, 3, "/opt/app/").empty());
}

}  // namespace
