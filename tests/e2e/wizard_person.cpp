#include "tests/e2e/wizard_person.h"

#include <chrono>
#include <optional>

#include "platform/file_system.h"

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
  // The screen once it stopped changing: a window that just closed or a page
  // that just changed is painted by then.
  const std::string file = ScreenshotFolder() + "/" + name + ".png";
  std::optional<std::string> before;
  for (int look = 0; look < 25; ++look) {
    if (std::string error = xvfb_.Screenshot(file); !error.empty()) return error;
    std::optional<std::string> now = platform::ReadFile(file, 64 << 20);
    if (now && before == now) break;
    before = std::move(now);
    // Also the bounded pause between two looks.
    platform::WaitForProcess(updater_, 100);
  }
  return "";
}
