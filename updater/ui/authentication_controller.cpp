#include "updater/ui/authentication_controller.h"

#include <utility>

#include "updater/core/language.h"
#include "updater/core/language_ids.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/ui/dialog_results.h"

std::string UpdaterSettingsIniPath() {
  return CollapseSeparators(CUpdaterPaths::Instance().Entry(kPathUpdater) + "settings.ini");
}

CAuthenticationController::CAuthenticationController(CUpdaterSettings& settings,
                                                     std::string settings_ini_path,
                                                     std::string logon_name)
    : settings_(settings),
      settings_ini_path_(std::move(settings_ini_path)),
      proposed_user_name_(TruncateUtf16(logon_name, kMaxProxyCredentialLength)) {}

AuthenticationTexts CAuthenticationController::Texts() const {
  const CLanguage& language = CLanguage::Instance();
  return {language.GetText(IDS_AUTHENTICATION_TITLE),
          language.GetText(IDS_AUTHENTICATION_EXPLANATION),
          language.GetText(IDS_AUTHENTICATION_USERNAME),
          language.GetText(IDS_AUTHENTICATION_PASSWORD),
          language.GetText(IDS_AUTHENTICATION_SAVECREDENTIALS),
          language.GetText(IDS_GENERAL_OK),
          language.GetText(IDS_GENERAL_CANCEL)};
}

int CAuthenticationController::Ok(const std::string& user_name, const std::string& password,
                                  bool save_credentials) {
  SettingsValues& values = settings_.MutableValues();
  values.proxy_username = TruncateUtf16(user_name, kMaxProxyCredentialLength);
  values.proxy_password = TruncateUtf16(password, kMaxProxyCredentialLength);
  if (save_credentials) {
    const bool written =
        WriteSettingsValue(settings_ini_path_, "PROXY", "username", values.proxy_username, true) &&
        WriteSettingsValue(settings_ini_path_, "PROXY", "password", values.proxy_password, true);
    if (!written)
      CUpdaterLog::Instance().WriteLine("AUTHENTICATION: the credentials could not be saved to " +
                                        settings_ini_path_);
  }
  return kDialogOk;
}

int CAuthenticationController::Cancel() const { return kDialogCancel; }
