#pragma once
// A person at the full mode's wizard, for the end-to-end tests: keys go to
// the wizard's window (found by its title) on the test's X server, and the
// run is followed through the updater's log, so that a key is pressed only
// once the page it is meant for can take it. Return presses the enabled Next
// or Finish; Escape is Cancel. Every wait is bounded.

#include <cstdint>
#include <string>

#include "platform/process.h"
#include "tests/e2e/updater_installation.h"
#include "tests/support/xvfb_fixture.h"

class WizardPerson {
 public:
  static constexpr std::int64_t kPageBoundMs = 60000;
  // How long a key is given to show its effect in the log before it is
  // pressed again: long enough for a loaded machine, so that a key meant for
  // one page never reaches the next.
  static constexpr std::int64_t kRetryMs = 5000;

  WizardPerson(UpdaterInstallation& installation, const XvfbFixture& xvfb,
               platform::ProcessId updater)
      : installation_(installation), xvfb_(xvfb), updater_(updater) {}

  // "^Updater - Update <application>$": the wizard's title as xdotool matches it.
  static std::string WizardTitle();

  // True once the updater's log holds the line; false when the updater ended
  // without it or the bound passed.
  bool WaitForLog(const std::string& line, std::int64_t bound_ms = kPageBoundMs) const;
  // True once a window with a title that matches is on the screen.
  bool WaitForWindow(const std::string& title) const;
  // A key to the window whose title matches, once it is there; an error text,
  // empty on success.
  std::string KeyTo(const std::string& title, const std::string& key) const;
  std::string Key(const std::string& key) const { return KeyTo(WizardTitle(), key); }
  // Presses a key on the wizard until the log shows the line: a button that
  // is still disabled (Next while its page works) ignores the key.
  bool PressUntil(const std::string& key, const std::string& line) const;
  // A screenshot into the test's screenshot folder, as <name>.png.
  std::string Shot(const std::string& name) const;

 private:
  UpdaterInstallation& installation_;
  const XvfbFixture& xvfb_;
  platform::ProcessId updater_;
};
