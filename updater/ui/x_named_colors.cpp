#include "updater/ui/x_named_colors.h"

#include <array>
#include <optional>

#include "updater/core/text.h"

namespace {

constexpr RgbColor Hex(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value)};
}

constexpr std::array<NamedColor, 140> kNames{{
    {"AliceBlue", Hex(0xF0F8FF)},
    {"AntiqueWhite", Hex(0xFAEBD7)},
    {"Aqua", Hex(0x00FFFF)},
    {"Aquamarine", Hex(0x7FFFD4)},
    {"Azure", Hex(0xF0FFFF)},
    {"Beige", Hex(0xF5F5DC)},
    {"Bisque", Hex(0xFFE4C4)},
    {"Black", Hex(0x000000)},
    {"BlanchedAlmond", {255, 255, 205}},
    {"Blue", Hex(0x0000FF)},
    {"BlueViolet", Hex(0x8A2BE2)},
    {"Brown", Hex(0xA52A2A)},
    {"Burlywood", Hex(0xDEB887)},
    {"CadetBlue", Hex(0x5F9EA0)},
    {"Chartreuse", Hex(0x7FFF00)},
    {"Chocolate", Hex(0xD2691E)},
    {"Coral", Hex(0xFF7F50)},
    {"CornflowerBlue", Hex(0x6495ED)},
    {"Cornsilk", Hex(0xFFF8DC)},
    {"Crimson", Hex(0xDC143C)},
    {"Cyan", Hex(0x00FFFF)},
    {"DarkBlue", Hex(0x00008B)},
    {"DarkCyan", Hex(0x008B8B)},
    {"DarkGoldenRod", Hex(0xB8860B)},
    {"DarkGray", Hex(0xA9A9A9)},
    {"DarkGreen", Hex(0x006400)},
    {"DarkKhaki", Hex(0xBDB76B)},
    {"DarkMagenta", Hex(0x8B008B)},
    {"DarkOliveGreen", Hex(0x556B2F)},
    {"DarkOrange", Hex(0xFF8C00)},
    {"DarkOrchid", Hex(0x9932CC)},
    {"DarkRed", Hex(0x8B0000)},
    {"DarkSalmon", Hex(0xE9967A)},
    {"DarkSeaGreen", Hex(0x8FBC8F)},
    {"DarkSlateBlue", Hex(0x483D8B)},
    {"DarkSlateGray", Hex(0x2F4F4F)},
    {"DarkTurquoise", Hex(0x00CED1)},
    {"DarkViolet", Hex(0x9400D3)},
    {"DeepPink", Hex(0xFF1493)},
    {"DeepSkyBlue", Hex(0x00BFFF)},
    {"DimGray", Hex(0x696969)},
    {"DodgerBlue", Hex(0x1E90FF)},
    {"FireBrick", Hex(0xB22222)},
    {"FloralWhite", Hex(0xFFFAF0)},
    {"ForestGreen", Hex(0x228B22)},
    {"Fuchsia", Hex(0xFF00FF)},
    {"Gainsboro", Hex(0xDCDCDC)},
    {"GhostWhite", Hex(0xF8F8FF)},
    {"Gold", Hex(0xFFD700)},
    {"GoldenRod", Hex(0xDAA520)},
    {"Gray", {127, 127, 127}},
    {"Green", Hex(0x008000)},
    {"GreenYellow", Hex(0xADFF2F)},
    {"HoneyDew", Hex(0xF0FFF0)},
    {"HotPink", Hex(0xFF69B4)},
    {"IndianRed", Hex(0xCD5C5C)},
    {"Indigo", Hex(0x4B0082)},
    {"Ivory", Hex(0xFFFFF0)},
    {"Khaki", Hex(0xF0E68C)},
    {"Lavender", Hex(0xE6E6FA)},
    {"LavenderBlush", Hex(0xFFF0F5)},
    {"Lawngreen", Hex(0x7CFC00)},
    {"LemonChiffon", Hex(0xFFFACD)},
    {"LightBlue", Hex(0xADD8E6)},
    {"LightCoral", Hex(0xF08080)},
    {"LightCyan", Hex(0xE0FFFF)},
    {"LightGoldenRodYellow", Hex(0xFAFAD2)},
    {"LightGreen", Hex(0x90EE90)},
    {"LightGrey", Hex(0xD3D3D3)},
    {"LightPink", Hex(0xFFB6C1)},
    {"LightSalmon", Hex(0xFFA07A)},
    {"LightSeaGreen", Hex(0x20B2AA)},
    {"LightSkyBlue", Hex(0x87CEFA)},
    {"LightSlateGray", Hex(0x778899)},
    {"LightSteelBlue", Hex(0xB0C4DE)},
    {"LightYellow", Hex(0xFFFFE0)},
    {"Lime", Hex(0x00FF00)},
    {"LimeGreen", Hex(0x32CD32)},
    {"Linen", Hex(0xFAF0E6)},
    {"Magenta", Hex(0xFF00FF)},
    {"Maroon", Hex(0x800000)},
    {"MediumAquamarine", Hex(0x66CDAA)},
    {"MediumBlue", Hex(0x0000CD)},
    {"MediumOrchid", Hex(0xBA55D3)},
    {"MediumPurple", Hex(0x9370DB)},
    {"MediumSeaGreen", Hex(0x3CB371)},
    {"MediumSlateBlue", Hex(0x7B68EE)},
    {"MediumSpringGreen", Hex(0x00FA9A)},
    {"MediumTurquoise", Hex(0x48D1CC)},
    {"MediumVioletRed", Hex(0xC71585)},
    {"MidnightBlue", Hex(0x191970)},
    {"MintCream", Hex(0xF5FFFA)},
    {"MistyRose", Hex(0xFFE4E1)},
    {"Moccasin", Hex(0xFFE4B5)},
    {"NavajoWhite", Hex(0xFFDEAD)},
    {"Navy", Hex(0x000080)},
    {"OldLace", Hex(0xFDF5E6)},
    {"Olive", Hex(0x808000)},
    {"OliveDrab", Hex(0x6B8E23)},
    {"Orange", Hex(0xFFA500)},
    {"OrangeRed", Hex(0xFF4500)},
    {"Orchid", Hex(0xDA70D6)},
    {"PaleGoldenRod", Hex(0xEEE8AA)},
    {"PaleGreen", Hex(0x98FB98)},
    {"PaleTurquoise", Hex(0xAFEEEE)},
    {"PaleVioletRed", Hex(0xDB7093)},
    {"PapayaWhip", Hex(0xFFEFD5)},
    {"PeachPuff", Hex(0xFFDAB9)},
    {"Peru", Hex(0xCD853F)},
    {"Pink", Hex(0xFFC0CB)},
    {"Plum", Hex(0xDDA0DD)},
    {"PowderBlue", Hex(0xB0E0E6)},
    {"Purple", Hex(0x800080)},
    {"Red", Hex(0xFF0000)},
    {"RosyBrown", Hex(0xBC8F8F)},
    {"RoyalBlue", Hex(0x4169E1)},
    {"SaddleBrown", Hex(0x8B4513)},
    {"Salmon", Hex(0xFA8072)},
    {"SandyBrown", Hex(0xF4A460)},
    {"SeaGreen", Hex(0x2E8B57)},
    {"SeaShell", Hex(0xFFF5EE)},
    {"Sienna", Hex(0xA0522D)},
    {"Silver", Hex(0xC0C0C0)},
    {"SkyBlue", Hex(0x87CEEB)},
    {"SlateBlue", Hex(0x6A5ACD)},
    {"SlateGray", Hex(0x708090)},
    {"Snow", Hex(0xFFFAFA)},
    {"SpringGreen", Hex(0x00FF7F)},
    {"SteelBlue", Hex(0x4682B4)},
    {"Tan", Hex(0xD2B48C)},
    {"Teal", Hex(0x008080)},
    {"Thistle", Hex(0xD8BFD8)},
    {"Tomato", Hex(0xFF6347)},
    {"Turquoise", Hex(0x40E0D0)},
    {"Violet", Hex(0xEE82EE)},
    {"Wheat", Hex(0xF5DEB3)},
    {"White", Hex(0xFFFFFF)},
    {"WhiteSmoke", Hex(0xF5F5F5)},
    {"Yellow", Hex(0xFFFF00)},
    {"YellowGreen", {139, 205, 50}},
}};

