#pragma once
// The dialogs of the program, with windows when there are windows: every
// request goes to the window module's dialogs when windows gives a module, and
// to the plain service (standard error, default answers) otherwise. The start-up
// asks for the module (a display may show the language window and the
// command-line errors); the run only takes the module a mode with windows
// already loaded, so a hidden run never loads the toolkit for a dialog.

#include <functional>

#include "updater/core/dialog_service.h"

class IWindowModule;

class CRoutedDialogService : public IDialogService {
 public:
  CRoutedDialogService(std::function<IWindowModule*()> windows, IDialogService& plain);

  void ShowError(const ErrorDialogRequest& request) override;
  MessageBoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;
  std::optional<std::size_t> SelectLanguage(const std::vector<LanguageChoice>& choices,
                                            std::size_t preselected) override;
  std::optional<LanguageSelection> ChooseLanguage(const std::vector<LanguageChoice>& choices,
                                                  std::size_t preselected) override;
  void ShowInformation(const InformationDialogRequest& request) override;

 private:
  IDialogService& Target();

  std::function<IWindowModule*()> windows_;
  IDialogService& plain_;
};
