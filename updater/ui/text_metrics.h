#pragma once
// What the layout of the rich-text label needs to know about fonts. The
// toolkit view measures with its drawing context; tests use fixed widths.

#include <string_view>

#include "updater/ui/rich_text.h"

struct TextExtent {
  int width = 0;
  int height = 0;
};

struct FontExtent {
  int ascent = 0;
  int descent = 0;
};

class ITextMetrics {
 public:
  virtual ~ITextMetrics() = default;
  // Width and height of one line of UTF-8 text in the font.
  virtual TextExtent Measure(std::string_view text, const RichFont& font) const = 0;
  virtual FontExtent Extent(const RichFont& font) const = 0;
};
