#include "updater/ui/x_named_colors.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "updater/core/text.h"

namespace {

struct ColorCase {
  const char* text;
  RgbColor expected;
};

std::ostream& operator<<(std::ostream& out, const ColorCase& c) {
  return out << '"' << c.text << '"';
}

class ColorText : public testing::TestWithParam<ColorCase> {};

TEST_P(ColorText, ParsesToItsColour) {
  EXPECT_EQ(CXNamedColors(GetParam().text).Color(), GetParam().expected);
}

constexpr RgbColor kBlack{0, 0, 0};
constexpr RgbColor kRed{255, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    Forms, ColorText,
    testing::Values(
        // Names, any case.
        ColorCase{"Red", kRed}, ColorCase{"red", kRed}, ColorCase{"RED", kRed},
        ColorCase{"AliceBlue", {240, 248, 255}}, ColorCase{"darkgoldenrod", {184, 134, 11}},
        ColorCase{"LightGrey", {211, 211, 211}}, ColorCase{"LightGray", kBlack},
        ColorCase{"Grey", kBlack}, ColorCase{"Lawngreen", {124, 252, 0}},
        // The values this label has always drawn, kept as they are.
        ColorCase{"BlanchedAlmond", {255, 255, 205}}, ColorCase{"gray", {127, 127, 127}},
        ColorCase{"YellowGreen", {139, 205, 50}}, ColorCase{"Unknown", kBlack},
        ColorCase{"", kBlack}, ColorCase{" Red", kBlack},
        // Decimal triples: the low 8 bits of each, blue 0 without a second comma.
        ColorCase{"255,0,0", kRed}, ColorCase{"255, 0, 0", kRed}, ColorCase{"10,20", {10, 20, 0}},
        ColorCase{"256,257,-1", {0, 1, 255}}, ColorCase{",,", kBlack},
        ColorCase{"1,2,3,4", {1, 2, 3}}, ColorCase{"#1,2,3", {0, 2, 3}},  // a comma comes first
        // Hexadecimal: exactly "#RRGGBB".
        ColorCase{"#FF0000", kRed}, ColorCase{"#ff0000", kRed}, ColorCase{"#0A1b2C", {10, 27, 44}},
        ColorCase{"#F00", kBlack}, ColorCase{"#FF00000", kBlack}, ColorCase{"#", kBlack},
        // Seven characters with the "#" late: the digits after it end early.
        ColorCase{"abc#def", kBlack}, ColorCase{"FFFFFF#", kBlack}, ColorCase{"#GG0000", kBlack},
        ColorCase{"# 12345", kBlack}));

TEST(NamedColors, TableHoldsEachOf140NamesOnceAndParsesThem) {
  const auto names = CXNamedColors::Names();
  ASSERT_EQ(names.size(), 140u);
  std::set<std::string> seen;
  for (const NamedColor& named : names) {
    EXPECT_TRUE(seen.insert(ToLower(named.name)).second) << named.name;
    EXPECT_EQ(CXNamedColors(ToLower(named.name)).Color(), named.color) << named.name;
  }
}

TEST(NamedColors, StartsBlackAndParsingAgainReplacesTheColour) {
  CXNamedColors color;
  EXPECT_EQ(color.Color(), kBlack);
  color.Parse("Blue");
  EXPECT_EQ(color.Color(), (RgbColor{0, 0, 255}));
  color.Parse("nonsense");
  EXPECT_EQ(color.Color(), kBlack);
}

}  // namespace
