#include "updater/ui/wx/wx_language_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "updater/ui/dialog_results.h"
#include "updater/ui/wx/wx_dialog_header.h"
#include "updater/ui/wx/wx_dialog_parts.h"

CWxLanguageDialog::CWxLanguageDialog(const std::vector<LanguageChoice>& items,
                                     std::size_t preselected)
    : wxDialog(nullptr, wxID_ANY, "Updater - Select language", wxDefaultPosition, wxDefaultSize,
               wxCAPTION) {
  auto* header = new CWxDialogHeader(this, HeaderArt::kAbout, "Select language");
  header->SetMinSize(wxSize(kDialogClientWidth, kDialogHeaderHeight));
  auto* text = new wxStaticText(this, wxID_ANY, "Select the language to use during the update:");
  list_ = new wxChoice(this, wxID_ANY);
  for (const LanguageChoice& item : items)
    list_->Append(PlainLabel(item.display_name.empty() ? item.name : item.display_name));
  if (preselected < items.size()) list_->SetSelection(static_cast<int>(preselected));
  remember_ = new wxCheckBox(this, wxID_ANY, "Remember my preference");
  ok_ = new wxButton(this, wxID_OK, "OK");
  ok_->SetMinSize(ButtonSize(*ok_));
  ok_->SetDefault();

  auto* body = new wxBoxSizer(wxVERTICAL);
  body->Add(text, 0, wxBOTTOM, 8);
  body->Add(list_, 0, wxEXPAND | wxBOTTOM, 8);
  body->Add(remember_, 0, wxBOTTOM, 13);
  body->Add(ok_, 0, wxALIGN_RIGHT);
  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(header, 0, wxEXPAND);
  all->Add(body, 1, wxEXPAND | wxALL, 13);
  SetSizerAndFit(all);
  CentreOnScreen();
  ApplyWindowIcon(*this, HeaderArt::kAbout);

  ok_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    const int selected = list_->GetSelection();
    if (selected != wxNOT_FOUND)
      choice_ = LanguageSelection{static_cast<std::size_t>(selected), remember_->GetValue()};
    EndModal(kDialogOk);
  });
  // Escape: no choice; nothing changes.
  AnswerEscapeAndCloseWith(*this, kDialogCancel);
}
