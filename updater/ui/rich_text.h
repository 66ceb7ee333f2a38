#pragma once
// Records shared by the rich-text label's tokenizer, layout and label: a
// colour, a font description, points and rectangles in the label's client
// coordinates, and the bounds that every markup text is held to.
//
// Bounds (all inputs are cut or clamped to them, never refused):
// - kMaxMarkupBytes: longer markup is cut, at a character boundary, before
//   it is read; a tag cut in two is then drawn as text.
// - kMaxTokens: tokens after this many are dropped (adjacent text counts as
//   one token).
// - kMaxNesting: bold, italic, underline, strike-out, subscript and
//   superscript count at most this deep; further opening tags change nothing.
// - kMinFontSize..kMaxFontSize: the font size after BIG, SMALL and FONT SIZE.
// - kMaxFaceUnits: a FONT FACE is cut to this many UTF-16 code units.
// - kMaxRuleThickness: the thickness a rule's SIZE may set, in pixels.
// - kMaxClientExtent: client width and height beyond this are clamped.
// - kMaxLinkAddressBytes: a longer link target is never opened.

#include <cstddef>
#include <cstdint>
#include <string>

namespace rich_text {
inline constexpr std::size_t kMaxMarkupBytes = 32 * 1024;
inline constexpr std::size_t kMaxTokens = 4096;
inline constexpr int kMaxNesting = 64;
inline constexpr int kMinFontSize = 1;
inline constexpr int kMaxFontSize = 400;
inline constexpr std::size_t kMaxFaceUnits = 31;
inline constexpr int kDefaultRuleThickness = 2;
inline constexpr int kMaxRuleThickness = 100;
inline constexpr int kMaxClientExtent = 100000;
inline constexpr std::size_t kMaxLinkAddressBytes = 2048;
// The face of text inside CODE.
inline constexpr const char* kCodeFace = "Courier New";
}  // namespace rich_text

// Red, green and blue of 8 bits each.
struct RgbColor {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  bool operator==(const RgbColor&) const = default;
};

// A font as the label asks for it; the toolkit view turns it into a real
// font. The size is in the toolkit's units and always positive; a larger
// number is a larger font.
struct RichFont {
  std::string face;
  int size = 10;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike_out = false;
  bool fixed_pitch = false;  // CODE: the view may fall back to any fixed-pitch face

  bool operator==(const RichFont&) const = default;
};

struct RichPoint {
  int x = 0;
  int y = 0;

  bool operator==(const RichPoint&) const = default;
};

struct RichRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  // Left and top edges inside, right and bottom edges outside.
  bool Contains(RichPoint point) const {
    return point.x >= x && point.y >= y && point.x - x < width && point.y - y < height;
  }
  bool operator==(const RichRect&) const = default;
};
