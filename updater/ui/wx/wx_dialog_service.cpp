#include "updater/ui/wx/wx_dialog_service.h"

#include <wx/choicdlg.h>

#include "platform/system_paths.h"
#include "updater/core/language.h"
#include "updater/core/language_ids.h"
#include "updater/core/updater_settings.h"
#include "updater/ui/about_texts.h"
#include "updater/ui/authentication_controller.h"
#include "updater/ui/close_application_controller.h"
#include "updater/ui/dialog_results.h"
#include "updater/ui/wx/wx_about_dialog.h"
#include "updater/ui/wx/wx_authentication_dialog.h"
#include "updater/ui/wx/wx_close_application_dialog.h"
#include "updater/ui/wx/wx_language_dialog.h"
#include "updater/ui/wx/wx_message_dialog.h"

void CWxDialogService::ShowError(const ErrorDialogRequest& request) {
  CWxErrorDialog dialog(request.caption, request.heading, request.message, request.detail,
                        request.ok_text, request.more_text);
  dialog.ShowModal();
}

MessageBoxAnswer CWxDialogService::ShowMessageBox(const MessageBoxRequest& request) {
  const CLanguage& language = CLanguage::Instance();
  const std::string& heading = request.heading.empty() ? request.caption : request.heading;
  if (request.yes_no) {
    return Confirm(request.caption, heading, request.text,
                   language.GetText(IDS_GENERAL_YES), language.GetText(IDS_GENERAL_NO))
               ? MessageBoxAnswer::kYes
               : MessageBoxAnswer::kNo;
  }
  const std::string ok = language.GetText(IDS_GENERAL_OK);
  int result = kDialogCancel;
  switch (request.kind) {
    case MessageBoxKind::kError: {
      CWxErrorDialog dialog(request.caption, heading, request.text, "", ok,
                            language.GetText(IDS_ERROR_MORE));
      result = dialog.ShowModal();
      break;
    }
    case MessageBoxKind::kWarning: {
      CWxWarningDialog dialog(request.caption, heading, request.text, ok);
      result = dialog.ShowModal();
      break;
    }
    case MessageBoxKind::kInformation:
    case MessageBoxKind::kQuestion: {
      CWxInformationDialog dialog(request.caption, heading, request.text, ok);
      result = dialog.ShowModal();
      break;
    }
  }
  return result == kDialogOk ? MessageBoxAnswer::kOk : MessageBoxAnswer::kCancel;
}

std::optional<std::size_t> CWxDialogService::SelectLanguage(
    const std::vector<LanguageChoice>& choices, std::size_t preselected) {
  const auto chosen = ChooseLanguage(choices, preselected);
  if (!chosen) return std::nullopt;
  return chosen->index;
}

std::optional<LanguageSelection> CWxDialogService::ChooseLanguage(
    const std::vector<LanguageChoice>& choices, std::size_t preselected) {
  if (choices.empty()) return std::nullopt;
  CWxLanguageDialog dialog(choices, preselected);
  dialog.ShowModal();
  return dialog.Choice();
}

void CWxDialogService::ShowInformation(const InformationDialogRequest& request) {
  CWxInformationDialog dialog(request.caption, request.heading, request.text, request.button_text);
  dialog.ShowModal();
}

bool CWxDialogService::Confirm(const std::string& caption, const std::string& heading,
                               const std::string& text, const std::string& yes_label,
                               const std::string& no_label) {
  CWxConfirmationDialog dialog(caption, heading, text, yes_label, no_label);
  return dialog.ShowModal() == kDialogYes;
}

bool CWxDialogService::CloseApplication(const std::string& title,
                                        const std::string& executable_path,
                                        ICloseApplicationProcesses& processes) {
  CCloseApplicationController controller(title, executable_path, processes);
  CWxCloseApplicationDialog dialog(controller);
  return dialog.ShowModal() != kDialogCancel;
}

bool CWxDialogService::AskProxyCredentials() {
  CAuthenticationController controller(CUpdaterSettings::Instance(), UpdaterSettingsIniPath(),
                                       platform::LogonUserName());
  CWxAuthenticationDialog dialog(controller);
  return dialog.ShowModal() == kDialogOk;
}

void CWxDialogService::ShowAbout() {
  CWxAboutDialog dialog(MakeAboutTexts());
  dialog.ShowModal();
}
