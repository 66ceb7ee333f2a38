#pragma once
// The wizard's nine pages: their controls, made and laid out; the window
// fills them and binds what they report.

#include <wx/bitmap.h>
#include <wx/colour.h>

#include "updater/ui/wx/wx_wizard.h"

// The window's client size and the band of the buttons.
inline constexpr int kWizardWidth = 500;
// The pages' height: room for long explanations above two bars (the
// watermark, 314 pixels high, carries on below itself).
inline constexpr int kWizardUpperHeight = 360;
// The margins of the pages' contents, and the widths their texts wrap at.
inline constexpr int kInteriorMargin = 22;
inline constexpr int kInteriorTop = 14;
inline constexpr int kInteriorBottom = 10;
inline constexpr int kInteriorTextWidth = kWizardWidth - 2 * kInteriorMargin;
inline constexpr int kExteriorLeft = 164 + 18;
inline constexpr int kExteriorTextWidth = kWizardWidth - kExteriorLeft - 18;
inline constexpr int kFeatureLines = 5;

struct WizardLinkColours {
  wxColour normal;
  wxColour hover;
};

WizardPageControls BuildWelcomePage(wxWindow* book, const wxBitmap& watermark);
WizardPageControls BuildCheckPage(wxWindow* book, const WizardLinkColours& colours);
WizardPageControls BuildHtmlPage(wxWindow* book);
WizardPageControls BuildLicensePage(wxWindow* book);
WizardPageControls BuildSelectPage(wxWindow* book, const WizardLinkColours& colours);
// Download and install (with_item), rollback (without).
WizardPageControls BuildProgressPage(wxWindow* book, bool with_item);
WizardPageControls BuildFinishPage(wxWindow* book, const wxBitmap& watermark);

// A text shown as it is, broken into lines that fit width in the control's font.
void SetWrappedText(wxStaticText& control, const std::string& text, int width);
