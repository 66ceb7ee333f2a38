#pragma once
// Splits XML text into nodes: tags, comments, processing instructions, CDATA
// sections, declarations and text runs. Offsets count UTF-16 units.

#include <cstddef>
#include <string>
#include <string_view>

enum class XmlNodeType {
  kText,                   // character data up to the next "<"
  kBlanks,                 // a text run of only space, tab, CR and LF
  kStartTag,               // "<name ...>" or "<name .../>"
  kEndTag,                 // "</name>"
  kProcessingInstruction,  // "<? ... ?>"
  kComment,                // "<!-- ... -->"
  kCData,                  // "<![CDATA[ ... ]]>"
  kDocType,                // "<!DOCTYPE ...>" with nested declarations
  kDeclaration,            // "<!ELEMENT ...>", "<!ATTLIST ...>", "<!NOTATION ...>", "<!ENTITY ...>"
  kIncorrect,              // a "<" that starts no known node
};

struct CXmlNode {
  XmlNodeType type = XmlNodeType::kText;
  std::size_t start = 0;  // offset of its first character ("<" for markup)
  std::size_t end = 0;    // offset after its last character; where the next node starts
  // Tag name of a start or end tag.
  std::size_t name_start = 0;
  std::size_t name_length = 0;
  bool empty_element = false;  // start tag ending in "/>" that closes itself
  bool unterminated = false;   // the text ended before the node's end
  // For problems: the message, filled with the node's offset; "" when none.
  std::string problem;
};

// True for space, tab, CR and LF.
bool IsXmlBlank(char16_t c);
// True for a character that may start an element's tag name.
bool IsXmlNameStart(char16_t c);
// True for a character that ends a tag name.
bool IsXmlNameEnd(char16_t c);

// Scans the node that starts at `offset` within text[0, limit). Never reads at
// or past `limit` (clamped to the text length). `offset` must be below limit.
CXmlNode ScanXmlNode(std::u16string_view text, std::size_t offset, std::size_t limit);
inline CXmlNode ScanXmlNode(std::u16string_view text, std::size_t offset) {
  return ScanXmlNode(text, offset, text.size());
}
