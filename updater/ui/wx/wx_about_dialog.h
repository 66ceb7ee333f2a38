#pragma once
// The About box: the header, the website, the updater's and the language
// pack's versions, the language used and its translator, the developer line
// and the list of thanks. Fixed layout; OK ends with 1, Escape and the close
// box with 2.

#include <wx/dialog.h>

#include "updater/ui/about_texts.h"

class CWxAboutDialog : public wxDialog {
 public:
  explicit CWxAboutDialog(const AboutTexts& texts);
};
