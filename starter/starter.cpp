#include "starter/starter.h"

#include <utility>

#include "platform/file_system.h"
#include "platform/path.h"
#include "starter/program_names.h"
#include "starter/running_programs.h"

CStarter::CStarter(std::string starter_folder, Deps deps)
    : starter_folder_(std::move(starter_folder)), deps_(std::move(deps)) {}

std::string CStarter::JoinArguments(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) text += argument + " ";
  return text;
}

void CStarter::Run(const std::vector<std::string>& arguments) {
  if (!deps_.session_available()) {
    deps_.log("IsUserLoggedIn = false");
    return;
  }

  const std::string updater = platform::JoinPath(starter_folder_, UpdaterProgramName());
  const std::string browser = platform::JoinPath(starter_folder_, BrowserRelativePath());
  const std::vector<platform::ProcessInfo> processes = deps_.list_processes();
  // Both by full path: a program of the same name from another installation
  // (or another user's) is not this installation's.
  const bool updater_running = IsProgramPathRunning(processes, updater);
  const bool browser_running = IsProgramPathRunning(processes, browser);
  deps_.log(std::string("isUpdaterRuning = ") + (updater_running ? "1" : "0") + ", " +
            "isChromiumRuning = " + (browser_running ? "1" : "0"));

  if (!updater_running && !browser_running) {
    CPendingInstallation(starter_folder_, deps_.log, deps_.lock_timeout_ms).Apply();
  }

  deps_.log("Browser command line: " + JoinArguments(arguments));
  Start(BrowserProgramName(), browser, arguments);
  if (!updater_running) Start(UpdaterProgramName(), updater, {});
}

void CStarter::Start(const std::string& name, const std::string& program,
                     const std::vector<std::string>& arguments) {
  deps_.log("启动 " + name);
  if (platform::Status started = deps_.start(program, arguments); !started)
    deps_.log("Start failed: " + started.message());
}
