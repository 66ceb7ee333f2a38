// Velmora Updater: one update per start. The application object runs the
// start-up; the update process runs on this thread with the real tasks, modes
// and process services.

#include <utility>

#include "platform/session.h"
#include "updater/core/command_line_parser.h"
#include "updater/core/updater_app.h"
#include "updater/process/system_process_services.h"
#include "updater/process/update_process.h"
#include "updater/tasks/task_factory.h"
#include "updater/ui/mode_factory.h"

int main(int argc, char** argv) {
  CTaskFactory tasks;
  CModeFactory modes;
  CSystemProcessServices services;

  UpdaterAppDeps deps;
  deps.session_available = [] { return platform::IsInteractiveSessionAvailable(); };
  deps.run_update = [&] {
    // The finishing work after an installation and the About box are not
    // composed yet: the process then skips them.
    CUpdateProcess process(UpdateProcessDeps{.tasks = tasks,
                                             .modes = modes,
                                             .services = services,
                                             .finish_update = nullptr,
                                             .show_about = nullptr});
    process.Run();
  };

  CUpdaterApp app(JoinCommandLine(argc, argv), std::move(deps));
  app.InitInstance();
  return app.ExitInstance();
}
