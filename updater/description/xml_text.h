#pragma once
// Entity references and character references of XML text.

#include <string>
#include <string_view>

// Decodes "&lt;", "&amp;", "&gt;", "&apos;", "&quot;" and the numeric
// references "&#65;" and "&#x41;". Anything else after "&" stays unchanged.
std::u16string DecodeXmlText(std::u16string_view text);
std::string DecodeXmlText(std::string_view utf8);

// Escapes "&", "<", ">", "'" and the double quote for an attribute value or text.
std::u16string EscapeXmlText(std::u16string_view text);
std::string EscapeXmlText(std::string_view utf8);
