#pragma once
// Word-wrapping of a text in one font at a width, with the measuring injected
// (the rich-text label, with its many fonts, has ITextMetrics): the windows
// measure with the toolkit's font, the tests with fixed-width metrics. The
// lines are kept, so that a window shows exactly the lines it was measured with.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct PlainTextMetrics {
  // The width in pixels of one line of text.
  std::function<int(std::string_view)> width_of;
  // The height in pixels of one line.
  int line_height = 0;
};

struct WrappedText {
  std::vector<std::string> lines;
  int height = 0;  // lines times the line height

  // The lines joined with line breaks.
  std::string Joined() const;
};

// Breaks each paragraph (a line break ends one) at spaces so that every line
// fits the width; a word wider than the width is broken between characters
// (never inside a UTF-8 sequence). An empty paragraph is an empty line; an
// empty text has no line and no height.
WrappedText WrapText(std::string_view text, int width, const PlainTextMetrics& metrics);
