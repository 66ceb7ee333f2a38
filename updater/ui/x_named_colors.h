#pragma once
// A colour written as text: "R,G,B" (decimal, each kept as its low 8 bits),
// "#RRGGBB", or one of 140 colour names (any case). Anything else is black.

#include <span>
#include <string_view>

#include "updater/ui/rich_text.h"

struct NamedColor {
  std::string_view name;
  RgbColor color;
};

class CXNamedColors {
 public:
  CXNamedColors() = default;
  explicit CXNamedColors(std::string_view text) { Parse(text); }

  // First rule that applies:
  // 1. a comma: red is the integer at the start, green the one after the first
  //    comma, blue the one after the second comma (0 without one);
  // 2. a "#": a 7-character text "#RRGGBB" of hexadecimal digits; any other
  //    text with a "#" is black (nothing past the text is ever read);
  // 3. a colour name, ignoring case; an unknown name is black.
  void Parse(std::string_view text);
  RgbColor Color() const { return color_; }

  // The 140 names with their values. BlanchedAlmond (255,255,205), Gray
  // (127,127,127) and YellowGreen (139,205,50) keep the values this label has
  // always drawn them with, which differ from the usual web values.
  static std::span<const NamedColor> Names();

 private:
  RgbColor color_;
};
