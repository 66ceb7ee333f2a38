#include "updater/ui/rich_text_tokenizer.h"

#include <algorithm>
#include <array>

#include "updater/core/text.h"
#include "updater/ui/character_references.h"
#include "updater/ui/x_named_colors.h"

namespace {

using K = RichTokenKind;

// A tag is recognised by its opening; one with attributes reaches to the
// first ">" after its opening.
struct TagForm {
  std::string_view opening;
  K kind;
  bool attributes = false;
};

// In the order they are tried.
constexpr std::array<TagForm, 24> kTags{{
    {"<B>", K::kBold},
    {"</B>", K::kBoldEnd},
    {"<I>", K::kItalic},
    {"</I>", K::kItalicEnd},
    {"<U>", K::kUnderline},
    {"</U>", K::kUnderlineEnd},
    {"<STRIKE>", K::kStrikeOut},
    {"</STRIKE>", K::kStrikeOutEnd},
    {"<BIG>", K::kBig},
    {"</BIG>", K::kBigEnd},
    {"<SMALL>", K::kSmall},
    {"</SMALL>", K::kSmallEnd},
    {"<SUB>", K::kSubscript},
    {"</SUB>", K::kSubscriptEnd},
    {"<SUP>", K::kSuperscript},
    {"</SUP>", K::kSuperscriptEnd},
    {"<FONT", K::kFont, true},
    {"</FONT>", K::kFontEnd},
    {"<CODE>", K::kCode},
    {"</CODE>", K::kCodeEnd},
    {"<A HREF=", K::kLink, true},
    {"</A>", K::kLinkEnd},
    {"<HR", K::kRule, true},
    {"<BR>", K::kBreak},
}};

RichToken MakeToken(K kind, std::string text = {}) {
  RichToken token;
  token.kind = kind;
  token.text = std::move(text);
  return token;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

int Clamp(int value, int bound) { return std::clamp(value, -bound, bound); }

// The markup cut to its bound, never inside a UTF-8 character.
std::string_view Bounded(std::string_view markup) {
  if (markup.size() <= rich_text::kMaxMarkupBytes) return markup;
  std::size_t end = rich_text::kMaxMarkupBytes;
  while (end > 0 && (static_cast<unsigned char>(markup[end]) & 0xC0) == 0x80) --end;
  return markup.substr(0, end);
}

// Reads the attributes of a FONT tag; `attributes` is the text between
// "<FONT" and the tag's ">", so nothing after the tag is ever read.
FontAttributes ReadFontAttributes(std::string_view attributes) {
  FontAttributes font;
  std::size_t position = 0;
  while (true) {
    while (position < attributes.size() && IsBlank(attributes[position])) ++position;
    if (position >= attributes.size()) break;
    std::size_t name_end = position;
    while (name_end < attributes.size() && !IsBlank(attributes[name_end]) &&
           attributes[name_end] != '=' && attributes[name_end] != '"') {
      ++name_end;
    }
    const std::string_view name = attributes.substr(position, name_end - position);
    const bool known = EqualsNoCase(name, "COLOR") || EqualsNoCase(name, "BGCOLOR") ||
                       EqualsNoCase(name, "FACE") || EqualsNoCase(name, "SIZE");
    if (!known) {
      // Skipped up to the next blank.
      position = name_end;
      while (position < attributes.size() && !IsBlank(attributes[position])) ++position;
      continue;
    }
    const std::size_t open = attributes.find('"', name_end);
    if (open == std::string_view::npos) break;
    const std::size_t close = attributes.find('"', open + 1);
    if (close == std::string_view::npos) break;
    const std::string value =
        DecodeCharacterReferences(attributes.substr(open + 1, close - open - 1));
    position = close + 1;
    if (EqualsNoCase(name, "COLOR")) {
      font.color = CXNamedColors(value).Color();
    } else if (EqualsNoCase(name, "BGCOLOR")) {
      font.background = CXNamedColors(value).Color();
    } else if (EqualsNoCase(name, "FACE")) {
      font.face = TruncateUtf16(value, rich_text::kMaxFaceUnits);
    } else {
      const int change = Clamp(StringToInt(value), rich_text::kMaxFontSize);
      font.size_change = Clamp(font.size_change.value_or(0) + change, rich_text::kMaxFontSize);
    }
  }
  return font;
}

// "SIZE=n" inside a rule tag, with blanks allowed around the "=" and after
// the number; anything else leaves the thickness alone.
std::optional<int> ReadRuleThickness(std::string_view attributes) {
  const std::string text = TrimWhitespace(attributes);
  if (!StartsWithNoCase(text, "SIZE")) return std::nullopt;
  const std::string rest = TrimWhitespace(std::string_view(text).substr(4));
  if (rest.empty() || rest[0] != '=') return std::nullopt;
  const std::string number = TrimWhitespace(std::string_view(rest).substr(1));
  const bool digits = !number.empty() && std::all_of(number.begin(), number.end(),
                                                     [](char c) { return c >= '0' && c <= '9'; });
  if (!digits) return std::nullopt;
  // StringToInt saturates, so a number too long for an int is as thick as a rule may be.
  return std::min(StringToInt(number), rich_text::kMaxRuleThickness);
}

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view markup) : markup_(Bounded(markup)) {}

  std::vector<RichToken> Run() {
    while (position_ < markup_.size() && tokens_.size() < rich_text::kMaxTokens) {
      if (markup_[position_] != '<' || !ReadTag()) ReadText();
    }
    FlushText();
    if (tokens_.size() > rich_text::kMaxTokens) tokens_.resize(rich_text::kMaxTokens);
    return std::move(tokens_);
  }

 private:
  // A tag at the current "<": adds its token and moves past it; false when
  // the "<" begins no complete tag.
  bool ReadTag() {
    const std::string_view rest = markup_.substr(position_);
    for (const TagForm& tag : kTags) {
      if (!StartsWithNoCase(rest, tag.opening)) continue;
      if (!tag.attributes) return Take(tag.opening.size(), MakeToken(tag.kind));
      const auto end = rest.find('>');
      if (end == std::string_view::npos) return false;
      return Take(end + 1, TagWithAttributes(tag.kind, rest.substr(tag.opening.size(),
                                                                   end - tag.opening.size())));
    }
    return false;
  }

  // `attributes` is the text between the tag's opening and its ">".
  static RichToken TagWithAttributes(K kind, std::string_view attributes) {
    RichToken token = MakeToken(kind);
    if (kind == K::kFont) {
      token.font = ReadFontAttributes(attributes);
    } else if (kind == K::kLink) {
      token.text = DecodeCharacterReferences(attributes);
    } else {
      token.rule_thickness = ReadRuleThickness(attributes);
    }
    return token;
  }

  bool Take(std::size_t length, RichToken token) {
    FlushText();
    tokens_.push_back(std::move(token));
    position_ += length;
    return true;
  }

  // Text up to the next "<"; a "<" that begins no tag is text itself.
  void ReadText() {
    std::size_t end = markup_.find('<', position_ + 1);
    if (end == std::string_view::npos) end = markup_.size();
    pending_text_.append(markup_.substr(position_, end - position_));
    position_ = end;
  }

  void FlushText() {
    if (pending_text_.empty()) return;
    tokens_.push_back(MakeToken(K::kText, DecodeCharacterReferences(pending_text_)));
    pending_text_.clear();
  }

  std::string_view markup_;
  std::size_t position_ = 0;
  std::string pending_text_;
  std::vector<RichToken> tokens_;
};

}  // namespace

std::vector<RichToken> TokenizeRichText(std::string_view markup) { return Tokenizer(markup).Run(); }
