#pragma once
// The proxy authentication dialog: user name, password (hidden while typed)
// and "save credentials", over CAuthenticationController. OK stores through the
// controller and ends with 1; Cancel, Escape and the close box end with 2 and
// store nothing.

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "updater/ui/authentication_controller.h"

class CWxAuthenticationDialog : public wxDialog {
 public:
  explicit CWxAuthenticationDialog(CAuthenticationController& controller);

  wxTextCtrl& UserName() { return *user_name_; }
  wxTextCtrl& Password() { return *password_; }
  wxCheckBox& SaveCredentials() { return *save_; }
  wxButton& OkButton() { return *ok_; }

 private:
  void LayOut(const std::string& explanation);

  CAuthenticationController& controller_;
  wxStaticText* explanation_;
  wxStaticText* user_name_label_;
  wxStaticText* password_label_;
  wxTextCtrl* user_name_;
  wxTextCtrl* password_;
  wxCheckBox* save_;
  wxButton* ok_;
  wxButton* cancel_;
};
