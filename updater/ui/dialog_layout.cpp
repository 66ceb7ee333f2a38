#include "updater/ui/dialog_layout.h"

#include <algorithm>

#include "updater/core/text.h"

namespace {

int LowestBottom(const std::vector<PixelRect>& rects, int fallback) {
  int bottom = fallback;
  for (const PixelRect& rect : rects) bottom = std::max(bottom, rect.Bottom());
  return bottom;
}

// Step 1: the explanation keeps its left, top and width and takes the height
// of its word-wrapped text.
MessageDialogLayout MeasureExplanation(const MessageDialogFrame& frame, std::string_view text,
                                       const PlainTextMetrics& metrics) {
  MessageDialogLayout layout;
  layout.text = WrapText(text, frame.explanation.width, metrics);
  layout.explanation = frame.explanation;
  layout.explanation.height = layout.text.height;
  layout.buttons = frame.buttons;
  return layout;
}

// The buttons keep their horizontal places and heights; their tops go to y.
void MoveButtons(std::vector<PixelRect>& buttons, int y) {
  for (PixelRect& button : buttons) button.y = y;
}

}  // namespace

MessageDialogLayout LayoutMessageDialog(const MessageDialogFrame& frame, std::string_view text,
                                        const PlainTextMetrics& metrics) {
  MessageDialogLayout layout = MeasureExplanation(frame, text, metrics);
  MoveButtons(layout.buttons, layout.explanation.Bottom() + kDialogGap);
  layout.client_height = LowestBottom(layout.buttons, layout.explanation.Bottom()) + kDialogGap;
  return layout;
}

ErrorDialogLayout LayoutErrorDialog(const ErrorDialogFrame& frame, std::string_view explanation,
                                    std::string_view details, bool expanded,
                                    const PlainTextMetrics& metrics) {
  ErrorDialogLayout layout;
  layout.message = LayoutMessageDialog(frame.message, explanation, metrics);
  const int buttons_bottom =
      LowestBottom(layout.message.buttons, layout.message.explanation.Bottom());
  layout.details_text = WrapText(details, frame.details_width, metrics);
  layout.details_separator = {frame.details_x, buttons_bottom + kDialogGap, frame.details_width, 1};
  layout.details = {frame.details_x, buttons_bottom + kDetailsTextGap, frame.details_width,
                    layout.details_text.height};
  layout.details_shown = expanded;
  layout.client_height =
      expanded ? layout.details.Bottom() + kDialogGap : buttons_bottom + kDialogGap;
  return layout;
}

std::string DetailsButtonText(std::string_view label, bool expanded) {
  return FillPlaceholders(expanded ? "<< %s" : "%s >>", {label});
}

CloseApplicationLayout LayoutCloseApplicationDialog(const CloseApplicationFrame& frame,
                                                    std::string_view text,
                                                    const PlainTextMetrics& metrics) {
  CloseApplicationLayout layout;
  layout.message = MeasureExplanation(frame.message, text, metrics);
  const int button_height =
      frame.message.buttons.empty() ? frame.progress.height : frame.message.buttons.front().height;
  layout.progress = {frame.progress.x, layout.message.explanation.Bottom() + kDialogGap,
                     frame.progress.width, button_height};
  MoveButtons(layout.message.buttons, layout.progress.Bottom() + kDialogGap);
  layout.message.client_height =
      LowestBottom(layout.message.buttons, layout.progress.Bottom()) + kDialogGap;
  layout.icon = {frame.message.client_width - kCloseIconFromRight, kCloseIconTop, kCloseIconSize,
                 kCloseIconSize};
  return layout;
}

AuthenticationLayout LayoutAuthenticationDialog(const AuthenticationFrame& frame,
                                                std::string_view text,
                                                const PlainTextMetrics& metrics) {
  AuthenticationLayout layout;
  layout.text = WrapText(text, frame.explanation.width, metrics);
  layout.explanation = frame.explanation;
  layout.explanation.height = layout.text.height;
  const int shift = layout.text.height - kAuthenticationSlack;
  layout.below = frame.below;
  for (PixelRect& rect : layout.below) rect.y += shift;
  layout.client_height = frame.client_height + shift;
  return layout;
}
