#include "updater/ui/rich_text_layout.h"

#include <algorithm>

namespace {

using K = RichTokenKind;

struct Word {
  std::string text;
  bool line_break = false;
};

// Words end after a blank; a line feed ends the word with a blank and a line
// break; a carriage return is dropped.
std::vector<Word> CutWords(std::string_view text) {
  std::vector<Word> words;
  std::string current;
  for (const char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      current += ' ';
      words.push_back({std::move(current), true});
      current.clear();
      continue;
    }
    current += c;
    if (c == ' ') {
      words.push_back({std::move(current), false});
      current.clear();
    }
  }
  if (!current.empty()) words.push_back({std::move(current), false});
  return words;
}

int ClampExtent(int value) { return std::clamp(value, 0, rich_text::kMaxClientExtent); }
int ClampSize(int value) {
  return std::clamp(value, rich_text::kMinFontSize, rich_text::kMaxFontSize);
}
void CountUp(int& counter) { counter = std::min(counter + 1, rich_text::kMaxNesting); }
void CountDown(int& counter) { counter = std::max(counter - 1, 0); }

class Layouter {
 public:
  Layouter(const RichTextOptions& options, const ITextMetrics& metrics)
      : metrics_(metrics),
        client_width_(ClampExtent(options.client_width)),
        bottom_(ClampExtent(options.client_height)),
        left_(std::min(ClampExtent(options.left_margin), client_width_)),
        width_(std::max(client_width_ - left_ - ClampExtent(options.right_margin), 0)),
        start_font_(options.font),
        text_color_(options.text_color),
        rule_thickness_(std::clamp(options.rule_thickness, 0, rich_text::kMaxRuleThickness)) {
    start_font_.size = ClampSize(start_font_.size);
    font_ = start_font_;
    color_ = text_color_;
  }

  RichTextLayout Run(const std::vector<RichToken>& tokens) {
    for (const RichToken& token : tokens) {
      // Lines only move down: once the line position has passed the bottom,
      // nothing more can be placed.
      if (y_ >= bottom_) break;
      Apply(token);
    }
    return std::move(layout_);
  }

 private:
  void Apply(const RichToken& token) {
    switch (token.kind) {
      case K::kText:
        return LayOutRun(token.text);
      case K::kBold:
        return CountUp(bold_);
      case K::kBoldEnd:
        return CountDown(bold_);
      case K::kItalic:
        return CountUp(italic_);
      case K::kItalicEnd:
        return CountDown(italic_);
      case K::kUnderline:
        return CountUp(underline_);
      case K::kUnderlineEnd:
        return CountDown(underline_);
      case K::kStrikeOut:
        return CountUp(strike_out_);
      case K::kStrikeOutEnd:
        return CountDown(strike_out_);
      case K::kSubscript:
        return CountUp(subscript_);
      case K::kSubscriptEnd:
        return CountDown(subscript_);
      case K::kSuperscript:
        return CountUp(superscript_);
      case K::kSuperscriptEnd:
        return CountDown(superscript_);
      case K::kBig:
      case K::kSmallEnd:
        font_.size = ClampSize(font_.size + 1);
        return;
      case K::kSmall:
      case K::kBigEnd:
        font_.size = ClampSize(font_.size - 1);
        return;
      case K::kFont:
        return ApplyFont(token.font);
      case K::kFontEnd:
        // A font that was sized ends with the line moved down by its descent.
        if (size_applied_) y_ += metrics_.Extent(RunFont()).descent;
        font_ = start_font_;
        color_ = text_color_;
        return;
      case K::kCode:
        font_.face = rich_text::kCodeFace;
        font_.fixed_pitch = true;
        return;
      case K::kCodeEnd:
        font_ = start_font_;
        return;
      case K::kLink:
        link_ = token.text;
        return;
      case K::kLinkEnd:
        link_.reset();
        return;
      case K::kRule:
        if (token.rule_thickness) rule_thickness_ = *token.rule_thickness;
        LayOutRun("\r\n");
        return PlaceRule();
      case K::kBreak:
        return LayOutRun("\r\n");
    }
  }

