#include "tests/support/xvfb_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "platform/file_system.h"
#include "tests/support/scoped_env.h"

namespace {

std::string SocketOf(int number) { return "/tmp/.X11-unix/X" + std::to_string(number); }
std::string LockOf(int number) { return "/tmp/.X" + std::to_string(number) + "-lock"; }

// The process that holds a display: the number its lock file holds (the X
// server writes its id there, padded with blanks); 0 when there is none.
long LockHolder(int number) {
  const std::optional<std::string> text = platform::ReadFile(LockOf(number), 64);
  if (!text) return 0;
  long holder = 0;
  for (const char c : *text) {
    if (c >= '0' && c <= '9') holder = holder * 10 + (c - '0');
    if (holder > 1'000'000'000) return 0;
  }
  return holder;
}

// Display numbers far from the usual ones, spread by the process id so that
// test programs running side by side rarely try the same one.
constexpr int kFirstDisplay = 120;
constexpr int kDisplaySpan = 700;
constexpr int kTries = 8;

}  // namespace

std::optional<std::string> FindTestTool(const char* name) {
  for (const char* folder : {"/usr/bin/", "/usr/local/bin/", "/bin/"}) {
    const std::string path = std::string(folder) + name;
    if (platform::IsExecutableFile(path)) return path;
  }
  return std::nullopt;
}

XvfbFixture::~XvfbFixture() { Stop(); }

bool XvfbFixture::Start() {
  if (!FindTestTool("Xvfb")) {
    message_ = "Xvfb is not installed (apt-get install xvfb)";
    return false;
  }
  const int spread = static_cast<int>(platform::CurrentProcessId() % kDisplaySpan);
  for (int i = 0; i < kTries; ++i) {
    const int number = kFirstDisplay + (spread + i * 37) % kDisplaySpan;
    if (platform::PathExists(SocketOf(number)) || platform::PathExists(LockOf(number))) continue;
    if (TryDisplay(number)) return true;
  }
  if (message_.empty()) message_ = "no free display for Xvfb";
  return false;
}

bool XvfbFixture::TryDisplay(int number) {
  const std::string program = *FindTestTool("Xvfb");
  auto started = platform::StartProgram(
      program, {":" + std::to_string(number), "-nolisten", "tcp", "-screen", "0", "1024x768x24"},
      "/");
  if (!started.status) {
    message_ = "Xvfb does not start: " + started.status.message();
    return false;
  }
  pid_ = started.pid;
  // Ready once its socket is there; a server that ends lost the display to
  // another one.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto code = platform::WaitForProcess(pid_, 20)) {
      pid_ = 0;
      message_ = "Xvfb ended with code " + std::to_string(*code);
      return false;
    }
    // Two tests that chose the same free number at once both see one socket:
    // the display is ours only when the lock names our server.
    if (platform::PathExists(SocketOf(number))) {
      if (LockHolder(number) == static_cast<long>(pid_)) {
        number_ = number;
        return true;
      }
      if (LockHolder(number) != 0) {
        Stop();
        message_ = "display :" + std::to_string(number) + " was taken by another server";
        return false;
      }
    }
  }
  message_ = "Xvfb does not take connections";
  Stop();
  return false;
}

namespace {

// Runs a tool on the display and waits for it, bounded; an error text.
std::string RunTool(const char* name, const std::vector<std::string>& arguments,
                    const std::string& display, std::int64_t bound_ms) {
  const auto program = FindTestTool(name);
  if (!program) return std::string(name) + " is not installed";
  platform::StartResult started;
  {
    ScopedEnv environment("DISPLAY", display);
    started = platform::StartProgram(*program, arguments, "/");
  }
  if (!started.status) return std::string(name) + " does not start: " + started.status.message();
  const auto code = platform::WaitForProcess(started.pid, bound_ms);
  if (!code) {
    (void)platform::TerminateProcess(started.pid, true);
    platform::WaitForProcess(started.pid, 5000);
    return std::string(name) + " does not end";
  }
  if (*code != 0) return std::string(name) + " ended with code " + std::to_string(*code);
  return {};
}

}  // namespace

std::string XvfbFixture::Screenshot(const std::string& png_path) const {
  return RunTool("import", {"-window", "root", png_path}, Display(), 20000);
}

std::string XvfbFixture::Xdotool(const std::vector<std::string>& arguments,
                                 std::int64_t bound_ms) const {
  return RunTool("xdotool", arguments, Display(), bound_ms);
}

void XvfbFixture::Stop() {
  if (pid_ <= 0) return;
  (void)platform::TerminateProcess(pid_, false);
  if (!platform::WaitForProcess(pid_, 5000)) {
    (void)platform::TerminateProcess(pid_, true);
    platform::WaitForProcess(pid_, 5000);
  }
  pid_ = 0;
}

std::string ScreenshotFolder() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "screens";
  for (char& c : name)
    if (c == '/') c = '_';
  const std::string folder = std::string(VELMORA_SCREENSHOTS) + "/" + name;
  platform::CreateFolders(folder);
  return folder;
}
