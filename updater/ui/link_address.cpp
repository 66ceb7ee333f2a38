#include "updater/ui/link_address.h"

#include <array>

#include "updater/core/text.h"
#include "updater/ui/rich_text.h"

namespace {

// The schemes a link may open; the address must go on after the prefix.
constexpr std::array<std::string_view, 3> kSchemes{"http://", "https://", "mailto:"};

}  // namespace

std::optional<std::string> OpenableLinkAddress(std::string_view target) {
  std::string address = TrimSpaces(target);
  if (address.size() >= 2 && (address.front() == '"' || address.front() == '\'') &&
      address.back() == address.front()) {
    address = TrimSpaces(std::string_view(address).substr(1, address.size() - 2));
  }
  if (address.empty() || address.size() > rich_text::kMaxLinkAddressBytes ||
      HasControlCharacter(address) || address.find(' ') != std::string::npos) {
    return std::nullopt;
  }
  for (std::string_view scheme : kSchemes) {
    if (address.size() > scheme.size() &&
        EqualsNoCase(std::string_view(address).substr(0, scheme.size()), scheme)) {
      return address;
    }
  }
  return std::nullopt;
}