// The value of a hexadecimal digit, or -1.
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Six hexadecimal digits as red, green and blue; nullopt for anything else.
std::optional<RgbColor> ParseHexDigits(std::string_view digits) {
  if (digits.size() != 6) return std::nullopt;
  std::array<std::uint8_t, 3> parts{};
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const int high = HexDigit(digits[2 * i]);
    const int low = HexDigit(digits[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    parts[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return RgbColor{parts[0], parts[1], parts[2]};
}

std::uint8_t LowByte(std::string_view text) {
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(StringToInt(text)) & 0xFF);
}

}  // namespace

void CXNamedColors::Parse(std::string_view text) {
  color_ = {};
  if (const auto comma = text.find(','); comma != std::string_view::npos) {
    const std::string_view after_first = text.substr(comma + 1);
    const auto second = after_first.find(',');
    color_.red = LowByte(text);
    color_.green = LowByte(after_first);
    color_.blue = second == std::string_view::npos ? 0 : LowByte(after_first.substr(second + 1));
    return;
  }
  if (const auto hash = text.find('#'); hash != std::string_view::npos) {
    // Only the six characters after the "#" are read, and only when they are there.
    if (text.size() == 7) color_ = ParseHexDigits(text.substr(hash + 1)).value_or(RgbColor{});
    return;
  }
  for (const NamedColor& named : kNames) {
    if (EqualsNoCase(named.name, text)) {
      color_ = named.color;
      return;
    }
  }
}

std::span<const NamedColor> CXNamedColors::Names() { return kNames; }
