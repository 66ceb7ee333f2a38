#include "updater/ui/wx/wx_message_dialog.h"

#include "updater/ui/dialog_results.h"
#include "updater/ui/wx/wx_dialog_parts.h"

CWxMessageDialog::CWxMessageDialog(HeaderArt art, const std::string& caption,
                                   const std::string& heading, const std::string& text,
                                   int escape_result)
    : wxDialog(nullptr, wxID_ANY, wxString::FromUTF8(caption), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxCLOSE_BOX | wxSYSTEM_MENU),
      text_(text) {
  SetClientSize(kDialogClientWidth, 200);
  header_ = new CWxDialogHeader(this, art, heading);
  PlaceAt(*header_, {0, 0, kDialogClientWidth, kDialogHeaderHeight});
  separator_ = new wxStaticLine(this, wxID_ANY);
  PlaceAt(*separator_, {0, kDialogHeaderHeight, kDialogClientWidth, 2});
  explanation_ = new wxStaticText(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                                  wxST_NO_AUTORESIZE);
  AnswerEscapeAndCloseWith(*this, escape_result);
}

wxButton* CWxMessageDialog::AddButton(const std::string& label, int result) {
  auto* button = new wxButton(this, wxID_ANY, PlainLabel(label));
  if (result >= 0)
    button->Bind(wxEVT_BUTTON, [this, result](wxCommandEvent&) { EndModal(result); });
  buttons_.push_back(button);
  return button;
}

MessageDialogFrame CWxMessageDialog::Frame() {
  MessageDialogFrame frame;
  frame.client_width = kDialogClientWidth;
  frame.explanation = {kDialogMargin, kDialogTextTop, kDialogClientWidth - 2 * kDialogMargin, 0};
  int right = kDialogClientWidth - kDialogMargin;
  std::vector<PixelRect> rects(buttons_.size());
  for (std::size_t i = buttons_.size(); i-- > 0;) {
    const wxSize size = ButtonSize(*buttons_[i]);
    rects[i] = {right - size.x, 0, size.x, size.y};
    right -= size.x + 8;
  }
  frame.buttons = std::move(rects);
  return frame;
}

void CWxMessageDialog::Apply(const MessageDialogLayout& layout) {
  explanation_->SetLabelText(wxString::FromUTF8(layout.text.Joined()));
  PlaceAt(*explanation_, layout.explanation);
  for (std::size_t i = 0; i < buttons_.size() && i < layout.buttons.size(); ++i)
    PlaceAt(*buttons_[i], layout.buttons[i]);
}

void CWxMessageDialog::LayOut() {
  const MessageDialogLayout layout = LayoutMessageDialog(Frame(), text_, MetricsOf(*explanation_));
  Apply(layout);
  SetClientSize(kDialogClientWidth, layout.client_height);
}

void CWxMessageDialog::Finish(wxButton* default_button) {
  if (default_button) {
    default_button->SetDefault();
    default_button->SetFocus();
  }
  CentreOnScreen();
}

CWxConfirmationDialog::CWxConfirmationDialog(const std::string& caption, const std::string& heading,
                                             const std::string& text, const std::string& yes_label,
                                             const std::string& no_label)
    : CWxMessageDialog(HeaderArt::kQuestion, caption, heading, text, EscapeResult(true)) {
  wxButton* yes = AddButton(yes_label, kDialogYes);
  AddButton(no_label, kDialogNo);
  LayOut();
  Finish(yes);
}

CWxInformationDialog::CWxInformationDialog(const std::string& caption, const std::string& heading,
                                           const std::string& text, const std::string& ok_label,
                                           HeaderArt art)
    : CWxMessageDialog(art, caption, heading, text, EscapeResult(false)) {
  wxButton* ok = AddButton(ok_label, kDialogOk);
  LayOut();
  Finish(ok);
}

CWxErrorDialog::CWxErrorDialog(const std::string& caption, const std::string& heading,
                               const std::string& explanation, const std::string& details,
                               const std::string& ok_label, const std::string& details_label)
    : CWxMessageDialog(HeaderArt::kError, caption, heading, explanation, EscapeResult(false)),
      details_text_(details),
      details_label_(details_label) {
  details_button_ = AddButton(DetailsButtonText(details_label_, false), -1);
  wxButton* ok = AddButton(ok_label, kDialogOk);
  details_button_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ToggleDetails(); });
  details_button_->Enable(DetailsButtonEnabled(details_text_));
  details_separator_ = new wxStaticLine(this, wxID_ANY);
  details_ = new wxStaticText(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                              wxST_NO_AUTORESIZE);
  LayOutError();
  Finish(ok);
}

void CWxErrorDialog::ToggleDetails() {
  expanded_ = !expanded_;
  details_button_->SetLabel(PlainLabel(DetailsButtonText(details_label_, expanded_)));
  LayOutError();
}

void CWxErrorDialog::LayOutError() {
  ErrorDialogFrame frame{Frame(), kDialogMargin, kDialogClientWidth - 2 * kDialogMargin};
  const ErrorDialogLayout layout =
      LayoutErrorDialog(frame, text_, details_text_, expanded_, MetricsOf(Explanation()));
  Apply(layout.message);
  details_->SetLabelText(wxString::FromUTF8(layout.details_text.Joined()));
  PlaceAt(*details_separator_, layout.details_separator);
  PlaceAt(*details_, layout.details);
  details_separator_->Show(layout.details_shown);
  details_->Show(layout.details_shown);
  SetClientSize(kDialogClientWidth, layout.client_height);
}
