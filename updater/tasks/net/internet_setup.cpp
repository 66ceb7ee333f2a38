#include "updater/tasks/net/internet_setup.h"

#include <utility>

void ConfigureInternet(CInternet& internet, const SettingsValues& settings,
                       std::shared_ptr<CMessageQueue> owner, ProxyCredentialsPrompt ask) {
  internet.SetProxyCredentials(settings.proxy_username, settings.proxy_password);
  internet.SetHttpCredentials(settings.http_username, settings.http_password);
  internet.SetFtpCredentials(settings.ftp_username, settings.ftp_password);
  internet.SetTimeout(settings.server_timeout);
  internet.SetUserAgent(settings.name);
  internet.SetProxyCredentialsPrompt(MakeProxyCredentialsPrompt(settings.run_mode, std::move(ask)));
  internet.SetOwner(std::move(owner));
}
