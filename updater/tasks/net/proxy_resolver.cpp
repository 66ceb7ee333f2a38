#include "updater/tasks/net/proxy_resolver.h"

#include <proxy.h>

#include <cstddef>

#include "updater/core/text.h"

namespace {

// The longest proxy URL taken from libproxy, and the most entries.
constexpr std::size_t kMaxProxyUrl = 2048;
constexpr std::size_t kMaxProxies = 32;

// The scheme the HTTP library understands for a libproxy entry, or "".
std::string UsableScheme(const std::string& scheme) {
  if (scheme == "http" || scheme == "https" || scheme == "socks4" || scheme == "socks4a" ||
      scheme == "socks5" || scheme == "socks5h")
    return scheme;
  if (scheme == "socks") return "socks5";
  return {};
}

}  // namespace

struct CLibproxyResolver::Factory {
  pxProxyFactory* handle = nullptr;
  ~Factory() {
    if (handle) px_proxy_factory_free(handle);
  }
};

CLibproxyResolver::CLibproxyResolver() = default;
CLibproxyResolver::~CLibproxyResolver() = default;

ProxyResolution CLibproxyResolver::Resolve(const std::string& url) {
  std::lock_guard lock(mutex_);
  if (!factory_) {
    factory_ = std::make_unique<Factory>();
    factory_->handle = px_proxy_factory_new();
  }
  if (!factory_->handle) return {false, "libproxy: no proxy factory", {}};
  char** proxies = px_proxy_factory_get_proxies(factory_->handle, url.c_str());
  if (!proxies) return {false, "libproxy: no answer for the URL", {}};
  std::vector<std::string> list;
  for (std::size_t i = 0; proxies[i] && list.size() < kMaxProxies; ++i) {
    std::string entry(proxies[i]);
    if (entry.size() <= kMaxProxyUrl) list.push_back(std::move(entry));
  }
  px_proxy_factory_free_proxies(proxies);
  return ProxyResolutionFromList(list);
}

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
