#include "updater/core/updater_app.h"

#include <exception>
#include <utility>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/session.h"
#include "platform/system_paths.h"
#include "updater/core/command_line_parser.h"
#include "updater/core/language.h"
#include "updater/core/select_language.h"
#include "updater/core/system_language.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"

namespace {

// Closes the log when the update run leaves by an exception.
class LogCloser {
 public:
  LogCloser() = default;
  LogCloser(const LogCloser&) = delete;
  LogCloser& operator=(const LogCloser&) = delete;
  ~LogCloser() { CUpdaterLog::Instance().Close(); }
};

}  // namespace

ErrorDialogRequest ParameterErrorRequest(const std::string& exception_message,
                                         const std::string& command_line, CommandLinePass pass) {
  const CLanguage& language = CLanguage::Instance();
  ErrorDialogRequest request;
  request.caption = "Parameter parsing error";
  request.heading = language.GetText(IDS_ERROR_TITLE);
  // Built by concatenation: the command line is never used as a format.
  request.message = "The following exception occurred when parsing parameters:\n\n\"" +
                    exception_message + "\".\nCommandline: " + command_line;
  request.detail =
      pass == CommandLinePass::kFirst ? kParameterHintFirstPass : kParameterHintSecondPass;
  request.ok_text = language.GetText(IDS_GENERAL_OK);
  request.more_text = language.GetText(IDS_ERROR_MORE);
  return request;
}

CUpdaterApp::CUpdaterApp(std::string command_line, UpdaterAppDeps deps)
    : command_line_(std::move(command_line)), deps_(std::move(deps)) {}

IDialogService& CUpdaterApp::Dialogs() const {
  return deps_.dialogs ? *deps_.dialogs : DialogService();
}

bool CUpdaterApp::InitInstance() {
  // The start-up does not wait before it begins: nothing here depends on time.
  exit_code_ = 0;
  try {
    return StartUp();
  } catch (...) {
    exit_code_ = kExitInternalError;
    return false;
  }
}

bool CUpdaterApp::StartUp() {
  // The toolkit of the user interface is set up by the mode that needs it, on
  // the thread of the update process; nothing to prepare here.
  CUpdaterSettings& settings = CUpdaterSettings::Instance();

  const bool session = deps_.session_available ? deps_.session_available()
                                               : platform::IsInteractiveSessionAvailable();
  if (!session) return false;

  const bool paths_ready = deps_.init_paths ? deps_.init_paths() : CUpdaterPaths::Instance().Init();
  if (!paths_ready) {
    exit_code_ = kExitFailed;
    return false;
  }

  std::string settings_option;
  try {
    settings_option = FindSettingsFileOption(command_line_);
  } catch (const DoubleParametersException& e) {
    ShowParameterError(e.what(), CommandLinePass::kFirst);
    return false;
  } catch (const UnknownParameterException& e) {
    ShowParameterError(e.what(), CommandLinePass::kFirst);
    return false;
  } catch (const ValueExpectedException& e) {
    ShowParameterError(e.what(), CommandLinePass::kFirst);
    return false;
  } catch (const WrongTypeException& e) {
    ShowParameterError(e.what(), CommandLinePass::kFirst);
    return false;
  }

  ChooseSettingsFile(settings_option);
  settings.Load(settings.ChosenFile());

  // The copy program of an earlier self-update.
  const std::string copy_program =
      CUpdaterPaths::Instance().Entry(kPathTemp) + "Tolvaric" + platform::ExecutableSuffix();
  if (platform::FileExists(copy_program) || platform::IsSymbolicLink(copy_program)) {
    platform::RemoveFile(copy_program);
  }

  try {
    ApplyCommandLine(command_line_);
  } catch (const DoubleParametersException& e) {
    ShowParameterError(e.what(), CommandLinePass::kSecond);
    return false;
  } catch (const UnknownParameterException& e) {
    ShowParameterError(e.what(), CommandLinePass::kSecond);
    return false;
  } catch (const ValueExpectedException& e) {
    ShowParameterError(e.what(), CommandLinePass::kSecond);
    return false;
  } catch (const WrongTypeException& e) {
    ShowParameterError(e.what(), CommandLinePass::kSecond);
    return false;
  }

  if (!TakeRunLock()) {
    exit_code_ = kExitAlreadyRunning;
    return false;
  }
  // The application's own folder of temporary data: every version's downloads
  // and rollback data of earlier runs go, under the run lock, before the
  // folders of this run are made (once), so that the tasks find them.
  const std::string application_temp = CUpdaterPaths::Instance().Entry(kPathTemp) +
                                       "updater_temp_" +
                                       FolderComponent(CUpdaterSettings::Instance().Values().name);
  if (deps_.before_emptying_temp) deps_.before_emptying_temp(application_temp);
  DeleteFolderContents(application_temp);
  if (!CUpdaterPaths::Instance().InitUpdaterTemp()) {
    exit_code_ = kExitFailed;
    return false;
  }

  LoadLanguage();
  RunUpdate(command_line_);
  CLanguage::Instance().ClearLanguage();
  return true;
}

