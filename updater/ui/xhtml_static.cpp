#include "updater/ui/xhtml_static.h"

#include <utility>

#include "updater/ui/x_named_colors.h"

CXHTMLStatic::CXHTMLStatic(RgbColor window_color, RgbColor window_text_color, RichFont font)
    : window_color_(window_color), window_text_color_(window_text_color), font_(std::move(font)) {
  Reset();
}

void CXHTMLStatic::Reset() {
  background_ = window_color_;
  text_color_ = window_text_color_;
  left_margin_ = 0;
  right_margin_ = 0;
  layout_ = {};
}

RgbColor CXHTMLStatic::SetBkColor(std::string_view color) {
  return SetBkColor(CXNamedColors(color).Color());
}

RgbColor CXHTMLStatic::SetBkColor(RgbColor color) { return std::exchange(background_, color); }

RgbColor CXHTMLStatic::SetTextColor(std::string_view color) {
  return SetTextColor(CXNamedColors(color).Color());
}

RgbColor CXHTMLStatic::SetTextColor(RgbColor color) { return std::exchange(text_color_, color); }

void CXHTMLStatic::SetMargins(int left, int right) {
  left_margin_ = left;
  right_margin_ = right;
}

const RichTextLayout& CXHTMLStatic::Layout(const ITextMetrics& metrics, int client_width,
                                           int client_height) {
  RichTextOptions options;
  options.client_width = client_width;
  options.client_height = client_height;
  options.left_margin = left_margin_;
  options.right_margin = right_margin_;
  options.font = font_;
  options.text_color = text_color_;
  layout_ = LayOutRichText(TokenizeRichText(markup_), options, metrics);
  return layout_;
}
