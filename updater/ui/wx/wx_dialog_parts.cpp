#include "updater/ui/wx/wx_dialog_parts.h"

#include <wx/control.h>
#include <wx/icon.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>

#include "updater/core/updater_settings.h"
#include "updater/ui/wx/wx_artwork.h"

wxString PlainLabel(const std::string& text) {
  return wxControl::EscapeMnemonics(wxString::FromUTF8(text));
}

PlainTextMetrics MetricsOf(wxWindow& window) {
  PlainTextMetrics metrics;
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

void OnEscapeOrClose(wxDialog& dialog, std::function<void()> answer) {
  // Escape ends the dialog when it is let go, not when it is pressed: a
  // dialog gone before the key's release leaves the toolkit waiting for it,
  // and the next dialog would miss its first Escape.
  struct State {
    bool pressed = false;
    std::set<wxWindow*> listening;
  };
  auto state = std::make_shared<State>();
  dialog.Bind(wxEVT_CHAR_HOOK, [&dialog, state, answer](wxKeyEvent& event) {
    if (event.GetKeyCode() != WXK_ESCAPE || !dialog.IsModal()) {
      event.Skip();
      return;
    }
    state->pressed = true;
    auto* focused = dynamic_cast<wxWindow*>(event.GetEventObject());
    if (!focused || !state->listening.insert(focused).second) return;
    focused->Bind(wxEVT_KEY_UP, [&dialog, state, answer](wxKeyEvent& up) {
      up.Skip();
      if (up.GetKeyCode() != WXK_ESCAPE || !state->pressed) return;
      state->pressed = false;
      if (dialog.IsModal()) answer();
    });
  });
  dialog.Bind(wxEVT_CLOSE_WINDOW, [&dialog, answer](wxCloseEvent& event) {
    if (dialog.IsModal()) {
      answer();
      return;
    }
    event.Skip();
  });
}

void AnswerEscapeAndCloseWith(wxDialog& dialog, int result) {
  OnEscapeOrClose(dialog, [&dialog, result] { dialog.EndModal(result); });
}

void ApplyWindowIcon(wxTopLevelWindow& window, HeaderArt art) {
  if (const std::optional<wxIcon> icon = IconFromFile(CUpdaterSettings::Instance().Values().icon)) {
    window.SetIcon(*icon);
    return;
  }
  wxIcon icon;
  icon.CopyFromBitmap(BadgeBitmap(art, 64));
  window.SetIcon(icon);
}

wxSize ButtonSize(wxWindow& button) {
  const wxSize best = button.GetBestSize();
  return {std::max(best.x, 88), std::max(best.y, 27)};
}