bool CUpdaterApp::TakeRunLock() {
  return run_lock_.Take(CUpdaterPaths::Instance().Entry(kPathTemp),
                        CUpdaterSettings::Instance().Values().name);
}

void CUpdaterApp::ChooseSettingsFile(const std::string& option_value) {
  std::string path;
  if (!option_value.empty() && platform::FileExists(option_value)) {
    path = platform::FullPath(option_value);
  } else {
    path = CollapseSeparators(CUpdaterPaths::Instance().Entry(kPathUpdater) + "settings.ini");
  }
  CUpdaterSettings::Instance().SetChosenFile(path);
}

void CUpdaterApp::LoadLanguage() {
  CLanguage& language = CLanguage::Instance();
  CUpdaterSettings& settings = CUpdaterSettings::Instance();
  const std::string name = settings.Values().language;
  if (name.empty()) {
    language.SelectLanguageByLangId(deps_.system_language ? deps_.system_language()
                                                          : SystemLanguageId());
  } else if (name == "user") {
    CSelectLanguage(language, settings, Dialogs()).Run(LanguageFolder());
    language.LoadLanguageByName(settings.Values().language);
  } else {
    language.LoadLanguageByName(name);
  }
}

void CUpdaterApp::ShowParameterError(const char* message, CommandLinePass pass) {
  exit_code_ = kExitWrongCommandLine;
  Dialogs().ShowError(ParameterErrorRequest(message, command_line_, pass));
}

void CUpdaterApp::RunUpdate(const std::string& command_line) {
  CUpdaterPaths& paths = CUpdaterPaths::Instance();
  const SettingsValues& values = CUpdaterSettings::Instance().Values();
  const platform::IClock& clock = deps_.clock ? *deps_.clock : platform::SystemClock();

  const std::string temp_folder = paths.Entry(kPathTemp);
  const std::int64_t start_ms = clock.MonotonicMs();
  CUpdaterLog& log = CUpdaterLog::Instance();
  log.Open(temp_folder + LogFileName(values.name), false);
  LogCloser closer;
  log.WriteHeader(command_line);
  log.SetTimestamps(true);

  if (deps_.run_update) exit_code_ = deps_.run_update();

  const std::int64_t elapsed_ms = clock.MonotonicMs() - start_ms;
  log.SetTimestamps(false);
  log.WriteFooter(elapsed_ms);
}

void CUpdaterApp::DeleteFolderContents(const std::string& folder) {
  if (folder.empty() || platform::IsSymbolicLink(folder) || !platform::FolderExists(folder)) return;
  std::optional<std::vector<std::string>> names = platform::ListFolder(folder);
  if (!names) return;
  const std::string prefix =
      platform::WithoutTrailingSeparators(folder) + platform::PathSeparator();
  for (const std::string& name : *names) {
    if (name == "." || name == "..") continue;
    // Removes files, links (as links) and whole folders; failures are ignored.
    platform::RemoveTree(prefix + name);
  }
}
