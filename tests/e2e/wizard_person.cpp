#include "tests/e2e/wizard_person.h"

#include <chrono>

namespace {

using std::chrono::steady_clock;

bool LogHolds(const UpdaterInstallation& installation, const std::string& line) {
  return installation.Log().find(line) != std::string::npos;
}

}  // namespace

std::string WizardPerson::WizardTitle() {
  return std::string("^Updater - Update ") + UpdaterInstallation::kAppName + "$";
}

bool WizardPerson::WaitForLog(const std::string& line, std::int64_t bound_ms) const {
  const auto deadline = steady_clock::now() + std::chrono::milliseconds(bound_ms);
  while (steady_clock::now() < deadline) {
    if (LogHolds(installation_, line)) return true;
    // Also the bounded pause between two looks.
    if (platform::WaitForProcess(updater_, 50)) return LogHolds(installation_, line);
  }
  return false;
}

bool WizardPerson::WaitForWindow(const std::string& title) const {
  return xvfb_.Xdotool({"search", "--sync", "--onlyvisible", "--name", title}, kPageBoundMs)
      .empty();
}

std::string WizardPerson::KeyTo(const std::string& title, const std::string& key) const {
  return xvfb_.Xdotool({"search", "--sync", "--onlyvisible", "--name", title, "windowfocus",
                        "--sync", "%1", "key", "--clearmodifiers", key},
                       kPageBoundMs);
}

bool WizardPerson::PressUntil(const std::string& key, const std::string& line) const {
  const auto deadline = steady_clock::now() + std::chrono::milliseconds(kPageBoundMs);
  while (steady_clock::now() < deadline) {
    if (LogHolds(installation_, line)) return true;
    if (!Key(key).empty()) return false;
    if (WaitForLog(line, 1000)) return true;
    if (platform::WaitForProcess(updater_, 0)) return false;
  }
  return false;
}

std::string WizardPerson::Shot(const std::string& name) const {
  return xvfb_.Screenshot(ScreenshotFolder() + "/" + name + ".png");
}
