#pragma once
// The system's language as a Windows language identifier (primary language and
// sublanguage in 16 bits), taken on Linux from the locale variables.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The identifier of US English, given for "C", "POSIX", an empty locale and any
// language the mapping does not know.
inline constexpr std::uint16_t kLangIdEnglishUs = 0x0409;

// Reads one environment variable; nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

// Maps a locale name such as "de_AT.UTF-8", "pt_BR", "fr-CA" or "sr_RS@latin"
// to its language identifier. A known language with an unknown territory gives
// the language's main identifier (e.g. "de_BE" -> 0x0407).
std::uint16_t LocaleToLanguageId(std::string_view locale);

// The locale of messages as the C library chooses it: the first non-empty of
// LC_ALL, LC_MESSAGES and LANG; "" when none is set.
std::string MessagesLocale(const EnvironmentLookup& lookup);

// The system's default language identifier from the given environment.
std::uint16_t SystemLanguageId(const EnvironmentLookup& lookup);
// The same from the process environment.
std::uint16_t SystemLanguageId();
