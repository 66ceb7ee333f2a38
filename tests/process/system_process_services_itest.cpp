// The process services with real child processes.

#include <gtest/gtest.h>

#include "platform/file_attributes.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "tests/support/permission_bits.h"
#include "tests/support/temp_folder.h"
#include "updater/process/system_process_services.h"

namespace {

constexpr std::int64_t kWaitMs = 10000;

TEST(SystemProcessServices, StartsAProgramWithSplitParametersInTheWorkingFolder) {
  TempFolder folder;
  CSystemProcessServices services;
  auto started =
      services.Start("/usr/bin/touch", R"(plain "with blank" ";rm -rf x")", folder.path());
  ASSERT_TRUE(started.status) << started.status.message();
  ASSERT_GT(started.pid, 0);
  EXPECT_EQ(platform::WaitForProcess(started.pid, kWaitMs), 0);
  EXPECT_TRUE(platform::FileExists(folder / "plain"));
  EXPECT_TRUE(platform::FileExists(folder / "with blank"));
  EXPECT_TRUE(platform::FileExists(folder / ";rm -rf x"));
  EXPECT_TRUE(services.FileExists(folder / "plain"));
  EXPECT_FALSE(services.FileExists(folder / "missing"));
  EXPECT_FALSE(services.FileExists(folder.path()));
}

// A downloaded program arrives without the execute bit: it is still a program,
// made executable for its owner and started (never handed to the desktop's
// opener, which would return no process to wait for).
TEST(SystemProcessServices, StartsADownloadedProgramWithoutTheExecuteBit) {
  TempFolder folder;
  const std::string elf = folder.Write("download/touch copy",
                                       platform::ReadFile("/usr/bin/touch", 1 << 24).value_or(""));
  const std::string script = folder.Write("download/setup.sh", "#!/bin/sh\n: > \"$1\"\n");
  for (const std::string& program : {elf, script}) {
    ASSERT_FALSE(platform::IsExecutableFile(program));
    EXPECT_FALSE(OpensWithDesktop(program)) << program;
    const std::string marker = program + ".ran";
    CSystemProcessServices services;
    auto started = services.Start(program, "\"" + marker + "\"", folder.path());
    ASSERT_TRUE(started.status) << started.status.message();
    ASSERT_GT(started.pid, 0) << program;
    EXPECT_EQ(platform::WaitForProcess(started.pid, kWaitMs), 0);
    EXPECT_TRUE(platform::FileExists(marker)) << program;
    EXPECT_TRUE(platform::IsExecutableFile(program));
    EXPECT_EQ(PermissionBits(program) & 0777, 0744u) << program;
  }
}

TEST(SystemProcessServices, FindsAndClosesTheUsersApplication) {
  TempFolder folder;
  auto bytes = platform::ReadFile("/bin/sleep", 16 << 20);
  ASSERT_TRUE(bytes);
  std::string name = "vapp-" + folder.path().substr(folder.path().rfind('/') + 1);
  std::string program = folder / name;
  ASSERT_TRUE(platform::WriteFileAtomic(program, *bytes, platform::FilePermissions::kExecutable));

  CSystemProcessServices services;
  EXPECT_FALSE(services.IsProcessRunning(name));
  auto started = platform::StartProgram(program, {"60"}, "");
  ASSERT_TRUE(started.status);

  EXPECT_TRUE(services.IsProcessRunning(name));
  EXPECT_TRUE(services.IsProcessRunning(program));
  EXPECT_TRUE(services.IsProcessRunning(folder / ("sub/../" + name)));
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(services.IsProcessRunning(upper));
  EXPECT_FALSE(services.IsProcessRunning("/elsewhere/" + name));

  EXPECT_TRUE(services.CloseApplication("Sleeper", program));
  EXPECT_TRUE(services.ApplicationClosed());
  EXPECT_FALSE(services.IsProcessRunning(name));
  auto code = platform::WaitForProcess(started.pid, kWaitMs);
  if (!code) platform::TerminateProcess(started.pid, true);
  EXPECT_EQ(code, 128 + 15);  // ended by the request, not killed
}

}  // namespace
