#pragma once
// The rich-text label's window: lays the markup out at every paint with the
// toolkit's text measuring and draws what the layout says (texts, rules) on
// the parent's background. Over a link the pointer is a hand; a click on a
// link opens its address when it is one that may be opened (http, https,
// mailto), handed to the opener as one argument.

#include <wx/font.h>
#include <wx/window.h>

#include <functional>
#include <string>

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

 private:
  void OnPaint(wxPaintEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnLeave(wxMouseEvent& event);
  void OnLeftDown(wxMouseEvent& event);

  CXHTMLStatic label_;
  Opener opener_;
  bool over_link_ = false;
};

// The toolkit font for a font of the layout.
wxFont ToWxFont(const RichFont& font);
