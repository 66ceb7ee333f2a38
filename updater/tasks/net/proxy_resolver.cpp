#include "updater/tasks/net/proxy_resolver.h"

#include <cstddef>

#include "updater/core/text.h"

namespace {

// The scheme the HTTP library understands for a libproxy entry, or "".
std::string UsableScheme(const std::string& scheme) {
  if (scheme == "http" || scheme == "https" || scheme == "socks4" || scheme == "socks4a" ||
      scheme == "socks5" || scheme == "socks5h")
    return scheme;
  if (scheme == "socks") return "socks5";
  return {};
}

}  // namespace

ProxyResolution ProxyResolutionFromList(const std::vector<std::string>& proxies) {
  std::string list;
  for (const auto& entry : proxies) {
    std::size_t colon = entry.find("://");
    if (colon == std::string::npos) continue;
    std::string scheme = ToLower(entry.substr(0, colon));
    if (scheme == "direct") {
      if (list.empty()) return {true, {}, {kProxyDirect, {}, {}}};
      break;
    }
    std::string usable = UsableScheme(scheme);
    std::string rest = entry.substr(colon + 3);
    if (usable.empty() || rest.empty()) continue;
    if (!list.empty()) list += ';';
    list += usable + "://" + rest;
  }
  if (list.empty()) return {false, "libproxy: no usable proxy in the answer", {}};
  return {true, {}, {kProxyNamed, list, {}}};
}

std::string FirstProxy(const std::string& proxy_list) {
  std::size_t end = proxy_list.find(';');
  return TrimSpaces(proxy_list.substr(0, end));
}

std::shared_ptr<IProxyResolver> MakeDirectProxyResolver() {
  return std::make_shared<CFixedProxyResolver>(ProxyResolution{true, {}, {kProxyDirect, {}, {}}});
}

std::shared_ptr<IProxyResolver> MakeNamedProxyResolver(const std::string& proxy_url) {
  return std::make_shared<CFixedProxyResolver>(
      ProxyResolution{true, {}, {kProxyNamed, proxy_url, {}}});
}
