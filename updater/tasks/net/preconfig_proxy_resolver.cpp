// The system resolver where libproxy is not at hand (the Windows build): the
// HTTP library's own handling, which follows the proxy environment variables.

#include "updater/tasks/net/proxy_resolver.h"

std::shared_ptr<IProxyResolver> MakeSystemProxyResolver() {
  return std::make_shared<CFixedProxyResolver>(
      ProxyResolution{true, {}, {kProxyPreconfig, {}, {}}});
}
