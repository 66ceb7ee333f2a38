#include "updater/ui/character_references.h"

#include <array>

namespace {

constexpr std::array<CharacterReference, 13> kReferences{{
    {"&amp;", "&"},
    {"&bull;", "\u2022"},
    {"&copy;", "\u00A9"},
    {"&euro;", "\u20AC"},
    {"&gt;", ">"},
    {"&iquest;", "\u00BF"},
    {"&lt;", "<"},
    {"&nbsp;", "\u00A0"},
    {"&para;", "\u00B6"},
    {"&pound;", "\u00A3"},
    {"&quot;", "\""},
    {"&reg;", "\u00AE"},
    {"&trade;", "\u2122"},
}};

}  // namespace

std::span<const CharacterReference> CharacterReferences() { return kReferences; }

std::string DecodeCharacterReferences(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  std::size_t position = 0;
  while (position < text.size()) {
    const std::size_t amp = text.find('&', position);
    if (amp == std::string_view::npos) break;
    decoded.append(text.substr(position, amp - position));
    const std::string_view rest = text.substr(amp);
    const CharacterReference* found = nullptr;
    for (const CharacterReference& reference : kReferences) {
      if (rest.starts_with(reference.name)) {
        found = &reference;
        break;
      }
    }
    if (found == nullptr) {
      decoded += '&';
      position = amp + 1;
    } else {
      decoded.append(found->text);
      position = amp + found->name.size();
    }
  }
  if (position < text.size()) decoded.append(text.substr(position));
  return decoded;
}
