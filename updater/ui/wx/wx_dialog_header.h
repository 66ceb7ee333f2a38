#pragma once
// The band across the top of the updater's dialogs: a gradient with a round
// badge at the right that tells the kind of dialog, and the heading in bold on
// it. The artwork is drawn at run time; no picture file is used. The heading
// is drawn as plain text: no mnemonic, no markup.

#include <wx/bitmap.h>
#include <wx/window.h>

#include <string>

enum class HeaderArt { kQuestion, kError, kInformation, kWarning, kCloseApplication, kKey, kAbout };

inline constexpr int kDialogHeaderHeight = 58;

// The badge alone, as a picture of size by size pixels on a transparent
// ground (the window icon when no icon file is set).
wxBitmap BadgeBitmap(HeaderArt art, int size);

class CWxDialogHeader : public wxWindow {
 public:
  CWxDialogHeader(wxWindow* parent, HeaderArt art, const std::string& heading);

  const wxString& Heading() const { return heading_; }

 private:
  void OnPaint(wxPaintEvent& event);

  HeaderArt art_;
  wxString heading_;
};
