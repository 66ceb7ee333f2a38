#pragma once
// The layout of the message dialogs, apart from the toolkit: a dialog is
// drawn as a template of fixed positions, then its explanation is measured
// word-wrapped at its width and the controls under it move so that the
// dialog fits its text. Positions are pixels in the dialog's client area.
//
//  - message dialogs (confirmation, information, warning): the buttons go
//    13 pixels below the explanation, the bottom 13 pixels below the buttons;
//  - the error dialog: the same, and when expanded a details separator 13
//    pixels below the buttons, the details text 27 pixels below them and the
//    bottom 13 pixels below the details;
//  - the close-application dialog: a progress bar 13 pixels below the text,
//    as high as the buttons, the buttons 13 pixels below the bar;
//  - the authentication dialog: every control under the explanation moves
//    down by the measured height less 10 pixels, and so does the bottom.

#include <string>
#include <string_view>
#include <vector>

#include "updater/ui/text_wrap.h"

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  int Bottom() const { return y + height; }
  bool operator==(const PixelRect&) const = default;
};

inline constexpr int kDialogGap = 13;            // text to buttons, buttons to bottom
inline constexpr int kDetailsTextGap = 27;       // buttons to the details text
inline constexpr int kAuthenticationSlack = 10;  // the template's room for the explanation
inline constexpr int kCloseIconSize = 40;
inline constexpr int kCloseIconTop = 9;
inline constexpr int kCloseIconFromRight = 55;

// The template of a message dialog: the explanation's place (its height is
// replaced by the measured one) and the buttons' places.
struct MessageDialogFrame {
  int client_width = 0;
  int client_height = 0;  // the template's height, before the layout
  PixelRect explanation;
  std::vector<PixelRect> buttons;
};

struct MessageDialogLayout {
  WrappedText text;  // the explanation's lines
  PixelRect explanation;
  std::vector<PixelRect> buttons;
  int client_height = 0;
};

MessageDialogLayout LayoutMessageDialog(const MessageDialogFrame& frame, std::string_view text,
                                        const PlainTextMetrics& metrics);

// The error dialog's template: a message dialog (OK and the details button)
// and the details text's horizontal place.
struct ErrorDialogFrame {
  MessageDialogFrame message;
  int details_x = 0;
  int details_width = 0;
};

struct ErrorDialogLayout {
  MessageDialogLayout message;
  bool details_shown = false;  // expanded: separator and details inside the window
  PixelRect details_separator;
  PixelRect details;
  WrappedText details_text;
  int client_height = 0;
};

ErrorDialogLayout LayoutErrorDialog(const ErrorDialogFrame& frame, std::string_view explanation,
                                    std::string_view details, bool expanded,
                                    const PlainTextMetrics& metrics);

// The details button's text: "label >>" collapsed, "<< label" expanded.
std::string DetailsButtonText(std::string_view label, bool expanded);
// The details button can be pressed only when there are details to show.
inline bool DetailsButtonEnabled(std::string_view details) { return !details.empty(); }

// The close-application dialog's template: a message dialog (End now and
// Cancel) with a progress bar between the explanation and the buttons.
struct CloseApplicationFrame {
  MessageDialogFrame message;
  PixelRect progress;  // its x and width are kept
};

struct CloseApplicationLayout {
  MessageDialogLayout message;
  PixelRect progress;
  PixelRect icon;  // at the right of the header
};

CloseApplicationLayout LayoutCloseApplicationDialog(const CloseApplicationFrame& frame,
                                                    std::string_view text,
                                                    const PlainTextMetrics& metrics);

// The authentication dialog's template: the explanation, and every control
// under it (labels, fields, check box, buttons) in any order.
struct AuthenticationFrame {
  int client_width = 0;
  int client_height = 0;
  PixelRect explanation;
  std::vector<PixelRect> below;
};

struct AuthenticationLayout {
  WrappedText text;
  PixelRect explanation;
  std::vector<PixelRect> below;  // in the frame's order
  int client_height = 0;
};

AuthenticationLayout LayoutAuthenticationDialog(const AuthenticationFrame& frame,
                                                std::string_view text,
                                                const PlainTextMetrics& metrics);
