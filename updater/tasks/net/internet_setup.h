#pragma once
// The configuration of the internet object at the start of a run.

#include <memory>

#include "updater/core/updater_settings.h"
#include "updater/process/message_queue.h"
#include "updater/tasks/net/internet.h"
#include "updater/tasks/net/proxy_credentials.h"

// Gives the internet object the proxy credentials ([PROXY] USERNAME and
// PASSWORD), the HTTP and FTP credentials ([CONNECTION]), the time-out
// (SERVERTIMEOUT), the application's name as user agent and the owner of its
// worker. When a proxy asks for credentials that are missing, ask is used,
// except in the hidden mode, where nobody is asked (an empty ask answers no).
void ConfigureInternet(CInternet& internet, const SettingsValues& settings,
                       std::shared_ptr<CMessageQueue> owner, ProxyCredentialsPrompt ask);
