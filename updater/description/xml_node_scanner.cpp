#include "updater/description/xml_node_scanner.h"

#include <algorithm>

#include "updater/core/text.h"

namespace {

// Offset of `pattern` at or after `from` within text[0, limit), or npos.
std::size_t FindWithin(std::u16string_view text, std::u16string_view pattern, std::size_t from,
                       std::size_t limit) {
  if (from >= limit) return std::u16string_view::npos;
  std::size_t found = text.substr(0, limit).find(pattern, from);
  return found;
}

std::string ProblemText(std::string_view pattern, std::string_view what, std::size_t offset) {
  return FillPlaceholders(pattern, {what, std::to_string(offset)});
}

// A node that starts no known markup, or one that the text ends inside: it is
// skipped up to and including the next ">", or up to the next "<".
// Returns false when the text ends first.
bool SkipProblemNode(std::u16string_view text, std::size_t limit, CXmlNode& node) {
  for (std::size_t i = node.start + 1; i < limit; ++i) {
    if (text[i] == u'>') {
      node.end = i + 1;
      return true;
    }
    if (text[i] == u'<') {
      node.end = i;
      return true;
    }
  }
  node.end = limit;
  return false;
}

void MarkIncorrect(std::u16string_view text, std::size_t limit, std::string_view what,
                   CXmlNode& node) {
  node.type = XmlNodeType::kIncorrect;
  node.problem = ProblemText("Incorrect %s at offset %d", what, node.start);
  node.unterminated = !SkipProblemNode(text, limit, node);
}

void MarkUnterminated(std::u16string_view text, std::size_t limit, std::string_view what,
                      CXmlNode& node) {
  node.unterminated = true;
  node.problem = ProblemText("%s at offset %d unterminated", what, node.start);
  SkipProblemNode(text, limit, node);
}

// Ends the node after `terminator`, searched from `from`; unterminated otherwise.
void EndAt(std::u16string_view text, std::size_t limit, std::u16string_view terminator,
           std::size_t from, std::string_view what, CXmlNode& node) {
  std::size_t found = FindWithin(text, terminator, from, limit);
  if (found == std::u16string_view::npos) {
    MarkUnterminated(text, limit, what, node);
  } else {
    node.end = found + terminator.size();
  }
}

std::size_t NameEnd(std::u16string_view text, std::size_t from, std::size_t limit) {
  std::size_t i = from;
  while (i < limit && !IsXmlNameEnd(text[i])) ++i;
  return i;
}

void ScanDocType(std::u16string_view text, std::size_t limit, CXmlNode& node) {
  std::size_t depth = 0;
  for (std::size_t i = node.start + 2; i < limit; ++i) {
    if (text[i] == u'<') {
      ++depth;
    } else if (text[i] == u'>') {
      if (depth == 0) {
        node.end = i + 1;
        return;
      }
      --depth;
    }
  }
  MarkUnterminated(text, limit, "Doctype", node);
}

void ScanStartTag(std::u16string_view text, std::size_t limit, CXmlNode& node) {
  node.type = XmlNodeType::kStartTag;
  node.name_start = node.start + 1;
  std::size_t name_end = NameEnd(text, node.name_start, limit);
  node.name_length = name_end - node.name_start;
  char16_t quote = 0;
  std::size_t last_closing_quote = std::u16string_view::npos;
  for (std::size_t i = name_end; i < limit; ++i) {
    char16_t c = text[i];
    if (quote != 0) {
      if (c == quote) {
        quote = 0;
        last_closing_quote = i;
      }
    } else if (c == u'"' || c == u'\'') {
      quote = c;
    } else if (c == u'>') {
      node.end = i + 1;
      std::size_t slash = i - 1;
      if (slash > node.start && text[slash] == u'/') {
        node.empty_element =
            slash == name_end || IsXmlBlank(text[slash - 1]) || slash - 1 == last_closing_quote;
      }
      return;
    }
  }
  MarkUnterminated(text, limit, "Element tag", node);
}

}  // namespace

bool IsXmlBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

bool IsXmlNameStart(char16_t c) {
  return (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' || c >= 0x61;
}

bool IsXmlNameEnd(char16_t c) {
  return IsXmlBlank(c) || c == u'<' || c == u'>' || c == u'=' || c == u'\\' || c == u'/' ||
         c == u'?' || c == u'!';
}

CXmlNode ScanXmlNode(std::u16string_view text, std::size_t offset, std::size_t limit) {
  limit = std::min(limit, text.size());
  CXmlNode node;
  node.start = offset;
  node.end = limit;
  if (offset >= limit) return node;

  if (text[offset] != u'<') {
    bool blanks = true;
    std::size_t i = offset;
    for (; i < limit && text[i] != u'<'; ++i) {
      if (!IsXmlBlank(text[i])) blanks = false;
    }
    node.type = blanks ? XmlNodeType::kBlanks : XmlNodeType::kText;
    node.end = i;
    return node;
  }

  auto at = [&](std::size_t i) -> char16_t { return i < limit ? text[i] : u'\0'; };
  if (offset + 1 >= limit) {
    MarkIncorrect(text, limit, "tag name character", node);
    return node;
  }
  char16_t next = text[offset + 1];
  if (next == u'?') {
    node.type = XmlNodeType::kProcessingInstruction;
    EndAt(text, limit, u"?>", offset + 2, "Processing instruction", node);
  } else if (next == u'!') {
    char16_t kind = at(offset + 2);
    if (kind == u'-') {
      if (at(offset + 3) == u'-') {
        node.type = XmlNodeType::kComment;
        EndAt(text, limit, u"-->", offset + 4, "Comment", node);
      } else {
        MarkIncorrect(text, limit, "comment tag", node);
      }
    } else if (kind == u'[') {
      if (at(offset + 3) == u'C') {
        node.type = XmlNodeType::kCData;
        EndAt(text, limit, u"]]>", offset + 4, "CDATA Section", node);
      } else {
        MarkIncorrect(text, limit, "tag", node);
      }
    } else if (kind == u'D') {
      node.type = XmlNodeType::kDocType;
      ScanDocType(text, limit, node);
    } else if (kind == u'E' || kind == u'A' || kind == u'N') {
      node.type = XmlNodeType::kDeclaration;
      EndAt(text, limit, u">", offset + 2, "Doctype", node);
    } else {
      MarkIncorrect(text, limit, "! tag", node);
    }
  } else if (next == u'/') {
    node.type = XmlNodeType::kEndTag;
    node.name_start = offset + 2;
    node.name_length = NameEnd(text, node.name_start, limit) - node.name_start;
    EndAt(text, limit, u">", offset + 2, "Element end tag", node);
  } else if (IsXmlNameStart(next)) {
    ScanStartTag(text, limit, node);
  } else {
    MarkIncorrect(text, limit, "tag name character", node);
  }
  return node;
}
