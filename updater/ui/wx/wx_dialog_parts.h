#pragma once
// What the updater's dialogs share on the toolkit's side: plain-text labels,
// text measuring with a window's font, placing a control at a rectangle of the
// toolkit-free layout, and the answer of Escape and the close box.

#include <wx/dialog.h>
#include <wx/toplevel.h>
#include <wx/window.h>

#include <functional>
#include <string>

#include "updater/ui/dialog_layout.h"
#include "updater/ui/wx/wx_dialog_header.h"

// A text from the program or an update file as a control's label: shown as
// it is, never read as a mnemonic or markup.
wxString PlainLabel(const std::string& text);

// Measures lines in the window's font.
PlainTextMetrics MetricsOf(wxWindow& window);

void PlaceAt(wxWindow& window, const PixelRect& rect);
PixelRect RectOf(const wxWindow& window);

// Escape (once let go) and the window's close box call answer while the
// dialog is modal.
void OnEscapeOrClose(wxDialog& dialog, std::function<void()> answer);
// Escape and the window's close box end the dialog with result: never yes.
void AnswerEscapeAndCloseWith(wxDialog& dialog, int result);

// The window icon: the settings' ICON file when it names one that loads, else
// the dialog's badge at 64 by 64 pixels.
void ApplyWindowIcon(wxTopLevelWindow& window, HeaderArt art);

// A button's size: its best size, at least 88 by 27 pixels.
wxSize ButtonSize(wxWindow& button);

// The dialog's client width and its margin.
inline constexpr int kDialogClientWidth = 420;
inline constexpr int kDialogMargin = 12;
// Where the text under the header starts.
inline constexpr int kDialogTextTop = kDialogHeaderHeight + 13;
