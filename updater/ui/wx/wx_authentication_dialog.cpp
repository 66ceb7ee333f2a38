#include "updater/ui/wx/wx_authentication_dialog.h"

#include <wx/statline.h>

#include <algorithm>

#include "updater/ui/dialog_results.h"
#include "updater/ui/wx/wx_dialog_header.h"
#include "updater/ui/wx/wx_dialog_parts.h"

namespace {

constexpr int kLabelWidth = 110;
constexpr int kRowGap = 8;

}  // namespace

CWxAuthenticationDialog::CWxAuthenticationDialog(CAuthenticationController& controller)
    : wxDialog(nullptr, wxID_ANY, wxString::FromUTF8(controller.Texts().caption), wxDefaultPosition,
               wxDefaultSize, wxCAPTION | wxCLOSE_BOX | wxSYSTEM_MENU),
      controller_(controller) {
  const AuthenticationTexts texts = controller.Texts();
  ApplyWindowIcon(*this, HeaderArt::kKey);
  SetClientSize(kDialogClientWidth, 200);
  auto* header = new CWxDialogHeader(this, HeaderArt::kKey, texts.caption);
  PlaceAt(*header, {0, 0, kDialogClientWidth, kDialogHeaderHeight});
  auto* separator = new wxStaticLine(this, wxID_ANY);
  PlaceAt(*separator, {0, kDialogHeaderHeight, kDialogClientWidth, 2});
  explanation_ = new wxStaticText(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                                  wxST_NO_AUTORESIZE);
  user_name_label_ = new wxStaticText(this, wxID_ANY, PlainLabel(texts.user_name_label));
  user_name_ = new wxTextCtrl(this, wxID_ANY);
  password_label_ = new wxStaticText(this, wxID_ANY, PlainLabel(texts.password_label));
  password_ =
      new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize, wxTE_PASSWORD);
  user_name_->SetMaxLength(kMaxProxyCredentialLength);
  password_->SetMaxLength(kMaxProxyCredentialLength);
  save_ = new wxCheckBox(this, wxID_ANY, PlainLabel(texts.save_label));
  ok_ = new wxButton(this, wxID_ANY, PlainLabel(texts.ok_label));
  cancel_ = new wxButton(this, wxID_ANY, PlainLabel(texts.cancel_label));
  ok_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    EndModal(controller_.Ok(user_name_->GetValue().utf8_string(),
                            password_->GetValue().utf8_string(), save_->GetValue()));
  });
  cancel_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(controller_.Cancel()); });
  AnswerEscapeAndCloseWith(*this, kDialogCancel);
  LayOut(texts.explanation);
  ok_->SetDefault();
  user_name_->SetValue(wxString::FromUTF8(controller.ProposedUserName()));
  if (controller.FocusOnPassword())
    password_->SetFocus();
  else
    user_name_->SetFocus();
  CentreOnScreen();
}

void CWxAuthenticationDialog::LayOut(const std::string& explanation) {
  // The template: the explanation has 10 pixels of room; the fields, the check
  // box and the buttons follow it.
  AuthenticationFrame frame;
  frame.client_width = kDialogClientWidth;
  frame.explanation = {kDialogMargin, kDialogTextTop, kDialogClientWidth - 2 * kDialogMargin,
                       kAuthenticationSlack};
  const int field_height = user_name_->GetBestSize().y;
  const int field_x = kDialogMargin + kLabelWidth;
  const int field_width = kDialogClientWidth - kDialogMargin - field_x;
  const int label_height = user_name_label_->GetBestSize().y;
  const int label_offset = (field_height - label_height) / 2;
  int y = frame.explanation.Bottom() + kDialogGap;
  const int user_y = y;
  y += field_height + kRowGap;
  const int password_y = y;
  y += field_height + kRowGap;
  const wxSize check = save_->GetBestSize();
  const int check_y = y;
  y += check.y + kDialogGap;
  const wxSize ok_size = ButtonSize(*ok_);
  const wxSize cancel_size = ButtonSize(*cancel_);
  const int cancel_x = kDialogClientWidth - kDialogMargin - cancel_size.x;
  frame.below = {
      {kDialogMargin, user_y + label_offset, kLabelWidth - 8, label_height},
      {field_x, user_y, field_width, field_height},
      {kDialogMargin, password_y + label_offset, kLabelWidth - 8, label_height},
      {field_x, password_y, field_width, field_height},
      {field_x, check_y, std::min(check.x, field_width), check.y},
      {cancel_x - 8 - ok_size.x, y, ok_size.x, ok_size.y},
      {cancel_x, y, cancel_size.x, cancel_size.y},
  };
  frame.client_height = y + std::max(ok_size.y, cancel_size.y) + kDialogGap;
  const AuthenticationLayout layout =
      LayoutAuthenticationDialog(frame, explanation, MetricsOf(*explanation_));
  explanation_->SetLabelText(wxString::FromUTF8(layout.text.Joined()));
  PlaceAt(*explanation_, layout.explanation);
  wxWindow* const below[] = {user_name_label_, user_name_, password_label_, password_, save_, ok_,
                             cancel_};
  for (std::size_t i = 0; i < std::size(below); ++i) PlaceAt(*below[i], layout.below[i]);
  SetClientSize(kDialogClientWidth, layout.client_height);
}
