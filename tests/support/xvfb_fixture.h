#pragma once
// A private X server (Xvfb) on a display number that no other server uses, for
// tests of real windows; stopped at the end. Screenshots of the whole screen
// go to PNG files (ImageMagick's import), for a person to look at.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"

class XvfbFixture {
 public:
  XvfbFixture() = default;
  ~XvfbFixture();
  XvfbFixture(const XvfbFixture&) = delete;
  XvfbFixture& operator=(const XvfbFixture&) = delete;

  // Starts the server and waits (bounded) until it takes connections. False
  // with Message() when Xvfb is missing or no display could be had.
  bool Start();
  const std::string& Message() const { return message_; }
  // ":N", the value for DISPLAY.
  std::string Display() const { return ":" + std::to_string(number_); }
  // Writes a PNG of the whole screen; an error text, empty on success.
  std::string Screenshot(const std::string& png_path) const;
  // Runs xdotool with the arguments on this display, as a person's keys and
  // clicks; waits at most bound_ms for it. An error text, empty on success.
  std::string Xdotool(const std::vector<std::string>& arguments,
                      std::int64_t bound_ms = 20000) const;
  void Stop();

 private:
  bool TryDisplay(int number);

  std::string message_;
  int number_ = 0;
  platform::ProcessId pid_ = 0;
};

// The full path of a tool the window tests run (Xvfb, xdotool, import), or
// nullopt when it is not installed.
std::optional<std::string> FindTestTool(const char* name);

// The folder for a test's screenshots: build/tests/screenshots/<suite>.<name>/
// (created), so that they stay after the test for a person to look at.
std::string ScreenshotFolder();
