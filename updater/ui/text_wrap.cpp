#include "updater/ui/text_wrap.h"

#include <cstddef>

namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The length of the longest start of word (whole characters, at least one)
// that fits the width.
std::size_t FittingPrefix(std::string_view word, int width, const PlainTextMetrics& metrics) {
  std::size_t fitting = 0;
  std::size_t end = 0;
  while (end < word.size()) {
    std::size_t next = end + 1;
    while (next < word.size() && IsContinuationByte(word[next])) ++next;
    if (fitting > 0 && metrics.width_of(word.substr(0, next)) > width) break;
    fitting = next;
    end = next;
  }
  return fitting;
}

void WrapParagraph(std::string_view paragraph, int width, const PlainTextMetrics& metrics,
                   std::vector<std::string>& lines) {
  std::string line;
  std::size_t position = 0;
  bool any = false;
  while (position < paragraph.size()) {
    const std::size_t space = paragraph.find(' ', position);
    std::string_view word = paragraph.substr(
        position, space == std::string_view::npos ? std::string_view::npos : space - position);
    position = space == std::string_view::npos ? paragraph.size() : space + 1;
    if (word.empty() && !line.empty()) {
      line += ' ';  // doubled spaces are kept inside a line
      continue;
    }
    std::string candidate = line.empty() ? std::string(word) : line + " " + std::string(word);
    if (metrics.width_of(candidate) <= width) {
      line = std::move(candidate);
      continue;
    }
    if (!line.empty()) {
      lines.push_back(line);
      any = true;
      line.clear();
    }
    // A word wider than the line is broken between characters.
    while (!word.empty() && metrics.width_of(word) > width) {
      const std::size_t cut = FittingPrefix(word, width, metrics);
      lines.emplace_back(word.substr(0, cut));
      any = true;
      word.remove_prefix(cut);
    }
    line = std::string(word);
  }
  if (!line.empty() || !any) lines.push_back(line);
}

}  // namespace

std::string WrappedText::Joined() const {
  std::string joined;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) joined += '\n';
    joined += lines[i];
  }
  return joined;
}

WrappedText WrapText(std::string_view text, int width, const PlainTextMetrics& metrics) {
  WrappedText wrapped;
  if (text.empty()) return wrapped;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find('\n', start);
    std::string_view paragraph =
        text.substr(start, end == std::string_view::npos ? end : end - start);
    if (!paragraph.empty() && paragraph.back() == '\r') paragraph.remove_suffix(1);
    WrapParagraph(paragraph, width, metrics, wrapped.lines);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  wrapped.height = static_cast<int>(wrapped.lines.size()) * metrics.line_height;
  return wrapped;
}
