#pragma once
// The desktop services a silent run meets, started on a private X server for
// a test and stopped at its end: a session message bus, a notification
// daemon (dunst) that writes every notification it shows to a file, and a
// notification area (trayer) that embeds tray icons, and on request a
// compositing manager.

#include <string>
#include <vector>

#include "platform/process.h"
#include "tests/support/temp_folder.h"

class XvfbFixture;

class DesktopFixture {
 public:
  explicit DesktopFixture(const XvfbFixture& server) : server_(server) {}
  ~DesktopFixture();
  DesktopFixture(const DesktopFixture&) = delete;
  DesktopFixture& operator=(const DesktopFixture&) = delete;

  // Starts the bus and the notification daemon and waits (bounded) until the
  // daemon answers on the bus. False with Message() when a tool is missing
  // or does not come up.
  bool StartNotifications();
  // Starts the session bus alone: a desktop without a notification service.
  bool StartBus();
  // Starts the notification area and waits (bounded) until its window is
  // there.
  bool StartTray();
  // Starts a compositing manager (xcompmgr), so that windows can be
  // translucent; the toolkit sees it once its loop has run a while.
  bool StartCompositor();
  const std::string& Message() const { return message_; }

  // The value for DBUS_SESSION_BUS_ADDRESS.
  std::string BusAddress() const { return "unix:path=" + folder_ / "bus"; }
  // What the daemon has shown so far: per notification a line "summary|body".
  std::vector<std::string> Notifications() const;

  void Stop();

 private:
  bool Launch(const char* tool, const std::vector<std::string>& arguments);
  // Runs a tool to its end (bounded) with the display and the bus; true when
  // it ends with 0.
  bool Succeeds(const char* tool, const std::vector<std::string>& arguments) const;
  bool WaitUntil(const char* tool, const std::vector<std::string>& arguments) const;

  const XvfbFixture& server_;
  TempFolder folder_;
  std::vector<platform::ProcessId> started_;
  std::string message_;
};
