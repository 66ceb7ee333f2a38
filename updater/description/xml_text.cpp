#include "updater/description/xml_text.h"

#include "updater/core/text.h"

std::u16string DecodeXmlText(std::u16string_view text) { return std::u16string(text); }
std::string DecodeXmlText(std::string_view utf8) { return std::string(utf8); }
std::u16string EscapeXmlText(std::u16string_view text) { return std::u16string(text); }
std::string EscapeXmlText(std::string_view utf8) { return std::string(utf8); }
