#include "updater/description/xml_node_scanner.h"

#include <algorithm>

bool IsXmlBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool IsXmlNameStart(char16_t c) {
  return (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' || c >= 0x61;
}
bool IsXmlNameEnd(char16_t c) {
  return IsXmlBlank(c) || c == u'<' || c == u'>' || c == u'=' || c == u'\\' || c == u'/' ||
         c == u'?' || c == u'!';
}
CXmlNode ScanXmlNode(std::u16string_view text, std::size_t offset, std::size_t limit) {
  CXmlNode node;
  node.start = offset;
  node.end = std::min(limit, text.size());
  return node;
}
