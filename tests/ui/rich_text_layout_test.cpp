#include "updater/ui/rich_text_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "updater/core/text.h"
#include "updater/ui/xhtml_static.h"

namespace {

// Every character 8 pixels wide; a line twice the font size high.
class FixedMetrics : public ITextMetrics {
 public:
  TextExtent Measure(std::string_view text, const RichFont& font) const override {
    return {static_cast<int>(Utf16Length(text)) * kCharWidth, font.size * 2};
  }
  FontExtent Extent(const RichFont& font) const override {
    return {font.size + font.size / 2, font.size / 2};
  }
  static constexpr int kCharWidth = 8;
};

constexpr int kLine = 20;  // the line height of the start font (size 10)

struct Piece {
  std::string text;
  int x;
  int y;
  bool operator==(const Piece&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Piece& piece) {
  return out << "\"" << piece.text << "\"@" << piece.x << "," << piece.y;
}

RichTextOptions Options(int width, int height) {
  RichTextOptions options;
  options.client_width = width;
  options.client_height = height;
  options.text_color = {1, 2, 3};
  return options;
}

RichTextLayout Lay(const std::string& markup, const RichTextOptions& options) {
  return LayOutRichText(TokenizeRichText(markup), options, FixedMetrics());
}

// The placed pieces without the ones that hold only blanks.
std::vector<Piece> Pieces(const RichTextLayout& layout) {
  std::vector<Piece> pieces;
  for (const PlacedText& placed : layout.texts) {
    if (placed.text.find_first_not_of(' ') == std::string::npos) continue;
    pieces.push_back({placed.text, placed.position.x, placed.position.y});
  }
  return pieces;
}

struct WrapCase {
  const char* name;
  std::string markup;
  int width;
  int height;
  std::vector<Piece> expected;
};

std::ostream& operator<<(std::ostream& out, const WrapCase& c) { return out << c.name; }

class Wrapping : public testing::TestWithParam<WrapCase> {};

TEST_P(Wrapping, PlacesThePieces) {
  EXPECT_EQ(Pieces(Lay(GetParam().markup, Options(GetParam().width, GetParam().height))),
            GetParam().expected);
}

// Width 100: a line holds at most 12 characters (96 < 100 - 2).
INSTANTIATE_TEST_SUITE_P(
    Cases, Wrapping,
    testing::Values(
        WrapCase{"OneLine", "short text", 100, 100, {{"short text", 0, 0}}},
        WrapCase{"WrapsAtBlanks",
                 "aaaa bbbb cccc dddd",
                 100,
                 100,
                 {{"aaaa bbbb ", 0, 0}, {"cccc dddd", 0, kLine}}},
        WrapCase{"TwelveCharactersFit", "aaaaa bbbbbb", 100, 100, {{"aaaaa bbbbbb", 0, 0}}},
        WrapCase{
            "ThirteenDoNot", "aaaaa bbbbbbb", 100, 100, {{"aaaaa ", 0, 0}, {"bbbbbbb", 0, kLine}}},
        WrapCase{"OverlongWordAloneOnItsLine",
                 "go averyveryverylongword end",
                 100,
                 100,
                 {{"go ", 0, 0}, {"averyveryverylongword ", 0, kLine}, {"end", 0, 2 * kLine}}},
        WrapCase{"OverlongWordFirst",
                 "averyveryverylongword",
                 100,
                 100,
                 {{"averyveryverylongword", 0, 0}}},
        WrapCase{"NoBreakSpaceKeepsWordsTogether",
                 "aaaa&nbsp;bbbbbbbbbb",
                 100,
                 100,
                 {{"aaaa\xC2\xA0"
                   "bbbbbbbbbb",
                   0, 0}}},
        WrapCase{"PilcrowStaysOnTheLine",
                 "a&para;b",
                 100,
                 100,
                 {{"a\xC2\xB6"
                   "b",
                   0, 0}}},
        WrapCase{"LineBreaks",
                 "a<BR>b<br><BR>c",
                 100,
                 100,
                 {{"a", 0, 0}, {"b", 0, kLine}, {"c", 0, 3 * kLine}}},
        WrapCase{"LineFeedsBreakCarriageReturnsDrop",
                 "a\r\nb\nc",
                 100,
                 100,
                 {{"a ", 0, 0}, {"b ", 0, kLine}, {"c", 0, 2 * kLine}}},
        WrapCase{"RunsContinueTheLine",
                 "ab<B>cd</B>ef",
                 100,
                 100,
                 {{"ab", 0, 0}, {"cd", 16, 0}, {"ef", 32, 0}}},
        WrapCase{"BlanksStartingALineDropped", "<BR>  x", 100, 100, {{"x", 0, kLine}}},
        // A word of a later run that no longer fits the rest of the line goes
        // to the next line instead of running past the edge.
        WrapCase{"RunThatNoLongerFitsWraps",
                 "aaaaaaaaaa<B>bbbbb</B>",
                 100,
                 100,
                 {{"aaaaaaaaaa", 0, 0}, {"bbbbb", 0, kLine}}},
        // A blank, or a line break, that no longer fits a full line neither
        // indents the next line nor leaves an empty one.
        WrapCase{"BlankAfterAFullLine",
                 "aaaaaaaaaaaa<B> bb</B>",
                 100,
                 100,
                 {{"aaaaaaaaaaaa", 0, 0}, {"bb", 0, kLine}}},
        WrapCase{"BreakAfterAFullLine",
                 "aaaaaaaaaaaa<BR>b",
                 100,
                 100,
                 {{"aaaaaaaaaaaa", 0, 0}, {"b", 0, kLine}}},
        WrapCase{"LineFeedAfterAFullLine",
                 "aaaaaaaaaaaa \nb",
                 100,
                 100,
                 {{"aaaaaaaaaaaa ", 0, 0}, {"b", 0, kLine}}},
        // Only whole lines: a line that does not fit the height fully is left out.
        WrapCase{"WholeLinesOnly", "a<BR>b<BR>c", 100, 59, {{"a", 0, 0}, {"b", 0, kLine}}},
        WrapCase{"ExactHeightFits",
                 "a<BR>b<BR>c",
                 100,
                 60,
                 {{"a", 0, 0}, {"b", 0, kLine}, {"c", 0, 2 * kLine}}},
        WrapCase{"NoRoomAtAll", "a", 100, 19, {}}, WrapCase{"EmptyClient", "a b c", 0, 0, {}},
        WrapCase{"UnknownTagDrawnWithItsText", "x<P>y", 100, 100, {{"x<P>y", 0, 0}}},
        WrapCase{"LiteralBoldTagIsText", "&lt;b&gt;x", 100, 100, {{"<b>x", 0, 0}}}));

TEST(RichTextLayout, MarginsNarrowTheLines) {
  RichTextOptions options = Options(120, 100);
  options.left_margin = 10;
  options.right_margin = 10;
  EXPECT_EQ(Pieces(Lay("aaaa bbbb cccc", options)),
            (std::vector<Piece>{{"aaaa bbbb ", 10, 0}, {"cccc", 10, kLine}}));
}

TEST(RichTextLayout, FontsFollowTheTags) {
  const RichTextLayout layout =
      Lay("<b>b</b>n<i>i</i><u>u</u><strike>s</strike><code>c</code>n<BIG>g</BIG><SMALL>m</SMALL>",
          Options(200, 100));
  ASSERT_EQ(layout.texts.size(), 9u);
  EXPECT_TRUE(layout.texts[0].font.bold);
  EXPECT_FALSE(layout.texts[1].font.bold);
  EXPECT_TRUE(layout.texts[2].font.italic);
  EXPECT_TRUE(layout.texts[3].font.underline);
  EXPECT_TRUE(layout.texts[4].font.strike_out);
  EXPECT_EQ(layout.texts[5].font.face, rich_text::kCodeFace);
  EXPECT_TRUE(layout.texts[5].font.fixed_pitch);
  EXPECT_EQ(layout.texts[6].font, RichFont{});
  EXPECT_EQ(layout.texts[7].font.size, 11);
  EXPECT_EQ(layout.texts[8].font.size, 9);
}

TEST(RichTextLayout, StrayClosingTagsAreHarmless) {
  const RichTextLayout layout =
      Lay("</B></B></I></FONT></A></SUB></CODE></BIG></BIG>x<B>y</B>z", Options(200, 100));
  ASSERT_EQ(layout.texts.size(), 3u);
  EXPECT_FALSE(layout.texts[0].font.bold);
  EXPECT_FALSE(layout.texts[0].font.italic);
  EXPECT_EQ(layout.texts[0].font.size, 8);  // two sizes smaller, as two "</BIG>" say
  EXPECT_EQ(layout.texts[0].position, (RichPoint{0, 0}));
  EXPECT_TRUE(layout.texts[1].font.bold);
  EXPECT_FALSE(layout.texts[2].font.bold);
  EXPECT_TRUE(layout.links.empty());
}

TEST(RichTextLayout, NestingAndSizesAreBounded) {
  std::string markup;
  for (int i = 0; i < 1000; ++i) markup += "<B></SMALL>";
  for (int i = 0; i < rich_text::kMaxNesting; ++i) markup += "</B>";
  markup += "x";
  for (int i = 0; i < 1000; ++i) markup += "<SMALL>";
  markup += "y";
  const RichTextLayout layout = Lay(markup, Options(20000, 20000));
  ASSERT_EQ(layout.texts.size(), 2u);
  EXPECT_FALSE(layout.texts[0].font.bold);
  EXPECT_EQ(layout.texts[0].font.size, rich_text::kMaxFontSize);
  EXPECT_EQ(layout.texts[1].font.size, rich_text::kMinFontSize);
}

TEST(RichTextLayout, FontColoursAndTheirEnd) {
  const RichTextLayout layout = Lay(
      "<FONT COLOR=\"Red\">r</FONT>t<FONT COLOR=\"255,0,0\">r<FONT COLOR=\"#0000FF\">b</FONT>t</"
      "FONT>t<FONT COLOR=\"#F00\">k",
      Options(200, 100));
  std::vector<RgbColor> colors;
  for (const PlacedText& placed : layout.texts) colors.push_back(placed.color);
  const RgbColor red{255, 0, 0}, text{1, 2, 3}, blue{0, 0, 255}, black{};
  EXPECT_EQ(colors, (std::vector<RgbColor>{red, text, red, blue, text, text, black}));
}

TEST(RichTextLayout, FontFaceAndSizeUntilTheEndOfTheFont) {
  const RichTextLayout layout =
      Lay("<FONT FACE=\"Arial\" SIZE=\"5\">a</FONT>b<BR>c", Options(200, 200));
  ASSERT_EQ(layout.texts.size(), 4u);
  EXPECT_EQ(layout.texts[0].font.face, "Arial");
  EXPECT_EQ(layout.texts[0].font.size, 15);
  EXPECT_EQ(layout.texts[0].position, (RichPoint{0, 0}));
  // The end of a sized font moves the line down by that font's descent.
  EXPECT_EQ(layout.texts[1].font, RichFont{});
  EXPECT_EQ(layout.texts[1].position, (RichPoint{8, 7}));
  // The next line starts below the tallest piece of the line.
  EXPECT_EQ(layout.texts[3].text, "c");
  EXPECT_EQ(layout.texts[3].position, (RichPoint{0, 30}));
}

TEST(RichTextLayout, SubscriptAndSuperscriptMoveByHalfTheAscent) {
  const RichTextLayout layout = Lay("a<SUB>b</SUB><SUP>c</SUP>", Options(200, 100));
  ASSERT_EQ(layout.texts.size(), 3u);
  EXPECT_EQ(layout.texts[1].position, (RichPoint{8, 7}));
  EXPECT_EQ(layout.texts[2].position, (RichPoint{16, -7}));
}

TEST(RichTextLayout, RulesSpanTheClientAndKeepTheirThickness) {
  RichTextOptions options = Options(100, 200);
  options.left_margin = 5;
  const RichTextLayout layout = Lay("a<FONT COLOR=\"Red\"><HR SIZE=4>b<HR>c", options);
  ASSERT_EQ(layout.rules.size(), 2u);
  EXPECT_EQ(layout.rules[0].rect, (RichRect{0, kLine, 100, 4}));
  EXPECT_EQ(layout.rules[0].color, (RgbColor{255, 0, 0}));
  EXPECT_EQ(layout.rules[1].rect, (RichRect{0, 2 * kLine + 4, 100, 4}));
  EXPECT_EQ(Pieces(layout),
            (std::vector<Piece>{{"a", 5, 0}, {"b", 5, kLine + 4}, {"c", 5, 2 * kLine + 8}}));
}

TEST(RichTextLayout, RulesDoNotMakeRoomBelowTheClient) {
  // A line after a rule is placed only when it fits the client height whole.
  EXPECT_EQ(Pieces(Lay("a<HR>b", Options(100, 42))),
            (std::vector<Piece>{{"a", 0, 0}, {"b", 0, 22}}));
  EXPECT_EQ(Pieces(Lay("a<HR>b", Options(100, 41))), (std::vector<Piece>{{"a", 0, 0}}));
  EXPECT_TRUE(Lay("a<BR><HR>", Options(100, 41)).rules.empty());
}

TEST(RichTextLayout, LinkAreaPerDrawnPiece) {
  const RichTextLayout layout =
      Lay("go <A HREF=\"http://x\">here</A> now <a href=y>aaaa bbbb cccc</a>", Options(100, 100));
  ASSERT_EQ(layout.links.size(), 3u);
  EXPECT_EQ(layout.links[0], (LinkArea{{24, 0, 32, kLine}, "\"http://x\""}));
  // "go here now " fills 96 pixels: the second link starts on the next line
  // and wraps once more.
  EXPECT_EQ(layout.links[1], (LinkArea{{0, kLine, 80, kLine}, "y"}));
  EXPECT_EQ(layout.links[2], (LinkArea{{0, 2 * kLine, 32, kLine}, "y"}));
}

TEST(RichTextLayout, LinksOutsideTheHeightHaveNoArea) {
  EXPECT_TRUE(Lay("a<BR><A HREF=x>b</A>", Options(100, 39)).links.empty());
}

struct HitCase {
  RichPoint point;
  std::optional<std::string> target;
};

TEST(RichTextLayout, HitTestsPointsToLinks) {
  const RichTextLayout layout =
      Lay("go <A HREF=first>here</A><BR><A HREF=second>x</A>", Options(100, 100));
  const HitCase cases[] = {
      {{24, 0}, "first"},      {{55, 19}, "first"},      {{56, 0}, std::nullopt},
      {{23, 5}, std::nullopt}, {{24, 20}, std::nullopt}, {{0, 20}, "second"},
      {{7, 39}, "second"},     {{8, 20}, std::nullopt},  {{-1, -1}, std::nullopt},
  };
  for (const HitCase& c : cases) {
    EXPECT_EQ(layout.LinkAt(c.point), c.target) << c.point.x << "," << c.point.y;
  }
}

TEST(XHTMLStatic, RepeatedLayoutsKeepTheSameLinks) {
  CXHTMLStatic label({255, 255, 255}, {0, 0, 0}, RichFont{});
  label.SetText("<A HREF=\"http://x\">one</A> and <A HREF=\"mailto:a@b\">two</A>");
  const FixedMetrics metrics;
  const std::vector<LinkArea> first = label.Layout(metrics, 200, 100).links;
  ASSERT_EQ(first.size(), 2u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(label.Layout(metrics, 200, 100).links, first);
  EXPECT_EQ(label.LinkAt({0, 0}), "\"http://x\"");
  // A narrower label lays the links out anew, without the old areas.
  const std::vector<LinkArea> narrow = label.Layout(metrics, 50, 100).links;
  ASSERT_EQ(narrow.size(), 2u);
  EXPECT_EQ(narrow[1].rect, (RichRect{0, 2 * kLine, 24, kLine}));
  label.Reset();
  EXPECT_TRUE(label.LastLayout().links.empty());
  EXPECT_EQ(label.LinkAt({0, 0}), std::nullopt);
}

TEST(XHTMLStatic, ColoursReturnThePreviousOneAndResetRestoresThem) {
  const RgbColor window{240, 240, 240}, window_text{0, 0, 0};
  CXHTMLStatic label(window, window_text, RichFont{});
  EXPECT_EQ(label.SetTextColor("Red"), window_text);
  EXPECT_EQ(label.SetTextColor(RgbColor{1, 2, 3}), (RgbColor{255, 0, 0}));
  EXPECT_EQ(label.SetBkColor("0,0,255"), window);
  EXPECT_EQ(label.SetBkColor(RgbColor{}), (RgbColor{0, 0, 255}));
  label.SetMargins(10, 0);
  label.SetText("x");
  EXPECT_EQ(label.Layout(FixedMetrics(), 100, 100).texts.at(0).color, (RgbColor{1, 2, 3}));
  EXPECT_EQ(label.LastLayout().texts.at(0).position, (RichPoint{10, 0}));
  label.Reset();
  EXPECT_EQ(label.TextColor(), window_text);
  EXPECT_EQ(label.BkColor(), window);
  EXPECT_EQ(label.Layout(FixedMetrics(), 100, 100).texts.at(0).position, (RichPoint{0, 0}));
}

}  // namespace
