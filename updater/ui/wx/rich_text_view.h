#pragma once
// The rich-text label's window: lays the markup out at every paint with the
// toolkit's text measuring and draws what the layout says (texts, rules) on
// the parent's background. Over a link the pointer is a hand; a click on a
// link opens its address when it is one that may be opened (http, https,
// mailto), handed to the opener as one argument.

#include <wx/bitmap.h>
#include <wx/dc.h>
#include <wx/font.h>
#include <wx/window.h>

#include <functional>
#include <string>

#include "updater/ui/text_metrics.h"
#include "updater/ui/xhtml_static.h"

class CRichTextView : public wxWindow {
 public:
  using Opener = std::function<void(const std::string& address)>;

  // The opener defaults to the desktop's (platform::OpenWithDesktop).
  CRichTextView(wxWindow* parent, wxWindowID id, const wxPoint& position, const wxSize& size,
                Opener opener = {});

  CXHTMLStatic& Label() { return label_; }
  // Replaces the markup and draws it anew.
  void SetMarkup(std::string markup);
  // A picture drawn under the text from the window's top-left corner (the
  // part of a skin the label lies on); none by default.
  void SetBackdrop(const wxBitmap& picture);

 private:
  void OnPaint(wxPaintEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnLeave(wxMouseEvent& event);
  void OnLeftDown(wxMouseEvent& event);

  CXHTMLStatic label_;
  Opener opener_;
  wxBitmap backdrop_;
  bool over_link_ = false;
};

// The measuring of a layout on a drawing context.
class CWxDcMetrics : public ITextMetrics {
 public:
  explicit CWxDcMetrics(wxDC& dc) : dc_(dc) {}
  TextExtent Measure(std::string_view text, const RichFont& font) const override;
  FontExtent Extent(const RichFont& font) const override;

 private:
  wxDC& dc_;
};

// The toolkit font for a font of the layout.
wxFont ToWxFont(const RichFont& font);
