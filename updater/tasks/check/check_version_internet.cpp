#include "updater/tasks/check/check_version_internet.h"

#include <iterator>
#include <utility>

#include "updater/core/updater_log.h"
#include "updater/core/updater_settings.h"
#include "updater/tasks/net/http_request.h"
#include "updater/tasks/net/internet.h"
#include "updater/tasks/net/update_api_answer.h"

CheckVersionInternetOptions CheckVersionInternetOptions::Defaults() {
  CheckVersionInternetOptions options;
  options.connection_hosts.assign(std::begin(kConnectionCheckHosts),
                                  std::end(kConnectionCheckHosts));
  options.connection_port = kConnectionCheckPort;
  options.connection_timeout_ms = kConnectionCheckTimeoutMs;
  options.clock = &platform::SystemClock();
  return options;
}

CCheckVersionInternet::CCheckVersionInternet(CheckVersionInternetOptions options)
    : options_(std::move(options)) {
  if (!options_.clock) options_.clock = &platform::SystemClock();
}

void CCheckVersionInternet::SetOwner(std::shared_ptr<CMessageQueue> owner) {
  CInternet::Instance().SetOwner(std::move(owner));
}

bool CCheckVersionInternet::CheckConnection() {
  return CheckConnectionToHosts(options_.connection_hosts, options_.connection_port,
                                options_.connection_timeout_ms);
}

bool CCheckVersionInternet::DownloadFile(const std::string& location, const std::string& path) {
  DownloadOptions options;
  options.max_bytes = options_.description_max_bytes;
  options.deadline_ms = options_.description_limit_ms;
  return CInternet::Instance().DownloadFile(location, path, options);
}

std::string CCheckVersionInternet::QueryUpdateApi(const std::string& url) {
  if (UrlScheme(url) != "https") {
    CUpdaterLog::Instance().WriteLine("UPDATE API: not an https address, no query");
    return {};
  }
  HttpConnection connection;
  connection.user_agent = CUpdaterSettings::Instance().Values().name;
  connection.timeout_ms = CInternet::Instance().Timeout();
  const TransferRate rate = CInternet::Instance().GetTransferRate();
  connection.min_bytes_per_second = rate.min_bytes_per_second;
  connection.low_speed_window_ms = rate.low_speed_window_ms;
  connection.extra_headers = {"Accept: application/json",
                              "Content-Type: application/json; charset=utf-8"};
  const platform::IClock& clock = *options_.clock;
  const std::int64_t deadline = clock.MonotonicMs() + options_.query_limit_ms;
  connection.cancelled = [&clock, deadline] { return clock.MonotonicMs() >= deadline; };
  std::optional<std::string> answer = FetchText(url, connection, kMaxUpdateApiAnswerBytes);
  if (!answer) {
    CUpdaterLog::Instance().WriteLine("UPDATE API: no answer");
    return {};
  }
  return std::move(*answer);
}

std::string CCheckVersionInternet::GetRemoteFileDate(const std::string& location) {
  return CInternet::Instance().GetRemoteFileDate(location);
}

std::string CCheckVersionInternet::GetRemoteFileDateTime(const std::string& location) {
  return CInternet::Instance().GetRemoteFileDateTime(location);
}

void CCheckVersionInternet::Abort() { CInternet::Instance().Abort(); }
