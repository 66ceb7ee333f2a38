#pragma once
// The thirteen named character references of the rich-text label ("&amp;",
// "&lt;", "&nbsp;", ...), matched with exact case.

#include <span>
#include <string>
#include <string_view>

struct CharacterReference {
  std::string_view name;  // with "&" and ";"
  std::string_view text;  // UTF-8
};

// The references in the order of their names.
std::span<const CharacterReference> CharacterReferences();

// Replaces every reference in one pass from left to right; the replacement is
// not read again, so "&amp;lt;" is "&lt;". Unknown references and references
// in another case stay as written. "&nbsp;" becomes U+00A0, which never
// breaks a line.
std::string DecodeCharacterReferences(std::string_view text);
