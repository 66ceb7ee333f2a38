// The system's proxy settings through libproxy.

#include <proxy.h>

#include <cstddef>

#include "updater/tasks/net/proxy_resolver.h"

namespace {

// The longest proxy URL taken from libproxy, and the most entries.
constexpr std::size_t kMaxProxyUrl = 2048;
constexpr std::size_t kMaxProxies = 32;

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

std::shared_ptr<IProxyResolver> MakeSystemProxyResolver() {
  return std::make_shared<CLibproxyResolver>();
}
