#pragma once
// The dialog service with windows: every request becomes one of the updater's
// modal dialogs, shown on the toolkit's thread (the main thread). Besides the
// requests of IDialogService it shows the confirmation, the close-application
// countdown, the proxy authentication and the About box, for the modes with
// windows to call.

#include <optional>
#include <string>

#include "updater/core/dialog_service.h"

class ICloseApplicationProcesses;

class CWxDialogService : public IDialogService {
 public:
  void ShowError(const ErrorDialogRequest& request) override;
  // Yes only when the user pressed Yes; Escape and the close box answer No
  // (Cancel for a box with OK).
  MessageBoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;
  std::optional<std::size_t> SelectLanguage(const std::vector<LanguageChoice>& choices,
                                            std::size_t preselected) override;
  // The language window with its "Remember my preference" check box.
  std::optional<LanguageSelection> ChooseLanguage(const std::vector<LanguageChoice>& choices,
                                                  std::size_t preselected) override;
  void ShowInformation(const InformationDialogRequest& request) override;

  // The yes/no confirmation; true only for Yes.
  bool Confirm(const std::string& caption, const std::string& heading, const std::string& text,
               const std::string& yes_label, const std::string& no_label);
  // The close-application countdown; false when the user cancelled.
  bool CloseApplication(const std::string& title, const std::string& executable_path,
                        ICloseApplicationProcesses& processes);
  // The proxy authentication; true when the user confirmed (the credentials
  // are then in the settings).
  bool AskProxyCredentials();
  void ShowAbout();
};
