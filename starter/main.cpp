// Velmora Starter: applies a pending installation, starts the browser with the
// starter's arguments and starts the updater. It shows nothing; its log is
// "velmora_starter.log" in the working directory.

#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/session.h"
#include "platform/system_paths.h"
#include "starter/starter.h"
#include "starter/starter_log.h"

int main(int argc, char** argv) {
  ConfigureStarterLog();
  const std::string folder = platform::FolderOf(platform::ExecutablePath());
  if (folder.empty()) {
    WriteStarterLog("cannot find the starter's own folder");
    return 1;
  }
  CStarter starter(
      folder, {
                  .session_available = [] { return platform::IsInteractiveSessionAvailable(); },
                  .list_processes = [] { return platform::ListProcesses(); },
                  .start =
                      [](const std::string& program, const std::vector<std::string>& arguments) {
                        platform::StartResult started =
                            platform::StartProgram(program, arguments, "");
                        if (started.status) platform::ReleaseChild(started.pid);
                        return started.status;
                      },
                  .log = WriteStarterLog,
              });
  starter.Run(platform::ProgramArguments(argc, argv));
  return 0;
}
