#include "updater/ui/rich_text_tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "updater/core/text.h"
#include "updater/ui/character_references.h"

// Printed by the test framework, which finds it next to RichToken.
static std::ostream& operator<<(std::ostream& out, const RichToken& token) {
  out << "{" << static_cast<int>(token.kind) << " \"" << token.text << "\"";
  if (token.font.color) out << " color";
  if (token.font.face) out << " face=" << *token.font.face;
  if (token.font.size_change) out << " size=" << *token.font.size_change;
  if (token.rule_thickness) out << " rule=" << *token.rule_thickness;
  return out << "}";
}

namespace {

using K = RichTokenKind;

RichToken Text(std::string text) { return RichToken{K::kText, std::move(text), {}, {}}; }
RichToken Tag(K kind) { return RichToken{kind, "", {}, {}}; }
RichToken Link(std::string target) { return RichToken{K::kLink, std::move(target), {}, {}}; }
RichToken Font(FontAttributes font) { return RichToken{K::kFont, "", std::move(font), {}}; }
RichToken Rule(std::optional<int> thickness) { return RichToken{K::kRule, "", {}, thickness}; }

struct TagCase {
  const char* markup;
  K kind;
};

class SimpleTag : public testing::TestWithParam<TagCase> {};

// Each tag, as written and in lower case, between two words.
TEST_P(SimpleTag, IsOneTokenInAnyCase) {
  for (const std::string& tag : {std::string(GetParam().markup), ToLower(GetParam().markup)}) {
    EXPECT_EQ(TokenizeRichText("x" + tag + "y"),
              (std::vector<RichToken>{Text("x"), Tag(GetParam().kind), Text("y")}))
        << tag;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tags, SimpleTag,
    testing::Values(TagCase{"<B>", K::kBold}, TagCase{"</B>", K::kBoldEnd},
                    TagCase{"<I>", K::kItalic}, TagCase{"</I>", K::kItalicEnd},
                    TagCase{"<U>", K::kUnderline}, TagCase{"</U>", K::kUnderlineEnd},
                    TagCase{"<STRIKE>", K::kStrikeOut}, TagCase{"</STRIKE>", K::kStrikeOutEnd},
                    TagCase{"<BIG>", K::kBig}, TagCase{"</BIG>", K::kBigEnd},
                    TagCase{"<SMALL>", K::kSmall}, TagCase{"</SMALL>", K::kSmallEnd},
                    TagCase{"<SUB>", K::kSubscript}, TagCase{"</SUB>", K::kSubscriptEnd},
                    TagCase{"<SUP>", K::kSuperscript}, TagCase{"</SUP>", K::kSuperscriptEnd},
                    TagCase{"</FONT>", K::kFontEnd}, TagCase{"<CODE>", K::kCode},
                    TagCase{"</CODE>", K::kCodeEnd}, TagCase{"</A>", K::kLinkEnd},
                    TagCase{"<BR>", K::kBreak}));

struct MarkupCase {
  const char* name;
  std::string markup;
  std::vector<RichToken> expected;
};

std::ostream& operator<<(std::ostream& out, const MarkupCase& c) { return out << c.name; }

class Markup : public testing::TestWithParam<MarkupCase> {};

TEST_P(Markup, Tokens) { EXPECT_EQ(TokenizeRichText(GetParam().markup), GetParam().expected); }

FontAttributes Colored(RgbColor color) {
  FontAttributes font;
  font.color = color;
  return font;
}

FontAttributes Faced(std::string face) {
  FontAttributes font;
  font.face = std::move(face);
  return font;
}

FontAttributes Sized(int size) {
  FontAttributes font;
  font.size_change = size;
  return font;
}

constexpr RgbColor kRed{255, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    Cases, Markup,
    testing::Values(
        MarkupCase{"Empty", "", {}}, MarkupCase{"PlainText", "just text", {Text("just text")}},
        MarkupCase{"UnknownTagIsText", "a<P>b", {Text("a<P>b")}},
        MarkupCase{"LoneLessThan", "1 < 2", {Text("1 < 2")}},
        MarkupCase{"BoldAroundAWord",
                   "<b>x</b>y",
                   {Tag(K::kBold), Text("x"), Tag(K::kBoldEnd), Text("y")}},
        MarkupCase{"TagReachesToTheFirstGreaterThan", "<BR clear=all>x", {Text("<BR clear=all>x")}},
        // References never form tags: the text shows "<b>".
        MarkupCase{"LiteralBoldTag", "&lt;b&gt;x&lt;/b&gt;", {Text("<b>x</b>")}},
        MarkupCase{"ReferenceDecodedOnce", "&amp;lt;", {Text("&lt;")}},
        MarkupCase{"ReferenceInCapitalsStays", "&LT;B&GT;", {Text("&LT;B&GT;")}},
        MarkupCase{"UnfinishedReferenceStays", "a &amp b &", {Text("a &amp b &")}},
        // Decoded references are characters, never the line feed, carriage
        // return or tab an in-band escape code would collide with.
        MarkupCase{"PilcrowIsNoLineFeed",
                   "a&para;b",
                   {Text("a\xC2\xB6"
                         "b")}},
        MarkupCase{"RegisteredIsNoCarriageReturn",
                   "a&reg;b",
                   {Text("a\xC2\xAE"
                         "b")}},
        MarkupCase{"NoBreakSpaceIsNoTab",
                   "a&nbsp;b",
                   {Text("a\xC2\xA0"
                         "b")}},
        // Control codes in the text are passed on as they are.
        MarkupCase{"ControlCodesPassThrough",
                   std::string("a\x01\x7F\x01", 4),
                   {Text(std::string("a\x01\x7F\x01", 4))}},
        MarkupCase{
            "StrayClosingTags",
            "</B></I></FONT></A>x",
            {Tag(K::kBoldEnd), Tag(K::kItalicEnd), Tag(K::kFontEnd), Tag(K::kLinkEnd), Text("x")}},
        // A tag whose ">" never comes is text, and the reading goes on.
        MarkupCase{"UnterminatedFont", "<FONT COLOR=\"red\"", {Text("<FONT COLOR=\"red\"")}},
        MarkupCase{"UnterminatedLink",
                   "<A HREF=\"http://x\">a</A><A HREF=y",
                   {Link("\"http://x\""), Text("a"), Tag(K::kLinkEnd), Text("<A HREF=y")}},
        MarkupCase{"UnterminatedRule", "a<HR SIZE=3", {Text("a<HR SIZE=3")}},
        MarkupCase{"UnterminatedSimpleTag", "a<B", {Text("a<B")}},
        MarkupCase{"Link",
                   "<a href=\"http://x/?a=1&amp;b=2\">go</a>",
                   {Link("\"http://x/?a=1&b=2\""), Text("go"), Tag(K::kLinkEnd)}},
        MarkupCase{"RuleWithoutSize", "<HR>", {Rule(std::nullopt)}},
        MarkupCase{"RuleWithSize", "<hr size=4>", {Rule(4)}},
        MarkupCase{"RuleWithSpacedSize", "<HR SIZE = 7 >", {Rule(7)}},
        MarkupCase{"RuleWithQuotedSize", "<HR SIZE=\"4\">", {Rule(std::nullopt)}},
        MarkupCase{
            "RuleThicknessBounded", "<HR SIZE=99999999999>", {Rule(rich_text::kMaxRuleThickness)}},
        MarkupCase{"FontColorName", "<FONT COLOR=\"Red\">", {Font(Colored(kRed))}},
        MarkupCase{"FontColorDecimal", "<font color=\"255,0,0\">", {Font(Colored(kRed))}},
        MarkupCase{"FontColorHex", "<Font Color=\"#FF0000\">", {Font(Colored(kRed))}},
        MarkupCase{"FontColorShortHexIsBlack", "<FONT COLOR=\"#F00\">", {Font(Colored({}))}},
        MarkupCase{
            "FontBackground", "<FONT BGCOLOR=\"Red\">", {Font(FontAttributes{{}, kRed, {}, {}})}},
        MarkupCase{"FontFace", "<FONT FACE=\"Arial\">", {Font(Faced("Arial"))}},
        MarkupCase{"FontFaceCut",
                   "<FONT FACE=\"" + std::string(40, 'f') + "\">",
                   {Font(Faced(std::string(31, 'f')))}},
        MarkupCase{"FontSize", "<FONT SIZE=\"3\">", {Font(Sized(3))}},
        MarkupCase{"FontSizeNegative", "<FONT SIZE=\"-2\">", {Font(Sized(-2))}},
        MarkupCase{"FontSizeBounded",
                   "<FONT SIZE=\"-99999999999\">",
                   {Font(Sized(-rich_text::kMaxFontSize))}},
        MarkupCase{"FontAll",
                   "<FONT X=1 FACE=\"Arial\" COLOR=\"Red\" SIZE=\"2\">",
                   {Font(FontAttributes{kRed, {}, "Arial", 2})}},
        MarkupCase{"FontAttributeWithoutQuotesStops",
                   "<FONT COLOR=red>x",
                   {Font(FontAttributes{}), Text("x")}},
        // The attributes are read inside the tag only: text after its ">" is
        // never taken for an attribute, nor a quote after it for the end of a value.
        MarkupCase{"FontAttributesEndAtTheTag",
                   "<FONT>see COLOR=\"red\" here",
                   {Font(FontAttributes{}), Text("see COLOR=\"red\" here")}},
        MarkupCase{"FontValueEndsAtTheTag",
                   "<FONT COLOR=\"red>x</FONT>\"",
                   {Font(FontAttributes{}), Text("x"), Tag(K::kFontEnd), Text("\"")}}));

TEST(RichTextTokenizer, DecodesEachCharacterReference) {
  const auto references = CharacterReferences();
  ASSERT_EQ(references.size(), 13u);
  for (const CharacterReference& reference : references) {
    EXPECT_EQ(DecodeCharacterReferences(reference.name), reference.text) << reference.name;
    EXPECT_EQ(TokenizeRichText(std::string("[") + std::string(reference.name) + "]"),
              (std::vector<RichToken>{Text("[" + std::string(reference.text) + "]")}))
        << reference.name;
  }
}

TEST(RichTextTokenizer, HoldsTheMarkupToItsBounds) {
  // Text beyond the bound is dropped, cut at a character boundary.
  std::string long_text;
  while (long_text.size() < rich_text::kMaxMarkupBytes + 10) long_text += "\xC3\xA9";
  const auto cut = TokenizeRichText("x" + long_text);
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_LE(cut[0].text.size(), rich_text::kMaxMarkupBytes);
  EXPECT_TRUE(IsValidUtf8(cut[0].text));

  // Tokens beyond the bound are dropped.
  std::string tags;
  for (std::size_t i = 0; i < rich_text::kMaxTokens + 100; ++i) tags += "<B>";
  EXPECT_EQ(TokenizeRichText(tags).size(), rich_text::kMaxTokens);
}

}  // namespace
