#pragma once
// The built-in English texts of the updater: one table of identifier, key and
// text, ordered by identifier.

#include <cstdint>
#include <span>
#include <string_view>

struct LanguageText {
  std::int32_t id;
  std::string_view key;   // element name in a language file, "IDS_..."
  std::string_view text;  // English; "%s"/"%d" are filled by the caller
};

// The whole table, ordered by identifier.
std::span<const LanguageText> BuiltInLanguageTexts();
// The entry of an identifier, or nullptr when the updater has no such text.
const LanguageText* FindBuiltInText(std::int32_t id);
// The entry of a key (compared exactly), or nullptr.
const LanguageText* FindBuiltInTextByKey(std::string_view key);
