#include "starter/program_names.h"

#include "platform/file_system.h"
#include "platform/system_paths.h"

std::string UpdaterProgramName() { return "Velmora Updater" + platform::ExecutableSuffix(); }

std::string StarterProgramName() { return "Velmora Starter" + platform::ExecutableSuffix(); }

std::string BrowserProgramName() { return "chrome" + platform::ExecutableSuffix(); }

std::string BrowserRelativePath() {
  return std::string("Browser") + platform::PathSeparator() + BrowserProgramName();
}
