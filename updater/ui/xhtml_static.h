#pragma once
// The rich-text label apart from its window: colours, margins, the markup,
// the layout of the last paint and the link under a point. The toolkit view
// owns one, lays it out at every paint and draws what the layout says.

#include <optional>
#include <string>
#include <string_view>

#include "updater/ui/rich_text_layout.h"

class CXHTMLStatic {
 public:
  // The system's window and window-text colours and the control's font are
  // the reset values.
  CXHTMLStatic(RgbColor window_color, RgbColor window_text_color, RichFont font);

  // Back to the reset values; drops the markup's layout and its links.
  void Reset();

  // Each returns the previous colour; the text forms read the colour with
  // CXNamedColors. The background is kept for the owner; the label paints none.
  RgbColor SetBkColor(std::string_view color);
  RgbColor SetBkColor(RgbColor color);
  RgbColor SetTextColor(std::string_view color);
  RgbColor SetTextColor(RgbColor color);
  RgbColor BkColor() const { return background_; }
  RgbColor TextColor() const { return text_color_; }

  void SetMargins(int left, int right);
  void SetText(std::string markup) { markup_ = std::move(markup); }
  const std::string& Text() const { return markup_; }

  // Reads the markup afresh and replaces the previous layout (and its links).
  const RichTextLayout& Layout(const ITextMetrics& metrics, int client_width, int client_height);
  const RichTextLayout& LastLayout() const { return layout_; }
  // The target of the link under the point in the last layout.
  std::optional<std::string> LinkAt(RichPoint point) const { return layout_.LinkAt(point); }

 private:
  RgbColor window_color_;
  RgbColor window_text_color_;
  RichFont font_;
  RgbColor background_;
  RgbColor text_color_;
  int left_margin_ = 0;
  int right_margin_ = 0;
  std::string markup_;
  RichTextLayout layout_;
};
