#include "updater/ui/routed_dialog_service.h"

#include <utility>

#include "updater/ui/window_module.h"

CRoutedDialogService::CRoutedDialogService(std::function<IWindowModule*()> windows,
                                           IDialogService& plain)
    : windows_(std::move(windows)), plain_(plain) {}

IDialogService& CRoutedDialogService::Target() {
  if (IWindowModule* module = windows_ ? windows_() : nullptr) return module->Dialogs();
  return plain_;
}

void CRoutedDialogService::ShowError(const ErrorDialogRequest& request) {
  Target().ShowError(request);
}

MessageBoxAnswer CRoutedDialogService::ShowMessageBox(const MessageBoxRequest& request) {
  return Target().ShowMessageBox(request);
}

std::optional<std::size_t> CRoutedDialogService::SelectLanguage(
    const std::vector<LanguageChoice>& choices, std::size_t preselected) {
  return Target().SelectLanguage(choices, preselected);
}

std::optional<LanguageSelection> CRoutedDialogService::ChooseLanguage(
    const std::vector<LanguageChoice>& choices, std::size_t preselected) {
  return Target().ChooseLanguage(choices, preselected);
}

void CRoutedDialogService::ShowInformation(const InformationDialogRequest& request) {
  Target().ShowInformation(request);
}
