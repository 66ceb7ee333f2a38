#pragma once
// The pieces of the wizard's window: a link that reports its activation
// (never opens anything by itself), the header that paints the banner with
// the page's title and subtitle, the white page with the watermark, and the
// check-box pictures of the selection tree.

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/hyperlink.h>  // declares the generic link too
#include <wx/imaglist.h>
#include <wx/panel.h>
#include <wx/window.h>

#include <functional>
#include <string>

// A link colour of the settings, as text: "#RRGGBB", "R,G,B" (each number
// may carry its letter: "R175,G175,B255") or a colour name; fallback when the
// text is none of these.
wxColour WizardColour(const std::string& text, const wxColour& fallback);

// A text shown as a link: drawn in the link colours, taken by Tab, pressed by
// a click, Space or Return. What it does is up to its owner.
class CWizardLink : public wxGenericHyperlinkCtrl {
 public:
  CWizardLink(wxWindow* parent, const std::string& text, const wxColour& normal,
              const wxColour& hover);

  // Shows text as it is (no mnemonic, no markup) and sizes itself to it.
  void SetText(const std::string& text);
  void OnActivate(std::function<void()> activate) { activate_ = std::move(activate); }
  void Activate();

 private:
  std::function<void()> activate_;
};

// The band of the interior pages: the banner at the top left on white, the
// title in bold and the subtitle under it, a line at the bottom.
class CWizardHeader : public wxWindow {
 public:
  static constexpr int kHeight = 59;  // the banner's 58 pixels and the line

  CWizardHeader(wxWindow* parent, const wxBitmap& banner);
  void SetTexts(const std::string& title, const std::string& subtitle);
  const wxString& Title() const { return title_; }
  const wxString& Subtitle() const { return subtitle_; }

 private:
  void OnPaint(wxPaintEvent& event);

  wxBitmap banner_;
  wxString title_;
  wxString subtitle_;
};

// An exterior page (welcome, finish): white, with the watermark at its top
// left; its controls stand to the right of the watermark.
class CWizardExteriorPage : public wxPanel {
 public:
  static constexpr int kWatermarkWidth = 164;
  static constexpr int kWatermarkHeight = 314;

  CWizardExteriorPage(wxWindow* parent, const wxBitmap& watermark);

 private:
  void OnPaint(wxPaintEvent& event);

  wxBitmap watermark_;
  wxBitmap column_end_;  // the watermark's last row, stretched below it
};

// The selection tree's state pictures, in this order.
enum WizardCheckImage {
  kImageUnchecked = 0,
  kImageChecked = 1,
  kImageUncheckedDisabled = 2,
  kImageCheckedDisabled = 3,
};
wxImageList* MakeCheckImages(wxWindow& tree);
int CheckImageOf(bool checked, bool enabled);
