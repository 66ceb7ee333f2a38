// Velmora Updater: one update per start. The application object runs the
// start-up; the update process runs on this thread with the real tasks, modes
// and process services.

#include <string>
#include <string_view>
#include <utility>

#include "platform/command_line.h"
#include "platform/path.h"
#include "platform/restart.h"
#include "platform/session.h"
#include "platform/system_paths.h"
#include "updater/core/command_line_parser.h"
#include "updater/core/updater_app.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/process/cancel_on_signal.h"
#include "updater/process/finish_update.h"
#include "updater/process/system_process_services.h"
#include "updater/process/update_process.h"
#include "updater/tasks/download/kept_partials.h"
#include "updater/tasks/net/internet_setup.h"
#include "updater/tasks/net/proxy_question.h"
#include "updater/tasks/rollback/change_journal.h"
#include "updater/tasks/rollback/interrupted_run.h"
#include "updater/tasks/rollback/restore_info.h"
#include "updater/tasks/task_factory.h"
#include "updater/ui/mode_factory.h"
#include "updater/ui/routed_dialog_service.h"
#include "updater/ui/window_module.h"
#include "updater/ui/window_module_loader.h"

int main(int argc, char** argv) {
  // Started by the restart entry at login: start the application once and end.
  if (argc == 2 && std::string_view(argv[1]) == platform::kRestartEntryOption)
    return platform::RunRestartEntry();

  CSystemProcessServices services;
  // The install task reports through the same services object that the
  // finishing work asks whether the application was closed during the run.
  InstallDeps install;
  install.application_closed = [&services] { services.MarkApplicationClosed(); };
  CTaskFactory tasks({}, std::move(install));
  // The windows are loaded from beside the program when a mode with windows
  // first starts.
  CWindowModuleLoader windows(platform::FolderOf(platform::ExecutablePath()));
  CModeFactory modes([&windows] { return windows.Get(); });
  // Dialogs of the start-up (language window, command-line errors) open
  // windows when a display takes them; those of the run only when a mode with
  // windows loaded them.
  CRoutedDialogService startup_dialogs([&windows] { return windows.Get(); }, DialogService());
  CRoutedDialogService run_dialogs([&windows] { return windows.Loaded(); }, DialogService());

  UpdaterAppDeps deps;
  deps.dialogs = &startup_dialogs;
  deps.session_available = [] { return platform::IsInteractiveSessionAvailable(); };
  // Cut-off downloads of the last run are kept for this one.
  deps.before_emptying_temp = [](const std::string& folder) {
    CKeptPartials(PartialsFolderOfThisRun()).Rescue(folder);
  };
  deps.run_update = [&] {
    // A run that was killed is rolled back before this one does anything.
    OpenJournalAndRecover(CChangeJournal::Instance(),
                          ChangeJournalFolder(CUpdaterSettings::Instance().Values().name));
    CUpdateProcess* running = nullptr;
    auto finish_update = [&services, &running] {
      auto finished = FinishUpdate(
          services,
          [](const std::string& path) { return WriteRestoreInfo(BuildRestoreInfo(), path).ok(); },
          &running->User().Dialogs());
      // The installation is permanent: its journal goes, its kept copies stay.
      CChangeJournal::Instance().Clear();
      // No part of a download of this update is needed any more.
      CKeptPartials(PartialsFolderOfThisRun()).Clear();
      return finished;
    };
    // Missing proxy credentials are asked of the user through the process:
    // the transfer posts the question and waits; the mode answers it on this
    // thread (the modes without windows answer no, the hidden run mode asks
    // nobody).
    auto configure_internet = [](const std::shared_ptr<CMessageQueue>& process_queue) {
      const SettingsValues& settings = CUpdaterSettings::Instance().Values();
      ConfigureInternet(CInternet::Instance(), settings, process_queue, nullptr);
      CInternet::Instance().SetProxyCredentialsQuestion(
          MakeProxyQuestion(settings.run_mode, process_queue));
    };
    CUpdateProcess process(UpdateProcessDeps{.tasks = tasks,
                                             .modes = modes,
                                             .services = services,
                                             .finish_update = finish_update,
                                             .show_about =
                                                 [&windows] {
                                                   // Only where a mode has windows.
                                                   if (IWindowModule* module = windows.Loaded())
                                                     module->ShowAbout();
                                                 },
                                             .configure_internet = configure_internet,
                                             .dialogs = &run_dialogs});
    running = &process;
    CCancelOnSignal cancel_on_signal(process.Queue());
    process.Run();
    return process.ExitStatus();
  };

  CUpdaterApp app(JoinCommandLine(platform::ProgramArguments(argc, argv)), std::move(deps));
  app.InitInstance();
  return app.ExitInstance();
}
