#pragma once
// Lays out the tokens of the rich-text label inside its client area: which
// text goes where in which font and colour, the rules, and a rectangle per
// drawn piece of link text. Drawing is the toolkit view's job.
//
// Words end after a blank; a line feed ends a word and the line, a carriage
// return is dropped; blanks starting a line are dropped. Words gather on a
// line while it stays narrower than the room left in the working rectangle
// (the client less its margins) less 2 pixels; a word that does not fit moves
// to the next line, and is put there alone when it does not fit an empty line
// either (the view clips it). Runs in other fonts go on along the same line;
// the next line starts below the tallest piece of the line. A piece is placed
// only when it fits the client height whole; a rule only when it does too,
// and rules take room from the text below them.
//
// Each layout is computed afresh from the tokens: link areas never pile up,
// and the rule thickness starts from the options at each layout (a rule's
// SIZE holds for the later rules of the same text).

#include <optional>
#include <string>
#include <vector>

#include "updater/ui/rich_text_tokenizer.h"
#include "updater/ui/text_metrics.h"

struct RichTextOptions {
  int client_width = 0;
  int client_height = 0;
  int left_margin = 0;
  int right_margin = 0;
  RichFont font;                                          // the start font
  RgbColor text_color;                                    // colour of text no FONT COLOR applies to
  int rule_thickness = rich_text::kDefaultRuleThickness;  // until a rule's SIZE changes it
};

struct PlacedText {
  RichPoint position;  // top left, subscript and superscript offset included
  std::string text;
  RichFont font;
  RgbColor color;

  bool operator==(const PlacedText&) const = default;
};

struct PlacedRule {
  RichRect rect;
  RgbColor color;

  bool operator==(const PlacedRule&) const = default;
};

struct LinkArea {
  RichRect rect;
  std::string target;

  bool operator==(const LinkArea&) const = default;
};

struct RichTextLayout {
  std::vector<PlacedText> texts;
  std::vector<PlacedRule> rules;
  std::vector<LinkArea> links;

  // The target of the first link area that holds the point.
  std::optional<std::string> LinkAt(RichPoint point) const;
};

RichTextLayout LayOutRichText(const std::vector<RichToken>& tokens, const RichTextOptions& options,
                              const ITextMetrics& metrics);
