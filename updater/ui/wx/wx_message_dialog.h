#pragma once
// The message dialogs: a header with the heading, a separator, the word-wrapped
// explanation and a row of buttons at the right, laid out by the toolkit-free
// layout (updater/ui/dialog_layout.h). Every text is shown as plain text.
//
//  CWxConfirmationDialog  Yes ends with 6, No with 7; Escape and the close box
//                         answer No, never Yes.
//  CWxErrorDialog         OK ends with 1; the details button shows or hides the
//                         details under a separator.
//  CWxInformationDialog,
//  CWxWarningDialog       OK ends with 1.
// Escape and the close box end the other dialogs with 2.

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/statline.h>
#include <wx/stattext.h>

#include <string>
#include <vector>

#include "updater/ui/dialog_layout.h"
#include "updater/ui/wx/wx_dialog_header.h"

class CWxMessageDialog : public wxDialog {
 public:
  CWxMessageDialog(HeaderArt art, const std::string& caption, const std::string& heading,
                   const std::string& text, int escape_result);

  wxStaticText& Explanation() { return *explanation_; }
  const std::vector<wxButton*>& Buttons() const { return buttons_; }
  CWxDialogHeader& Header() { return *header_; }

 protected:
  // A button of the row, left to right; a result >= 0 ends the dialog with it.
  wxButton* AddButton(const std::string& label, int result);
  // The template: the explanation under the header, the buttons at the right.
  MessageDialogFrame Frame();
  // Places the explanation and the buttons; the layout's client height.
  void Apply(const MessageDialogLayout& layout);
  // The plain message-dialog layout.
  void LayOut();
  void Finish(wxButton* default_button);

  std::string text_;

 private:
  CWxDialogHeader* header_;
  wxStaticLine* separator_;
  wxStaticText* explanation_;
  std::vector<wxButton*> buttons_;
};

class CWxConfirmationDialog : public CWxMessageDialog {
 public:
  CWxConfirmationDialog(const std::string& caption, const std::string& heading,
                        const std::string& text, const std::string& yes_label,
                        const std::string& no_label);
};

class CWxInformationDialog : public CWxMessageDialog {
 public:
  CWxInformationDialog(const std::string& caption, const std::string& heading,
                       const std::string& text, const std::string& ok_label,
                       HeaderArt art = HeaderArt::kInformation);
};

class CWxWarningDialog : public CWxInformationDialog {
 public:
  CWxWarningDialog(const std::string& caption, const std::string& heading, const std::string& text,
                   const std::string& ok_label)
      : CWxInformationDialog(caption, heading, text, ok_label, HeaderArt::kWarning) {}
};

class CWxErrorDialog : public CWxMessageDialog {
 public:
  CWxErrorDialog(const std::string& caption, const std::string& heading,
                 const std::string& explanation, const std::string& details,
                 const std::string& ok_label, const std::string& details_label);

  bool Expanded() const { return expanded_; }
  wxButton& DetailsButton() { return *details_button_; }
  wxStaticText& Details() { return *details_; }
  // What the details button does.
  void ToggleDetails();

 private:
  void LayOutError();

  std::string details_text_;
  std::string details_label_;
  bool expanded_ = false;
  wxButton* details_button_;
  wxStaticLine* details_separator_;
  wxStaticText* details_;
};
