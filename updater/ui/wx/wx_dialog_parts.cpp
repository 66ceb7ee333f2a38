#include "updater/ui/wx/wx_dialog_parts.h"

#include <wx/control.h>

#include <algorithm>

wxString PlainLabel(const std::string& text) {
  return wxControl::EscapeMnemonics(wxString::FromUTF8(text));
}

TextMetrics MetricsOf(wxWindow& window) {
  TextMetrics metrics;
  wxWindow* const measured = &window;
  metrics.width_of = [measured](std::string_view text) {
    return measured->GetTextExtent(wxString::FromUTF8(text.data(), text.size())).x;
  };
  metrics.line_height = window.GetTextExtent("Ag").y;
  return metrics;
}

void PlaceAt(wxWindow& window, const PixelRect& rect) {
  window.SetSize(rect.x, rect.y, rect.width, rect.height);
}

PixelRect RectOf(const wxWindow& window) {
  const wxRect rect = window.GetRect();
  return {rect.x, rect.y, rect.width, rect.height};
}

void AnswerEscapeAndCloseWith(wxDialog& dialog, int result) {
  dialog.Bind(wxEVT_CHAR_HOOK, [&dialog, result](wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_ESCAPE && dialog.IsModal()) {
      dialog.EndModal(result);
      return;
    }
    event.Skip();
  });
  dialog.Bind(wxEVT_CLOSE_WINDOW, [&dialog, result](wxCloseEvent& event) {
    if (dialog.IsModal()) {
      dialog.EndModal(result);
      return;
    }
    event.Skip();
  });
}

wxSize ButtonSize(wxWindow& button) {
  const wxSize best = button.GetBestSize();
  return {std::max(best.x, 88), std::max(best.y, 27)};
}
