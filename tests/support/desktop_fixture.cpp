#include "tests/support/desktop_fixture.h"

#include <chrono>

#include "platform/file_system.h"
#include "tests/support/scoped_env.h"
#include "tests/support/xvfb_fixture.h"

namespace {

constexpr std::int64_t kToolBoundMs = 5000;
constexpr auto kStartBound = std::chrono::seconds(10);

// The daemon runs this for every notification it shows; it appends
// "summary|body" to the file named by its first line's argument.
constexpr char kRecorder[] =
    "#!/bin/sh\n"
    "printf '%s|%s\\n' \"$2\" \"$3\" >> \"$(dirname \"$0\")/shown.txt\"\n";

// The daemon's settings: markup is read (the body carries character
// references), every notification goes to the recorder.
std::string DunstSettings(const std::string& recorder) {
  return "[global]\n"
         "    markup = full\n"
         "    origin = top-right\n"
         "    offset = 10x10\n"
         "    width = 300\n"
         "[record]\n"
         "    summary = \"*\"\n"
         "    script = " +
         recorder + "\n";
}

// A session bus of the test's own, without the system's service files: no
// daemon is started behind the test's back when a tool asks for one.
std::string BusSettings(const std::string& address) {
  return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
         "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
         "<busconfig><type>session</type><listen>" +
         address +
         "</listen><auth>EXTERNAL</auth>"
         "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
         "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
}

}  // namespace

DesktopFixture::~DesktopFixture() { Stop(); }

bool DesktopFixture::Launch(const char* tool, const std::vector<std::string>& arguments) {
  const auto program = FindTestTool(tool);
  if (!program) {
    message_ = std::string(tool) + " is not installed";
    return false;
  }
  platform::StartResult started;
  {
    ScopedEnv display("DISPLAY", server_.Display());
    ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", BusAddress());
    started = platform::StartProgram(*program, arguments, "/");
  }
  if (!started.status) {
    message_ = std::string(tool) + " does not start: " + started.status.message();
    return false;
  }
  started_.push_back(started.pid);
  return true;
}

bool DesktopFixture::Succeeds(const char* tool, const std::vector<std::string>& arguments) const {
  const auto program = FindTestTool(tool);
  if (!program) return false;
  platform::StartResult started;
  {
    ScopedEnv display("DISPLAY", server_.Display());
    ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", BusAddress());
    started = platform::StartProgram(*program, arguments, "/");
  }
  if (!started.status) return false;
  const auto code = platform::WaitForProcess(started.pid, kToolBoundMs);
  if (!code) {
    (void)platform::TerminateProcess(started.pid, true);
    platform::WaitForProcess(started.pid, kToolBoundMs);
    return false;
  }
  return *code == 0;
}

bool DesktopFixture::WaitUntil(const char* tool, const std::vector<std::string>& arguments) const {
  const auto deadline = std::chrono::steady_clock::now() + kStartBound;
  while (std::chrono::steady_clock::now() < deadline) {
    // Each try is a bounded run of the tool, which waits for the answer.
    if (Succeeds(tool, arguments)) return true;
  }
  return false;
}

bool DesktopFixture::StartBus() {
  const std::string bus = folder_.Write("bus.conf", BusSettings(BusAddress()));
  if (!Launch("dbus-daemon", {"--config-file=" + bus, "--nofork", "--nopidfile"})) return false;
  if (!WaitUntil("dbus-send", {"--session", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus.GetId"})) {
    message_ = "the session bus does not answer";
    return false;
  }
  return true;
}

bool DesktopFixture::StartNotifications() {
  if (!StartBus()) return false;
  const std::string recorder = folder_.Write("recorder.sh", kRecorder);
  if (!platform::MakeExecutableForOwner(recorder)) {
    message_ = "the recorder cannot be made executable";
    return false;
  }
  const std::string settings = folder_.Write("dunstrc", DunstSettings(recorder));
  if (!Launch("dunst", {"-config", settings})) return false;
  // dunstctl asks the daemon over the bus; it answers once it is up.
  if (!WaitUntil("dunstctl", {"is-paused"})) {
    message_ = "dunst does not answer on the session bus";
    return false;
  }
  return true;
}

bool DesktopFixture::StartTray() {
  if (!Launch("trayer", {"--edge", "bottom", "--align", "right", "--widthtype", "request",
                         "--height", "32", "--heighttype", "pixel", "--SetDockType", "true",
                         "--transparent", "false", "--tint", "0xE0E8F0"}))
    return false;
  if (!WaitUntil("xdotool", {"search", "--onlyvisible", "--class", "trayer"})) {
    message_ = "trayer's window does not show";
    return false;
  }
  return true;
}

bool DesktopFixture::StartCompositor() { return Launch("xcompmgr", {}); }

std::vector<std::string> DesktopFixture::Notifications() const {
  std::vector<std::string> lines;
  const auto text = platform::ReadFile(folder_ / "shown.txt", 1 << 20);
  if (!text) return lines;
  std::string line;
  for (const char c : *text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  return lines;
}

void DesktopFixture::Stop() {
  for (auto it = started_.rbegin(); it != started_.rend(); ++it) {
    (void)platform::TerminateProcess(*it, false);
    if (!platform::WaitForProcess(*it, 5000)) {
      (void)platform::TerminateProcess(*it, true);
      platform::WaitForProcess(*it, 5000);
    }
  }
  started_.clear();
}
