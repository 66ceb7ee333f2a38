#pragma once
// Which link targets of the rich-text label may be opened.

#include <optional>
#include <string>
#include <string_view>

// The address to hand to the platform's opener (as one argument) for a link
// target, or nullopt when the link opens nothing. One pair of double (or single)
// quotes around the target and blanks around it are removed. Only "http://",
// "https://" (with something after it) and "mailto:" (with an address)
// addresses, ignoring the case of the scheme, are opened; control characters,
// blanks inside and targets longer than kMaxLinkAddressBytes are refused.
// "APP:" targets name application commands, of which there are none, so they
// open nothing as well.
std::optional<std::string> OpenableLinkAddress(std::string_view target);
