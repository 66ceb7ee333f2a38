#pragma once
// Reads the markup of the rich-text label into tokens: text runs and tags.
//
// Tags are recognised at a "<", ignoring case, in this order: <B> </B> <I>
// </I> <U> </U> <STRIKE> </STRIKE> <BIG> </BIG> <SMALL> </SMALL> <SUB> </SUB>
// <SUP> </SUP> <FONT...> </FONT> <CODE> </CODE> <A HREF=...> </A> <HR...>
// <BR>. A tag reaches to the first ">" after it. A "<" that begins no tag, and
// a "<FONT", "<HR" or "<A HREF=" with no ">" after it, is text.
//
// Text runs reach to the next "<". Character references are decoded in text
// runs, link targets and attribute values after the tags have been found, so
// "&lt;b&gt;" is the text "<b>" and never a tag.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "updater/ui/rich_text.h"

enum class RichTokenKind {
  kText,
  kBold,
  kBoldEnd,
  kItalic,
  kItalicEnd,
  kUnderline,
  kUnderlineEnd,
  kStrikeOut,
  kStrikeOutEnd,
  kBig,
  kBigEnd,
  kSmall,
  kSmallEnd,
  kSubscript,
  kSubscriptEnd,
  kSuperscript,
  kSuperscriptEnd,
  kFont,
  kFontEnd,
  kCode,
  kCodeEnd,
  kLink,
  kLinkEnd,
  kRule,
  kBreak,
};

// The attributes of a FONT tag, read from left to right inside the tag only.
// Each value stands between the first two double quotes after its name; an
// attribute without them ends the reading. Any other word is skipped.
struct FontAttributes {
  std::optional<RgbColor> color;       // COLOR
  std::optional<RgbColor> background;  // BGCOLOR: read, draws nothing
  std::optional<std::string> face;     // FACE, at most kMaxFaceUnits
  std::optional<int> size_change;      // SIZE: added to the font size (summed when repeated)

  bool operator==(const FontAttributes&) const = default;
};

struct RichToken {
  RichTokenKind kind = RichTokenKind::kText;
  // kText: the text, references decoded. kLink: the target as written between
  // "<A HREF=" and ">" (quotes kept), references decoded.
  std::string text;
  FontAttributes font;                // kFont
  std::optional<int> rule_thickness;  // kRule: "SIZE=n" with a plain number n

  bool operator==(const RichToken&) const = default;
};

// Never fails: malformed markup becomes text. Bounded by kMaxMarkupBytes and
// kMaxTokens (rich_text.h). Adjacent text is one token.
std::vector<RichToken> TokenizeRichText(std::string_view markup);
