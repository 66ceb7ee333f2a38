#pragma once
// The proxy authentication dialog's logic, apart from the window: its texts,
// the proposed user name, and what OK stores. OK puts the user name and the
// password into the settings in memory, where the internet access reads them
// back; only with "save credentials" checked are both also written to the
// [PROXY] group of settings.ini in the updater's folder, readable by the owner
// alone. A failed write is logged and otherwise ignored: the values typed hold
// for the rest of the run.

#include <string>

#include "updater/core/updater_settings.h"

struct AuthenticationTexts {
  std::string caption;  // also the heading
  std::string explanation;
  std::string user_name_label;
  std::string password_label;
  std::string save_label;
  std::string ok_label;
  std::string cancel_label;
};

// The longest user name or password kept, in UTF-16 code units as the
// settings count them; longer input is cut.
inline constexpr std::size_t kMaxProxyCredentialLength = 1023;

// settings.ini in the updater's folder, whatever settings file is in use.
std::string UpdaterSettingsIniPath();

class CAuthenticationController {
 public:
  // logon_name: the user's logon name (platform::LogonUserName), proposed as
  // the user name.
  CAuthenticationController(CUpdaterSettings& settings, std::string settings_ini_path,
                            std::string logon_name);

  AuthenticationTexts Texts() const;
  const std::string& ProposedUserName() const { return proposed_user_name_; }
  // With a proposed user name the typing starts in the password field.
  bool FocusOnPassword() const { return !proposed_user_name_.empty(); }

  int Ok(const std::string& user_name, const std::string& password, bool save_credentials);
  int Cancel() const;

 private:
  CUpdaterSettings& settings_;
  std::string settings_ini_path_;
  std::string proposed_user_name_;
};