  void ApplyFont(const FontAttributes& font) {
    if (font.color) color_ = *font.color;
    if (font.face) {
      font_.face = *font.face;
      font_.fixed_pitch = false;
    }
    if (font.size_change) {
      font_.size = ClampSize(font_.size + *font.size_change);
      size_applied_ = true;
    }
  }

  RichFont RunFont() const {
    RichFont font = font_;
    font.bold = bold_ > 0;
    font.italic = italic_ > 0;
    font.underline = underline_ > 0;
    font.strike_out = strike_out_ > 0;
    return font;
  }

  struct RunStyle {
    RichFont font;
    int height = 0;
    int shift = 0;
  };

  // Lays out one run of text in the current font, going on from the current
  // horizontal position; the run's last line stays open for the next run.
  void LayOutRun(std::string_view text) {
    const RichFont font = RunFont();
    const int height = metrics_.Measure(" ", font).height;
    const int half_ascent = metrics_.Extent(font).ascent / 2;
    const int shift = (subscript_ > 0 ? half_ascent : 0) - (superscript_ > 0 ? half_ascent : 0);
    const RunStyle style{font, height, shift};

    if (x_ == 0) text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    std::string line;
    int line_width = 0;
    const auto end_line = [&] {
      Place(line, line_width, style);
      NewLine(height);
      line.clear();
      line_width = 0;
    };
    for (const Word& word : CutWords(text)) {
      const int word_width = std::max(metrics_.Measure(word.text, font).width, 0);
      if (line_width + word_width >= width_ - x_ - 2 && !(line.empty() && x_ == 0)) {
        // The word does not fit the rest of the line: it begins the next one,
        // alone when it does not fit an empty line either. Blanks do not:
        // they would indent the next line, and a line feed's blank would
        // leave an empty line, where the line has just ended.
        end_line();
        if (word.text.find_first_not_of(' ') == std::string::npos) continue;
      }
      line += word.text;
      line_width += word_width;
      if (word.line_break) end_line();
    }
    Place(line, line_width, style);
  }

  // Places a line piece at the horizontal position when it fits the client
  // height whole, with a link area when a link is on; moves the position on.
  void Place(const std::string& text, int width, const RunStyle& style) {
    if (text.empty()) return;
    if (y_ + style.height <= bottom_) {
      layout_.texts.push_back({{left_ + x_, y_ + style.shift}, text, style.font, color_});
      if (link_) layout_.links.push_back({{left_ + x_, y_, width, style.height}, *link_});
    }
    line_bottom_ = std::max(line_bottom_, y_ + style.height);
    x_ += width;
  }

  // The next line starts below the tallest piece of this one.
  void NewLine(int height) {
    y_ = std::max(line_bottom_, y_ + height);
    line_bottom_ = y_;
    x_ = 0;
  }

  // A rule across the whole client width at the line position, placed when it
  // fits the client height whole.
  void PlaceRule() {
    if (rule_thickness_ > 0 && y_ + rule_thickness_ <= bottom_) {
      layout_.rules.push_back({{0, y_, client_width_, rule_thickness_}, color_});
    }
    y_ += rule_thickness_;
    line_bottom_ = y_;
    x_ = 0;
  }

  const ITextMetrics& metrics_;
  const int client_width_;
  const int bottom_;
  const int left_;
  const int width_;  // of the working rectangle between the margins
  RichFont start_font_;
  const RgbColor text_color_;
  int rule_thickness_;

  RichFont font_;
  RgbColor color_;
  bool size_applied_ = false;
  int bold_ = 0;
  int italic_ = 0;
  int underline_ = 0;
  int strike_out_ = 0;
  int subscript_ = 0;
  int superscript_ = 0;
  std::optional<std::string> link_;

  int x_ = 0;  // from the left edge of the working rectangle
  int y_ = 0;  // top of the current line
  int line_bottom_ = 0;
  RichTextLayout layout_;
};

}  // namespace

std::optional<std::string> RichTextLayout::LinkAt(RichPoint point) const {
  for (const LinkArea& link : links) {
    if (link.rect.Contains(point)) return link.target;
  }
  return std::nullopt;
}

RichTextLayout LayOutRichText(const std::vector<RichToken>& tokens, const RichTextOptions& options,
                              const ITextMetrics& metrics) {
  return Layouter(options, metrics).Run(tokens);
}
