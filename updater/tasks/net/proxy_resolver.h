#pragma once
// Which proxy a URL is fetched through. The system resolver asks libproxy,
// which follows the proxy environment variables, the desktop's proxy settings,
// a proxy auto-configuration script and WPAD. Tests install a fixed resolver.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The access types as the log writes them.
enum ProxyAccessType : int {
  kProxyPreconfig = 0,  // the HTTP library's own handling (the proxy environment variables)
  kProxyDirect = 1,     // no proxy
  kProxyNamed = 3,      // the proxy of the list
};

struct ProxyInfo {
  int access_type = kProxyPreconfig;
  // Proxy URLs separated by ';', in the order to use ("http://host:3128").
  std::string proxy_list;
  // Hosts that bypass the proxy, separated by ';'. libproxy applies its bypass
  // rules itself, so its answers leave this empty.
  std::string bypass_list;

  bool operator==(const ProxyInfo&) const = default;
};

struct ProxyResolution {
  bool ok = false;
  std::string error;  // why it failed (for the log)
  ProxyInfo info;
};

class IProxyResolver {
 public:
  virtual ~IProxyResolver() = default;
  virtual ProxyResolution Resolve(const std::string& url) = 0;
};

// libproxy. The factory is made on first use and kept; calls are serialised.
class CLibproxyResolver final : public IProxyResolver {
 public:
  CLibproxyResolver();
  ~CLibproxyResolver() override;
  CLibproxyResolver(const CLibproxyResolver&) = delete;
  CLibproxyResolver& operator=(const CLibproxyResolver&) = delete;

  ProxyResolution Resolve(const std::string& url) override;

 private:
  std::mutex mutex_;
  struct Factory;
  std::unique_ptr<Factory> factory_;
};

// Always gives the same answer (tests, forced proxies).
class CFixedProxyResolver final : public IProxyResolver {
 public:
  explicit CFixedProxyResolver(ProxyResolution resolution) : resolution_(std::move(resolution)) {}
  ProxyResolution Resolve(const std::string&) override { return resolution_; }

 private:
  ProxyResolution resolution_;
};

// The system's resolver: libproxy where the build has it
// (libproxy_resolver.cpp), the HTTP library's own handling elsewhere
// (preconfig_proxy_resolver.cpp).
std::shared_ptr<IProxyResolver> MakeSystemProxyResolver();
// A resolver that always says: no proxy.
std::shared_ptr<IProxyResolver> MakeDirectProxyResolver();
// A resolver that always names one proxy ("http://127.0.0.1:3128").
std::shared_ptr<IProxyResolver> MakeNamedProxyResolver(const std::string& proxy_url);

// Turns libproxy's answer (URLs such as "direct://", "http://host:port",
// "socks5://host:port") into access type and list. Entries of kinds the HTTP
// library cannot use are skipped; the list ends at the first "direct://".
// Fails when nothing usable is left.
ProxyResolution ProxyResolutionFromList(const std::vector<std::string>& proxies);

// The first proxy of a list ("" when the list is empty).
std::string FirstProxy(const std::string& proxy_list);
