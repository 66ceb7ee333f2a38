#pragma once
// The updater's application object: the start-up sequence (session check,
// path table, command line, settings file, temporary folders, language), the
// run of one update between the log's header and footer, and the exit code.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/clock.h"
#include "updater/core/dialog_service.h"
#include "updater/core/exit_status.h"
#include "updater/core/run_lock.h"

// The hint of the parameter-error dialog after the first pass over the command
// line, and after the second one (the two texts differ by design).
inline constexpr char kParameterHintFirstPass[] =
    "Check if the parameters being used are correct.\n\nIf the error keeps occurring, contact the "
    "developer. ";
inline constexpr char kParameterHintSecondPass[] =
    "Check if the parameters being used are correct.\n\nIf the error keeps occurring, contact the "
    "developer at. ";

enum class CommandLinePass { kFirst, kSecond };

// The parameter-error dialog for a parser's message and the command line.
// The heading and buttons are the language texts at that moment (no language
// file is loaded yet, so the built-in English ones).
ErrorDialogRequest ParameterErrorRequest(const std::string& exception_message,
                                         const std::string& command_line, CommandLinePass pass);

// What the application object takes from outside; empty members take the
// real service.
struct UpdaterAppDeps {
  // Whether an interactive user's session is present (default: the platform's check).
  std::function<bool()> session_available;
  // Fills the fixed entries of the path table (default: CUpdaterPaths::Instance().Init()).
  std::function<bool()> init_paths;
  // Runs the whole update between the log's header and footer and gives the
  // exit status of the run (exit_status.h). Required for a run; without it
  // the update is empty.
  std::function<int()> run_update;
  // The system's language identifier (default: SystemLanguageId()).
  std::function<std::uint16_t()> system_language;
  // The clock of the run's elapsed time (default: the system clock).
  const platform::IClock* clock = nullptr;
  // The dialogs of the start-up (default: DialogService()).
  IDialogService* dialogs = nullptr;
  // Called under the run lock with the application's folder of temporary data
  // just before start-up empties it: what must outlive the emptying (the parts
  // of cut-off downloads) is moved out here.
  std::function<void(const std::string& folder)> before_emptying_temp;
};

class CUpdaterApp {
 public:
  // command_line: the program's arguments joined as one text (JoinCommandLine).
  CUpdaterApp(std::string command_line, UpdaterAppDeps deps);

  // The start-up and the whole update. True after a complete run; false when the
  // start-up stopped early (no session, no path table, a command-line error,
  // another run for the same application (run_lock.h), temporary folders that
  // cannot be created) or an exception escaped it.
  bool InitInstance();
  // The process exit status (exit_status.h): the run's own status, kExitOk
  // without an interactive user, kExitWrongCommandLine after the
  // parameter-error dialog, kExitAlreadyRunning when another run holds the
  // application's run lock, kExitFailed when the path table or the temporary
  // folders cannot be made, kExitInternalError when an exception escaped.
  int ExitInstance() const { return exit_code_; }

  // Opens the log (the start-up emptied the application's temporary folder
  // under the run lock and made this run's folders), runs the update,
  // writes the footer with the elapsed time and closes the log. Throws
  // LogFileException when the log file cannot be created.
  void RunUpdate(const std::string& command_line);

  // Removes everything inside the folder, the folder itself stays. Symbolic
  // links are removed as links and never followed; a folder that is itself a
  // link is left alone. Only "." and ".." are skipped. Failures are ignored.
  static void DeleteFolderContents(const std::string& folder);

 private:
  bool StartUp();
  // Takes the application's run lock, held until this object ends.
  bool TakeRunLock();
  void ChooseSettingsFile(const std::string& option_value);
  void LoadLanguage();
  void ShowParameterError(const char* message, CommandLinePass pass);
  IDialogService& Dialogs() const;

  std::string command_line_;
  UpdaterAppDeps deps_;
  int exit_code_ = 0;
  CRunLock run_lock_;
};
