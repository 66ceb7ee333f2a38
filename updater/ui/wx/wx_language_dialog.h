#pragma once
// The language window of the start-up: a picture band, "Select the language
// to use during the update:", a drop-down list of the languages on offer,
// "Remember my preference" and OK. It has no Cancel button and no close box;
// Escape closes it without a choice. Its texts are fixed English: no language
// is loaded yet when it shows.

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dialog.h>

#include <optional>
#include <vector>

#include "updater/core/dialog_service.h"

class CWxLanguageDialog : public wxDialog {
 public:
  // items: the list in the order to show (BuildLanguageList); preselected:
  // the item selected at the start.
  CWxLanguageDialog(const std::vector<LanguageChoice>& items, std::size_t preselected);

  // The choice after ShowModal, or nullopt when the window was closed with Escape.
  std::optional<LanguageSelection> Choice() const { return choice_; }

  wxChoice& List() { return *list_; }
  wxCheckBox& Remember() { return *remember_; }
  wxButton& OkButton() { return *ok_; }

 private:
  wxButton* ok_;
  wxChoice* list_;
  wxCheckBox* remember_;
  std::optional<LanguageSelection> choice_;
};
